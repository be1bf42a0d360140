// The wizard window's controller: its window class and procedure, creation,
// first show and destruction, the page changes and their set-up, navigation,
// the cancel and close rules, the folder page, the message loop's keyboard
// handling and what it does itself once an install has ended well (the
// shortcuts to the installed product, starting it on "&Finish").
#include "wizard/wizard_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <string_view>

#include "common/files.h"
#include "common/footprint.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "common/system.h"
#include "common/text.h"
#include "wizard/folder_check.h"
#include "wizard/format.h"
#include "wizard/shell_links.h"

namespace vx {

namespace {

// Posted to itself by Close: the window goes away once the handler that
// closed it has returned.
constexpr UINT kDestroyMessage = WM_APP + 1;

// A caption without its "&" accelerator marks, as the log names a button.
std::string WithoutAccelerators(std::string caption) {
  caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
  return caption;
}

}  // namespace

// ---------------------------------------------------------------- the pages

// clang-format off
const TfrmInstVXLite::Page TfrmInstVXLite::kPages[] = {
  // panel       name              forward         enabled glyph  back shown/enabled  cancel        on entering                      before leaving forward
  {Ctl::panel1, "welcome",        text::kNext,    true,   false, false, false,       text::kExit,   nullptr,                         nullptr},
  {Ctl::Panel2, "licence",        text::kNext,    false,  false, true,  true,        text::kExit,   &TfrmInstVXLite::EnterLicence,   nullptr},
  {Ctl::Panel3, "install folder", text::kInstall, true,   true,  true,  true,        text::kExit,   nullptr,                         &TfrmInstVXLite::CheckFolderPage},
  {Ctl::Panel4, "progress",       text::kInstall, false,  false, true,  false,       text::kExit,   &TfrmInstVXLite::StartInstall,   nullptr},
  {Ctl::Panel5, "finish",         nullptr,        false,  false, false, false,       text::kFinish, &TfrmInstVXLite::EnterFinish,    nullptr},
};
// clang-format on
const int TfrmInstVXLite::kPageCount = static_cast<int>(std::size(kPages));

bool IsStepState(int state) {
  return state == 100 || state == 150 || state == 200 || state == 300 || state == 350 ||
         state == 400;
}

bool IsClosableState(int state) {
  return state == kStateFinished || state == kStateEnded || state == kStateFailed;
}

// ---------------------------------------------------------------- creation and destruction

TfrmInstVXLite::TfrmInstVXLite(const WizardOptions& options)
    : options_(options),
      interaction_(options.interaction ? *options.interaction : DesktopInteraction()),
      resources_(options.resources ? options.resources : GetModuleHandleA(nullptr)),
      view_(resources_) {}

std::unique_ptr<TfrmInstVXLite> TfrmInstVXLite::Create(const WizardOptions& options) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
  if (!RegisterClasses()) return nullptr;

  std::unique_ptr<TfrmInstVXLite> window(new TfrmInstVXLite(options));
  // Fixed single border, no maximize: the wizard's pages have one size.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  if (!CreateWindowExA(WS_EX_CONTROLPARENT, kWizardClassName, kWindowCaption, style,
                       CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr,
                       nullptr, GetModuleHandleA(nullptr), window.get())) {
    return nullptr;
  }
  // The owner of the shell calls made for the window from now on.
  SetApplicationWindow(window->hwnd_);
  window->session_ = std::make_unique<InstallSession>(window->hwnd_, options.prepareWorker);
  if (!window->view_.Create(window->hwnd_)) return nullptr;
  window->FormCreate();
  return window;
}

TfrmInstVXLite::~TfrmInstVXLite() {
  // The install run first: a running worker still posts to the window.
  session_.reset();
  if (hwnd_) DestroyWindow(hwnd_);
}

bool TfrmInstVXLite::IsProductInstalled() const {
  // Opening the uninstall record's key is enough; closing it is the access
  // object's business and cannot change the answer.
  RegistryAccess registry(HKEY_LOCAL_MACHINE, KEY_READ);
  return registry.OpenKeyReadOnly(kUninstallKey) == ERROR_SUCCESS;
}

