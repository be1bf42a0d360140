// The wizard window TfrmInstVXLite: five pages (welcome, licence, install
// folder, progress, finish) above a bar of buttons, and the controller that
// moves between them. What differs from page to page is one row of the page
// table (wizard_window.cpp); the controller only reads it. The controls
// themselves are the view's (wizard_view.h), the install run the session's
// (install_session.h); the controller tells both what to do.
//
// Everything here runs on the window's thread. Message boxes, the folder
// dialog and shell calls go through a WizardInteraction, so test programs
// create the real window and answer its boxes themselves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "install/install_thread.h"
#include "wizard/install_session.h"
#include "javatools/javatools.h"
#include "wizard/folder_check.h"
#include "wizard/interaction.h"
#include "wizard/wizard_layout.h"
#include "wizard/wizard_view.h"

namespace vx {

// Wizard states (FState).
inline constexpr int kStateReady = 50;        // pages 1 to 3, page 4 before the first step
inline constexpr int kStateFinished = 500;    // the install worker ended without cancel
inline constexpr int kStateEnded = 600;       // nothing left to do
inline constexpr int kStateFailed = 650;      // the install worker reported an error
inline constexpr int kStateUndoing = 799;     // the rollback worker runs
// The install step states 100 ... 400 are the step codes themselves.
bool IsStepState(int state);     // 100, 150, 200, 300, 350, 400
bool IsClosableState(int state); // 500, 600, 650

struct WizardOptions {
  // A setup wizard window found before this one was created, or null.
  HWND otherSetupWindow = nullptr;
  // Boxes, folder dialog and shell calls; null: the real desktop ones.
  WizardInteraction* interaction = nullptr;
  // Module holding the licence text, banner, tick glyph and icon; null: the
  // running executable.
  HMODULE resources = nullptr;
  // Runs on every worker the window creates, after the window has set it up
  // and before it starts. Test programs give the worker their own package
  // module, Windows folder or check-point observer; the setup leaves it empty.
  std::function<void(TVXInstallThread&)> prepareWorker;
};

// Position of the progress bar (0 ... 100) for bytesWritten of a package of
// totalSize bytes, both integer divisions in this order; -1 when the bar
// keeps its position (either number is 100 or less).
int ProgressBarPosition(uint64_t bytesWritten, int64_t totalSize);

class TfrmInstVXLite {
 public:
  // Creates the window with every control, hidden, and runs FormCreate. Null
  // when the window cannot be created.
  static std::unique_ptr<TfrmInstVXLite> Create(const WizardOptions& options);
  // Releases the workers the window created (each ends its thread first,
  // without a callback), then destroys the window if it still exists (no
  // close rule).
  ~TfrmInstVXLite();
  TfrmInstVXLite(const TfrmInstVXLite&) = delete;
  TfrmInstVXLite& operator=(const TfrmInstVXLite&) = delete;

  // Shows the window; the first show sets up page 1 (FormShow).
  void Show(int showCommand = SW_SHOWNORMAL);

  // Keyboard handling for the message loop: Enter presses the focused push
  // button or else the forward button, Esc the cancel button, and the rest
  // goes through IsDialogMessage (Tab order, "&" accelerators). True when the
  // message was used and must not be dispatched.
  bool TranslateKeys(MSG& message);
  // Runs the message loop until the window is gone (or WM_QUIT arrives).
  void RunMessageLoop();

  HWND Handle() const { return hwnd_; }
  bool IsOpen() const { return hwnd_ != nullptr; }
  HWND Control(Ctl id) const { return view_.Control(id); }
  int State() const { return FState; }
  // The install worker, or null; the window keeps it until it is destroyed.
  const TVXInstallThread* Worker() const { return session_ ? session_->Install() : nullptr; }
  int PageIndex() const { return FPageIndex; }
  bool Installed() const { return FInstalled; }
  const std::string& InstallDir() const { return FInstallDir; }
  const JdkList& JDKList() const { return FJDKList; }
  const WtkList& WTKList() const { return FWTKList; }
  const TSunJDK* FirstJDK() const { return FFirstJDK; }
  const TMobileWTK* FirstWTK() const { return FFirstWTK; }
  // Hint (tool tip text) and target address of a link label.
  const std::string& LinkHint(Ctl link) const { return view_.LinkHint(link); }
  const std::string& LinkTarget(Ctl link) const { return view_.LinkTarget(link); }
  UINT Dpi() const { return view_.Dpi(); }

 private:
  explicit TfrmInstVXLite(const WizardOptions& options);

  static bool RegisterClasses();
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  // The window's messages, and the controls' notifications its panels pass on.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // ---- creation, show, destruction
  void FormCreate();
  void FormShow();
  void FormDestroy();
  bool IsProductInstalled() const;

