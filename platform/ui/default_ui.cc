// The backend a process gets when nobody chose one: from the environment.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/ui/console_ui.h"
#include "platform/ui/response_file.h"
#include "platform/ui/scripted_ui.h"

namespace platform {

namespace {

// The scripted backend with the answers of SCANSUITE_ANSWERS, when given. A file that cannot be
// read is reported and gives no answers, so that the first prompt fails loudly.
std::unique_ptr<ScriptedUi> ScriptedFromEnvironment() {
  auto ui = std::make_unique<ScriptedUi>();
  const char* answers = std::getenv("SCANSUITE_ANSWERS");
  if (!answers || !*answers) return ui;
  std::ifstream in(answers, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  ResponseFileError error;
  if (!in) {
    std::fprintf(stderr, "scansuite: SCANSUITE_ANSWERS=%s cannot be read\n", answers);
  } else if (!LoadResponseFile(*ui, text.str(), &error)) {
    std::fprintf(stderr, "scansuite: %s, line %d: %s\n", answers, error.line,
                 error.message.c_str());
  }
  return ui;
}

}  // namespace

std::unique_ptr<UserInterface> CreateDefaultUserInterface() {
  const char* choice = std::getenv("SCANSUITE_UI");
  std::string_view name = choice ? choice : "";
  if (name == "scripted") return std::make_unique<UserInterface>(ScriptedFromEnvironment());
  if (!name.empty() && name != "console") {
    std::fprintf(stderr, "scansuite: SCANSUITE_UI=%s is not a user interface; using the console\n",
                 choice);
  }
  return std::make_unique<UserInterface>(std::make_unique<ConsoleUi>());
}

}  // namespace platform
