// The platform calls of the unbuffered file that tests replace, to count or fail them. Each field
// is named as the call it stands for; the record holds the real calls unless a test puts its own.
#pragma once

#include <windows.h>

namespace engine {

struct FileCallTable {
  decltype(&CreateFileW) createFile;
  decltype(&WriteFile) writeFile;
  decltype(&ReadFile) readFile;
  decltype(&SetFilePointer) setFilePointer;
  decltype(&CloseHandle) closeHandle;
  decltype(&SetFileAttributesW) setFileAttributes;
  decltype(&DeleteFileW) deleteFile;
};

extern FileCallTable FileCalls;  // defined in unbuffered_file.cpp

}  // namespace engine
