// The wizard window's view WizardView: the controls made from the control
// table (wizard_layout.h) inside the window the controller created, their
// fonts, colours, texts and layout at the window's DPI, the banner picture,
// the tick glyph, the icons and the link labels' hints, and the panel window
// class that paints the containers.
//
// The view knows nothing of pages, states or the install: its panels pass the
// controls' notifications (WM_COMMAND, WM_NEXTDLGCTL, DM_GETDEFID) on to the
// top-level window, whose procedure decides what they mean.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "common/handles.h"
#include "wizard/wizard_layout.h"

namespace vx {

class WizardView {
 public:
  // resources: the module holding the licence text, banner, tick glyph and icon.
  explicit WizardView(HMODULE resources);
  ~WizardView() = default;  // the owners free fonts, brushes, pictures and icons
  WizardView(const WizardView&) = delete;
  WizardView& operator=(const WizardView&) = delete;

  // Registers the panel window class once per process.
  static bool RegisterPanelClass();

  // Creates every control of the table in window at the window's DPI, the
  // link hints' tool tip, the pictures and icons, and places the window.
  // False when a control cannot be created.
  bool Create(HWND window);
  // The window's handles are gone (WM_NCDESTROY): the view forgets them.
  void WindowDestroyed();
  // The texts the controls start with, the link targets and hints, and the
  // licence text.
  void InitTexts();

  // The window moved to a monitor of another DPI (0: ask the window).
  void ApplyDpi(UINT dpi, const RECT* suggested);
  // Docks the children of a container (the window or a panel) as the table says.
  void LayoutChildren(HWND container);
  // Text and background colours of a control (WM_CTLCOLOR*): the brush.
  LRESULT ControlColors(HWND control, HDC dc);
  // Shows one page panel (a child of pnlMain) with the banner moved onto it;
  // the other page panels are hidden.
  void ShowPagePanel(Ctl panel);

  HWND Control(Ctl id) const { return controls_[Index(id)]; }
  // The control (or group frame) a window handle is, or Ctl::Count.
  Ctl IdOf(HWND control) const;
  UINT Dpi() const { return dpi_; }
  // Hint (tool tip text) and target address of a link label.
  const std::string& LinkHint(Ctl link) const { return hints_[Index(link)]; }
  const std::string& LinkTarget(Ctl link) const { return targets_[Index(link)]; }

  // ---- small control operations; none has side effects beyond the control
  void SetText(Ctl id, const std::string& text);
  std::string Text(Ctl id) const;
  void SetVisible(Ctl id, bool visible);
  void SetEnabled(Ctl id, bool enabled);
  bool IsChecked(Ctl id) const;
  // Sets the check mark only: no click handler runs.
  void SetCheck(Ctl id, bool checked);
  void SetTextColor(Ctl id, COLORREF color);
  // The tick beside the forward button's caption.
  void SetNextGlyph(bool shown);
  // The focus goes to the first control of the Tab order when the one that
  // had it is hidden or disabled.
  void EnsureFocus();

 private:
  static LRESULT CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
  // False when the panel's default handling applies.
  bool HandlePanelMessage(HWND panel, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT& result);

  void CreateFonts();
  void LoadPictures();
  void LoadEULA();
  void PlaceWindow(const RECT* suggested);
  // A Dock::Across control takes its parent's width less its left margin on
  // both sides.
  void StretchAcross(const ControlLayout& item);
  void AutoSize(Ctl id);
  void AddHint(Ctl link);
  HBRUSH BackgroundBrush(Ctl id);
  COLORREF BackgroundColor(Ctl id) const;
  void PaintPanel(HWND panel, HDC dc);
  bool SetLinkCursor(HWND control);
  int Scale(int pixels) const;

  HMODULE resources_;
  HWND window_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  std::array<HWND, kControlCount> frames_{};   // group box frames of the groups
  std::array<COLORREF, kControlCount> textColors_{};
  std::array<std::string, kControlCount> hints_;
  std::array<std::string, kControlCount> targets_;
  HWND tooltip_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  std::array<GdiObject, static_cast<size_t>(FontId::Count)> fonts_;
  // One brush per background colour the control table names.
  struct Brush {
    COLORREF color;
    GdiObject brush;
  };
  std::vector<Brush> brushes_;
  GdiObject banner_;  // the banner picture, 574 x 47
  SIZE bannerSize_{};
  ImageList tick_;    // the tick glyph of "&Install"
  Icon iconLarge_, iconSmall_;
};

}  // namespace vx
