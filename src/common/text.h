// Text helpers shared by the wizard, the install worker and the package reader.
// Portable C++: the package code that uses them also builds on the host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

// Field n (1-based) of text, fields separated by the delimiter text. Field 0 or
// below gives the whole text; a field past the last one gives an empty text;
// an empty delimiter is never found.
std::string ExtractField(std::string_view text, std::string_view delimiter, int32_t n);

// As ExtractField with a one-byte delimiter. A "|" already in the text
// separates fields as well, because the delimiter is first turned into "|".
std::string ExtractCharField(std::string_view text, char delimiter, int32_t n);

// The last n characters; the whole text when n is negative or longer than it.
std::string RightChars(std::string_view text, int32_t n);

// Every run of backslashes becomes a single backslash, the leading pair of a
// network path included.
std::string MergeBackslashes(std::string_view text);

// Blanks and control characters (bytes up to 0x20) removed at both ends.
std::string TrimBlanks(std::string_view text);

// The install folder as the setup uses it everywhere, from the folder check
// to the shortcuts: the text trimmed, every run of backslashes made one, and
// one trailing backslash removed. Normalizing twice changes nothing.
std::string NormalizedInstallFolder(std::string_view text);

// A calendar date as the date helpers see it.
struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// Year, two-digit month and two-digit day written together ("20090503").
// A year of fewer than four digits gets "20" in front. An impossible date
// gives an empty text.
std::string DateToYmd(const CalendarDate& date);

}  // namespace vx
