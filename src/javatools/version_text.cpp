// The judgements made on version texts alone: the version tests of the
// record validation and the comparison against the product's minimums.
#include <limits>

#include "common/product.h"
#include "javatools/javatools.h"

namespace vx {

namespace {

// A decimal integer with an optional sign that fits 32 bits; anything else
// (an empty text, blanks, other characters) is not a number.
bool ParseDecimal(std::string_view text, int64_t& value) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size()) return false;
  int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  value = negative ? -magnitude : magnitude;
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

// The tests both record kinds share: a dot, a number before it, and that
// number at least the given major version. On success major is that number.
int32_t MajorStatus(std::string_view version, int64_t lowestMajor, size_t& dot, int64_t& major) {
  dot = version.find('.');
  if (dot == std::string_view::npos) return kJavaToolNoDot;
  if (!ParseDecimal(version.substr(0, dot), major)) return kJavaToolMajorNotNumber;
  if (major < lowestMajor) return kJavaToolMajorTooLow;
  return kJavaToolUsable;
}

}  // namespace

int32_t JdkVersionStatus(std::string_view version) {
  size_t dot = 0;
  int64_t major = 0;
  int32_t status = MajorStatus(version, 1, dot, major);
  if (status != kJavaToolUsable) return status;
  // Only the one character after the dot counts: 1.4.2_19 is minor 4, 1.10 is minor 1.
  if (dot + 1 >= version.size()) return kJdkMinorNotDigit;
  char minor = version[dot + 1];
  if (minor < '0' || minor > '9') return kJdkMinorNotDigit;
  if (major == 1 && minor < '4') return kJdkOlderThan14;
  return kJavaToolUsable;
}

int32_t WtkVersionStatus(std::string_view version) {
  size_t dot = 0;
  int64_t major = 0;
  // Whatever follows the first dot is accepted.
  return MajorStatus(version, 2, dot, major);
}

int CompareVersionText(std::string_view left, std::string_view right) {
  size_t common = left.size() < right.size() ? left.size() : right.size();
  for (size_t i = 0; i < common; ++i) {
    auto a = static_cast<unsigned char>(left[i]);
    auto b = static_cast<unsigned char>(right[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (left.size() == right.size()) return 0;
  return left.size() < right.size() ? -1 : 1;
}

// Texts, not numbers: the same on every locale, and "1.10" is below "1.5".
bool JdkVersionQualifies(std::string_view version) {
  return CompareVersionText(version, kJdkMinimumVersion) >= 0;
}

bool WtkVersionQualifies(std::string_view version) {
  return CompareVersionText(version, kWtkMinimumVersion) >= 0;
}

}  // namespace vx
