// The wizard window's behaviour: creation, first show and destruction, the
// page changes and their set-up, navigation, the cancel and close rules, the
// folder page and the message loop's keyboard handling.
#include "wizard/wizard_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <string_view>

#include "common/files.h"
#include "common/product.h"
#include "common/registry.h"
#include "common/run_log.h"
#include "common/system.h"
#include "common/text.h"
#include "wizard/folder_check.h"
#include "wizard/format.h"

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

// The agreement's lines, each ended by CR LF as the edit control shows them;
// lines in the resource may end with CR LF, LF or CR. The text ends at a
// NUL byte.
std::string AgreementLines(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 32);
  size_t start = 0;
  const size_t end = std::min(bytes.find('\0'), bytes.size());
  while (start < end) {
    size_t stop = start;
    while (stop < end && bytes[stop] != '\r' && bytes[stop] != '\n') ++stop;
    text.append(bytes.substr(start, stop - start));
    text += "\r\n";
    if (stop < end && bytes[stop] == '\r') ++stop;
    if (stop < end && bytes[stop] == '\n') ++stop;
    start = stop;
  }
  return text;
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
      resources_(options.resources ? options.resources : GetModuleHandleA(nullptr)) {
  textColors_.fill(kDefaultColor);
}

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
  if (!window->CreateControls()) return nullptr;
  window->FormCreate();
  return window;
}

TfrmInstVXLite::~TfrmInstVXLite() {
  // The install run first: a running worker still posts to the window.
  session_.reset();
  if (hwnd_) DestroyWindow(hwnd_);
  if (tick_) ImageList_Destroy(tick_);
  if (iconLarge_) DestroyIcon(iconLarge_);
  if (iconSmall_) DestroyIcon(iconSmall_);
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
  InitTexts();
  // The Java tools are looked for once, here, before the window is shown.
  BuildJDKList(FJDKList, FFirstJDK);
  BuildWTKList(FWTKList, FFirstWTK);
  const std::string programFiles = GetSpecialFolder(CSIDL_PROGRAM_FILES);
  // Setting the field runs its change handler, which enables btnNext.
  SetText(Ctl::edtTarget, !programFiles.empty() && FolderExists(programFiles)
                              ? programFiles + "\\" + kDefaultFolderName
                              : std::string(kFallbackInstallFolder));
}

void TfrmInstVXLite::InitTexts() {
  SetText(Ctl::lblWelcome, text::kWelcome);
  SetText(Ctl::lblFolder, text::kSelectFolder);
  SetText(Ctl::btnBrowse, text::kBrowse);
  SetText(Ctl::lblWait, text::kPleaseWait);
  SetText(Ctl::btnBack, text::kBack);
  SetText(Ctl::btnNext, text::kNext);
  SetText(Ctl::lblCopy, kMakerNoticeLine);
  SetText(Ctl::lblURL, kMakerWebAddress);
  targets_[Index(Ctl::lblURL)] = kMakerWebAddress;
  SetText(Ctl::lblIntro, FormatText(text::kIntroFormat, OwnFileVersion().c_str()));
  SetText(Ctl::lblOPTIONS, text::kOptions);
  SetText(Ctl::btnCancel, text::kExit);
  SetText(Ctl::cbEULA, text::kAcceptEula);
  SetText(Ctl::cboxStart, text::kRunNow);
  SetText(Ctl::lblNote, text::kJavaNote);
  SetText(Ctl::lblJDKUrl, text::kJdkRequirement);
  SetText(Ctl::lblWTKUrl, text::kWtkRequirement);
  targets_[Index(Ctl::lblJDKUrl)] = kJdkDownloadAddress;
  targets_[Index(Ctl::lblWTKUrl)] = kWtkDownloadAddress;
  for (Ctl link : {Ctl::lblJDKUrl, Ctl::lblWTKUrl}) {
    hints_[Index(link)] =
        std::string(text::kLinkHintPrefix) + targets_[Index(link)] + text::kLinkHintSuffix;
    AddHint(link);
  }
  SetText(Ctl::gbNOTE, text::kNoteCaption);
  SetText(Ctl::lblFile, text::kInitialFileLabel);
  LoadEULA();
}

