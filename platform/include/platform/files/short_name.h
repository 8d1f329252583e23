// Short (8.3) names as Windows forms them for long names: spaces and extra dots dropped, the
// characters a short name may not hold turned into '_', capitals, the first six characters of the
// base, "~N" and the first three characters of the extension. N counts the long names of the same
// folder that share that base and extension, in name order, skipping numbers a real short name
// there already uses; so a name keeps its short form from run to run as long as its folder does
// not gain a rival that sorts before it. A name that already is a valid 8.3 name is only
// capitalised.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class FileSystem;

// True for a name of 1 to 8 characters, optionally a dot and 1 to 3 more, without spaces or the
// characters short names refuse.
bool IsShortName(std::string_view name);
// The short form of `name` among the entries `siblings` of its folder (which may include it).
std::string ShortNameAmong(std::string_view name, const std::vector<std::string>& siblings);
// GetShortPathName: every component of an existing path in its short form, spelled with the
// drive as given. Empty (and the last error set) when the path does not exist.
std::optional<std::string> GetShortPathName(const FileSystem& fs, std::string_view path);

}  // namespace platform
