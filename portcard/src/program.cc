#include "program.h"

#include <iostream>
#include <string>

#include "context.h"
#include "platform/host/host.h"
#include "platform/modules/resources.h"
#include "platform/shell/shell.h"
#include "portinst.h"
#include "portuninst.h"

namespace portcard {

namespace {
using Runner = int (*)(const Context&);

int Main(const char* name, std::string_view script, Runner run, int argc, char** argv) {
  if (argc > 2) {
    std::cerr << "usage: " << name << " [FOLDER]\n";
    return 64;
  }
  platform::ResourceParseResult resources = platform::ParseResourceScript(script);
  if (!resources.ok()) {
    std::cerr << name << ": resources: " << resources.error.ToString() << "\n";
    return kExitNoResources;
  }
  platform::Host& host = platform::Host::Current();
  Context context{host.files(),  host.profiles(), host.registry(),
                  host.system(), host.ui(),       &host.faults(),
                  argc == 2 ? argv[1] : "A:\\", *resources.script,
                  &platform::Shell::Of(host), name};
  return run(context);
}
}  // namespace

int PortInstMain(int argc, char** argv) {
  return Main("portinst", PortInstResourceScript(), RunPortInst, argc, argv);
}

int PortUninstMain(int argc, char** argv) {
  return Main("portuninst", PortUninstResourceScript(), RunPortUninst, argc, argv);
}

}  // namespace portcard