  // ---- controller
  // What differs between the pages: one row per page, in page order.
  struct Page {
    Ctl panel;                // the page panel shown
    const char* name;         // how the log names the page
    const char* forwardText;  // the forward button's caption; null: the button is hidden
    bool forwardEnabled;      // on entering (the page's own rules change it later)
    bool forwardGlyph;        // the tick beside the forward caption
    bool backShown;
    bool backEnabled;
    const char* cancelText;   // the cancel button's caption
    // Run after the buttons are set up on entering the page; may be null.
    void (TfrmInstVXLite::*onEnter)();
    // Must return true before the forward button leaves the page; may be null.
    bool (TfrmInstVXLite::*mayLeave)();
  };
  static const Page kPages[];
  static const int kPageCount;

  void OnCommand(Ctl id, int code);
  // Makes page index the current one and shows it.
  void ShowPage(int index);
  void ShowFinishPage();
  bool OnFinishPage() const;
  // Shows the page FPageIndex names and sets it up.
  void pcMainChange();
  void SetupPage(const Page& page);
  void BlockWizard();
  void btnNavClick(Ctl sender);
  void cbEULAClick();
  // Setting a check box by code has the same effect as the user's click.
  void SetChecked(Ctl id, bool checked);
  void btnCancelClick();
  bool FormCloseQuery();
  void Close();
  void ShowJavaNote();
  void LinkClick(Ctl link);
  // Page entry actions of the page table.
  void EnterLicence();
  void EnterFinish();

  // ---- folder page
  void edtTargetChange();
  void btnBrowseClick();
  // The folder page's check before it is left forward: the error box when
  // the folder is refused.
  bool CheckFolderPage();

  // ---- install (the run itself is the session's: install_session.h)
  // Page 4's set-up: the progress caption, FInstallDir (the accepted folder),
  // and the start of the install run, asked for FInstallDir and the picked
  // JDK and toolkit.
  void StartInstall();
  // "&Finish" in state 500: starts the installed product when it exists and
  // cboxStart is ticked.
  void StartProductIfAsked();
  // What the window does once a rollback has ended.
  enum class AfterRollback {
    ShowCancelled,  // a confirmed cancel: page 5, "User cancelled installation."
    ShowFailure,    // a failed registry step: page 5 keeps the err.code text
    CloseWindow,    // leaving the error state after an unpack failure
  };
  // The rollback of the install run; false when it could not be started.
  bool StartRollback(AfterRollback after = AfterRollback::ShowCancelled);
  // The install run has ended (its completion arrived) or halted on an error.
  bool InstallRunOver() const;
  // Termination notifications, on the window's thread after a worker's run.
  void InstallTerminated(TVXInstallThread& worker);
  void RollbackTerminated(TVXInstallThread& worker);

  // ---- worker messages (install_flow.cpp)
  void InstProgress(WPARAM bytesWritten, LPARAM item);
  void InstStep(int32_t code);
  void InstError(int32_t code);
  void InstDone(int32_t mode, int32_t resultCode);

  // ---- finish actions
  // Links to the product in the install folder: in the program group, on
  // the desktop and in the Quick Launch folders that exist; then posts step
  // 500.
  void CreateShortcuts(const std::string& installFolder);

  // ---- the window's own fields
  int FState = kStateReady;
  int FPageIndex = 0;
  bool FFirstShow = true;
  bool FInstalled = false;
  HWND FOtherSetupWnd = nullptr;
  JdkList FJDKList;
  WtkList FWTKList;
  TSunJDK* FFirstJDK = nullptr;    // borrowed from FJDKList
  TMobileWTK* FFirstWTK = nullptr; // borrowed from FWTKList
  int FTotalSize = 0;
  std::string FInstallDir;
  // The folder the folder page's check accepted, normalized, and whether it
  // was there already (a folder found missing must still be missing when the
  // install makes it).
  FolderCheckFacts acceptedFolder_;
  // The install run: its workers and journal. Made once the window exists;
  // released first when the window goes (the workers end their threads).
  std::unique_ptr<InstallSession> session_;
  AfterRollback afterRollback_ = AfterRollback::ShowCancelled;
  // What the package will write, for the folder checks; read at the first check.
  std::optional<InstallFootprint> footprint_;

  WizardOptions options_;
  WizardInteraction& interaction_;
  HMODULE resources_;
  HWND hwnd_ = nullptr;
  // The controls and what they show. Its fonts, brushes and pictures are
  // freed after the destructor's body has destroyed the window.
  WizardView view_;
  HWND lastFocus_ = nullptr;
  bool closing_ = false;
};

}  // namespace vx