void TfrmInstVXLite::FormCreate() {
  FInstalled = IsProductInstalled();
  FOtherSetupWnd = options_.otherSetupWindow;
  FPageIndex = 0;
  FFirstShow = true;
  FJDKList.clear();
  FWTKList.clear();
  if (session_) session_->ForgetJournal();
  FState = kStateReady;
  FTotalSize = 0;
  FInstallDir.clear();
  view_.InitTexts();
  // The Java tools are looked for once, here, before the window is shown.
  BuildJDKList(FJDKList, FFirstJDK);
  BuildWTKList(FWTKList, FFirstWTK);
  const std::string programFiles = GetSpecialFolder(CSIDL_PROGRAM_FILES);
  // Setting the field runs its change handler, which enables btnNext.
  view_.SetText(Ctl::edtTarget, !programFiles.empty() && FolderExists(programFiles)
                                    ? programFiles + "\\" + kDefaultFolderName
                                    : std::string(kFallbackInstallFolder));
}

void TfrmInstVXLite::Show(int showCommand) {
  if (!hwnd_) return;
  ShowWindow(hwnd_, showCommand);
  FormShow();
  if (hwnd_) UpdateWindow(hwnd_);
}

void TfrmInstVXLite::FormShow() {
  if (!FFirstShow) return;
  FFirstShow = false;
  pcMainChange();
}

void TfrmInstVXLite::FormDestroy() {
  // The records first, then the lists that held them. The install run's
  // workers and journal go with the session, after the window.
  FFirstJDK = nullptr;
  FFirstWTK = nullptr;
  FJDKList.clear();
  FWTKList.clear();
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK TfrmInstVXLite::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  TfrmInstVXLite* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<TfrmInstVXLite*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = window;
  } else {
    self = reinterpret_cast<TfrmInstVXLite*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  if (!self || self->hwnd_ != window) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {  // no failure leaves a handler
    LogCaught("handling a window message", std::to_string(message));
    return 0;
  }
}

bool TfrmInstVXLite::RegisterClasses() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA wizard{};
  wizard.cbSize = sizeof wizard;
  wizard.lpfnWndProc = &TfrmInstVXLite::WindowProc;
  wizard.hInstance = GetModuleHandleA(nullptr);
  wizard.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wizard.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wizard.lpszClassName = kWizardClassName;
  if (!RegisterClassExA(&wizard) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  if (!WizardView::RegisterPanelClass()) return false;
  registered = true;
  return true;
}

