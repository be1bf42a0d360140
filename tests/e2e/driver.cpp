// End-to-end driver: starts the real setup executable and works it as a user
// would, from another process. It finds the wizard by its class and the
// controls by their texts, clicks with posted BM_CLICK, types into the folder
// field with WM_SETTEXT, reads and answers the message boxes (#32770) and then
// checks what the run left on the machine.
//
// Usage: vx_e2e_driver <scenario> <SetupVXLite.exe> [scenario arguments]
// The last line says "E2E PASSED <scenario>" or "E2E FAILED <scenario>: why".
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include <sddl.h>
#include <shellapi.h>

#include "common/footprint.h"
#include "common/handles.h"
#include "common/product.h"
#include "install/install_thread.h"
#include "kill_points.h"
#include "machine.h"
#include "product_window.h"
#include "setup_run.h"

namespace {

using namespace vx;
using namespace vx::e2e;

// ---------------------------------------------------------------- scenarios

// A second copy started while the first shows its wizard ends silently with
// exit code 0; the first keeps its window and its page.
void SecondCopy(const std::string& exe, const Arguments&) {
  SetupRun first(exe);
  HWND wizard = first.WaitForWizard();
  GoToPage(first, 2);
  SetupRun second(exe);
  second.WaitForCleanExit();
  Require(!second.Box(), "the second copy left a box");
  Require(first.Running() && first.Wizard() == wizard, "the first wizard is gone");
  Require(first.Shows(text::kAcceptEula) && !first.Box(), "the first wizard changed");
  Require(TopWindowsOf(first.Id(), kWizardClassName).size() == 1, "more than one wizard shown");
  Note("second copy ended with 0; the first stays on its page");
  CancelHere(first, text::kAcceptEula);
  RequireNothingInstalled(DefaultInstallFolder());
}

// The uninstall record of an earlier install blocks the wizard.
void AlreadyInstalled(const std::string& exe, const Arguments&) {
  HKEY key = nullptr;
  Require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0,
                          KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr) == ERROR_SUCCESS,
          "the uninstall record cannot be made");
  RegCloseKey(key);
  SetupRun setup(exe);
  setup.AnswerBox(text::kAlreadyInstalled, IDOK);
  RequireBlocked(setup);
  Require(!PathExists(DefaultInstallFolder()), "a blocked setup made the install folder");
}

// A window of the product's class (the running product) blocks the wizard.
void ProductRunning(const std::string& exe, const Arguments&) {
  {
    test::ProductWindow product;
    Require(product.get() != nullptr, "the product's window cannot be made");
    SetupRun setup(exe);
    setup.AnswerBox(text::kAlreadyRunning, IDOK);
    RequireBlocked(setup);
  }
  RequireNothingInstalled(DefaultInstallFolder());
}

// Cancel on each of pages 1 to 3: No keeps the page, Yes leaves nothing.
void CancelPages(const std::string& exe, const Arguments&) {
  const char* pageTexts[] = {text::kWelcome, text::kAcceptEula, text::kSelectFolder};
  for (int page = 1; page <= 3; ++page) {
    SetupRun setup(exe);
    GoToPage(setup, page);
    CancelHere(setup, pageTexts[page - 1]);
    RequireNothingInstalled(DefaultInstallFolder());
    Note("cancelled on page " + std::to_string(page));
  }
}

// Folders on drives the setup must refuse: each argument is
// "<letter>=<reason text id>" with the ids "cdrom" and "nodrive".
void RefusedFolders(const std::string& exe, const Arguments& drives) {
  Require(!drives.empty(), "no drive letters given");
  SetupRun setup(exe);
  GoToPage(setup, 3);
  for (const std::string& drive : drives) {
    const std::string letter = drive.substr(0, 1);
    const std::string kind = drive.substr(2);
    const std::string reason = kind == "cdrom" ? text::kCdromDrive : text::kNoRootDirectory;
    const std::string folder = letter + ":\\" + kDefaultFolderName;
    TypeFolder(setup, folder);
    setup.Click(text::kInstall);
    setup.AnswerBox(std::string(text::kFolderErrorStart) + folder + "\r" +
                        text::kFolderErrorMiddle + "\r" + reason,
                    IDOK);
    Require(setup.Shows(text::kSelectFolder), "a refused folder left page 3");
    Require(!PathExists(folder), "the refused folder was made");
  }
  CancelHere(setup, text::kSelectFolder);
  RequireNothingInstalled(DefaultInstallFolder());
}

// Folders that are links ("<name>=link": C:\<name> is a link to a folder
// elsewhere, planted before the setup starts): the folder page refuses the
// link and a folder inside it, and nothing is made through it.
void LinkedFolders(const std::string& exe, const Arguments& links) {
  Require(!links.empty(), "no links given");
  SetupRun setup(exe);
  GoToPage(setup, 3);
  for (const std::string& link : links) {
    const std::string linked = "C:\\" + link.substr(0, link.find('='));
    for (const std::string& folder : {linked, linked + "\\" + kDefaultFolderName}) {
      TypeFolder(setup, folder);
      setup.Click(text::kInstall);
      setup.AnswerBox(std::string(text::kFolderErrorStart) + folder + "\r" +
                          text::kFolderErrorMiddle + "\r" + text::kFolderIsLink,
                      IDOK);
      Require(setup.Shows(text::kSelectFolder), "a refused folder left page 3");
    }
    Require(!PathExists(linked + "\\" + kDefaultFolderName), "a folder was made through the link");
  }
  CancelHere(setup, text::kSelectFolder);
  RequireNothingInstalled(DefaultInstallFolder());
}

