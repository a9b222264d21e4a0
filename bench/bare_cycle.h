// The requests of one write/verify cycle in the tightest loop we can write: create, 200 writes of
// 123 and 2 bytes, close, open, 12,500 one-byte reads, close, and three delete attempts, with
// nothing in between. The program's pass time is measured against this.
#pragma once

#include <windows.h>

#include "engine/file_calls.h"

namespace bench {

inline void BareWritePhase(const engine::FileCallTable& calls, const char* line) {
  static const char terminator[2] = {'\r', '\n'};
  DWORD done = 0;
  HANDLE file = calls.createFile(L"tfile.frl", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  for (int i = 0; i < 100; ++i) {
    calls.writeFile(file, line, 123, &done, nullptr);
    calls.writeFile(file, terminator, 2, &done, nullptr);
  }
  calls.closeHandle(file);
}

inline void BareReadPhase(const engine::FileCallTable& calls) {
  DWORD done = 0;
  HANDLE file = calls.createFile(L"tfile.frl", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  char byte;
  for (int i = 0; i < 12500; ++i) calls.readFile(file, &byte, 1, &done, nullptr);
  calls.closeHandle(file);
}

inline void BareCycle(const engine::FileCallTable& calls, const char* line) {
  BareWritePhase(calls, line);
  BareReadPhase(calls);
  for (int i = 0; i < 3; ++i) {
    calls.setFileAttributes(L"tfile.frl", FILE_ATTRIBUTE_NORMAL);
    calls.deleteFile(L"tfile.frl");
  }
}

// The platform's own calls, as the program makes them.
inline const engine::FileCallTable PlatformCalls = {CreateFileW, WriteFile,          ReadFile,   SetFilePointer,
                                                    CloseHandle, SetFileAttributesW, DeleteFileW};

}  // namespace bench
