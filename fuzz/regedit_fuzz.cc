// REGEDIT4 text of any content, imported into a store on a temporary file. Whatever happens,
// the import is all or nothing; and whatever the registry then holds exports to text that
// imports back to the same registry.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/regedit4.h"
#include "platform/registry/registry.h"
#include "temp_dir.h"

namespace {

using platform::Registry;

struct Store {
  platform::testing::TempDir dir;
  Registry registry{dir.path() / "registry.db"};
  std::string emptyExport;

  Store() {
    if (!registry.OpenError().empty()) Die(registry.OpenError().c_str());
    emptyExport = Export();
  }

  [[noreturn]] static void Die(const char* why) {
    std::fprintf(stderr, "regedit_fuzz: %s\n", why);
    std::abort();
  }

  void Clear() {
    registry.BeginTransaction();
    for (platform::RegKey root :
         {platform::kHkeyLocalMachine, platform::kHkeyCurrentUser, platform::kHkeyClassesRoot}) {
      if (registry.DeleteTree(root, "") != 0) Die("cannot empty a root");
    }
    if (registry.CommitTransaction() != 0) Die("cannot commit the emptying");
  }

  std::string Export() {
    std::string text;
    if (platform::ExportRegedit4(registry, "", &text) != 0) Die("export failed");
    return text;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Store store;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<platform::RegeditSection> sections;
  if (!platform::ParseRegedit4(text, &sections).ok()) return 0;

  store.Clear();
  if (!platform::ApplyRegedit4(store.registry, sections).ok()) {
    if (store.Export() != store.emptyExport) Store::Die("a failed import left changes behind");
    return 0;
  }
  const std::string exported = store.Export();
  store.Clear();
  platform::RegeditError again = platform::ImportRegedit4(store.registry, exported);
  if (!again.ok()) Store::Die(("the export does not import: " + again.message).c_str());
  if (store.Export() != exported) Store::Die("export, import and export differ");
  return 0;
}
