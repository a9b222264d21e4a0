// Readable texts in test failures; Wide() turns a test's ASCII bytes into a text.
#pragma once

#include <ostream>
#include <string>

#include "runtime/runtime.h"

namespace runtime {
inline void PrintTo(const Text& text, std::ostream* os) {
  for (wchar_t c : text)
    *os << (c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c));
}
}  // namespace runtime

inline runtime::Text Wide(const std::string& ascii) { return runtime::Text(ascii.begin(), ascii.end()); }