// ---------------------------------------------------------------- timing

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Starts a program of the system (no window of the driver's own); the owner
// of the returned handle waits for it or ends it.
KernelHandle StartSystemProgram(const char* command, DWORD* processId = nullptr) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = command;
  Require(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &info) != FALSE,
          std::string("cannot start ") + command);
  CloseHandle(info.hThread);
  if (processId) *processId = info.dwProcessId;
  return KernelHandle(info.hProcess);
}

// Time from starting the setup to its first page being shown (median of the
// runs given as the argument, default 5), beside two plain programs of Wine
// itself started in the same run: cmd /c exit 0 (start and end) and
// notepad (start to its window shown).
void StartTime(const std::string& exe, const Arguments& arguments) {
  const int runs = arguments.empty() ? 5 : std::max(1, std::atoi(arguments[0].c_str()));
  // The probe reads the texts the system keeps for the controls
  // (GetWindowText asks no other process), so it adds no waiting of its own.
  auto shownText = [](HWND window, const char* text) {
    return window && ShownChild(window, [text](HWND child) {
             char shown[256] = {};
             GetWindowTextA(child, shown, sizeof shown);
             return std::strcmp(shown, text) == 0;
           });
  };
  auto pollUntil = [](const char* what, auto done) {
    const ULONGLONG limit = GetTickCount64() + kStepTimeoutMs;
    while (!done()) {
      Require(GetTickCount64() < limit, std::string("timed out waiting for ") + what);
      Sleep(2);
    }
  };
  std::vector<double> wizard, bare, notepad;
  for (int run = 0; run < runs; ++run) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    {
      SetupRun setup(exe);
      pollUntil("the first page", [&] { return shownText(setup.Wizard(), text::kWelcome); });
      wizard.push_back(MillisecondsSince(start));
      CancelHere(setup, text::kWelcome);
    }

    QueryPerformanceCounter(&start);
    KernelHandle cmd = StartSystemProgram("cmd.exe /c exit 0");
    WaitForSingleObject(cmd.get(), kStepTimeoutMs);
    bare.push_back(MillisecondsSince(start));

    QueryPerformanceCounter(&start);
    DWORD notepadId = 0;
    KernelHandle editor = StartSystemProgram("notepad.exe", &notepadId);
    HWND editorWindow = nullptr;
    pollUntil("notepad's window", [&] {
      const std::vector<HWND> windows = TopWindowsOf(notepadId, "Notepad");
      editorWindow = windows.empty() ? nullptr : windows.front();
      return editorWindow != nullptr;
    });
    notepad.push_back(MillisecondsSince(start));
    PostMessageA(editorWindow, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(editor.get(), kStepTimeoutMs) != WAIT_OBJECT_0) {
      TerminateProcess(editor.get(), 1);
    }
  }
  std::printf("setup start to first page: median %.0f ms over %d runs\n", Median(wizard), runs);
  std::printf("cmd /c exit 0, start to end: median %.0f ms over %d runs\n", Median(bare), runs);
  std::printf("notepad, start to its window shown: median %.0f ms over %d runs\n",
              Median(notepad), runs);
}

// ---------------------------------------------------------------- install runs

// Installs with the defaults and leaves page 5 without starting the product.
void InstallWithDefaults(const std::string& exe) {
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kFinished, kInstallTimeoutMs);
  FinishWith(setup, false);
}

// The full install with the defaults and "Run ... now!" ticked: the product
// starts from the install folder. A JDK is registered, so the NOTE names
// only the wireless toolkit and the settings name the JDK.
void FullInstall(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string jdkHome = "C:\\jdk1.6.0_20";
  RegisterJdk("1.6.0_20", jdkHome);
  const std::string folder = DefaultInstallFolder();
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kFinished, kInstallTimeoutMs);
  Require(setup.Shows(text::kNoteCaption) && setup.Shows(text::kWtkRequirement) &&
              !setup.Shows(text::kJdkRequirement),
          "the NOTE should name the wireless toolkit only");
  RequireInstalled(folder, payload);
  Note("installed into " + folder);
  RequireString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], kSettingJavaHome, jdkHome);
  RequireString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], kSettingJavaVersion,
                "1.6.0_20");
  Require(!ReadString(HKEY_LOCAL_MACHINE, kSettingsKeys[kSettingsKeySystem], kSettingRootWtk),
          "a toolkit was written though none is registered");
  Require(!VisibleProductWindow(), "the product runs before Finish");
  FinishWith(setup, true);

  HWND product = WaitFor("the product's window", VisibleProductWindow);
  DWORD productId = 0;
  GetWindowThreadProcessId(product, &productId);
  KernelHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, productId));
  Require(static_cast<bool>(process), "the product's process cannot be opened");
  char image[MAX_PATH * 2] = {};
  DWORD length = sizeof image;
  QueryFullProcessImageNameA(process.get(), 0, image, &length);
  Require(Lowercase(image) == Lowercase(folder + "\\" + kProductExeName),
          std::string("the product ran from ") + image);
  // The setup runs with administrator rights; the product it starts must
  // not: the desktop shell starts it, with the user's own token.
  Require(!RunsElevated(process.get()), "the product runs elevated");
  Require(ParentProcessOf(productId) == DesktopShellProcess(),
          "the product was not started by the desktop shell");
  Note(std::string("the product's window is shown: ") + TextOf(product));
  PostMessageA(product, WM_CLOSE, 0, 0);
  Require(WaitForSingleObject(process.get(), kStepTimeoutMs) == WAIT_OBJECT_0,
          "the product did not close");
}

