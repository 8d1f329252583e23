#include "select_scanner_dlg.h"

#include "library_state.h"
#include "menu_font.h"
#include "platform/ui/ui.h"

CSelectScannerDlg::CSelectScannerDlg(platform::UserInterface& ui,
                                     const scancore::LibraryState& library,
                                     const DEVICEINFO* table, uint8_t count)
    : ui_(ui), library_(library), table_(table), count_(count) {}

std::string CSelectScannerDlg::LineFor(const DEVICEINFO& device) {
  return "Adapter ID: " + std::to_string(device.AdapterID) +
         "; Target ID: " + std::to_string(device.TargetID) + "; Model: " + device.ModelName;
}

int CSelectScannerDlg::DoModal() {
  chosen_ = 0;
  auto layout = library_.Dialog(scancore::kDlgSelectScanner);
  if (!layout) return chosen_;
  // Made before the dialog and deleted after it, so no control is left with a deleted font.
  scancore::MenuFont font(ui_);
  font_ = &font;
  ui_.DialogBox(*layout, 0,
                       [this](platform::Hwnd dialog, uint32_t message, platform::WParam wParam,
                              platform::LParam) { return OnMessage(dialog, message, wParam); });
  font_ = nullptr;
  return chosen_;
}

void CSelectScannerDlg::FillList(platform::Hwnd dialog) {
  platform::UserInterface& ui = ui_;
  for (uint8_t i = 0; i < count_; ++i) {
    const std::string line = LineFor(table_[i]);
    ui.SendDlgItemMessage(dialog, scancore::kCtlScannerList, platform::LB_ADDSTRING, 0,
                          reinterpret_cast<platform::LParam>(line.c_str()));
  }
  ui.SendDlgItemMessage(dialog, scancore::kCtlScannerList, platform::LB_SETCURSEL, 0, 0);
}

intptr_t CSelectScannerDlg::OnMessage(platform::Hwnd dialog, uint32_t message,
                                      platform::WParam wParam) {
  platform::UserInterface& ui = ui_;
  if (message == platform::WM_INITDIALOG) {
    if (font_) font_->ApplyToChildren(dialog);
    FillList(dialog);
    return 1;
  }
  if (message != platform::WM_COMMAND) return 0;
  const int id = platform::LoWord(wParam);
  if (id == platform::IDOK) {
    const auto selected = ui.SendDlgItemMessage(dialog, scancore::kCtlScannerList,
                                                platform::LB_GETCURSEL, 0, 0);
    chosen_ = selected >= 0 && selected < count_ ? static_cast<int>(selected) : 0;
    ui.EndDialog(dialog, platform::IDOK);
    return 1;
  }
  if (id == platform::IDCANCEL) {
    chosen_ = 0;
    ui.EndDialog(dialog, platform::IDCANCEL);
    return 1;
  }
  return 0;
}
