// Shell link files made through the shell's link object (IShellLinkA saved
// through IPersistFile).
#include "wizard/shell_links.h"

#include <shlobj.h>

#include <string>

#include "common/handles.h"

namespace vx {

namespace {

std::wstring Utf16(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  }
  return wide;
}

}  // namespace

HRESULT SaveShellLink(const std::string& target, const std::string& arguments,
                      const std::string& workingDirectory, const std::string& linkFile) {
  ComPtr<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkA, link.put_void());
  if (FAILED(result)) return result;
  ComPtr<IPersistFile> file;
  if (FAILED(result = link.As(IID_IPersistFile, file)) ||
      FAILED(result = link->SetPath(target.c_str())) ||
      FAILED(result = link->SetArguments(arguments.c_str())) ||
      FAILED(result = link->SetWorkingDirectory(workingDirectory.c_str()))) {
    return result;
  }
  const std::wstring path = Utf16(linkFile);
  if (path.empty()) return E_INVALIDARG;
  return file->Save(path.c_str(), FALSE);
}

bool CreateShellLink(const std::string& target, const std::string& arguments,
                     const std::string& workingDirectory, const std::string& linkFile) {
  return SUCCEEDED(SaveShellLink(target, arguments, workingDirectory, linkFile));
}

}  // namespace vx
