#include "product_view.h"

#include <windows.h>

#include "common/handles.h"
#include "common/product.h"
#include "common/registry.h"
#include "program_support.h"

namespace vx::programs {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr DWORD kPreviewBytes = 4096;  // enough for the first lines of any project

// Bytes an edit control would misread (NUL, line controls) shown as dots.
std::string Printable(std::string_view line) {
  std::string result(line);
  for (char& c : result) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') c = '.';
  }
  return result;
}

}  // namespace

std::string DescribeSettings() {
  std::string result = std::string(text::kProductSettingsLabel) +
                       kSettingsKeys[kSettingsKeySystem] + "):" + kLineEnd;
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
  if (registry.OpenKeyReadOnly(kSettingsKeys[kSettingsKeySystem]) != ERROR_SUCCESS) {
    return result + text::kProductSettingsMissing + kLineEnd;
  }
  for (const char* name : kShownSettingNames) {
    DWORD type = REG_NONE;
    std::string data;
    std::string shown;
    if (registry.ReadValue(name, type, data) != ERROR_SUCCESS) {
      shown = text::kProductValueNotSet;
    } else if (type != REG_SZ && type != REG_EXPAND_SZ) {
      shown = text::kProductValueNotText;
    } else {
      shown = Printable(data.substr(0, data.find('\0')));  // stored with its terminator
    }
    result += std::string("  ") + name + " = " + shown + kLineEnd;
  }
  return result;
}

std::string DescribeProject(const std::string& projectPath) {
  if (projectPath.empty()) return std::string(text::kProductNoProject) + kLineEnd;
  std::string result = std::string(text::kProductProjectLabel) + NameOf(projectPath) + " (" +
                       projectPath + ")" + kLineEnd;
  FileHandle file(CreateFileA(projectPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes(kPreviewBytes, '\0');
  DWORD got = 0;
  if (!file || !ReadFile(file.get(), bytes.data(), kPreviewBytes, &got, nullptr)) {
    return result + text::kProductProjectUnreadable + ErrorSuffix(GetLastError()) + kLineEnd;
  }
  bytes.resize(got);
  std::string_view rest = bytes;
  for (int line = 0; line < kProjectPreviewLines && !rest.empty(); ++line) {
    size_t end = rest.find('\n');
    std::string_view current = rest.substr(0, end);
    if (!current.empty() && current.back() == '\r') current.remove_suffix(1);
    result += "  " + Printable(current) + kLineEnd;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return result;
}

std::string DescribeProduct(const std::string& programFolder, const std::string& projectPath) {
  return std::string(kProductTitle) + kLineEnd + text::kProductFolderLabel + programFolder +
         kLineEnd + kLineEnd + DescribeSettings() + kLineEnd + DescribeProject(projectPath);
}

}  // namespace vx::programs