// Uninstall with the product's own uninstaller leaves nothing, and the setup
// then installs again on the same machine.
void UninstallReinstall(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string folder = DefaultInstallFolder();
  InstallWithDefaults(exe);
  RequireInstalled(folder, payload);
  UninstallSilently();
  RequireNothingLeft(folder);
  Note("nothing is left after the uninstall");
  // A deletion at restart of the uninstall program's place, as an uninstall
  // that could not delete itself leaves it: the reinstall clears it.
  const std::string uninstaller = "\\??\\" + UninstallProgramIn(WindowsFolder());
  const std::string other = "\\??\\C:\\other.tmp";
  const std::string pending = uninstaller + '\0' + '\0' + other + '\0' + '\0' + '\0';
  Require(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                          REG_MULTI_SZ, pending.data(), static_cast<DWORD>(pending.size())) ==
              ERROR_SUCCESS,
          "the pending deletion cannot be written");
  InstallWithDefaults(exe);
  RequireInstalled(folder, payload);
  // The uninstall's helper may add deletions of its own copy meanwhile:
  // what counts is that the uninstall program's is gone and the other stays.
  std::string left(64 * 1024, '\0');
  DWORD size = static_cast<DWORD>(left.size());
  Require(RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                       RRF_RT_REG_MULTI_SZ, nullptr, left.data(), &size) == ERROR_SUCCESS,
          "the pending deletions cannot be read");
  left.resize(size);
  // Pairs of strings (source, target; an empty target deletes), each ended by
  // its 0, over the whole value.
  std::vector<std::string> strings;
  for (size_t at = 0; at < left.size();) {
    const size_t end = std::min(left.find('\0', at), left.size());
    strings.push_back(left.substr(at, end - at));
    at = end + 1;
  }
  std::vector<std::string> sources;
  for (size_t i = 0; i < strings.size(); i += 2) {
    if (!strings[i].empty()) sources.push_back(Lowercase(strings[i]));
  }
  Require(std::find(sources.begin(), sources.end(), Lowercase(uninstaller)) == sources.end(),
          "the pending deletion of the uninstall program is still there");
  Require(std::find(sources.begin(), sources.end(), Lowercase(other)) != sources.end(),
          "another program's pending deletion was removed");
  Note("installed again; the pending deletion of the uninstall program is cleared");
}

// A file of the package in use at its target (opened without sharing, as a
// running program holds its files) makes the copy fail with -333: the
// error box, page 4 stays, "Exit" closes without a question after removing
// what was copied: the machine is as it was before. Once the file is free,
// the setup installs.
void UnpackError(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string folder = DefaultInstallFolder();
  const std::string held = folder + "\\" + kLauncherExeName;
  Require(CreateDirectoryA(folder.c_str(), nullptr) != FALSE, "the install folder cannot be made");
  {
    FileHandle inUse(CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                 nullptr));
    Require(static_cast<bool>(inUse), "the file in use cannot be made");
    const MachineState before({folder});
    SetupRun setup(exe);
    StartInstall(setup);
    char error[256];
    std::snprintf(error, sizeof error, text::kInstallErrorFormat, kUnpackCannotWrite);
    setup.AnswerBox(error, IDOK);
    Require(setup.Shows(text::kPleaseWait), "page 4 is no longer shown");
    setup.Click(text::kExit);
    setup.WaitForCleanExit();
    Require(!setup.Box(), "a question was asked");
    Require(!KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), "an uninstall record was written");
    Require(!PathExists(InstallLogInWindowsFolder(WindowsFolder())), "an install log was written");
    Require(!KeyExists(HKEY_LOCAL_MACHINE, kSettingsKeys[1]), "settings were written");
    MachineState({folder}).RequireSameAs(before, "after Exit");
  }
  Note("the failed install left nothing; the file is free again");
  InstallWithDefaults(exe);
  RequireInstalled(folder, payload);
}

// The names directly in a folder, files and folders, in lower case, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  FindHandle find(FindFirstFileA((folder + "*").c_str(), &found));
  if (!find) return names;
  do {
    names.push_back(Lowercase(found.cFileName));
  } while (FindNextFileA(find.get(), &found));
  std::sort(names.begin(), names.end());
  return names;
}

// The root of the system drive as the install folder: the product installs
// there, the record keeps the root's backslash, and the uninstall program,
// started from the Windows folder (as the list of installed programs
// starts it), removes every installed file and folder: the machine is as it
// was before.
void DriveRoot(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const std::string root = "C:\\";
  const std::vector<std::string> files = FilesUnder(payload);
  const MachineState before({});
  const std::vector<std::string> rootBefore = NamesIn(root);
  {
    SetupRun setup(exe);
    GoToPage(setup, 3);
    TypeFolder(setup, root);
    setup.Click(text::kInstall);
    setup.WaitForText(text::kFinished, kInstallTimeoutMs);
    FinishWith(setup, false);
    setup.WaitForCleanExit();
  }
  RequireString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", root);
  for (const std::string& file : files) {
    if (Lowercase(file) == Lowercase(UninstallProgramIn(""))) continue;
    Require(PathExists("C:" + file), "not installed: C:" + file);
  }
  Note("installed into C:\\");
  Require(SetCurrentDirectoryA(WindowsFolder().c_str()) != FALSE, "cannot enter the Windows folder");
  UninstallSilently();
  for (const std::string& file : files) Require(!PathExists("C:" + file), "left: C:" + file);
  Require(NamesIn(root) == rootBefore, "the root folder of C: differs from before the install");
  MachineState({}).RequireSameAs(before, "after the uninstall");
}

