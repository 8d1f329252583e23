// The numbers of the window system: message-box flags and answers, window and control messages,
// notification codes and styles. The values are those the Win32 headers give, so that code
// written against them (and values stored in files) keeps its meaning.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Handles and message parameters. A window handle is never reused within one user interface.
using Hwnd = uintptr_t;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;
// Menu and font handles. Like window handles they are never reused within one user interface,
// and a handle of one kind never equals a handle of the other kinds.
using Hmenu = uintptr_t;
using Hfont = uintptr_t;

constexpr uint16_t LoWord(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HiWord(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
constexpr LParam MakeLParam(uint16_t low, uint16_t high) {
  return static_cast<LParam>(static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16));
}
constexpr WParam MakeWParam(uint16_t low, uint16_t high) {
  return static_cast<WParam>(static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16));
}

inline constexpr uint32_t kErrorInvalidWindowHandle = 1400;
inline constexpr uint32_t kErrorInvalidMenuHandle = 1401;
inline constexpr uint32_t kErrorNoWindowsForThread = 1420;  // ended a dialog that is not one
inline constexpr uint32_t kErrorControlIdNotFound = 1421;

// Message boxes: buttons, icons, default button, modality.
inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_OKCANCEL = 0x1;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2;
inline constexpr uint32_t MB_YESNOCANCEL = 0x3;
inline constexpr uint32_t MB_YESNO = 0x4;
inline constexpr uint32_t MB_RETRYCANCEL = 0x5;
inline constexpr uint32_t MB_TYPEMASK = 0xF;
inline constexpr uint32_t MB_ICONHAND = 0x10;
inline constexpr uint32_t MB_ICONERROR = 0x10;
inline constexpr uint32_t MB_ICONSTOP = 0x10;
inline constexpr uint32_t MB_ICONQUESTION = 0x20;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
inline constexpr uint32_t MB_ICONWARNING = 0x30;
inline constexpr uint32_t MB_ICONASTERISK = 0x40;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr uint32_t MB_ICONMASK = 0xF0;
inline constexpr uint32_t MB_DEFBUTTON1 = 0x000;
inline constexpr uint32_t MB_DEFBUTTON2 = 0x100;
inline constexpr uint32_t MB_DEFBUTTON3 = 0x200;
inline constexpr uint32_t MB_DEFMASK = 0xF00;
inline constexpr uint32_t MB_APPLMODAL = 0x0000;
inline constexpr uint32_t MB_SYSTEMMODAL = 0x1000;
inline constexpr uint32_t MB_TASKMODAL = 0x2000;
inline constexpr uint32_t MB_SETFOREGROUND = 0x10000;
inline constexpr uint32_t MB_TOPMOST = 0x40000;

// Dialog and message-box answers; also the identifiers of the standard buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDHELP = 9;
inline constexpr int IDC_STATIC = -1;

// Window messages.
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_ENABLE = 0x000A;
inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t WM_GETTEXT = 0x000D;
inline constexpr uint32_t WM_GETTEXTLENGTH = 0x000E;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t WM_SETFONT = 0x0030;  // wParam: the font (0: the system font)
inline constexpr uint32_t WM_GETFONT = 0x0031;
inline constexpr uint32_t WM_NOTIFY = 0x004E;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_INITDIALOG = 0x0110;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_VSCROLL = 0x0115;
inline constexpr uint32_t WM_MOUSEFIRST = 0x0200;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_MOUSELAST = 0x0209;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;

inline constexpr uint32_t MK_LBUTTON = 0x0001;  // wParam of a button-down

// PeekMessage flags.
inline constexpr uint32_t PM_NOREMOVE = 0x0;
inline constexpr uint32_t PM_REMOVE = 0x1;
inline constexpr uint32_t PM_NOYIELD = 0x2;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_RESTORE = 9;  // shown again at its normal place

// Window styles.
inline constexpr uint32_t WS_POPUP = 0x80000000u;
inline constexpr uint32_t WS_CHILD = 0x40000000u;
inline constexpr uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr uint32_t WS_DISABLED = 0x08000000u;
inline constexpr uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr uint32_t WS_BORDER = 0x00800000u;
inline constexpr uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr uint32_t WS_GROUP = 0x00020000u;
inline constexpr uint32_t WS_TABSTOP = 0x00010000u;

// Window data slots (GetWindowLongPtr / SetWindowLongPtr).
inline constexpr int GWLP_USERDATA = -21;
inline constexpr int GWLP_ID = -12;
inline constexpr int DWLP_MSGRESULT = 0;
inline constexpr int DWLP_USER = 16;

