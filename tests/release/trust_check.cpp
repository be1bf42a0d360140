// Asks Windows itself about a program's signature, as Explorer and the
// elevation prompt do:
//   trust_check trust-root <certificate.der>  makes the certificate a trusted
//                                             root for this user
//   trust_check verify <program.exe>          WinVerifyTrust with the
//                                             Authenticode policy
// Both print one line with the outcome; the exit code is 0 only on success.
#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int TrustRoot(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> der((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
  if (der.empty()) {
    std::printf("trust-root: %s cannot be read\n", path);
    return 1;
  }
  // The user's Root store: the one Wine's default chain engine reads (a
  // certificate added to the machine's store is not trusted there). Windows
  // itself would ask the user to confirm this addition.
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                  CERT_SYSTEM_STORE_CURRENT_USER, "Root");
  if (!root) {
    std::printf("trust-root: the user's Root store: error %lu\n", GetLastError());
    return 1;
  }
  const BOOL added = CertAddEncodedCertificateToStore(
      root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const DWORD error = GetLastError();
  CertCloseStore(root, 0);
  if (!added) {
    std::printf("trust-root: not added: error 0x%08lx\n", error);
    return 1;
  }
  std::printf("trust-root: added\n");
  return 0;
}

int Verify(const char* path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  std::wstring widePath(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path, -1, widePath.data(), length);

  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = widePath.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;  // a test CA has no revocation list
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  std::printf("WinVerifyTrust: 0x%08lx\n", static_cast<unsigned long>(result));
  return result == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "trust-root") return TrustRoot(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "verify") return Verify(argv[2]);
  std::printf("usage: trust_check trust-root <certificate.der> | verify <program.exe>\n");
  return 2;
}
