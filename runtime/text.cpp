// Text and number operations.
#include <windows.h>

#include "runtime/runtime.h"

namespace runtime {

bool TextEquals(const Text& a, const Text& b) { return a == b; }

Text DecimalText(std::int64_t n) {
  wchar_t digits[21];
  int at = 21;
  // The magnitude in unsigned arithmetic, so that the most negative value has one too.
  std::uint64_t magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (n < 0) digits[--at] = L'-';
  return Text(digits + at, digits + 21);
}

Text ReverseText(const Text& s) { return Text(s.rbegin(), s.rend()); }

Text SpaceText(std::int64_t n) { return n > 0 ? Text(static_cast<std::size_t>(n), L' ') : Text(); }

Text LowerText(const Text& s) {
  Text lower = s;
  if (!lower.empty()) (void)CharLowerW(lower.data());  // in place, up to the terminator
  return lower;
}

Text TextFromBuffer(const wchar_t* buffer, std::int64_t n) {
  std::int64_t length = 0;
  while (buffer != nullptr && length < n && buffer[length] != 0) ++length;
  return Text(buffer, static_cast<std::size_t>(length));
}

}  // namespace runtime
