// printf-style formatting of the window's texts into a std::string.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace vx {

// The format is always one of the product's own texts; what the user typed
// only ever arrives as an argument.
inline std::string FormatText(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(result.data(), result.size(), format, arguments);
    result.resize(static_cast<size_t>(length));
  }
  va_end(arguments);
  return result;
}

}  // namespace vx