// Starts the install with the defaults and waits until the (slowed) copy is
// under way.
void ReachTheCopy(const SetupRun& setup) {
  StartInstall(setup);
  setup.WaitForText(text::kStepCopyingFiles);
  WaitFor("the copy to get going", [&] { return ProgressPosition(setup) >= 5; });
}

// "Exit" during the install, "Yes" to the question and "OK" to the notice;
// then, once the rollback has ended, "Finish" on page 5.
void CancelAndFinish(const SetupRun& setup) {
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDYES);
  setup.AnswerBox(text::kCancelledInfo, IDOK);
  setup.WaitForText(text::kUserCancelled, kInstallTimeoutMs);
  setup.Click(text::kFinish);
  setup.WaitForCleanExit();
}

// The association of an edition of the product installed before: the
// extension's class and its open command.
void WriteEarlierEdition() {
  HKEY key = nullptr;
  Require(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open\\Command", 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS,
          "the earlier edition's command key cannot be made");
  RegKey command(key);
  const std::string open = "\"C:\\Full\\vantorex.exe\" \"%1\"";
  RegSetValueExA(command.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(open.c_str()),
                 static_cast<DWORD>(open.size() + 1));
  const char type[] = "Vantorex Full Project";
  Require(RegSetKeyValueA(HKEY_CLASSES_ROOT, ".vx5", "", REG_SZ, type, sizeof type) ==
              ERROR_SUCCESS,
          "the earlier edition's class cannot be written");
}

// A cancel confirmed during the copy (slowed setup) over an earlier
// edition's association: the rollback leaves that association alone, and
// the machine is as it was before the install.
void CancelKeepsEarlierEdition(const std::string& exe, const Arguments&) {
  const std::string folder = DefaultInstallFolder();
  WriteEarlierEdition();
  const MachineState before({folder});
  SetupRun setup(exe);
  ReachTheCopy(setup);
  CancelAndFinish(setup);
  MachineState({folder}).RequireSameAs(before, "after the rollback");
}

// The files directly in the payload's root, in the order the package writes
// them (bytes compared), the uninstall program left out.
std::vector<std::string> RootItemsInPackageOrder(const std::string& payload) {
  std::vector<std::string> root;
  for (const std::string& file : FilesUnder(payload)) {
    if (file.find('\\', 1) == std::string::npos && Lowercase(file) != UninstallProgramIn("")) {
      root.push_back(file);
    }
  }
  std::sort(root.begin(), root.end());
  return root;
}

// Nothing a run moved aside is left: no aside folder in the install folder,
// no file beside itself in the Windows folder.
void RequireNothingMovedAsideLeft(const std::string& folder) {
  for (const std::string& file : FilesUnder(folder)) {
    Require(Lowercase(file).find("~vxsetup-aside-") == std::string::npos,
            "a moved-aside copy is left: " + file);
  }
  for (const std::string& file : FilesUnder(WindowsFolder())) {
    Require(Lowercase(file).find(".vxsetup-") == std::string::npos,
            "a file of the setup's is left in the Windows folder: " + file);
  }
}

