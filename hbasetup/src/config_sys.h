// The CONFIG.SYS edit ("Modify"): lines naming an old driver's file are taken out of
// C:\CONFIG.SYS. The new text is written to C:\CONFIG.tmp and put in the old one's place in one
// step, so CONFIG.SYS is never missing; every other byte stays as it was (line ends, a last line
// without one, long lines judged whole).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hbasetup {

struct SetupContext;
class SetupScript;

inline constexpr std::string_view kConfigSys = "c:\\CONFIG.SYS";
inline constexpr size_t kModifyBuffer = 2048;

enum class ConfigEdit {
  kEdited,          // CONFIG.SYS replaced (perhaps with nothing removed)
  kNoConfig,        // no CONFIG.SYS to read: nothing said
  kWriteError,      // "Disk write error!" shown; CONFIG.SYS unchanged
  kBufferTooSmall,  // "ModifyConfig: The buffer size is too small!" shown
  kNoInformation,   // "ModifyConfig: No information exist!" shown
};

// The temporary file: the path with everything from its last '.' replaced by ".tmp".
std::string TemporaryPathFor(std::string_view path);

// The values of keys "1", "2", ... of "Modify" until one is missing or empty, as many as fit the
// 2048-byte buffer with their zeros; `bytes` gets the buffer's use. Each value is read on its
// own: through the whole-section buffer the values could never fill theirs.
std::vector<std::string> CollectModifyValues(const SetupScript& script, size_t* bytes);
// The capitalised file names the lines are matched against: of every value that is not a comment,
// the part after its last backslash. An empty name (a value ending in a backslash) is left out:
// every line would contain it.
std::vector<std::string> NamesToRemove(const std::vector<std::string>& values);
// `text` without the lines whose capitalised text contains one of `names`; `removed` counts them.
std::string RemoveNamedLines(std::string_view text, const std::vector<std::string>& names,
                             size_t* removed = nullptr);

ConfigEdit EditConfigSys(const SetupContext& context, const SetupScript& script);

}  // namespace hbasetup
