#include "portinst.h"

#include <optional>
#include <string>
#include <vector>

#include "address_list.h"
#include "context.h"
#include "platform/files/search_path.h"
#include "platform/files/winpath.h"
#include "platform/profile/profile.h"
#include "platform/ui/ui.h"
#include "port_locations.h"
#include "restart.h"

namespace portcard {

namespace {
// Dialog 101; the chosen text, or empty for Cancel. An empty list gives nothing to choose, so
// OK then changes nothing either (it would otherwise store address 0).
std::optional<std::string> AskAddress(const Context& context,
                                      const std::vector<std::string>& addresses) {
  const platform::DialogTemplate* layout = context.resources.Dialog(kDlgPortAddress);
  if (!layout) return std::nullopt;
  platform::UserInterface& ui = context.ui;
  std::optional<std::string> chosen;
  ui.DialogBox(*layout, 0, [&](platform::Hwnd dialog, uint32_t message, platform::WParam wParam,
                               platform::LParam) -> intptr_t {
    if (message == platform::WM_INITDIALOG) {
      for (const std::string& address : addresses) {
        ui.SendDlgItemMessage(dialog, kCtlAddressList, platform::CB_ADDSTRING, 0,
                              reinterpret_cast<platform::LParam>(address.c_str()));
      }
      ui.SendDlgItemMessage(dialog, kCtlAddressList, platform::CB_SETCURSEL, 0, 0);
      return 1;
    }
    if (message != platform::WM_COMMAND) return 0;
    const int id = platform::LoWord(wParam);
    if (id == platform::IDOK) {
      const platform::Hwnd list = ui.GetDlgItem(dialog, kCtlAddressList);
      const int selected = ui.GetSelection(list);
      const std::vector<std::string> items = ui.GetItems(list);
      if (selected >= 0 && static_cast<size_t>(selected) < items.size()) {
        chosen = items[static_cast<size_t>(selected)].substr(0, kMaxAddressText);
      }
      ui.EndDialog(dialog, platform::IDOK);
      return 1;
    }
    if (id == platform::IDCANCEL) {
      ui.EndDialog(dialog, platform::IDCANCEL);
      return 1;
    }
    return 0;
  });
  return chosen;
}

// The scanner application's own list, when its profile file is anywhere the system searches.
void CopyToApplicationList(const Context& context, const std::vector<std::string>& addresses) {
  auto path = platform::SearchPath(context.files, context.system, context.programFolder,
                                   "Vevezu.ini");
  if (!path) return;
  for (size_t i = 0; i < addresses.size(); ++i) {
    context.profiles.WriteString("ScannerInfo", std::to_string(i).c_str(), addresses[i].c_str(),
                                 *path);
  }
}
}  // namespace

int RunPortInst(const Context& context) {
  if (!context.resources.Dialog(kDlgPortAddress)) return kExitNoResources;
  const std::string file = platform::JoinWindowsPath(context.programFolder, kAddressFile);
  const std::vector<std::string> addresses = ReadAddressList(context.profiles, file);
  const std::optional<std::string> address = AskAddress(context, addresses);
  if (!address) return kExitCancelled;
  {
    std::optional<Location> location = OpenLocation(context);
    if (!location) return kExitNoLocation;
    WriteSettings(context, *location, *address);
  }
  CopyToApplicationList(context, addresses);
  OfferRestart(context);
  return kExitDone;
}

}  // namespace portcard
