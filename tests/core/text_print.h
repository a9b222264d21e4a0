// Readable texts in test failures; Wide() turns a test's ASCII bytes into a text.
#pragma once

#include <ostream>
#include <string>

#include "runtime/runtime.h"

namespace runtime {
inline void PrintTo(const Text& text, std::ostream* os) {
  *os << '"';
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) *os << static_cast<char>(c);
    else *os << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
  }
  *os << "\" (" << text.size() << " units)";
}
}  // namespace runtime

inline runtime::Text Wide(const std::string& ascii) { return runtime::Text(ascii.begin(), ascii.end()); }
