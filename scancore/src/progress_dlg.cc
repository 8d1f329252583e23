#include "progress_dlg.h"

#include "library_state.h"
#include "platform/ui/ui_constants.h"

CProgressDlg::CProgressDlg(platform::UserInterface& ui, const CMessageFile& messages)
    : ui_(ui), messages_(messages), font_(ui) {}

std::unique_ptr<CProgressDlg> CProgressDlg::Create(
    platform::UserInterface& ui, const CMessageFile& messages,
    const std::optional<platform::DialogTemplate>& layout) {
  if (!layout) return nullptr;
  std::unique_ptr<CProgressDlg> dlg(new CProgressDlg(ui, messages));
  CProgressDlg* self = dlg.get();
  dlg->dialog_ = ui.CreateDialog(
      *layout, 0, [self](platform::Hwnd dialog, uint32_t message, platform::WParam,
                         platform::LParam) -> intptr_t {
        if (message != platform::WM_INITDIALOG) return 0;
        self->font_.ApplyToChildren(dialog);
        self->messages_.TranslateWindow(self->ui_, dialog);
        self->ui_.SendDlgItemMessage(dialog, scancore::kCtlProgressBar, platform::PBM_SETRANGE, 0,
                                     platform::MakeLParam(0, 100));
        return 1;
      });
  if (!dlg->dialog_) return nullptr;
  return dlg;
}

CProgressDlg::~CProgressDlg() {
  if (dialog_) ui_.DestroyWindow(dialog_);
}

void CProgressDlg::SetText(std::string_view text) {
  ui_.SetDlgItemText(dialog_, scancore::kCtlProgressText, text);
}

void CProgressDlg::SetPosition(int percent) {
  ui_.SendDlgItemMessage(dialog_, scancore::kCtlProgressBar, platform::PBM_SETPOS,
                         static_cast<platform::WParam>(percent), 0);
}

platform::Hwnd CProgressDlg::progressBar() const {
  return ui_.GetDlgItem(dialog_, scancore::kCtlProgressBar);
}

platform::Hwnd CProgressDlg::cancelButton() const {
  return ui_.GetDlgItem(dialog_, platform::IDCANCEL);
}

namespace scancore {

std::string FormatCount(std::string_view format, int value) {
  std::string out;
  bool numbered = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 'd' && !numbered) {
        out += std::to_string(value);
        numbered = true;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

}  // namespace scancore