// Buttons.
inline constexpr uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr uint32_t BS_CHECKBOX = 0x2;
inline constexpr uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr uint32_t BS_RADIOBUTTON = 0x4;
inline constexpr uint32_t BS_3STATE = 0x5;
inline constexpr uint32_t BS_AUTO3STATE = 0x6;
inline constexpr uint32_t BS_GROUPBOX = 0x7;
inline constexpr uint32_t BS_AUTORADIOBUTTON = 0x9;
inline constexpr uint32_t BS_TYPEMASK = 0xF;
inline constexpr uint32_t BM_GETCHECK = 0x00F0;
inline constexpr uint32_t BM_SETCHECK = 0x00F1;
inline constexpr uint32_t BM_GETSTATE = 0x00F2;
inline constexpr uint32_t BM_SETSTATE = 0x00F3;
inline constexpr uint32_t BM_CLICK = 0x00F5;
inline constexpr uint32_t BST_UNCHECKED = 0x0;
inline constexpr uint32_t BST_CHECKED = 0x1;
inline constexpr uint32_t BST_INDETERMINATE = 0x2;
inline constexpr uint32_t BST_PUSHED = 0x4;
inline constexpr uint16_t BN_CLICKED = 0;

// Edit controls.
inline constexpr uint32_t ES_MULTILINE = 0x4;
inline constexpr uint32_t ES_READONLY = 0x800;
inline constexpr uint32_t ES_NUMBER = 0x2000;
inline constexpr uint32_t EM_LIMITTEXT = 0x00C5;
inline constexpr uint16_t EN_CHANGE = 0x0300;

// List boxes.
inline constexpr uint32_t LBS_NOTIFY = 0x1;
inline constexpr uint32_t LBS_SORT = 0x2;
inline constexpr uint32_t LBS_MULTIPLESEL = 0x8;
inline constexpr uint32_t LBS_EXTENDEDSEL = 0x800;
inline constexpr uint32_t LB_ADDSTRING = 0x0180;
inline constexpr uint32_t LB_INSERTSTRING = 0x0181;
inline constexpr uint32_t LB_DELETESTRING = 0x0182;
inline constexpr uint32_t LB_RESETCONTENT = 0x0184;
inline constexpr uint32_t LB_SETSEL = 0x0185;
inline constexpr uint32_t LB_SETCURSEL = 0x0186;
inline constexpr uint32_t LB_GETSEL = 0x0187;
inline constexpr uint32_t LB_GETCURSEL = 0x0188;
inline constexpr uint32_t LB_GETTEXT = 0x0189;
inline constexpr uint32_t LB_GETTEXTLEN = 0x018A;
inline constexpr uint32_t LB_GETCOUNT = 0x018B;
inline constexpr uint32_t LB_SELECTSTRING = 0x018C;
inline constexpr uint32_t LB_FINDSTRING = 0x018F;
inline constexpr uint32_t LB_GETSELCOUNT = 0x0190;
inline constexpr uint32_t LB_GETSELITEMS = 0x0191;
inline constexpr uint32_t LB_GETITEMDATA = 0x0199;
inline constexpr uint32_t LB_SETITEMDATA = 0x019A;
inline constexpr uint32_t LB_FINDSTRINGEXACT = 0x01A2;
inline constexpr LResult LB_ERR = -1;
inline constexpr uint16_t LBN_SELCHANGE = 1;
inline constexpr uint16_t LBN_DBLCLK = 2;

// Combo boxes.
inline constexpr uint32_t CBS_SIMPLE = 0x1;
inline constexpr uint32_t CBS_DROPDOWN = 0x2;
inline constexpr uint32_t CBS_DROPDOWNLIST = 0x3;
inline constexpr uint32_t CBS_SORT = 0x100;
inline constexpr uint32_t CB_ADDSTRING = 0x0143;
inline constexpr uint32_t CB_DELETESTRING = 0x0144;
inline constexpr uint32_t CB_GETCOUNT = 0x0146;
inline constexpr uint32_t CB_GETCURSEL = 0x0147;
inline constexpr uint32_t CB_GETLBTEXT = 0x0148;
inline constexpr uint32_t CB_GETLBTEXTLEN = 0x0149;
inline constexpr uint32_t CB_INSERTSTRING = 0x014A;
inline constexpr uint32_t CB_RESETCONTENT = 0x014B;
inline constexpr uint32_t CB_FINDSTRING = 0x014C;
inline constexpr uint32_t CB_SELECTSTRING = 0x014D;
inline constexpr uint32_t CB_SETCURSEL = 0x014E;
inline constexpr uint32_t CB_GETITEMDATA = 0x0150;
inline constexpr uint32_t CB_SETITEMDATA = 0x0151;
inline constexpr uint32_t CB_FINDSTRINGEXACT = 0x0158;
inline constexpr LResult CB_ERR = -1;
inline constexpr uint16_t CBN_SELCHANGE = 1;
inline constexpr uint16_t CBN_EDITCHANGE = 5;

// Progress bars (common controls).
inline constexpr uint32_t PBM_SETRANGE = WM_USER + 1;
inline constexpr uint32_t PBM_SETPOS = WM_USER + 2;
inline constexpr uint32_t PBM_DELTAPOS = WM_USER + 3;
inline constexpr uint32_t PBM_SETSTEP = WM_USER + 4;
inline constexpr uint32_t PBM_STEPIT = WM_USER + 5;
inline constexpr uint32_t PBM_SETRANGE32 = WM_USER + 6;
inline constexpr uint32_t PBM_GETRANGE = WM_USER + 7;
inline constexpr uint32_t PBM_GETPOS = WM_USER + 8;
struct PBRange {
  int iLow;
  int iHigh;
};

