// Applying parsed REGEDIT4 sections: one transaction for the whole text.
#include "platform/system/errors.h"
#include "platform/registry/regedit4.h"

namespace platform {

namespace {

std::string SectionName(const RegeditSection& s) {
  std::string name(RootName(s.root));
  return s.path.empty() ? name : name + "\\" + s.path;
}

RegeditError Failed(long code, size_t line, const std::string& what) {
  return {code, line, what + ": " + RegistryErrorText(code)};
}

RegeditError ApplyValue(Registry& registry, RegKey key, const RegeditValue& v) {
  long e = v.remove ? registry.DeleteValue(key, v.name)
                    : registry.SetValue(key, v.name, v.type, v.data.data(),
                                        static_cast<uint32_t>(v.data.size()));
  if (e == kErrorSuccess || (v.remove && e == kErrorFileNotFound)) return {};
  std::string name = v.name.empty() ? "the default value" : "value \"" + v.name + "\"";
  return Failed(e, v.line, (v.remove ? "cannot delete " : "cannot set ") + name);
}

RegeditError ApplySection(Registry& registry, const RegeditSection& s) {
  if (s.remove) {
    if (s.path.empty()) return Failed(kErrorAccessDenied, s.line, "a root key cannot be deleted");
    long e = registry.DeleteTree(s.root, s.path);
    if (e == kErrorSuccess || e == kErrorFileNotFound) return {};
    return Failed(e, s.line, "cannot delete key " + SectionName(s));
  }
  RegKey key = 0;
  if (long e = registry.CreateKey(s.root, s.path, &key); e != kErrorSuccess) {
    return Failed(e, s.line, "cannot create key " + SectionName(s));
  }
  RegeditError result;
  for (const RegeditValue& v : s.values) {
    result = ApplyValue(registry, key, v);
    if (!result.ok()) break;
  }
  registry.CloseKey(key);
  return result;
}

}  // namespace

RegeditError ApplyRegedit4(Registry& registry, const std::vector<RegeditSection>& sections) {
  if (long e = registry.BeginTransaction(); e != kErrorSuccess) {
    return Failed(e, 0, "cannot start the import");
  }
  for (const RegeditSection& s : sections) {
    RegeditError result = ApplySection(registry, s);
    if (!result.ok()) {
      registry.RollbackTransaction();
      return result;
    }
  }
  if (long e = registry.CommitTransaction(); e != kErrorSuccess) {
    return Failed(e, 0, "cannot commit the import");
  }
  return {};
}

RegeditError ImportRegedit4(Registry& registry, std::string_view text) {
  std::vector<RegeditSection> sections;
  RegeditError result = ParseRegedit4(text, &sections);
  return result.ok() ? ApplyRegedit4(registry, sections) : result;
}

}  // namespace platform