// An install folder holding the user's own versions of three item files,
// one of them read-only: a cancel during the copy (slowed setup), once the
// copy has written over one of them, gives all three back byte for byte with
// their dates and attributes; a complete install afterwards replaces them
// and keeps no moved-aside copy.
void CancelOverUserFiles(const std::string& exe, const Arguments& arguments) {
  const std::string folder = DefaultInstallFolder();
  const std::string payload = PayloadFolder(arguments);
  const std::vector<std::string> root = RootItemsInPackageOrder(payload);
  Require(root.size() >= 3, "the payload has fewer than three files in its root");
  struct UserFile {
    std::string path;
    std::string bytes;
    ULONGLONG written = 0;
    DWORD attributes = 0;
  };
  std::vector<UserFile> mine;
  Require(CreateDirectoryA(folder.c_str(), nullptr) != FALSE, "the install folder cannot be made");
  for (size_t i = 0; i < 3; ++i) {
    UserFile file{folder + root[i], "the user's own " + root[i] + "\r\n"};
    FileHandle handle(CreateFileA(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    Require(handle && WriteFile(handle.get(), file.bytes.data(),
                                static_cast<DWORD>(file.bytes.size()), &written, nullptr),
            "the user's file cannot be written: " + file.path);
    const ULONGLONG date = 126950000000000000ULL + i * 10000000ULL;  // a day in 2003
    const FILETIME time{static_cast<DWORD>(date), static_cast<DWORD>(date >> 32)};
    Require(SetFileTime(handle.get(), nullptr, nullptr, &time) != FALSE, "no date set");
    handle.reset();
    if (i == 1) SetFileAttributesA(file.path.c_str(), FILE_ATTRIBUTE_READONLY);
    file.written = LastWriteTime(file.path);
    file.attributes = GetFileAttributesA(file.path.c_str());
    mine.push_back(std::move(file));
  }
  const MachineState before({folder});

  SetupRun setup(exe);
  ReachTheCopy(setup);
  WaitFor("the copy to write over the user's first file", [&] {
    HANDLE probe = CreateFileA(mine[0].path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return ReadBytes(mine[0].path) != mine[0].bytes;
  });
  CancelAndFinish(setup);
  for (const UserFile& file : mine) {
    Require(ReadBytes(file.path) == file.bytes, "the user's file is not back: " + file.path);
    Require(LastWriteTime(file.path) == file.written, "the user's file lost its date: " + file.path);
    Require(GetFileAttributesA(file.path.c_str()) == file.attributes,
            "the user's file lost its attributes: " + file.path);
  }
  MachineState({folder}).RequireSameAs(before, "after the rollback");
  Note("the user's three files are back with their bytes, dates and attributes");

  SetupRun again(exe);
  StartInstall(again);
  again.WaitForText(text::kFinished, kInstallTimeoutMs);
  FinishWith(again, false);
  RequireInstalled(folder, payload);
  RequireNothingMovedAsideLeft(folder);
}

// Fills a drive with one file of the given name until the drive is full;
// the file is left there.
void FillDrive(const std::string& filler) {
  FileHandle file(CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  Require(static_cast<bool>(file), "the filler cannot be made: " + filler);
  const std::string block(1024 * 1024, 'f');
  for (DWORD piece = static_cast<DWORD>(block.size()); piece >= 512;) {
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), block.data(), piece, &written, nullptr);
    if (!ok || written < piece) piece /= 2;  // full at this size: finer pieces fill the rest
  }
}

// "<letter>=small": the drive is a small one of its own. After the folder
// check has found it roomy enough and the (slowed) copy is under way,
// another program fills it: the copy ends with the unpack code, and Exit
// undoes the run. Once the filler is deleted again the drive and the machine
// are as before.
void FullDisk(const std::string& exe, const Arguments& drives) {
  Require(drives.size() == 1 && drives[0].size() > 2, "no small drive given");
  const std::string root = drives[0].substr(0, 1) + ":\\";
  ULARGE_INTEGER available{}, total{};
  Require(GetDiskFreeSpaceExA(root.c_str(), &available, &total, nullptr) != FALSE,
          "the small drive cannot be measured");
  // Never fill a drive that is not the small one the scenario asked for.
  Require(total.QuadPart <= 128ull * 1024 * 1024, root + " is not a small drive: not filled");
  const std::string folder = root + kDefaultFolderName;
  const std::vector<std::string> namesBefore = NamesIn(root);
  const MachineState before({folder});

  SetupRun setup(exe);
  GoToPage(setup, 3);
  TypeFolder(setup, folder);
  setup.Click(text::kInstall);
  setup.WaitForText(text::kStepCopyingFiles);
  WaitFor("the copy to get going", [&] { return ProgressPosition(setup) >= 5; });
  const std::string filler = root + "filler.bin";
  FillDrive(filler);
  char error[256];
  std::snprintf(error, sizeof error, text::kInstallErrorFormat, kUnpackCannotWrite);
  setup.AnswerBox(error, IDOK);
  setup.Click(text::kExit);
  setup.WaitForCleanExit();
  Require(!setup.Box(), "a question was asked");
  Require(DeleteFileA(filler.c_str()) != FALSE, "the filler cannot be deleted");
  Require(NamesIn(root) == namesBefore, "the small drive's root differs after the rollback");
  MachineState({folder}).RequireSameAs(before, "after the rollback");
  Require(!KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), "an uninstall record was written");
  Note("the full drive ended the copy with the unpack code; the run was undone");
}

// The setup ended without warning (TerminateProcess, as Task Manager does)
// at points spread over a whole install: right after journal records (the
// step they announce not yet taken) and at the worker's check points (the
// step before taken). Each time the setup is started again: it undoes the
// dead run before its first page, and the machine is as it was before. The
// run that is no longer ended (its point lies past the install's last one)
// is a complete install, checked as such.
void KilledRuns(const std::string& exe, const Arguments& arguments) {
  const std::string folder = DefaultInstallFolder();
  const std::string payload = PayloadFolder(arguments);
  const int items = static_cast<int>(FilesUnder(payload).size());
  // Check points: before and after the extraction, before the unpack, around
  // items, after the unpack, before each registry step and the log.
  const int checks = 3 + 2 * items + 6;
  std::vector<std::string> points;
  for (int check : {1, 2, 3, 4, 5, items / 2, items, checks - 5, checks - 4, checks - 3,
                    checks - 2, checks - 1, checks}) {
    points.push_back("check:" + std::to_string(check));
  }
  // Records: the run, the folders, items spread over the copy, then every
  // third one through the listed file, the keys, the uninstall program's copy
  // and the log, until a run is no longer ended.
  for (int record : {1, 2, 3, 4, 6, 9, items / 4, items / 2, items - 2}) {
    points.push_back("record:" + std::to_string(record));
  }
  for (int record = items; record < items + 400; record += 3) {
    points.push_back("record:" + std::to_string(record));
  }
  const MachineState before({folder});
  int killed = 0;
  for (const std::string& point : points) {
    Require(SetEnvironmentVariableA("VX_KILL_AT", point.c_str()) != FALSE, "no VX_KILL_AT");
    std::optional<DWORD> exitCode;
    {
      SetupRun setup(exe);
      StartInstall(setup);
      exitCode = setup.WaitForExitOrText(text::kFinished, kInstallTimeoutMs);
      if (!exitCode) {
        SetEnvironmentVariableA("VX_KILL_AT", nullptr);
        Note("not ended at " + point + ": the install completes");
        FinishWith(setup, false);
      }
    }
    SetEnvironmentVariableA("VX_KILL_AT", nullptr);
    if (!exitCode) {
      RequireInstalled(folder, payload);
      RequireNothingMovedAsideLeft(folder);
      Note(std::to_string(killed) + " killed runs undone, each leaving the machine as before");
      return;
    }
    Require(*exitCode == kKilledExitCode, "the setup ended with " + std::to_string(*exitCode) +
                                              " at " + point + ", not killed");
    ++killed;
    // Started again: the dead run is undone before the first page shows.
    SetupRun again(exe);
    again.WaitForText(text::kNext);
    MachineState({folder}).RequireSameAs(before, "after the run killed at " + point);
    again.Click(text::kExit);
    again.AnswerBox(text::kAbortQuestion, IDYES);
    again.WaitForCleanExit();
  }
  Require(false, "every run was ended: the list of points never reaches the install's end");
}

// Starts the install and waits for page 5 with the failure's text (format
// with the code); then nothing may be offered to start, the machine must be
// as before, and "Finish" must end the setup cleanly.
void RequireUndoneRun(SetupRun& setup, const char* format, int32_t code,
                      const std::string& folder, const MachineState& before) {
  StartInstall(setup);
  char finished[256];
  std::snprintf(finished, sizeof finished, format, static_cast<int>(code));
  setup.WaitForText(finished, kInstallTimeoutMs);
  Require(!setup.Shows(text::kRunNow), "\"Run now\" is offered after a failed install");
  MachineState({folder}).RequireSameAs(before, "on page 5 of the failed install");
  setup.Click(text::kFinish);
  setup.WaitForCleanExit();
}

// A registry key the setup may not write (the extension's "Shell\Open",
// protected over an earlier edition's association): the install ends on
// page 5 with -371, offers no start and makes no link, and what it wrote is
// undone: the machine is as it was before.
void RefusedRegistry(const std::string& exe, const Arguments&) {
  const std::string folder = DefaultInstallFolder();
  WriteEarlierEdition();
  {
    HKEY key = nullptr;
    Require(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".vx5\\Shell\\Open", 0, KEY_ALL_ACCESS, &key) ==
                ERROR_SUCCESS,
            "the key to protect cannot be opened");
    RegKey open(key);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Setting values and making subkeys denied to everyone; the rest allowed.
    Require(ConvertStringSecurityDescriptorToSecurityDescriptorA(
                "D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr) != FALSE,
            "no security descriptor");
    const LONG rc = RegSetKeySecurity(open.get(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    Require(rc == ERROR_SUCCESS, "the key cannot be protected");
  }
  const MachineState before({folder});
  SetupRun setup(exe);
  RequireUndoneRun(setup, text::kFinishedWithCodeFormat, kFileAssociationFailed, folder, before);
  Require(!ProductProcessRuns(), "the product was started after a failed install");
}

// The setup as a damaged download has it, one byte of its package changed:
// page 5 says the package is damaged, nothing is installed and nothing is
// offered to start.
void DamagedPackage(const std::string& exe, const Arguments&) {
  char temp[MAX_PATH] = {};
  Require(GetTempPathA(MAX_PATH, temp) != 0, "no temporary folder");
  const std::string damaged = std::string(temp) + "SetupVXLite-damaged.exe";
  std::string bytes = ReadBytes(exe);
  bytes[bytes.size() / 2] ^= 0x20;  // the package fills the middle of the file
  {
    FileHandle file(CreateFileA(damaged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    Require(file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                              &written, nullptr) && written == bytes.size(),
            "the damaged copy cannot be written");
  }
  const auto packageOf = [](const std::string& path) {
    ModuleHandle module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    Require(static_cast<bool>(module), "cannot load " + path);
    const ResourceBytes package = FindResourceBytes(module.get(), kPackageResourceName, RT_RCDATA);
    Require(package.data != nullptr, "no package in " + path);
    return std::string(package.data, package.size);
  };
  Require(packageOf(damaged) != packageOf(exe), "the changed byte is not in the package");
  const std::string folder = DefaultInstallFolder();
  const MachineState before({folder});
  SetupRun setup(damaged);
  RequireUndoneRun(setup, text::kPackageDamagedFormat, kPackageDamaged, folder, before);
  RequireNothingInstalled(folder);
  DeleteFileA(damaged.c_str());
}

// Esc on page 5, "Run now" ticked: the wizard closes as its caption button
// closes it, and the product is not started.
void FinishEscape(const std::string& exe, const Arguments&) {
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kFinished, kInstallTimeoutMs);
  HWND runBox = setup.WaitForText(text::kRunNow);
  Require(IsTicked(runBox), "\"Run now\" is not ticked on page 5");
  Require(PostMessageA(runBox, WM_KEYDOWN, VK_ESCAPE, 0) != FALSE, "Esc not posted");
  setup.WaitForCleanExit();
  Require(!ProductProcessRuns(), "Esc on page 5 started the product");
}

// "Run ... now!" ticked, but the desktop shell is gone when "Finish" is
// clicked (its process ended): the setup has no way to start the product
// without its own administrator rights, so it starts nothing, and its run
// log names the call that failed.
void FinishWithoutShell(const std::string& exe, const Arguments&) {
  const std::string product = DefaultInstallFolder() + "\\" + kProductExeName;
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kFinished, kInstallTimeoutMs);
  const DWORD shellId = DesktopShellProcess();
  Require(shellId != 0, "no desktop shell to end");
  {
    KernelHandle shell(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, shellId));
    Require(shell && TerminateProcess(shell.get(), 1) &&
                WaitForSingleObject(shell.get(), kStepTimeoutMs) == WAIT_OBJECT_0,
            "the desktop shell cannot be ended");
  }
  Note("the desktop shell is ended");
  FinishWith(setup, true);
  Require(!ProductProcessRuns(), "the product was started without the desktop shell");
  const std::string log = SetupRunLog();
  const std::string refused = ": nothing is started for \"" + product + "\" (HRESULT 0x";
  const size_t at = Lowercase(log).find(Lowercase(refused));
  Require(at != std::string::npos, "the run log does not say why the product was not started");
  const size_t line = log.rfind('\n', at) + 1;
  Note("the run log says: " + log.substr(line, log.find('\n', at) - line));
}

// Cancel during the copy (setup slowed per item): "No" lets the copy go on,
// "Yes" tells that the copied files are cleaned up, the rollback leaves
// nothing, and page 5 says the install was cancelled; "Finish" does not
// start the product.
void CancelCopy(const std::string& exe, const Arguments&) {
  const std::string folder = DefaultInstallFolder();
  SetupRun setup(exe);
  ReachTheCopy(setup);
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDNO);
  const int before = ProgressPosition(setup);
  WaitFor("the copy to go on after No", [&] { return ProgressPosition(setup) > before; });
  Require(PathExists(folder), "nothing was copied");
  setup.Click(text::kExit);
  setup.AnswerBox(text::kAbortQuestion, IDYES);
  setup.AnswerBox(text::kCancelledInfo, IDOK);
  setup.WaitForText(text::kUserCancelled, kInstallTimeoutMs);
  Require(!setup.Shows(text::kRunNow), "\"Run now\" is offered after a cancel");
  RequireNothingLeft(folder);
  setup.Click(text::kFinish);
  setup.WaitForCleanExit();
  Require(!ProductProcessRuns(), "the product was started after a cancel");
}

