// Translation of the library's user-visible texts through the message file the scanning
// application installs for its language.
//
// The file: <Windows folder>\Twain_32\<folder>\<stem>.msg, where folder and stem are the values
// "Path" and "Name" of the application's key under HKEY_LOCAL_MACHINE (defaults "Tove3_00" and
// "Tovelink", the key's name and the defaults being strings of the library's string table).
// Plain 8-bit text; only its first 12000 bytes count. Each line ending in a line feed that holds
// four double quotes is an entry: "source text" ... "translation"; anything else on the line is
// ignored, and a line with fewer quotes is skipped. A line break inside either text is written as
// backslash and n. At most 300 entries are kept.
//
// Lookup is by exact, case-sensitive source text through an index by length: texts of 150
// characters or more, and the 51st and later entries of one length, are kept but never found.
// Without a file or without entries, every text passes unchanged.
//
// The process's message file is loaded once (per host, which stands for one process's machine)
// and only read afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/ui_constants.h"

namespace platform {
class FileSystem;
class Registry;
class SystemInfo;
class UserInterface;
}  // namespace platform

class CMessageFile {
 public:
  static constexpr size_t kMaxBytes = 12000;
  static constexpr size_t kMaxEntries = 300;
  static constexpr size_t kIndexedLengths = 150;
  static constexpr size_t kSlotsPerLength = 50;
  static constexpr size_t kMaxWindowText = 500;  // window texts are read up to this buffer size

  CMessageFile();  // disabled: no entries

  // Reads the file at `path` (a Windows path); a missing file leaves it disabled.
  void Load(platform::FileSystem& files, const std::string& path);
  // Parses message-file text (only its first kMaxBytes count).
  void LoadText(std::string_view text);

  std::string Translate(std::string_view text) const;
  // Translates the window's text, and then each direct child's: every item of a combo box that
  // has items, else the child's text. Then, unless disabled, the window's menu item by item,
  // each submenu right after its item: an item without text becomes a separator, others keep
  // their command (or submenu) under the translated text, and the menu bar is redrawn after each
  // item. Items whose text is 40 characters or more are left as they are.
  void TranslateWindow(platform::UserInterface& ui, platform::Hwnd window) const;

  bool disabled() const { return disabled_; }
  size_t size() const { return sources_.size(); }

  // Where the message file lies (a Windows path): the application's key and its value names
  // and defaults are the library's strings, looked up through `libraryString`.
  static std::string Location(platform::Registry& registry, const platform::SystemInfo& system,
                              const std::function<std::string(uint32_t)>& libraryString);
  // The process's message file (of the current host), loaded on first use: for a program that
  // shows the library's texts itself.
  static const CMessageFile& ForProcess();

 private:
  void AddEntry(std::string_view source, std::string_view translation);

  bool disabled_ = true;
  std::vector<std::string> sources_;
  std::vector<std::string> translations_;
  // Entry numbers (from 1; 0 is free) by source-text length, in file order.
  std::array<std::array<uint16_t, kSlotsPerLength>, kIndexedLengths> index_{};
};
