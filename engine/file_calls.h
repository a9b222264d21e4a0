// The platform calls of the test file, replaceable by tests that must count or fail them.
#pragma once

#include <windows.h>

namespace engine {

struct FileCalls {
  decltype(&CreateFileW) createFile;
  decltype(&WriteFile) writeFile;
  decltype(&ReadFile) readFile;
  decltype(&SetFilePointer) setFilePointer;
  decltype(&CloseHandle) closeHandle;
  decltype(&SetFileAttributesW) setFileAttributes;
  decltype(&DeleteFileW) deleteFile;
};

extern FileCalls File;   // the real calls unless a test replaces them

}  // namespace engine
