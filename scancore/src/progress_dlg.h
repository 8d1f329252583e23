// The progress dialog of a scan: a modeless dialog from the library's template "Progress" with a
// text line, a bar from 0 to 100 and a Cancel button. Its controls use the system menu font and
// its texts pass through the message file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "menu_font.h"
#include "platform/modules/dialog_template.h"
#include "platform/ui/ui.h"
#include "scancore/message_file.h"

class CProgressDlg {
 public:
  // Null when there is no template or the dialog cannot be made.
  static std::unique_ptr<CProgressDlg> Create(platform::UserInterface& ui,
                                              const CMessageFile& messages,
                                              const std::optional<platform::DialogTemplate>& layout);
  ~CProgressDlg();
  CProgressDlg(const CProgressDlg&) = delete;
  CProgressDlg& operator=(const CProgressDlg&) = delete;

  void SetText(std::string_view text);
  void SetPosition(int percent);
  platform::Hwnd window() const { return dialog_; }
  platform::Hwnd progressBar() const;
  platform::Hwnd cancelButton() const;

 private:
  CProgressDlg(platform::UserInterface& ui, const CMessageFile& messages);

  platform::UserInterface& ui_;
  const CMessageFile& messages_;
  scancore::MenuFont font_;  // outlives the dialog's controls, which use it
  platform::Hwnd dialog_ = 0;
};

namespace scancore {
// `format` with its first "%d" replaced by `value` and "%%" by "%"; any other "%" is kept as it
// is. Translated texts come from a file, so they are never used as printf formats.
std::string FormatCount(std::string_view format, int value);
}  // namespace scancore
