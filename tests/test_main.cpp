// Test entry: plain LF output, so that CTest reads the test lists intact under Wine, and a fault
// (in the checked build also a trapped undefined-behaviour check) that ends the program at once
// with its code, where Wine would start a debugger and wait.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

std::string CurrentCase;  // a generated case going on, named so that it can be replayed alone

int main(int argc, char** argv) {
  (void)SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* fault) -> LONG {
    fprintf(stderr, "fault 0x%08lX at %p%s%s\n", static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode),
            fault->ExceptionRecord->ExceptionAddress, CurrentCase.empty() ? "" : " in ", CurrentCase.c_str());
    return EXCEPTION_EXECUTE_HANDLER;
  });
  (void)_setmode(_fileno(stdout), _O_BINARY);
  (void)_setmode(_fileno(stderr), _O_BINARY);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