// The licence edit gets its text once, after its font and size are set: the
// edit lays out every line again whenever either changes.
void TfrmInstVXLite::LoadEULA() {
  DWORD error = ERROR_SUCCESS;  // stays 0 for a resource without text
  try {
    const ResourceBytes bytes = FindResourceBytes(resources_, kEulaResourceName, RT_RCDATA);
    if (!bytes.data) error = GetLastError();
    if (bytes.data && bytes.size > 0) {
      const std::string lines = AgreementLines(std::string_view(bytes.data, bytes.size));
      if (!lines.empty()) {
        SetText(Ctl::mmEULA, lines);
        return;
      }
    }
    LogFailure("reading the licence text (the built-in agreement is shown)", kEulaResourceName,
               error);
  } catch (...) {
    LogCaught("reading the licence text (the built-in agreement is shown)", kEulaResourceName);
  }
  SetText(Ctl::mmEULA, text::kBuiltInAgreement);
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

LRESULT TfrmInstVXLite::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control) {
        OnCommand(IdOf(control), HIWORD(wParam));
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
      return ControlColors(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_SIZE:
      LayoutChildren(hwnd_);
      return 0;
    case WM_DPICHANGED:
      ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
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
      if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
      tooltip_ = nullptr;
      controls_.fill(nullptr);
      frames_.fill(nullptr);
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
    LogLine("button %s pressed", WithoutAccelerators(Text(id)).c_str());
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
    const Ctl focus = IdOf(GetFocus());
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
  for (const Page& page : kPages) {
    if (&page != &active) SetVisible(page.panel, false);
  }
  HWND panel = Control(active.panel);
  SetParent(Control(Ctl::pnlBanner), panel);
  LayoutChildren(panel);
  ShowWindow(panel, SW_SHOWNA);
  LogLine("page %d (%s) shown", FPageIndex + 1, active.name);
  SetupPage(active);
  EnsureFocus();
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
    SetVisible(Ctl::btnBack, page.backShown);
    SetEnabled(Ctl::btnBack, page.backEnabled);
    SetVisible(Ctl::btnNext, page.forwardText != nullptr);
    if (page.forwardText) SetText(Ctl::btnNext, page.forwardText);
    SetEnabled(Ctl::btnNext, page.forwardEnabled);
    SetNextGlyph(page.forwardGlyph);
    SetText(Ctl::btnCancel, page.cancelText);
    SetEnabled(Ctl::btnCancel, true);
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
  SetVisible(Ctl::cboxStart, FileExists(FInstallDir + "\\" + kProductExeName));
}

// The product is installed or running: the wizard says so and can only close.
void TfrmInstVXLite::BlockWizard() {
  LogLine("the wizard is blocked: %s",
          FInstalled ? "the product is installed" : "the product runs");
  interaction_.ShowBox(hwnd_, FInstalled ? text::kAlreadyInstalled : text::kAlreadyRunning,
                       BoxKind::Error);
  SetTextColor(Ctl::lblWelcome, kRed);
  SetText(Ctl::lblWelcome, text::kCannotProceed);
  SetVisible(Ctl::lblIntro, false);
  FState = kStateEnded;
  SetEnabled(Ctl::btnNext, false);
  SetVisible(Ctl::btnNext, false);
  SetEnabled(Ctl::btnBack, false);
  SetVisible(Ctl::btnBack, false);
  SetEnabled(Ctl::btnCancel, true);
  SetText(Ctl::btnCancel, text::kClose);
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

void TfrmInstVXLite::cbEULAClick() { SetEnabled(Ctl::btnNext, IsChecked(Ctl::cbEULA)); }

// Setting a check box by code has the same effect as the user's click.
void TfrmInstVXLite::SetChecked(Ctl id, bool checked) {
  SendMessageA(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
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
  SetVisible(Ctl::lblJDKUrl, FFirstJDK == nullptr);
  SetVisible(Ctl::lblWTKUrl, FFirstWTK == nullptr);
  SetVisible(Ctl::gbNOTE, FFirstJDK == nullptr || FFirstWTK == nullptr);
}

void TfrmInstVXLite::LinkClick(Ctl link) {
  const std::string& target = targets_[Index(link)];
  if (!target.empty()) interaction_.OpenWithShell(target);
}

// ---------------------------------------------------------------- folder page

void TfrmInstVXLite::edtTargetChange() {
  SetEnabled(Ctl::btnNext, !TrimBlanks(Text(Ctl::edtTarget)).empty());
}

void TfrmInstVXLite::btnBrowseClick() {
  std::string folder;
  if (interaction_.BrowseForFolder(hwnd_, text::kFolderDialogTitle, folder) &&
      FolderExists(folder)) {
    SetText(Ctl::edtTarget, folder + "\\" + kDefaultFolderName);
  }
}

bool TfrmInstVXLite::CheckFolderPage() {
  const std::string field = Text(Ctl::edtTarget);
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

}  // namespace vx
