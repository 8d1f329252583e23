// Files and drives. Windows path strings ("C:\WINDOWS\Twain_32\kvt32.ini") are resolved onto host
// folders through the drive table, matching each existing component without regard to case, as
// Windows does; a path that starts with "/" is a host path. DOS attributes and the creation time
// are kept beside each file (extended attributes where the file system has them, else a store
// under the host root), so they survive a restart and are seen by other processes.
//
// Failures return false or an empty optional and set the thread's last error (errors.h).
//
// Faults: every open, read, write, flush, rename and delete first asks the host's fault service
// (faults.h, points "files.*", the subject being the host path), so that tests can fail the Nth
// file operation of any kind; an injected failure sets the error the operation would report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// 100-nanosecond intervals since 1601-01-01 UTC, as a Win32 FILETIME.
using FileTime = uint64_t;
FileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds = 0);
int64_t UnixFromFileTime(FileTime t);
// DOS date and time (the packed 16-bit pair) to FILETIME and back, the DOS value taken as UTC.
FileTime FileTimeFromDos(uint16_t date, uint16_t time);
void DosFromFileTime(FileTime t, uint16_t* date, uint16_t* time);

// Drive letters mapped onto host folders.
class DriveTable {
 public:
  void Map(char letter, std::filesystem::path folder);
  void Unmap(char letter);
  // Null when the letter is not mapped; good until the table changes.
  const std::filesystem::path* Folder(char letter) const;
  std::vector<char> Letters() const;

 private:
  std::map<char, std::filesystem::path> drives_;  // upper-case letter -> host folder
};

struct FindData {
  std::string name;  // as stored on disk
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime creationTime = 0;
  FileTime writeTime = 0;
};

// A file as it was when looked at, enough to tell whether it changed since: a replacement is a new
// inode, a change in place moves the size or the modification time.
struct FileIdentity {
  uint64_t inode = 0, size = 0;
  int64_t seconds = 0;
  uint32_t nanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

class AttributeStore;
class Faults;

class FileSystem {
 public:
  // `fallbackStore` is where attributes go when the file system has no extended attributes;
  // `faults` (may be null: none) is the host's fault service, which must outlive this.
  FileSystem(DriveTable drives, std::filesystem::path fallbackStore, Faults* faults = nullptr);
  ~FileSystem();
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  const DriveTable& drives() const { return drives_; }
  void MapDrive(char letter, std::filesystem::path folder);

  // The host path for a Windows path; relative paths are taken from the current directory.
  // Empty (and kErrorInvalidDrive or kErrorInvalidName) when it cannot be resolved.
  std::optional<std::filesystem::path> Resolve(std::string_view path) const;
  // The same as a string, for callers that only pass it on. `found` (may be null) gets the
  // file's identity when the lookup saw the whole path on the disk, so the caller need not look
  // again; it is left empty otherwise.
  std::optional<std::string> HostPath(std::string_view path,
                                      std::optional<FileIdentity>* found = nullptr) const;
  // The Windows spelling of a host path under one of the drives ("Z:\..." at worst).
  std::string ToWindowsPath(const std::filesystem::path& hostPath) const;

  std::string CurrentDirectory() const { return currentDirectory_; }
  bool SetCurrentDirectory(std::string_view path);

  bool Exists(std::string_view path) const;
  bool IsDirectory(std::string_view path) const;
  std::optional<uint64_t> FileSize(std::string_view path) const;
  bool CreateDirectory(std::string_view path);   // one level, as CreateDirectory does
  bool CreateDirectories(std::string_view path); // every missing level
  bool RemoveDirectory(std::string_view path);   // only when empty
  bool DeleteFile(std::string_view path);
  bool MoveFile(std::string_view from, std::string_view to);  // fails if `to` exists
  // Puts `from` in the place of `to` in one step (`to` may exist: readers see the old file or the
  // new one), with `from`'s attributes and creation time. A read-only `to` is not replaced
  // (kErrorAccessDenied).
  bool ReplaceFile(std::string_view from, std::string_view to);
  bool CopyFile(std::string_view from, std::string_view to, bool failIfExists);
  // Entries matching the last component's wildcard ("C:\WINDOWS\*.INI"), sorted by name.
  std::vector<FindData> FindFiles(std::string_view pattern) const;

  uint32_t GetAttributes(std::string_view path) const;  // kInvalidAttributes on failure
  bool SetAttributes(std::string_view path, uint32_t attributes);
  std::optional<FileTime> GetCreationTime(std::string_view path) const;
  bool SetCreationTime(std::string_view path, FileTime t);
  std::optional<FileTime> GetWriteTime(std::string_view path) const;
  bool SetWriteTime(std::string_view path, FileTime t);

  std::optional<std::string> ReadFile(std::string_view path) const;
  // Writes through a temporary file and a rename: readers see the old content or the new.
  // `written` (may be null) gets the new file's identity, which the rename does not change.
  bool WriteFileAtomic(std::string_view path, std::string_view content,
                       FileIdentity* written = nullptr);

  // Keeps attributes in the fallback store even where extended attributes work (tests).
  void ForceFallbackAttributeStore();

  // Files a running program holds, as Windows holds a running program's image: writing over one,
  // replacing it or opening it for writing fails with kErrorSharingViolation, deleting or moving
  // it with kErrorAccessDenied, until every hold is let go. Reading and copying from it work.
  // Holds are counted and last as long as this object (one process). False for a path that does
  // not resolve to an existing file.
  bool HoldInUse(std::string_view path);
  void ReleaseInUse(std::string_view path);
  bool InUse(std::string_view path) const;
  // True, with the last error set to `error`, when a hold keeps `hostPath` from being changed.
  bool RefusedInUse(const std::filesystem::path& hostPath, uint32_t error) const;

  // True, with the last error set to the injected error (else `error`), when the fault service
  // fails this operation.
  bool Injected(std::string_view point, const std::filesystem::path& subject, uint32_t error) const;

 private:
  bool RenameEnds(std::string_view from, std::string_view to, std::filesystem::path* a,
                  std::filesystem::path* b) const;

  DriveTable drives_;
  std::string currentDirectory_ = "C:\\";
  std::unique_ptr<AttributeStore> attributes_;
  Faults* faults_ = nullptr;
  mutable std::mutex inUseMutex_;
  std::map<std::filesystem::path, int> inUse_;  // host path -> holds
};

// An open file, closed when destroyed. Reads and writes move one file position.
class File {
 public:
  enum class Mode {
    kRead,          // must exist
    kWrite,         // created or truncated
    kReadWrite,     // must exist
    kCreateNew,     // fails if it exists
    kAppend,        // created if missing, writes at the end
  };
  static std::unique_ptr<File> Open(FileSystem& fs, std::string_view path, Mode mode);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  size_t Read(void* buffer, size_t size);         // bytes read; 0 at the end or on error
  bool ReadExact(void* buffer, size_t size);
  bool Write(const void* buffer, size_t size);
  bool Seek(int64_t offset, int whence = SEEK_SET);
  int64_t Tell() const;
  std::optional<uint64_t> Size() const;
  bool Flush();
  const std::filesystem::path& hostPath() const { return hostPath_; }

 private:
  File(int fd, std::filesystem::path hostPath, const FileSystem& fs)
      : fd_(fd), hostPath_(std::move(hostPath)), fs_(fs) {}
  int fd_;
  std::filesystem::path hostPath_;
  const FileSystem& fs_;  // for its faults; outlives the file
};

}  // namespace platform
