// Profile files of any content: every read and edit gives a defined result, an edit keeps every
// line it does not touch, and the document an edit builds from the old one is what reading the new
// text afresh gives.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "profile_document.h"
#include "scratch_folder.h"

namespace {
std::filesystem::path Folder() {
  static std::filesystem::path dir = [] {
    // Every run writes the file three times, each write synced.
    auto d = ScratchFolder("profile-fuzz");
    std::filesystem::create_directories(d / "WINDOWS");
    return d;
  }();
  return dir;
}

// Edits of the text's own lines (which ones taken from its first bytes), one after another on one
// document, each with a replacement cut from the text, so that its line endings, zero bytes and
// blanks meet every seam.
void CheckSplices(const std::string& text) {
  using platform::ProfileDocument;
  ProfileDocument document(text);
  for (size_t i = 0; i < 4 && i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t lines = document.lines().size();
    const size_t first = byte % (lines + 1);
    const size_t last = first + (byte / 7) % (lines - first + 1);
    const std::string_view replacement =
        std::string_view(text).substr(std::min(i * 5, text.size()), byte % 13);
    const ProfileDocument::Edit edit = document.ReplaceLines(first, last, replacement);
    const std::string& before = document.text();
    const ProfileDocument fresh(before.substr(0, edit.from) + edit.inserted + before.substr(edit.to));
    document.Apply(edit);
    if (!(document == fresh)) std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform;
  static DriveTable drives = [] {
    DriveTable d;
    d.Map('C', Folder());
    return d;
  }();
  static FileSystem fs(drives, Folder() / "attributes.db");
  static ProfileFiles profiles(fs, "C:\\WINDOWS");
  std::string text(reinterpret_cast<const char*>(data), size);
  CheckSplices(text);
  std::ofstream(Folder() / "WINDOWS" / "F.INI", std::ios::binary) << text;

  // Section and key names taken from the input itself reach the interesting paths.
  std::string section = text.substr(text.find('[') == std::string::npos ? 0 : text.find('[') + 1, 8);
  std::string key = text.substr(text.size() / 2, 6);
  char small[7];
  char big[512];
  profiles.GetString(section.c_str(), key.c_str(), "d", small, sizeof small, "f.ini");
  profiles.GetString(nullptr, nullptr, nullptr, small, sizeof small, "f.ini");
  profiles.GetString(section.c_str(), nullptr, nullptr, big, sizeof big, "f.ini");
  profiles.GetSection(section, small, sizeof small, "f.ini");
  profiles.GetSection(section, big, 2, "f.ini");
  profiles.GetInt(section, key, 7, "f.ini");
  profiles.GetSectionNames(big, sizeof big, "f.ini");

  profiles.WriteString(section.c_str(), key.c_str(), "value", "f.ini");
  std::string after = profiles.GetStringValue(section, key, "", "f.ini");
  // Keys that need no escaping must read back what was written.
  bool plain = !section.empty() && !key.empty() &&
               section.find_first_of("[]\r\n\0;=\t \v\f", 0, 12) == std::string::npos &&
               key.find_first_of("[]\r\n\0;=\t \v\f\"", 0, 13) == std::string::npos;
  if (plain && after != "value") abort();
  profiles.WriteString(section.c_str(), key.c_str(), nullptr, "f.ini");
  profiles.WriteString(section.c_str(), nullptr, nullptr, "f.ini");

  // Entries written at once give the file that one write each gives, whatever lines their
  // names and values make (these are cut from the input).
  const std::vector<ProfileEntry> entries = {{section, key, "1"},
                                             {section, text.substr(size / 3, 4), text.substr(size / 4, 9)},
                                             {text.substr(size / 5, 5), key, "2"},
                                             {section, key.substr(0, 3), "3"}};
  // Replaced, not rewritten in place: a rewrite of the same size within one tick of the clock
  // looks unchanged to the parsed-file cache.
  if (!fs.WriteFileAtomic("C:\\WINDOWS\\F.INI", text) || !fs.WriteFileAtomic("C:\\WINDOWS\\G.INI", text)) {
    std::abort();
  }
  for (const ProfileEntry& e : entries) {
    profiles.WriteString(e.section.c_str(), e.key.c_str(), e.value.c_str(), "f.ini");
  }
  profiles.WriteStrings(entries, "g.ini");
  if (fs.ReadFile("C:\\WINDOWS\\F.INI") != fs.ReadFile("C:\\WINDOWS\\G.INI")) std::abort();
  return 0;
}
