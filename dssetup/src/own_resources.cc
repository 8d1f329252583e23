#include "own_resources.h"

namespace dssetup {

std::string_view OwnResourceScript() {
  return R"rc(
SPRACHEDLG DIALOG 0, 0, 160, 110
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Sprache / Language"
BEGIN
  LTEXT "Bitte Sprache waehlen / Please choose a language:", -1, 8, 6, 144, 10
  LISTBOX 1027, 8, 20, 144, 60, LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP
  DEFPUSHBUTTON "OK", 1, 24, 88, 50, 14
  PUSHBUTTON "Abbrechen / Cancel", 2, 86, 88, 50, 14
END

LOADDLLERROR DIALOG 0, 0, 200, 70
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Orvex Setup"
BEGIN
  LTEXT "Die Sprachbibliothek kann nicht geladen werden.\nThe language library cannot be loaded.", -1, 8, 8, 184, 30
  DEFPUSHBUTTON "OK", 1, 40, 48, 50, 14
  PUSHBUTTON "Hilfe / Help", 9, 110, 48, 50, 14
END

6410 DIALOG 0, 0, 200, 70
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Orvex Setup"
BEGIN
  LTEXT "Die Setup-Diskette ist unvollstaendig.\nThe setup disk is incomplete.", -1, 8, 8, 184, 30
  DEFPUSHBUTTON "OK", 1, 75, 48, 50, 14
END
)rc";
}

}  // namespace dssetup
