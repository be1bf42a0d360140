#include "common/text.h"

namespace vx {

std::string ExtractField(std::string_view text, std::string_view delimiter, int32_t n) {
  std::string_view rest = text;
  std::string_view::size_type found = std::string_view::npos;
  for (int32_t k = 1; k <= n; ++k) {
    found = delimiter.empty() ? std::string_view::npos : rest.find(delimiter);
    if (k == n) break;
    if (found == std::string_view::npos) {
      // Nothing is left to split: every later field is empty as well.
      return std::string();
    }
    rest.remove_prefix(found + delimiter.size());
  }
  if (found == std::string_view::npos) return std::string(rest);
  return std::string(rest.substr(0, found));
}

std::string ExtractCharField(std::string_view text, char delimiter, int32_t n) {
  std::string copy(text);
  for (char& c : copy) {
    if (c == delimiter) c = '|';
  }
  return ExtractField(copy, "|", n);
}

std::string RightChars(std::string_view text, int32_t n) {
  if (n < 0 || static_cast<uint64_t>(n) > text.size()) return std::string(text);
  return std::string(text.substr(text.size() - static_cast<size_t>(n)));
}

std::string MergeBackslashes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c == '\\' && !result.empty() && result.back() == '\\') continue;
    result.push_back(c);
  }
  return result;
}

std::string TrimBlanks(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 0x20) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20) --last;
  return std::string(text.substr(first, last - first));
}

std::string NormalizedInstallFolder(std::string_view text) {
  std::string folder = MergeBackslashes(TrimBlanks(text));
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::string TwoDigits(int value) {
  std::string digits = std::to_string(value);
  return digits.size() == 1 ? "0" + digits : digits;
}

}  // namespace

std::string DateToYmd(const CalendarDate& date) {
  if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > DaysInMonth(date.year, date.month)) {
    return std::string();
  }
  std::string year = std::to_string(date.year);
  if (year.size() < 4) year = "20" + year;
  return year + TwoDigits(date.month) + TwoDigits(date.day);
}

}  // namespace vx
