// kvxctl: installs the KvxScan kernel driver for the USB scanner and uses its device from the
// shell: registers, vendor requests, pipes, bulk reads and writes, device events, a scan.
#include <iostream>
#include <map>

#include "commands.h"
#include "device.h"

namespace {

int Usage() {
  std::cerr
      << "usage: kvxctl install [MODULE]       install the driver (KvxScan.sys beside kvxctl)\n"
         "       kvxctl uninstall               remove the driver and its devices\n"
         "       kvxctl list                    USB devices and their paths\n"
         "       kvxctl info                    version and USB descriptors\n"
         "       kvxctl regs ADDR [COUNT]       read registers\n"
         "       kvxctl regs ADDR=B,B,...       write registers\n"
         "       kvxctl vendor [--ms] TYPE REQUEST VALUE INDEX LENGTH|B,B,...\n"
         "                                      a vendor request in the 12-byte (or 20-byte) block\n"
         "       kvxctl pipes                   maximum packet sizes\n"
         "       kvxctl read COUNT [FILE]       bulk IN bytes (hex, or to FILE)\n"
         "       kvxctl write FILE | -x B,B,... bulk OUT bytes\n"
         "       kvxctl wait [MS] [--button]    one device event (--button: after a scan)\n"
         "       kvxctl cancel [SELECTOR]       0 wait, 1 bulk in, 2 bulk out, 3 all (default)\n"
         "       kvxctl scan -o FILE.png [--width W] [--lines L]\n"
         "Numbers are decimal or 0x hex. The host is $SCANSUITE_ROOT, else the user's data folder;\n"
         "the device is the path the driver publishes in its registry value CreateFileName.\n"
         "Exit codes: 0 done, 1 wrong command line, 2 no device (driver not installed or not\n"
         "started), 3 the device refused or failed a request, 4 a file could not be read or written.\n";
  return kvxctl::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  static const std::map<std::string, int (*)(const kvxctl::Args&)> commands = {
      {"install", kvxctl::Install}, {"uninstall", kvxctl::Uninstall}, {"list", kvxctl::List},
      {"info", kvxctl::Info},       {"regs", kvxctl::Registers},      {"vendor", kvxctl::Vendor},
      {"pipes", kvxctl::Pipes},     {"read", kvxctl::Read},           {"write", kvxctl::Write},
      {"wait", kvxctl::Wait},       {"cancel", kvxctl::Cancel},       {"scan", kvxctl::Scan},
  };
  auto it = commands.find(argv[1]);
  if (it == commands.end()) return Usage();
  return it->second(kvxctl::Args(argv + 2, argv + argc));
}
