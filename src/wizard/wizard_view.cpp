// The wizard window's view: the controls built from the control table, fonts
// and colours, layout at the window's DPI, the banner picture, the tick
// glyph, the icons, the link labels' hints, the controls' first texts and the
// panel window class.
#include "wizard/wizard_view.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "common/product.h"
#include "common/run_log.h"
#include "common/system.h"
#include "wizard/format.h"

namespace vx {

namespace {

constexpr char kPanelClassName[] = "TVXLitePanel";
constexpr int kControlIdBase = 1000;
constexpr int kFrameIdBase = 2000;
constexpr int kBevel = 1;  // the banner's raised edge, in pixels

// DPI functions of newer Windows versions, looked up at run time so the setup
// still starts where they are missing.
template <class Function>
Function User32Function(const char* name) {
  FARPROC proc = GetProcAddress(GetModuleHandleA("user32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow) {
    if (UINT dpi = getDpiForWindow(window)) return dpi;
  }
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

void AdjustForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
}

bool IsSizedToText(Kind kind) { return kind == Kind::Label || kind == Kind::Link; }

struct FontStyle {
  const char* face;
  int height;  // at 96 dpi
  int weight;
  bool underline;
};
constexpr FontStyle kFonts[static_cast<size_t>(FontId::Count)] = {
    {"MS Sans Serif", -11, FW_NORMAL, false}, {"Arial", -11, FW_NORMAL, false},
    {"Arial", -11, FW_NORMAL, true},          {"Arial", -12, FW_NORMAL, false},
    {"Arial", -12, FW_NORMAL, true},          {"Arial", -13, FW_BOLD, false},
};

// The banner picture: a bitmap resource (the banner JPEG decoded when the
// pictures are made), so showing it needs neither OLE nor an image codec
// at start-up. Null when it cannot be had, with the Windows error in error.
HBITMAP LoadBannerBitmap(HMODULE module, const char* name, SIZE& size, DWORD& error) {
  HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
    error = GetLastError();
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  error = ERROR_SUCCESS;
  size = SIZE{info.bmWidth, info.bmHeight};
  return bitmap;
}

// A button glyph: a bitmap resource whose top-left pixel marks the
// transparent colour, as a one-image list in full colour.
ImageList LoadGlyph(HMODULE module, const char* name) {
  GdiObject bitmap(LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap.get(), sizeof info, &info)) return ImageList();
  COLORREF transparent = CLR_NONE;
  if (HDC memory = CreateCompatibleDC(nullptr)) {
    HGDIOBJ old = SelectObject(memory, bitmap.get());
    transparent = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  ImageList list(ImageList_Create(info.bmWidth, info.bmHeight, ILC_COLOR32 | ILC_MASK, 1, 0));
  const auto image = static_cast<HBITMAP>(bitmap.get());
  if (list && ImageList_AddMasked(list.get(), image, transparent) < 0) list.reset();
  return list;
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

WizardView::WizardView(HMODULE resources) : resources_(resources) {
  textColors_.fill(kDefaultColor);
}

int WizardView::Scale(int pixels) const {
  return MulDiv(pixels, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
}

bool WizardView::Create(HWND window) {
  window_ = window;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  dpi_ = WindowDpi(window_);  // the DPI of the monitor the window is on
  CreateFonts();
  for (const ControlLayout& item : kControls) {
    HWND parent = item.parent == Ctl::Window ? window_ : controls_[Index(item.parent)];
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIdBase + Index(item.id)));
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    const char* className = kPanelClassName;
    switch (item.kind) {
      case Kind::Panel:
        style |= WS_CLIPCHILDREN;
        exStyle |= WS_EX_CONTROLPARENT;
        break;
      case Kind::Group:  // the frame inside paints over the panel: no clipping
        exStyle |= WS_EX_CONTROLPARENT;
        break;
      case Kind::Picture:
        break;
      case Kind::Label:
        className = WC_STATICA;
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        break;
      case Kind::WrapLabel:
        className = WC_STATICA;
        style |= SS_LEFT | SS_NOPREFIX;
        break;
      case Kind::Link:
        className = WC_STATICA;
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
        break;
      case Kind::Button:
        className = WC_BUTTONA;
        style |= WS_TABSTOP | (item.id == Ctl::btnNext ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
      case Kind::CheckBox:
        className = WC_BUTTONA;
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
      case Kind::Memo:
        className = WC_EDITA;
        style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
      case Kind::Edit:
        className = WC_EDITA;
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
      case Kind::Progress:
        className = PROGRESS_CLASSA;
        break;
    }
    // Only the page panel of the current page is shown.
    if (item.kind == Kind::Panel && item.parent == Ctl::pnlMain) style &= ~WS_VISIBLE;
    // Made in its place at the window's DPI and given its font at once: no
    // control is moved or measured twice on the way to the first page.
    HWND control = CreateWindowExA(exStyle, className, "", style, Scale(item.left),
                                   Scale(item.top), Scale(item.width), Scale(item.height),
                                   parent, id, instance, this);
    if (!control) return false;
    controls_[Index(item.id)] = control;
    textColors_[Index(item.id)] = item.text;
    const auto font = reinterpret_cast<WPARAM>(fonts_[static_cast<size_t>(item.font)].get());
    SendMessageA(control, WM_SETFONT, font, FALSE);
    if (item.kind == Kind::Group) {
      const auto frameId =
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFrameIdBase + Index(item.id)));
      HWND frame = CreateWindowExA(0, WC_BUTTONA, "",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0, 0,
                                   Scale(item.width), Scale(item.height), control, frameId,
                                   instance, nullptr);
      if (!frame) return false;
      SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      SendMessageA(frame, WM_SETFONT, font, FALSE);
      frames_[Index(item.id)] = frame;
    }
  }

  SendMessageA(Control(Ctl::pbarInstall), PBM_SETRANGE32, 0, 100);
  SendMessageA(Control(Ctl::pbarInstall), PBM_SETSTEP, 1, 0);
  SendMessageA(Control(Ctl::cboxStart), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(Control(Ctl::edtTarget), EM_LIMITTEXT, MAX_PATH, 0);

  for (const ControlLayout& item : kControls) {
    if (item.background == kDefaultColor) continue;
    const bool known = std::any_of(brushes_.begin(), brushes_.end(), [&](const Brush& brush) {
      return brush.color == item.background;
    });
    if (!known) {
      brushes_.push_back(Brush{item.background, GdiObject(CreateSolidBrush(item.background))});
    }
  }

  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                             instance, nullptr);
  if (!tooltip_) LogFailure("creating the link hints", TOOLTIPS_CLASSA, GetLastError());
  if (tooltip_) {
    SendMessageA(tooltip_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(fonts_[static_cast<size_t>(FontId::Form)].get()), FALSE);
  }
  LoadPictures();
  PlaceWindow(nullptr);
  return true;
}

void WizardView::InitTexts() {
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
void WizardView::LoadEULA() {
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

void WizardView::WindowDestroyed() {
  if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  controls_.fill(nullptr);
  frames_.fill(nullptr);
  window_ = nullptr;
}

void WizardView::LoadPictures() {
  DWORD bannerError = ERROR_SUCCESS;
  banner_.reset(LoadBannerBitmap(resources_, kBannerResourceName, bannerSize_, bannerError));
  if (!banner_) LogFailure("loading the banner picture", kBannerResourceName, bannerError);
  tick_ = LoadGlyph(resources_, kTickGlyphResourceName);
  if (!tick_) LogFailure("loading the tick glyph", kTickGlyphResourceName, GetLastError());
  iconLarge_.reset(static_cast<HICON>(LoadImageA(resources_, kIconResourceName, IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
  iconSmall_.reset(static_cast<HICON>(LoadImageA(resources_, kIconResourceName, IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0)));
  if (!iconLarge_ || !iconSmall_) LogFailure("loading the icon", kIconResourceName, GetLastError());
  if (iconLarge_) {
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconLarge_.get()));
  }
  if (iconSmall_) {
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_.get()));
  }
}

void WizardView::CreateFonts() {
  for (size_t i = 0; i < fonts_.size(); ++i) {
    const FontStyle& font = kFonts[i];
    fonts_[i].reset(CreateFontA(Scale(font.height), 0, 0, 0, font.weight, FALSE, font.underline,
                                FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, font.face));
  }
}

// Everything that depends on the DPI: fonts, the window's size, every
// control's place and size, when the window moves to a monitor of another
// DPI. (At creation the controls are made for the window's DPI at once.)
void WizardView::ApplyDpi(UINT dpi, const RECT* suggested) {
  if (!window_) return;
  dpi_ = dpi ? dpi : WindowDpi(window_);
  // The fonts in use go only once every control has its new one.
  const auto fontsInUse = std::move(fonts_);
  CreateFonts();
  for (const ControlLayout& item : kControls) {
    const auto font = reinterpret_cast<WPARAM>(fonts_[static_cast<size_t>(item.font)].get());
    SendMessageA(Control(item.id), WM_SETFONT, font, FALSE);
    if (HWND frame = frames_[Index(item.id)]) SendMessageA(frame, WM_SETFONT, font, FALSE);
    if (item.dock == Dock::None || item.dock == Dock::Across) {
      SetWindowPos(Control(item.id), nullptr, Scale(item.left), Scale(item.top),
                   Scale(item.width), Scale(item.height), SWP_NOZORDER | SWP_NOACTIVATE);
      if (IsSizedToText(item.kind)) AutoSize(item.id);
      if (item.dock == Dock::Across) StretchAcross(item);
    }
  }
  if (tooltip_) {
    SendMessageA(tooltip_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(fonts_[static_cast<size_t>(FontId::Form)].get()), FALSE);
  }
  PlaceWindow(suggested);
}

// The window's size for the DPI, its place (the suggested one, else centred
// on the work area of its monitor), then the docked children.
void WizardView::PlaceWindow(const RECT* suggested) {
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE));
  RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustForDpi(frame, style, exStyle, dpi_);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int left = 0, top = 0;
  if (suggested) {
    left = suggested->left;
    top = suggested->top;
  } else {  // centred on the screen's work area
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
      work = monitor.rcWork;
    }
    left = work.left + (work.right - work.left - width) / 2;
    top = work.top + (work.bottom - work.top - height) / 2;
  }
  SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame the system really draws may differ from the computed one (a
  // frame not scaled for this DPI): the client area is what must fit.
  RECT client{};
  GetClientRect(window_, &client);
  const int extraWidth = Scale(kClientWidth) - client.right;
  const int extraHeight = Scale(kClientHeight) - client.bottom;
  if (extraWidth || extraHeight) {
    SetWindowPos(window_, nullptr, 0, 0, width + extraWidth, height + extraHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The size may not have changed (same DPI): dock the children anyway.
  LayoutChildren(window_);
  InvalidateRect(window_, nullptr, TRUE);
}

// Docks the children of a container as the table says: top and bottom ones
// in table order, then the filling one in what is left.
void WizardView::LayoutChildren(HWND container) {
  if (!container) return;
  RECT area{};
  GetClientRect(container, &area);
  const RECT client = area;
  auto place = [](HWND control, int left, int top, int width, int height) {
    SetWindowPos(control, nullptr, left, top, width > 0 ? width : 0, height > 0 ? height : 0,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  };
  for (const ControlLayout& item : kControls) {
    HWND control = Control(item.id);
    if (!control || GetParent(control) != container) continue;
    const int height = Scale(item.height);
    if (item.dock == Dock::Top) {
      place(control, area.left, area.top, area.right - area.left, height);
      area.top += height;
    } else if (item.dock == Dock::Bottom) {
      place(control, area.left, area.bottom - height, area.right - area.left, height);
      area.bottom -= height;
    } else if (item.dock == Dock::Inset) {
      place(control, client.left + kBevel, client.top + kBevel,
            client.right - client.left - 2 * kBevel, client.bottom - client.top - 2 * kBevel);
    } else if (item.dock == Dock::Across) {
      StretchAcross(item);
    }
  }
  for (const ControlLayout& item : kControls) {
    HWND control = Control(item.id);
    if (control && item.dock == Dock::Fill && GetParent(control) == container) {
      place(control, area.left, area.top, area.right - area.left, area.bottom - area.top);
    }
  }
  const Ctl id = IdOf(container);
  if (id != Ctl::Count && frames_[Index(id)]) {
    place(frames_[Index(id)], 0, 0, client.right, client.bottom);
  }
}

void WizardView::StretchAcross(const ControlLayout& item) {
  HWND control = Control(item.id);
  HWND parent = control ? GetParent(control) : nullptr;
  if (!parent) return;
  RECT client{}, box{};
  GetClientRect(parent, &client);
  GetWindowRect(control, &box);
  const int width = client.right - Scale(2 * item.left);
  SetWindowPos(control, nullptr, 0, 0, width > 0 ? width : 0, box.bottom - box.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Labels and link labels take the size of their text, as the window's
// labels do (a link then only reacts over its own text).
void WizardView::AutoSize(Ctl id) {
  HWND control = Control(id);
  if (!control) return;
  const std::string text = Text(id);
  HDC dc = GetDC(control);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, fonts_[static_cast<size_t>(LayoutOf(id).font)].get());
  RECT bounds{0, 0, 0, 0};
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  if (!text.empty()) {
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_NOPREFIX | DT_LEFT | DT_EXPANDTABS);
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  const int height = bounds.bottom > metrics.tmHeight ? bounds.bottom : metrics.tmHeight;
  SetWindowPos(control, nullptr, 0, 0, bounds.right, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Ctl WizardView::IdOf(HWND control) const {
  if (!control) return Ctl::Count;
  const int id = GetDlgCtrlID(control);
  size_t index = kControlCount;
  if (id >= kFrameIdBase && id < kFrameIdBase + static_cast<int>(kControlCount)) {
    index = static_cast<size_t>(id - kFrameIdBase);
    if (frames_[index] != control) return Ctl::Count;
  } else if (id >= kControlIdBase && id < kControlIdBase + static_cast<int>(kControlCount)) {
    index = static_cast<size_t>(id - kControlIdBase);
    if (controls_[index] != control) return Ctl::Count;
  }
  return index < kControlCount ? static_cast<Ctl>(index) : Ctl::Count;
}

COLORREF WizardView::BackgroundColor(Ctl id) const {
  for (int depth = 0; id != Ctl::Count && depth < 8; ++depth) {
    const ControlLayout& item = LayoutOf(id);
    if (item.background != kDefaultColor) return item.background;
    if (item.kind == Kind::Edit) return GetSysColor(COLOR_WINDOW);
    id = IdOf(GetParent(Control(id)));  // the parent it has now (the banner moves)
  }
  return GetSysColor(COLOR_BTNFACE);
}

HBRUSH WizardView::BackgroundBrush(Ctl id) {
  const COLORREF color = BackgroundColor(id);
  for (const Brush& brush : brushes_) {
    if (brush.color == color && brush.brush) return static_cast<HBRUSH>(brush.brush.get());
  }
  if (color == GetSysColor(COLOR_WINDOW)) return GetSysColorBrush(COLOR_WINDOW);
  return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT WizardView::ControlColors(HWND control, HDC dc) {
  const Ctl id = IdOf(control);
  if (id == Ctl::Count) return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  const COLORREF text = textColors_[Index(id)];
  ::SetTextColor(dc, text != kDefaultColor ? text : GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, BackgroundColor(id));
  return reinterpret_cast<LRESULT>(BackgroundBrush(id));
}

void WizardView::PaintPanel(HWND panel, HDC dc) {
  const Ctl id = IdOf(panel);
  if (id == Ctl::Count) return;
  const ControlLayout& item = LayoutOf(id);
  RECT client{};
  GetClientRect(panel, &client);
  if (item.kind == Kind::Picture && banner_) {
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, banner_.get());
    // Drawn from the top-left corner at its own size (scaled only with the
    // DPI, like everything else) and clipped by the picture's box.
    if (dpi_ == USER_DEFAULT_SCREEN_DPI) {
      BitBlt(dc, 0, 0, bannerSize_.cx, bannerSize_.cy, memory, 0, 0, SRCCOPY);
    } else {
      SetStretchBltMode(dc, HALFTONE);
      StretchBlt(dc, 0, 0, Scale(bannerSize_.cx), Scale(bannerSize_.cy), memory, 0, 0,
                 bannerSize_.cx, bannerSize_.cy, SRCCOPY);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  switch (item.edge) {
    case Edge::RaisedFrame:
      DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
      break;
    case Edge::EtchedTop:
      DrawEdge(dc, &client, EDGE_ETCHED, BF_TOP);
      break;
    case Edge::None:
      break;
  }
}

bool WizardView::SetLinkCursor(HWND control) {
  const Ctl id = IdOf(control);
  if (id == Ctl::Count || LayoutOf(id).kind != Kind::Link || targets_[Index(id)].empty()) {
    return false;
  }
  SetCursor(LoadCursor(nullptr, IDC_HAND));
  return true;
}

void WizardView::AddHint(Ctl link) {
  if (!tooltip_) return;
  TTTOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(Control(link));
  tool.uId = reinterpret_cast<UINT_PTR>(Control(link));
  tool.lpszText = const_cast<char*>(hints_[Index(link)].c_str());
  SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// ---------------------------------------------------------------- small control operations

void WizardView::SetText(Ctl id, const std::string& text) {
  HWND control = Control(id);
  if (!control) return;
  SetWindowTextA(control, text.c_str());
  if (HWND frame = frames_[Index(id)]) SetWindowTextA(frame, text.c_str());
  if (IsSizedToText(LayoutOf(id).kind)) AutoSize(id);
}

std::string WizardView::Text(Ctl id) const {
  HWND control = Control(id);
  if (!control) return std::string();
  std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  const int length = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

void WizardView::SetVisible(Ctl id, bool visible) {
  if (HWND control = Control(id)) ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void WizardView::SetEnabled(Ctl id, bool enabled) {
  if (HWND control = Control(id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

bool WizardView::IsChecked(Ctl id) const {
  return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WizardView::SetCheck(Ctl id, bool checked) {
  SendMessageA(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void WizardView::SetTextColor(Ctl id, COLORREF color) {
  textColors_[Index(id)] = color;
  if (HWND control = Control(id)) InvalidateRect(control, nullptr, TRUE);
}

// The tick beside "&Install", five pixels before the text.
void WizardView::SetNextGlyph(bool shown) {
  BUTTON_IMAGELIST glyph{};
  glyph.himl = shown ? tick_.get() : nullptr;
  glyph.margin = RECT{0, 0, 5, 0};
  glyph.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
  SendMessageA(Control(Ctl::btnNext), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&glyph));
  InvalidateRect(Control(Ctl::btnNext), nullptr, TRUE);
}

// After a page change the control that had the keyboard focus may be hidden
// or disabled: the focus then goes to the first control of the Tab order.
void WizardView::EnsureFocus() {
  if (!window_ || !IsWindowVisible(window_)) return;
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus) && IsWindowVisible(focus) && IsWindowEnabled(focus)) return;
  if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
}

void WizardView::ShowPagePanel(Ctl panel) {
  for (const ControlLayout& item : kControls) {
    if (item.parent == Ctl::pnlMain && item.kind == Kind::Panel && item.id != panel) {
      SetVisible(item.id, false);
    }
  }
  HWND shown = Control(panel);
  SetParent(Control(Ctl::pnlBanner), shown);
  LayoutChildren(shown);
  ShowWindow(shown, SW_SHOWNA);
}

// ---------------------------------------------------------------- the panel class

LRESULT CALLBACK WizardView::PanelProc(HWND panel, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  WizardView* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<WizardView*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<WizardView*>(GetWindowLongPtrA(panel, GWLP_USERDATA));
  }
  if (self && self->window_) {
    try {
      LRESULT result = 0;
      if (self->HandlePanelMessage(panel, message, wParam, lParam, result)) return result;
    } catch (...) {
      LogCaught("handling a panel message", std::to_string(message));
      return 0;
    }
  }
  return DefWindowProcA(panel, message, wParam, lParam);
}

bool WizardView::HandlePanelMessage(HWND panel, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
    case WM_NEXTDLGCTL:
    case DM_GETDEFID:  // the controls' notifications all reach the window
      result = SendMessageA(window_, message, wParam, lParam);
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      result = ControlColors(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
      return true;
    case WM_SETCURSOR:
      if (SetLinkCursor(reinterpret_cast<HWND>(wParam))) {
        result = TRUE;
        return true;
      }
      return false;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(panel, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundBrush(IdOf(panel)));
      result = 1;
      return true;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(panel, &paint);
      if (dc) PaintPanel(panel, dc);
      EndPaint(panel, &paint);
      result = 0;
      return true;
    }
    case WM_SIZE: {
      LayoutChildren(panel);
      // What a panel paints itself follows its size.
      const Ctl id = IdOf(panel);
      if (id != Ctl::Count &&
          (LayoutOf(id).kind == Kind::Picture || LayoutOf(id).edge != Edge::None)) {
        InvalidateRect(panel, nullptr, TRUE);
      }
      result = 0;
      return true;
    }
    case WM_CLOSE:  // panels never close (an edit control may ask on Esc)
      result = 0;
      return true;
    default:
      return false;
  }
}

bool WizardView::RegisterPanelClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = &WizardView::PanelProc;
  panel.hInstance = GetModuleHandleA(nullptr);
  panel.hCursor = LoadCursor(nullptr, IDC_ARROW);
  panel.lpszClassName = kPanelClassName;
  if (!RegisterClassExA(&panel) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  registered = true;
  return true;
}

}  // namespace vx
