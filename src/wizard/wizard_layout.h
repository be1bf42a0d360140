// The wizard window's controls: what each one is, where it sits (in pixels at
// 96 dpi, scaled with the window's DPI), its font and its colours. The order
// of the table is the creation order, and so the Tab order within a parent.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

namespace vx {

// Every control of the window, named as the window's code names them.
enum class Ctl : int {
  pnlMain,
  panel1,
  pnlBanner,
  Image1,
  lblWelcome,
  lblIntro,
  lblOPTIONS,
  Panel2,
  mmEULA,
  cbEULA,
  Panel3,
  lblFolder,
  edtTarget,
  btnBrowse,
  Panel4,
  lblWait,
  gbProgress,
  pbarInstall,
  lblFile,
  Panel5,
  lblFinal,
  cboxStart,
  gbNOTE,
  lblNote,
  lblJDKUrl,
  lblWTKUrl,
  pnlButtons,
  lblCopy,
  lblURL,
  btnBack,
  btnNext,
  btnCancel,
  Count,
  Window = Count,  // parent marker: the wizard window itself
};
inline constexpr size_t kControlCount = static_cast<size_t>(Ctl::Count);
inline constexpr size_t Index(Ctl id) { return static_cast<size_t>(id); }

enum class Kind {
  Panel,        // container; paints its colour
  Picture,      // paints the banner picture from its top-left corner, clipped
  Label,        // static text, sized to its text
  WrapLabel,    // static text, word-wrapped in a fixed box
  Link,         // static text sized to its text: underlined, hand cursor, hint
  Button,       // push button
  CheckBox,     // automatic check box
  Memo,         // read-only multi-line edit with vertical scroll bar
  Edit,         // single-line edit
  Group,        // container with a group box frame and caption
  Progress,     // progress bar
};

// How a control follows its parent's size (left, top, width and height of
// the table are then partly ignored).
enum class Dock {
  None,
  Top,     // full width at the top, its own height
  Bottom,  // full width at the bottom, its own height
  Fill,    // what the top and bottom ones leave
  Inset,   // the parent's client area less one pixel on every side
  Across,  // its own left, top and height; the parent's width less its left margin twice
};

// What a container paints over its background.
enum class Edge {
  None,
  RaisedFrame,  // a raised inner bevel all round
  EtchedTop,    // an etched line along the top
};

enum class FontId : int {
  Form,          // MS Sans Serif, 8 point: the window's own font
  Arial11,       // Arial, 8 point
  Arial11Link,   // Arial, 8 point, underlined
  Arial12,       // Arial, 9 point
  Arial12Link,   // Arial, 9 point, underlined
  Arial13Bold,   // Arial, 10 point, bold
  Count,
};

inline constexpr COLORREF kDefaultColor = CLR_INVALID;  // inherit / system colour
inline constexpr COLORREF kNavy = RGB(0, 0, 128);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
inline constexpr COLORREF kBannerGrey = RGB(172, 172, 172);
inline constexpr COLORREF kNoteGrey = RGB(245, 245, 245);
inline constexpr COLORREF kMemoGrey = RGB(240, 240, 240);

struct ControlLayout {
  Ctl id;
  Ctl parent;
  Kind kind;
  Dock dock;
  int left, top, width, height;  // at 96 dpi; width 0 = sized to its text
  FontId font;
  COLORREF text;        // kDefaultColor: the system's
  COLORREF background;  // kDefaultColor: the parent's
  Edge edge = Edge::None;
};

// Client area of the window at 96 dpi.
inline constexpr int kClientWidth = 580;
inline constexpr int kClientHeight = 387;

// clang-format off
inline constexpr std::array<ControlLayout, kControlCount> kControls = {{
  {Ctl::pnlMain,     Ctl::Window,     Kind::Panel,     Dock::Fill,     0,   0,   0,   0, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::panel1,      Ctl::pnlMain,    Kind::Panel,     Dock::Fill,     0,   0,   0,   0, FontId::Form,        kDefaultColor, kWhite},
  {Ctl::pnlBanner,   Ctl::panel1,     Kind::Panel,     Dock::Top,      0,   0,   0,  48, FontId::Form,        kDefaultColor, kBannerGrey, Edge::RaisedFrame},
  {Ctl::Image1,      Ctl::pnlBanner,  Kind::Picture,   Dock::Inset,    1,   1, 533,  46, FontId::Form,        kDefaultColor, kBannerGrey},
  {Ctl::lblWelcome,  Ctl::panel1,     Kind::Label,     Dock::None,     8,  80,   0,   0, FontId::Arial13Bold, kDefaultColor, kDefaultColor},
  {Ctl::lblIntro,    Ctl::panel1,     Kind::WrapLabel, Dock::None,     8, 132, 457,  37, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::lblOPTIONS,  Ctl::panel1,     Kind::WrapLabel, Dock::None,     8, 200, 457,  37, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::Panel2,      Ctl::pnlMain,    Kind::Panel,     Dock::Fill,     0,   0,   0,   0, FontId::Form,        kDefaultColor, kWhite},
  {Ctl::mmEULA,      Ctl::Panel2,     Kind::Memo,      Dock::Across,  16,  80, 505, 185, FontId::Arial12,     kNavy,         kMemoGrey},
  {Ctl::cbEULA,      Ctl::Panel2,     Kind::CheckBox,  Dock::None,    16, 272, 505,  17, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::Panel3,      Ctl::pnlMain,    Kind::Panel,     Dock::Fill,     0,   0,   0,   0, FontId::Form,        kDefaultColor, kWhite},
  {Ctl::lblFolder,   Ctl::Panel3,     Kind::Label,     Dock::None,    16,  80,   0,   0, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::edtTarget,   Ctl::Panel3,     Kind::Edit,      Dock::None,    16, 108, 417,  21, FontId::Form,        kNavy,         kDefaultColor},
  {Ctl::btnBrowse,   Ctl::Panel3,     Kind::Button,    Dock::None,   446, 108,  75,  25, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::Panel4,      Ctl::pnlMain,    Kind::Panel,     Dock::Fill,     0,   0,   0,   0, FontId::Form,        kDefaultColor, kWhite},
  {Ctl::lblWait,     Ctl::Panel4,     Kind::WrapLabel, Dock::None,    16,  80, 505,  33, FontId::Arial12,     kDefaultColor, kDefaultColor},
  {Ctl::gbProgress,  Ctl::Panel4,     Kind::Group,     Dock::Bottom,   0,   0,   0,  73, FontId::Arial12,     kBlack,        kDefaultColor},
  {Ctl::pbarInstall, Ctl::gbProgress, Kind::Progress,  Dock::Across,   8,  25, 521,  16, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::lblFile,     Ctl::gbProgress, Kind::Label,     Dock::None,     8,  50,   0,   0, FontId::Form,        kNavy,         kDefaultColor},
  {Ctl::Panel5,      Ctl::pnlMain,    Kind::Panel,     Dock::Fill,     0,   0,   0,   0, FontId::Form,        kDefaultColor, kWhite},
  {Ctl::lblFinal,    Ctl::Panel5,     Kind::Label,     Dock::None,    16,  80,   0,   0, FontId::Arial13Bold, kBlack,        kDefaultColor},
  {Ctl::cboxStart,   Ctl::Panel5,     Kind::CheckBox,  Dock::None,    14, 116, 363,  25, FontId::Form,        kDefaultColor, kDefaultColor},
  {Ctl::gbNOTE,      Ctl::Panel5,     Kind::Group,     Dock::Bottom,   0,   0,   0, 141, FontId::Arial12,     kBlack,        kNoteGrey},
  {Ctl::lblNote,     Ctl::gbNOTE,     Kind::WrapLabel, Dock::None,    72,  12, 457,  37, FontId::Arial12,     kDefaultColor, kDefaultColor},
  {Ctl::lblJDKUrl,   Ctl::gbNOTE,     Kind::Link,      Dock::None,    16,  64,   0,   0, FontId::Arial12Link, kLinkBlue,     kDefaultColor},
  {Ctl::lblWTKUrl,   Ctl::gbNOTE,     Kind::Link,      Dock::None,    16,  96,   0,   0, FontId::Arial12Link, kLinkBlue,     kDefaultColor},
  {Ctl::pnlButtons,  Ctl::Window,     Kind::Panel,     Dock::Bottom,   0,   0,   0,  41, FontId::Arial11,     kDefaultColor, kDefaultColor, Edge::EtchedTop},
  {Ctl::lblCopy,     Ctl::pnlButtons, Kind::Label,     Dock::None,     8,   2,   0,   0, FontId::Arial11,     kDefaultColor, kDefaultColor},
  {Ctl::lblURL,      Ctl::pnlButtons, Kind::Link,      Dock::None,     8,  24,   0,   0, FontId::Arial11Link, kLinkBlue,     kDefaultColor},
  {Ctl::btnBack,     Ctl::pnlButtons, Kind::Button,    Dock::None,   264,   8,  75,  25, FontId::Arial11,     kDefaultColor, kDefaultColor},
  {Ctl::btnNext,     Ctl::pnlButtons, Kind::Button,    Dock::None,   360,   8,  75,  25, FontId::Arial11,     kDefaultColor, kDefaultColor},
  {Ctl::btnCancel,   Ctl::pnlButtons, Kind::Button,    Dock::None,   496,   8,  75,  25, FontId::Arial11,     kDefaultColor, kDefaultColor},
}};
// clang-format on

inline constexpr const ControlLayout& LayoutOf(Ctl id) { return kControls[Index(id)]; }

// The table lists each control at its own index.
inline constexpr bool TableInOrder() {
  for (size_t i = 0; i < kControlCount; ++i) {
    if (Index(kControls[i].id) != i) return false;
  }
  return true;
}
static_assert(TableInOrder(), "kControls must list the controls in the order of Ctl");

}  // namespace vx
