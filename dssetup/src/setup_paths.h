// The folders the setup works with. The source directory is where the setup program was started
// from (its own file's drive and directory, with the trailing backslash); the others follow from
// the Windows folder the system reports.
#pragma once

#include <string>

namespace dssetup {

struct SetupPaths {
  std::string source;   // "A:\" - always ends with a backslash
  std::string windows;  // "C:\WINDOWS"
  std::string system;   // "C:\WINDOWS\SYSTEM"

  std::string Twain() const { return windows + "\\twain_32"; }
  std::string WorkingScript() const { return windows + "\\SETUP.INI"; }
  std::string SourceScript() const { return source + "SETUP.INI"; }
  std::string DataSourceIni() const { return Twain() + "\\KVT32.INI"; }
  std::string ControlIni() const { return windows + "\\CONTROL.INI"; }
  // The source directory without its trailing backslash ("A:" for "A:\").
  std::string SourceStem() const;
};

// Drive and directory of a program path, with a trailing backslash ("A:\SETUP.EXE" -> "A:\").
std::string DirectoryOf(const std::string& programPath);

}  // namespace dssetup