LRESULT TfrmInstVXLite::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control) {
        OnCommand(view_.IdOf(control), HIWORD(wParam));
      } else if (LOWORD(wParam) == IDCANCEL) {  // Esc, by way of IsDialogMessage
        OnCommand(Ctl::btnCancel, BN_CLICKED);
      }
      return 0;
    }
    case DM_GETDEFID:
      return MAKELRESULT(GetDlgCtrlID(Control(Ctl::btnNext)), DC_HASDEFID);
    case WM_NEXTDLGCTL: {
      HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
      if (next) {
        if (next == Control(Ctl::edtTarget)) SendMessageA(next, EM_SETSEL, 0, -1);
        SetFocus(next);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return view_.ControlColors(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_SIZE:
      view_.LayoutChildren(hwnd_);
      return 0;
    case WM_DPICHANGED:
      view_.ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:  // the focus comes back to where it was
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) &&
                 IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_CLOSE:  // caption button, Alt+F4, system menu
      LogLine("window close asked on page %d in state %d", FPageIndex + 1, FState);
      if (FormCloseQuery()) {
        closing_ = true;
        DestroyWindow(hwnd_);
      }
      return 0;
    case kDestroyMessage:
      DestroyWindow(hwnd_);
      return 0;
    case WM_INST_PROGRESS:
      InstProgress(wParam, lParam);
      return 0;
    case WM_INST_STEP:
      InstStep(static_cast<int32_t>(lParam));
      return 0;
    case WM_INST_FREED:
      return 0;
    case WM_INST_ERROR:
      InstError(static_cast<int32_t>(wParam));
      return 0;
    case WM_INST_DONE:
      InstDone(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
      return 0;
    case WM_INST_ENDED:  // a worker's run has ended: its notification runs here
      TVXInstallThread::DeliverCompletion(lParam);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    case WM_NCDESTROY:
      if (ApplicationWindow() == hwnd_) SetApplicationWindow(nullptr);
      view_.WindowDestroyed();
      hwnd_ = nullptr;
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void TfrmInstVXLite::OnCommand(Ctl id, int code) {
  if (id == Ctl::Count) return;
  HWND control = Control(id);
  // Keyboard paths can name a button that cannot be pressed right now.
  const Kind kind = LayoutOf(id).kind;
  if ((kind == Kind::Button || kind == Kind::CheckBox) &&
      (!IsWindowEnabled(control) || !IsWindowVisible(control))) {
    return;
  }
  if (kind == Kind::Button && code == BN_CLICKED) {
    LogLine("button %s pressed", WithoutAccelerators(view_.Text(id)).c_str());
  }
  switch (id) {
    case Ctl::btnBack:
    case Ctl::btnNext:
      if (code == BN_CLICKED) btnNavClick(id);
      break;
    case Ctl::btnCancel:
      if (code == BN_CLICKED) btnCancelClick();
      break;
    case Ctl::btnBrowse:
      if (code == BN_CLICKED) btnBrowseClick();
      break;
    case Ctl::cbEULA:
      if (code == BN_CLICKED) cbEULAClick();
      break;
    case Ctl::edtTarget:
      if (code == EN_CHANGE) edtTargetChange();
      break;
    case Ctl::lblURL:
    case Ctl::lblJDKUrl:
    case Ctl::lblWTKUrl:
      if (code == STN_CLICKED) LinkClick(id);
      break;
    default:
      break;
  }
}

bool TfrmInstVXLite::TranslateKeys(MSG& message) {
  if (!hwnd_ || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
    const Ctl focus = view_.IdOf(GetFocus());
    const bool onButton = focus != Ctl::Count && LayoutOf(focus).kind == Kind::Button;
    OnCommand(onButton ? focus : Ctl::btnNext, BN_CLICKED);
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    // On the finish page the cancel button is "&Finish", which may start the
    // product: Esc closes there as the caption button does.
    if (OnFinishPage()) {
      SendMessageA(hwnd_, WM_CLOSE, 0, 0);
    } else {
      OnCommand(Ctl::btnCancel, BN_CLICKED);
    }
    return true;
  }
  return IsDialogMessageA(hwnd_, &message) != FALSE;
}

void TfrmInstVXLite::RunMessageLoop() {
  MSG message;
  while (hwnd_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateKeys(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// ---------------------------------------------------------------- pages and navigation

void TfrmInstVXLite::ShowPage(int index) {
  if (index < 0 || index >= kPageCount) return;
  FPageIndex = index;
  pcMainChange();
}

// The finish page is the last one.
void TfrmInstVXLite::ShowFinishPage() { ShowPage(kPageCount - 1); }

bool TfrmInstVXLite::OnFinishPage() const { return FPageIndex == kPageCount - 1; }

void TfrmInstVXLite::pcMainChange() {
  SetWindowTextA(hwnd_, kWindowCaption);
  const Page& active = kPages[FPageIndex];
  // Only the active page's panel is shown, with the banner on top.
  view_.ShowPagePanel(active.panel);
  LogLine("page %d (%s) shown", FPageIndex + 1, active.name);
  SetupPage(active);
  view_.EnsureFocus();
}

void TfrmInstVXLite::SetupPage(const Page& page) {
  try {
    if (FOtherSetupWnd) {  // another setup wizard runs: leave without a word
      LogLine("another setup window is open: this one closes");
      FState = kStateEnded;
      Close();
      return;
    }
    if (FindWindowA(kProductWindowClassName, nullptr) || FInstalled) {
      BlockWizard();
      return;
    }
    view_.SetVisible(Ctl::btnBack, page.backShown);
    view_.SetEnabled(Ctl::btnBack, page.backEnabled);
    view_.SetVisible(Ctl::btnNext, page.forwardText != nullptr);
    if (page.forwardText) view_.SetText(Ctl::btnNext, page.forwardText);
    view_.SetEnabled(Ctl::btnNext, page.forwardEnabled);
    view_.SetNextGlyph(page.forwardGlyph);
    view_.SetText(Ctl::btnCancel, page.cancelText);
    view_.SetEnabled(Ctl::btnCancel, true);
    if (page.onEnter) (this->*page.onEnter)();
  } catch (...) {  // the wizard stays where it was
    LogCaught("setting up the page", page.name);
  }
}

void TfrmInstVXLite::EnterLicence() {
  SetChecked(Ctl::cbEULA, false);  // accepted anew every time
}

void TfrmInstVXLite::EnterFinish() {
  ShowJavaNote();
  view_.SetVisible(Ctl::cboxStart, FileExists(FInstallDir + "\\" + kProductExeName));
}

// The product is installed or running: the wizard says so and can only close.
void TfrmInstVXLite::BlockWizard() {
  LogLine("the wizard is blocked: %s",
          FInstalled ? "the product is installed" : "the product runs");
  interaction_.ShowBox(hwnd_, FInstalled ? text::kAlreadyInstalled : text::kAlreadyRunning,
                       BoxKind::Error);
  view_.SetTextColor(Ctl::lblWelcome, kRed);
  view_.SetText(Ctl::lblWelcome, text::kCannotProceed);
  view_.SetVisible(Ctl::lblIntro, false);
  FState = kStateEnded;
  view_.SetEnabled(Ctl::btnNext, false);
  view_.SetVisible(Ctl::btnNext, false);
  view_.SetEnabled(Ctl::btnBack, false);
  view_.SetVisible(Ctl::btnBack, false);
  view_.SetEnabled(Ctl::btnCancel, true);
  view_.SetText(Ctl::btnCancel, text::kClose);
}

void TfrmInstVXLite::btnNavClick(Ctl sender) {
  try {
    const bool forward = sender == Ctl::btnNext;
    if (!forward && sender != Ctl::btnBack) return;
    const Page& page = kPages[FPageIndex];
    if (forward && page.mayLeave && !(this->*page.mayLeave)()) return;
    ShowPage(FPageIndex + (forward ? 1 : -1));
  } catch (...) {
    LogCaught("moving between pages", kPages[FPageIndex].name);
  }
}

void TfrmInstVXLite::cbEULAClick() {
  view_.SetEnabled(Ctl::btnNext, view_.IsChecked(Ctl::cbEULA));
}

void TfrmInstVXLite::SetChecked(Ctl id, bool checked) {
  view_.SetCheck(id, checked);
  if (id == Ctl::cbEULA) cbEULAClick();
}

void TfrmInstVXLite::btnCancelClick() {
  const int state = FState;  // the branch is chosen now, whatever arrives meanwhile
  if (state == kStateReady || IsStepState(state)) {
    const bool paused = session_->Pause();
    const int answer = interaction_.ShowBox(hwnd_, text::kAbortQuestion, BoxKind::Confirmation);
    // The box dispatches messages: when the run ended (or failed) meanwhile,
    // the window already shows its true outcome and the answer is moot.
    if (answer != IDYES || InstallRunOver()) {
      if (paused) session_->Resume();
      return;
    }
    if (state == kStateReady) {
      FState = kStateEnded;
      Close();
      return;
    }
    interaction_.ShowBox(hwnd_, text::kCancelledInfo, BoxKind::Information);
    if (paused && InstallRunOver()) {
      session_->Resume();
      return;
    }
    if (paused) {
      session_->RequestCancel();  // its end leads to the rollback
      return;
    }
    FState = kStateEnded;
    Close();
    return;
  }
  if (state == kStateFinished) {
    StartProductIfAsked();
    Close();
  } else if (state == kStateEnded || state == kStateFailed) {
    Close();
  }
  // 799 (the rollback runs) and any other state: nothing happens.
}

bool TfrmInstVXLite::FormCloseQuery() {
  if (FState == kStateFailed) {
    // Leaving the error state: the halted run's files and folders are
    // removed first; the window closes when that rollback has ended.
    FState = kStateUndoing;
    if (StartRollback(AfterRollback::CloseWindow)) return false;
    FState = kStateFailed;
    return true;
  }
  if (IsClosableState(FState)) return true;
  btnCancelClick();  // may close the window itself
  return false;
}

void TfrmInstVXLite::Close() {
  if (!hwnd_ || closing_) return;
  if (!FormCloseQuery()) return;
  closing_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  PostMessageA(hwnd_, kDestroyMessage, 0, 0);
}

void TfrmInstVXLite::ShowJavaNote() {
  view_.SetVisible(Ctl::lblJDKUrl, FFirstJDK == nullptr);
  view_.SetVisible(Ctl::lblWTKUrl, FFirstWTK == nullptr);
  view_.SetVisible(Ctl::gbNOTE, FFirstJDK == nullptr || FFirstWTK == nullptr);
}

void TfrmInstVXLite::LinkClick(Ctl link) {
  const std::string& target = view_.LinkTarget(link);
  if (!target.empty()) interaction_.OpenWithShell(target);
}

// ---------------------------------------------------------------- folder page

void TfrmInstVXLite::edtTargetChange() {
  view_.SetEnabled(Ctl::btnNext, !TrimBlanks(view_.Text(Ctl::edtTarget)).empty());
}

void TfrmInstVXLite::btnBrowseClick() {
  std::string folder;
  if (interaction_.BrowseForFolder(hwnd_, text::kFolderDialogTitle, folder) &&
      FolderExists(folder)) {
    view_.SetText(Ctl::edtTarget, folder + "\\" + kDefaultFolderName);
  }
}

bool TfrmInstVXLite::CheckFolderPage() {
  const std::string field = view_.Text(Ctl::edtTarget);
  std::string reason;
  if (!footprint_) {
    // Read once, from the package in memory: its item list only.
    const ResourceBytes package = FindResourceBytes(resources_, kPackageResourceName, RT_RCDATA);
    if (!package.data) {
      LogFailure("reading the package's item list", kPackageResourceName, GetLastError());
    }
    footprint_ = package.data ? FootprintOfPackage(std::string_view(package.data, package.size))
                              : InstallFootprint{};
  }
  FolderCheckFacts facts;
  const bool passed = CheckInstallFolder(field, reason, *footprint_, &facts);
  acceptedFolder_ = passed ? std::move(facts) : FolderCheckFacts{};
  LogLine("folder check of \"%s\": %s", TrimBlanks(field).c_str(),
          passed ? "accepted" : reason.c_str());
  if (!passed) {
    interaction_.ShowBox(hwnd_, FolderErrorText(TrimBlanks(field), reason), BoxKind::Error);
  }
  return passed;
}

// ---------------------------------------------------------------- finish actions

void TfrmInstVXLite::CreateShortcuts(const std::string& installFolder) {
  // The install folder with its trailing backslash.
  const std::string dir = installFolder.empty() ? std::string() : installFolder + "\\";
  if (dir.empty() || !FolderExists(dir)) {  // no link and no step message
    LogLine("no shortcuts made: the install folder \"%s\" is missing", dir.c_str());
    return;
  }

  const std::string target = dir + kProductExeName;
  int made = 0;
  for (const ShortcutFolder& place : ShortcutFolders()) {
    const std::string base = ShortcutBaseFolder(place);
    if (!FolderExists(base)) continue;
    const std::string folder = base + place.subfolder;
    // A group that cannot be made is skipped below. Any other folder (the
    // Quick Launch ones) is used only when it exists; none is created.
    if (place.madeBySetup && !CreateFolderPath(folder).value_or(false)) {
      LogFailure("creating the program group", folder, GetLastError());
    }
    if (!FolderExists(folder)) continue;
    // A link that cannot be made is skipped without a word to the user.
    const std::string linkFile = LinkFileIn(folder);
    const HRESULT result = SaveShellLink(target, std::string(), dir, linkFile);
    if (SUCCEEDED(result)) {
      ++made;
    } else {
      LogFailure("creating a shortcut", linkFile, static_cast<DWORD>(result));
    }
  }
  LogLine("shortcuts made: %d", made);
  PostMessageA(hwnd_, WM_INST_STEP, 0, kStepShortcutsDone);
}

void TfrmInstVXLite::StartProductIfAsked() {
  const std::string product = FInstallDir + "\\" + kProductExeName;
  const bool exists = FileExists(product);
  const bool asked = view_.IsChecked(Ctl::cboxStart);
  if (exists && asked) {
    LogLine("finish: the product is to be started: \"%s\"", product.c_str());
    interaction_.OpenWithShell(product);
  } else {
    LogLine("finish: the product is not started (%s)",
            exists ? "not asked" : "not installed");
  }
}

}  // namespace vx
