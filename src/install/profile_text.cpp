// An ini file held as text in the form the profile functions write it.
#include "install/profile_text.h"

namespace vx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Characters the profile functions may trim at the edge of a name or value:
// blanks and controls, and the no-break space of the Windows-1252 code page.
bool TrimmedAtEdge(unsigned char c) { return c <= 0x20 || c == 0x7F || c == 0xA0; }

}  // namespace

bool ProfileText::IsPlainName(std::string_view name, bool isSection) {
  if (name.empty() || TrimmedAtEdge(name.front()) || TrimmedAtEdge(name.back())) return false;
  if (name.front() == ';' || name.front() == '[') return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte) || byte >= 0x80) return false;
    if (isSection ? (c == '[' || c == ']') : c == '=') return false;
  }
  return true;
}

bool ProfileText::IsPlainValue(std::string_view value) {
  if (value.empty()) return true;
  if (TrimmedAtEdge(value.front()) || TrimmedAtEdge(value.back())) return false;
  for (char c : value) {
    if (IsControl(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

ProfileText::Section* ProfileText::Find(std::string_view section) {
  auto found = bySection_.find(LowerAscii(section));
  return found == bySection_.end() ? nullptr : &sections_[found->second];
}

const ProfileText::Section* ProfileText::Find(std::string_view section) const {
  auto found = bySection_.find(LowerAscii(section));
  return found == bySection_.end() ? nullptr : &sections_[found->second];
}

bool ProfileText::HasSection(std::string_view section) const { return Find(section) != nullptr; }

std::vector<std::string_view> ProfileText::Keys(std::string_view section) const {
  std::vector<std::string_view> keys;
  if (const Section* found = Find(section)) {
    keys.reserve(found->entries.size());
    for (const Entry& entry : found->entries) keys.push_back(entry.key);
  }
  return keys;
}

std::optional<std::string_view> ProfileText::Value(std::string_view section,
                                                   std::string_view key) const {
  const Section* found = Find(section);
  if (!found) return std::nullopt;
  auto entry = found->byKey.find(LowerAscii(key));
  if (entry == found->byKey.end()) return std::nullopt;
  return std::string_view(found->entries[entry->second].value);
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  Section* target = Find(section);
  if (!target || !IsPlainName(key, false) || !IsPlainValue(value)) return false;
  auto [slot, added] = target->byKey.try_emplace(LowerAscii(key), target->entries.size());
  if (added) {
    target->entries.push_back({std::string(key), std::string(value)});
  } else {
    target->entries[slot->second].value = value;  // the key keeps its spelling
  }
  return true;
}

bool ProfileText::OpenSection(std::string_view section) {
  if (!IsPlainName(section, true)) return false;
  if (!bySection_.emplace(LowerAscii(section), sections_.size()).second) return false;
  sections_.emplace_back().name = section;
  return true;
}

bool ProfileText::AddSection(std::string_view section, std::string_view key,
                             std::string_view value) {
  if (!IsPlainName(key, false) || !IsPlainValue(value) || !OpenSection(section)) return false;
  return Set(section, key, value);
}

std::string ProfileText::Text() const {
  size_t size = 0;
  for (const Section& section : sections_) {
    size += section.name.size() + 6;
    for (const Entry& entry : section.entries) size += entry.key.size() + entry.value.size() + 3;
  }
  std::string text;
  text.reserve(size);
  for (const Section& section : sections_) {
    if (layout_ == Layout::EmptyLineBeforeSection) text += kLineEnd;
    text += '[';
    text += section.name;
    text += ']';
    text += kLineEnd;
    for (const Entry& entry : section.entries) {
      text += entry.key;
      text += '=';
      text += entry.value;
      text += kLineEnd;
    }
  }
  return text;
}

bool ProfileText::Parse(std::string_view text) {
  layout_ = Layout::None;
  sections_.clear();
  bySection_.clear();
  if (text.empty()) return true;
  if (text.size() < kLineEnd.size() || text.substr(text.size() - kLineEnd.size()) != kLineEnd) {
    return false;
  }
  layout_ = text.substr(0, kLineEnd.size()) == kLineEnd ? Layout::EmptyLineBeforeSection
                                                         : Layout::NoEmptyLines;
  bool afterEmptyLine = false;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(kLineEnd, start);
    const std::string_view line = text.substr(start, end - start);
    start = end + kLineEnd.size();
    for (char c : line) {
      if (IsControl(static_cast<unsigned char>(c))) return false;  // a lone CR or LF too
    }
    if (line.empty()) {
      // Only the empty line the layout puts before a section.
      if (layout_ != Layout::EmptyLineBeforeSection || afterEmptyLine) return false;
      afterEmptyLine = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return false;
      if ((layout_ == Layout::EmptyLineBeforeSection) != afterEmptyLine) return false;
      afterEmptyLine = false;
      if (!OpenSection(line.substr(1, line.size() - 2))) return false;
      continue;
    }
    if (afterEmptyLine || sections_.empty()) return false;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    Section& section = sections_.back();
    if (!IsPlainName(key, false) || !IsPlainValue(value)) return false;
    if (!section.byKey.emplace(LowerAscii(key), section.entries.size()).second) return false;
    section.entries.push_back({std::string(key), std::string(value)});
  }
  return !afterEmptyLine;
}

}  // namespace vx
