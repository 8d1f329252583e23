#include "insert.h"

#include <set>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "shell_commands.h"

int InsertMedium(platform::Host& host, std::string_view medium, std::ostream& out,
                 std::ostream& err) {
  std::set<std::string> known;
  int written = 0;
  for (const MediumFile& file : BuiltInMediumFiles()) {
    known.insert(file.medium);
    if (medium != file.medium) continue;
    const std::string path = std::string("A:\\") + file.name;
    if (!host.files().WriteFileAtomic(path, file.content)) {
      err << "scanhost: cannot write " << path << "\n";
      return 1;
    }
    ++written;
  }
  if (written == 0) {
    const int fromBuild = InsertBuildMedium(host, std::string(medium), out, err);
    if (fromBuild != 2) return fromBuild;
    err << "scanhost: built in are:";
    for (const std::string& name : known) err << " " << name;
    err << "\n";
    return 2;
  }
  out << "medium " << medium << " inserted in drive A: (" << written << " files)\n";
  return 0;
}
