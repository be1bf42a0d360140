#include "package/format.h"

#include "common/text.h"

namespace vx {

namespace {

bool IsDeviceName(std::string_view name) {
  // Windows maps these to devices in every folder, with or without extension.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper(base);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$",
                                                  "CONOUT$", "CLOCK$"};
  for (std::string_view device : kDevices) {
    if (upper == device) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

// Why one folder segment or file name is not a plain name, or nullptr.
const char* NameProblem(std::string_view name) {
  if (name.empty()) return "empty name (doubled backslash or rooted form)";
  bool onlyDotsAndBlanks = true;
  for (char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/') return "path separator inside a name";
    if (c == ':') return "drive or stream colon";
    if (byte < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      return "character not allowed in names";
    }
    if (c != '.' && c != ' ') onlyDotsAndBlanks = false;
  }
  if (onlyDotsAndBlanks) return "\".\" or \"..\" segment";
  if (IsDeviceName(name)) return "device name";
  return nullptr;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

// ---------------------------------------------------------------- item record
TPackItem::TPackItem(std::string folder, std::string fileName)
    : Folder(std::move(folder)), FileName(std::move(fileName)) {}

void TPackItem::ParseLine(std::string_view text) {
  Folder = TrimBlanks(ExtractField(text, ",", 1));
  FileName = TrimBlanks(ExtractField(text, ",", 2));
  Status = kItemValid;
  int32_t* const numbers[3] = {&Offset, &Size, &FileDate};
  for (int32_t k = 0; k < 3; ++k) {
    std::optional<int32_t> value = ParseInt32(TrimBlanks(ExtractField(text, ",", k + 3)));
    if (!value) {
      Status = kItemInvalid;
      return;
    }
    *numbers[k] = *value;
  }
  // A record whose path would leave the install folder is no valid record.
  if (!IsSafeItemPath(Folder, FileName)) Status = kItemInvalid;
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::optional<std::string_view> RecordText(std::string_view line) {
  size_t bar = line.find(kItemLineEnd);
  if (bar == std::string_view::npos) return std::nullopt;
  return line.substr(0, bar);
}

std::string UnsafePathReason(std::string_view folder, std::string_view fileName) {
  if (!folder.empty()) {
    if (folder.front() != '\\') return "folder does not start with a backslash";
    std::string_view rest = folder.substr(1);
    // One trailing backslash is harmless: the folder is the same.
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    while (!rest.empty()) {
      size_t slash = rest.find('\\');
      std::string_view segment = rest.substr(0, slash);
      if (const char* problem = NameProblem(segment)) {
        return std::string("folder: ") + problem;
      }
      if (slash == std::string_view::npos) break;
      rest.remove_prefix(slash + 1);
      if (rest.empty()) return "folder: empty name (doubled backslash or rooted form)";
    }
  }
  if (const char* problem = NameProblem(fileName)) return std::string("file name: ") + problem;
  return std::string();
}

bool IsSafeItemPath(std::string_view folder, std::string_view fileName) {
  return UnsafePathReason(folder, fileName).empty();
}

// ---------------------------------------------------------------- dates
std::optional<int32_t> PackDosDateTime(const DosDateTime& value) {
  if (value.year < 1980 || value.year > 2107 || value.month < 1 || value.month > 12 ||
      value.day < 1 || value.day > DaysInMonth(value.year, value.month) || value.hour < 0 ||
      value.hour > 23 || value.minute < 0 || value.minute > 59 || value.second < 0 ||
      value.second > 59) {
    return std::nullopt;
  }
  uint32_t packed = static_cast<uint32_t>(value.year - 1980) << 25 |
                    static_cast<uint32_t>(value.month) << 21 |
                    static_cast<uint32_t>(value.day) << 16 |
                    static_cast<uint32_t>(value.hour) << 11 |
                    static_cast<uint32_t>(value.minute) << 5 |
                    static_cast<uint32_t>(value.second / 2);
  return static_cast<int32_t>(packed);
}

std::optional<DosDateTime> UnpackDosDateTime(int32_t packed) {
  uint32_t bits = static_cast<uint32_t>(packed);
  DosDateTime value;
  value.year = static_cast<int>(bits >> 25) + 1980;
  value.month = static_cast<int>(bits >> 21 & 0x0F);
  value.day = static_cast<int>(bits >> 16 & 0x1F);
  value.hour = static_cast<int>(bits >> 11 & 0x1F);
  value.minute = static_cast<int>(bits >> 5 & 0x3F);
  value.second = static_cast<int>(bits & 0x1F) * 2;
  if (value.month < 1 || value.month > 12 || value.day < 1 ||
      value.day > DaysInMonth(value.year, value.month) || value.hour > 23 || value.minute > 59 ||
      value.second > 58) {
    return std::nullopt;
  }
  return value;
}

int32_t DayCountSince1899(int year, int month, int day) {
  // Days from the civil calendar's epoch, then moved to 30 December 1899.
  auto daysFromCivil = [](int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
  };
  return static_cast<int32_t>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
}

// ---------------------------------------------------------------- writing
std::string PackageHeader(std::string_view identifier, int32_t listOffset) {
  std::string line1 = std::string(kPackMagic) + std::string(identifier);
  std::string line2 = std::to_string(listOffset);
  const size_t used = line1.size() + line2.size();
  if (used > static_cast<size_t>(kPackHeaderLines12Max)) return std::string();
  std::string header;
  header.reserve(kPackHeaderSize);
  header += line1;
  header += "\r\n";
  header += line2;
  header += "\r\n-";
  header.append(static_cast<size_t>(kPackHeaderLines12Max) - used, 'x');
  header += "\r\n";
  return header;
}

std::string FormatItemLine(std::string_view folder, std::string_view fileName, int32_t offset,
                           int32_t size, int32_t fileDate) {
  std::string line;
  line.reserve(folder.size() + fileName.size() + 48);
  line += folder;
  line += kItemFieldSeparator;
  line += fileName;
  line += kItemFieldSeparator;
  line += std::to_string(offset);
  line += kItemFieldSeparator;
  line += std::to_string(size);
  line += kItemFieldSeparator;
  line += std::to_string(fileDate);
  line += kItemLineEnd;
  line += "\r\n";
  return line;
}

}  // namespace vx