// Up-down controls (common controls). The 16-bit range puts the upper limit in the low word.
inline constexpr uint32_t UDM_SETRANGE = WM_USER + 101;
inline constexpr uint32_t UDM_GETRANGE = WM_USER + 102;
inline constexpr uint32_t UDM_SETPOS = WM_USER + 103;
inline constexpr uint32_t UDM_GETPOS = WM_USER + 104;
inline constexpr uint32_t UDM_SETBUDDY = WM_USER + 105;
inline constexpr uint32_t UDM_GETBUDDY = WM_USER + 106;
inline constexpr uint32_t UDM_SETBASE = WM_USER + 109;
inline constexpr uint32_t UDM_GETBASE = WM_USER + 110;
inline constexpr uint32_t UDM_SETRANGE32 = WM_USER + 111;
inline constexpr uint32_t UDM_GETRANGE32 = WM_USER + 112;
inline constexpr uint32_t UDS_SETBUDDYINT = 0x2;
inline constexpr uint32_t UDS_WRAP = 0x1;
inline constexpr uint16_t SB_THUMBPOSITION = 4;
inline constexpr uint32_t UDN_DELTAPOS = static_cast<uint32_t>(-722);

// Common header of WM_NOTIFY notifications.
struct NMHDR {
  Hwnd hwndFrom;
  uintptr_t idFrom;
  uint32_t code;
};
struct NMUPDOWN {
  NMHDR hdr;
  int iPos;
  int iDelta;
};

// Property sheets.
inline constexpr uint32_t PSH_NOAPPLYNOW = 0x80;
inline constexpr uint32_t PSN_SETACTIVE = static_cast<uint32_t>(-200);
inline constexpr uint32_t PSN_KILLACTIVE = static_cast<uint32_t>(-201);
inline constexpr uint32_t PSN_APPLY = static_cast<uint32_t>(-202);
inline constexpr uint32_t PSN_RESET = static_cast<uint32_t>(-203);
inline constexpr uint32_t PSM_CHANGED = WM_USER + 104;
inline constexpr LResult PSNRET_NOERROR = 0;
inline constexpr LResult PSNRET_INVALID = 1;

// Menus: item kinds and how an item is named.
inline constexpr uint32_t MF_STRING = 0x0000;
inline constexpr uint32_t MF_BYCOMMAND = 0x0000;
inline constexpr uint32_t MF_GRAYED = 0x0001;
inline constexpr uint32_t MF_DISABLED = 0x0002;
inline constexpr uint32_t MF_CHECKED = 0x0008;
inline constexpr uint32_t MF_POPUP = 0x0010;
inline constexpr uint32_t MF_BYPOSITION = 0x0400;
inline constexpr uint32_t MF_SEPARATOR = 0x0800;
inline constexpr uint32_t kMenuNoItemId = 0xFFFFFFFFu;  // GetMenuItemID of a popup or no item

// Fonts: the logical font record and the non-client metrics that name the system's fonts.
inline constexpr size_t LF_FACESIZE = 32;
inline constexpr int32_t FW_NORMAL = 400;
inline constexpr int32_t FW_BOLD = 700;
struct LOGFONT {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONT) == 60);
struct NONCLIENTMETRICS {
  uint32_t cbSize;  // the caller sets it to sizeof(NONCLIENTMETRICS)
  int32_t iBorderWidth;
  int32_t iScrollWidth;
  int32_t iScrollHeight;
  int32_t iCaptionWidth;
  int32_t iCaptionHeight;
  LOGFONT lfCaptionFont;
  int32_t iSmCaptionWidth;
  int32_t iSmCaptionHeight;
  LOGFONT lfSmCaptionFont;
  int32_t iMenuWidth;
  int32_t iMenuHeight;
  LOGFONT lfMenuFont;
  LOGFONT lfStatusFont;
  LOGFONT lfMessageFont;
};
static_assert(sizeof(NONCLIENTMETRICS) == 340);
// SystemParametersInfo actions.
inline constexpr uint32_t SPI_GETNONCLIENTMETRICS = 0x0029;
inline constexpr uint32_t SPI_SETNONCLIENTMETRICS = 0x002A;

// Window classes of the controls the window system knows.
inline constexpr const char* kButtonClass = "Button";
inline constexpr const char* kStaticClass = "Static";
inline constexpr const char* kEditClass = "Edit";
inline constexpr const char* kListBoxClass = "ListBox";
inline constexpr const char* kComboBoxClass = "ComboBox";
inline constexpr const char* kProgressClass = "msctls_progress32";
inline constexpr const char* kUpDownClass = "msctls_updown32";

}  // namespace platform
