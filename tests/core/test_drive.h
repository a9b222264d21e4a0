// The Wine drive letters that the test command maps to temporary directories, and plain file
// helpers that do not go through the code under test.
#pragma once

#include <string>

std::wstring TestDriveLetters();           // e.g. L"mnopqrstu"; empty when none are mapped
std::wstring TestDriveRoot(std::size_t i); // L"m:\\" for the first letter
std::string ReadWholeFile(const std::wstring& path);
void WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
