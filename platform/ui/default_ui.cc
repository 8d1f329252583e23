// The backend a process gets when nobody chose one: from the environment.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/ui/console_ui.h"
#include "platform/ui/scripted_ui.h"

namespace platform {

std::unique_ptr<UserInterface> CreateDefaultUserInterface() {
  const char* choice = std::getenv("SCANSUITE_UI");
  std::string_view name = choice ? choice : "";
  if (name == "scripted") return std::make_unique<UserInterface>(std::make_unique<ScriptedUi>());
  if (!name.empty() && name != "console") {
    std::fprintf(stderr, "scansuite: SCANSUITE_UI=%s is not a user interface; using the console\n",
                 choice);
  }
  return std::make_unique<UserInterface>(std::make_unique<ConsoleUi>());
}

}  // namespace platform
