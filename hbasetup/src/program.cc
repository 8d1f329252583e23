#include "program.h"

#include <iostream>
#include <string>

#include "copy_list.h"
#include "host_shell.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/modules/resources.h"
#include "setup_app.h"
#include "setup_context.h"

namespace hbasetup {

int Main(int argc, char** argv) {
  if (argc > 2) {
    std::cerr << "usage: hbasetup [SETUP-DIRECTORY]\n";
    return 64;
  }
  platform::ResourceParseResult resources = platform::ParseResourceScript(ResourceScriptText());
  if (!resources.ok()) {
    std::cerr << "hbasetup: resources: " << resources.error.ToString() << "\n";
    return kExitNoResources;
  }
  platform::Host& host = platform::Host::Current();
  const std::string directory = argc == 2 ? argv[1] : "A:\\";
  if (!host.files().SetCurrentDirectory(directory)) {
    std::cerr << "hbasetup: no such directory \"" << directory << "\"\n";
    return 64;
  }
  HostShell shell(host);
  SetupContext context{host.files(), host.registry(), host.system(),      host.ui(),
                       host.clock(), &host.faults(),  shell,              *resources.script,
                       host.files().CurrentDirectory()};
  auto script = host.files().ReadFile(InSetupDirectory(context.setupDirectory, "SETUP32.INI"));
  SetupApp app(context, SetupScript(script.value_or(std::string())));
  return app.Run();
}

}  // namespace hbasetup