// "Exit" while the package is being extracted (a large product, whose
// temporary copy takes seconds), "Yes": the time from the answer to page 5,
// and nothing is installed. Run by hand with such a setup.
void CancelExtractionTime(const std::string& exe, const Arguments&) {
  const std::string folder = DefaultInstallFolder();
  SetupRun setup(exe);
  StartInstall(setup);
  setup.WaitForText(text::kStepExtracting);
  setup.Click(text::kExit);
  const LARGE_INTEGER asked = [] {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
  }();
  setup.AnswerBox(text::kAbortQuestion, IDYES);
  setup.AnswerBox(text::kCancelledInfo, IDOK);
  setup.WaitForText(text::kUserCancelled, kInstallTimeoutMs);
  std::printf("from \"Exit\" during the extraction to page 5: %.0f ms\n",
              MillisecondsSince(asked));
  setup.Click(text::kFinish);
  setup.WaitForCleanExit();
  RequireNothingInstalled(folder);
}

// Time from "Install" to page 5 through the wizard (median over the runs
// given after the payload, default 3, uninstalling between them), beside
// CopyFileA of the payload's files into a fresh folder.
void InstallTime(const std::string& exe, const Arguments& arguments) {
  const std::string payload = PayloadFolder(arguments);
  const int runs = arguments.size() < 2 ? 3 : std::max(1, std::atoi(arguments[1].c_str()));
  std::vector<double> wizard, copy;
  for (int run = 0; run < runs; ++run) {
    {
      SetupRun setup(exe);
      const LARGE_INTEGER start = StartInstall(setup);
      setup.WaitForText(text::kFinished, kInstallTimeoutMs);
      wizard.push_back(MillisecondsSince(start));
      FinishWith(setup, false);
    }
    UninstallSilently();

    const std::string target = "C:\\plain-copy";
    const std::vector<std::string> files = FilesUnder(payload);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    CreateDirectoryA(target.c_str(), nullptr);
    for (const std::string& file : files) {
      for (size_t slash = file.find('\\', 1); slash != std::string::npos;
           slash = file.find('\\', slash + 1)) {
        CreateDirectoryA((target + file.substr(0, slash)).c_str(), nullptr);
      }
      Require(CopyFileA((payload + file).c_str(), (target + file).c_str(), FALSE) != FALSE,
              "the plain copy failed: " + file);
    }
    copy.push_back(MillisecondsSince(start));
    SHFILEOPSTRUCTA remove{};
    const std::string from = target + '\0';  // double-terminated list
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    SHFileOperationA(&remove);
  }
  std::printf("install through the wizard, Install to page 5: median %.0f ms over %d runs\n",
              Median(wizard), runs);
  std::printf("CopyFileA of the payload's files: median %.0f ms over %d runs\n", Median(copy),
              runs);
}

