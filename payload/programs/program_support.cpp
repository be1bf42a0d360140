#include "program_support.h"

#include <algorithm>

#include "common/product.h"
#include "common/text.h"

namespace vx::programs {

std::string OwnPath() {
  std::string path(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: ask again with room to spare
  }
  return std::string();
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ArgumentsAfterProgram(const char* commandLine) {
  std::string_view line = commandLine ? commandLine : "";
  size_t pos = 0;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos < line.size() && line[pos] == '"') {
    size_t close = line.find('"', pos + 1);
    pos = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
  }
  return TrimBlanks(line.substr(pos));
}

std::vector<std::string> SplitArguments(std::string_view arguments) {
  std::vector<std::string> result;
  size_t pos = 0;
  while (pos < arguments.size()) {
    while (pos < arguments.size() && static_cast<unsigned char>(arguments[pos]) <= ' ') ++pos;
    if (pos >= arguments.size()) break;
    std::string argument;
    bool quoted = false;
    for (; pos < arguments.size(); ++pos) {
      char c = arguments[pos];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && static_cast<unsigned char>(c) <= ' ') {
        break;
      } else {
        argument += c;
      }
    }
    result.push_back(std::move(argument));
  }
  return result;
}

std::string SingleArgument(std::string_view arguments) {
  std::string text = TrimBlanks(arguments);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool ContainsPath(const std::vector<std::string>& paths, const std::string& path) {
  return std::any_of(paths.begin(), paths.end(),
                     [&](const std::string& entry) { return SamePath(entry, path); });
}

namespace {

std::string FullPath(const std::string& path) {
  if (path.empty()) return std::string();
  DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::string();
  std::string full(needed, '\0');
  DWORD length = GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::string();
  full.resize(length);
  while (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}

}  // namespace

bool IsInsideFolder(const std::string& folder, const std::string& path) {
  std::string base = FullPath(folder);
  std::string full = FullPath(path);
  if (base.empty() || full.empty()) return false;
  if (SamePath(base, full)) return true;
  if (base.back() != '\\') base += '\\';
  return full.size() > base.size() && SamePath(base, full.substr(0, base.size()));
}

std::string ErrorSuffix(DWORD error) {
  return std::string(text::kErrorPrefix) + std::to_string(error) + text::kErrorSuffix;
}

}  // namespace vx::programs
