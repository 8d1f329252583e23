// The modal dialog that lets the user choose one of several scanners: one line per scanner,
// "Adapter ID: %d; Target ID: %d; Model: %s", the first selected. OK takes the selected line;
// closing the dialog any other way takes the first, so a choice is always defined. Its controls
// use the system menu font; its texts are shown as written, not translated.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/ui.h"
#include "platform/ui/ui_constants.h"
#include "scancore/device_info.h"

namespace scancore {
class LibraryState;
class MenuFont;
}  // namespace scancore

class CSelectScannerDlg {
 public:
  // The dialog's template comes from the library's resources.
  CSelectScannerDlg(platform::UserInterface& ui, const scancore::LibraryState& library,
                    const DEVICEINFO* table, uint8_t count);
  // Runs the dialog; returns the index of the chosen scanner.
  int DoModal();

  static std::string LineFor(const DEVICEINFO& device);

 private:
  intptr_t OnMessage(platform::Hwnd dialog, uint32_t message, platform::WParam wParam);
  void FillList(platform::Hwnd dialog);

  platform::UserInterface& ui_;
  const scancore::LibraryState& library_;
  const DEVICEINFO* table_;
  uint8_t count_;
  int chosen_ = 0;
  const scancore::MenuFont* font_ = nullptr;  // while the dialog runs
};