// ---------------------------------------------------------------- pictures

// Asks the caller (scripts/screenshots) to photograph the given windows: one
// line "SHOT <name> <left> <top> <width> <height>" with the rectangle around
// them, then waits for any line on standard input.
void Shot(const std::string& name, std::initializer_list<HWND> windows) {
  RECT all{};
  bool first = true;
  for (HWND window : windows) {
    RECT box{};
    if (!window || !GetWindowRect(window, &box)) continue;
    if (first) {
      all = box;
      first = false;
    } else {
      UnionRect(&all, &all, &box);
    }
  }
  Sleep(400);  // the last paint reaches the display
  std::printf("SHOT %s %ld %ld %ld %ld\n", name.c_str(), all.left, all.top,
              all.right - all.left, all.bottom - all.top);
  std::fflush(stdout);
  char line[64];
  Require(std::fgets(line, sizeof line, stdin) != nullptr, "no answer to SHOT " + name);
}

// A walk through every page and state the wizard shows, with a picture of each.
void Tour(const std::string& exe, const Arguments&) {
  {
    SetupRun setup(exe);
    GoToPage(setup, 1);
    Shot("1-welcome", {setup.Wizard()});
    GoToPage(setup, 2);
    setup.Click(text::kAcceptEula);
    WaitFor("the ticked licence box", [&] { return IsWindowEnabled(ShownControl(setup.Wizard(), text::kNext)); });
    Shot("2-licence", {setup.Wizard()});
    setup.Click(text::kNext);
    setup.WaitForText(text::kSelectFolder);
    Shot("3-folder", {setup.Wizard()});
    HWND field = ShownControlOfClass(setup.Wizard(), "Edit");
    const std::string refused = "Q:\\VantorexLite";
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(refused.c_str()));
    setup.Click(text::kInstall);
    HWND box = WaitFor("the folder error box", [&] { return setup.Box(); });
    Shot("3-folder-refused", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    WaitFor("the box to close", [&] { return !IsWindow(box); });
    setup.Click(text::kExit);
    box = WaitFor("the abort question", [&] { return setup.Box(); });
    Shot("3-abort-question", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    setup.WaitForCleanExit();
  }
  {
    test::ProductWindow product;
    Require(product.get() != nullptr, "the product's window cannot be made");
    SetupRun setup(exe);
    HWND box = WaitFor("the running-product box", [&] { return setup.Box(); });
    Shot("blocked-box", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    setup.WaitForText(text::kCannotProceed);
    Shot("blocked", {setup.Wizard()});
    setup.Click(text::kClose);
    setup.WaitForCleanExit();
  }  // Pages 4 and 5 need a setup slowed per item (SetupVXLiteSlow), or the
  // copy is over before it can be photographed.
  {
    SetupRun setup(exe);
    StartInstall(setup);
    setup.WaitForText(text::kStepCopyingFiles);
    WaitFor("the copy to get going", [&] { return ProgressPosition(setup) >= 15; });
    setup.Click(text::kExit);
    HWND box = WaitFor("the abort question", [&] { return setup.Box(); });
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    WaitFor("the question to close", [&] { return !IsWindow(box); });
    box = WaitFor("the cancel information", [&] { return setup.Box(); });
    Shot("4-cancelled-box", {setup.Wizard(), box});
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    setup.WaitForText(text::kUserCancelled, kInstallTimeoutMs);
    Shot("5-cancelled", {setup.Wizard()});
    setup.Click(text::kFinish);
    setup.WaitForCleanExit();
  }
  {
    SetupRun setup(exe);
    StartInstall(setup);
    setup.WaitForText(text::kStepCopyingFiles);
    WaitFor("the copy to be half done", [&] { return ProgressPosition(setup) >= 45; },
            kInstallTimeoutMs);
    Shot("4-progress", {setup.Wizard()});
    setup.WaitForText(text::kFinished, kInstallTimeoutMs);
    Shot("5-finish-note", {setup.Wizard()});
    FinishWith(setup, false);
  }
}

const std::map<std::string, void (*)(const std::string&, const Arguments&)> kScenarios = {
    {"tour", Tour},
    {"start_time", StartTime},
    {"second_copy", SecondCopy},
    {"already_installed", AlreadyInstalled},
    {"product_running", ProductRunning},
    {"cancel_pages", CancelPages},
    {"refused_folders", RefusedFolders},
    {"linked_folders", LinkedFolders},
    {"full_install", FullInstall},
    {"uninstall_reinstall", UninstallReinstall},
    {"unpack_error", UnpackError},
    {"cancel_copy", CancelCopy},
    {"drive_root", DriveRoot},
    {"cancel_keeps_earlier_edition", CancelKeepsEarlierEdition},
    {"cancel_over_user_files", CancelOverUserFiles},
    {"killed_runs", KilledRuns},
    {"full_disk", FullDisk},
    {"refused_registry", RefusedRegistry},
    {"finish_escape", FinishEscape},
    {"damaged_package", DamagedPackage},
    {"finish_without_shell", FinishWithoutShell},
    {"install_time", InstallTime},
    {"cancel_extraction_time", CancelExtractionTime},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || !kScenarios.count(argv[1])) {
    std::fprintf(stderr, "usage: vx_e2e_driver <scenario> <SetupVXLite.exe> [arguments]\n");
    for (const auto& [name, run] : kScenarios) std::fprintf(stderr, "  %s\n", name.c_str());
    return 2;
  }
  const std::string scenario = argv[1];
  const Arguments arguments(argv + 3, argv + argc);
  ComApartment com;  // the links are read through the shell's link object
  try {
    kScenarios.at(scenario)(argv[2], arguments);
  } catch (const std::exception& failure) {
    std::printf("E2E FAILED %s: %s\n", scenario.c_str(), failure.what());
    return 1;
  }
  std::printf("E2E PASSED %s\n", scenario.c_str());
  return 0;
}
