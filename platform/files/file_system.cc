#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "attribute_store.h"
#include "platform/faults/faults.h"
#include "platform/system/errors.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"

namespace platform {

namespace fs = std::filesystem;

namespace {
bool Fail(const std::error_code& ec) {
  SetLastError(Win32ErrorFromErrno(ec.value()));
  return false;
}

bool FailErrno() {
  SetLastError(Win32ErrorFromErrno(errno));
  return false;
}

std::optional<struct statx> Stat(const fs::path& p) {
  struct statx st {};
  if (statx(AT_FDCWD, p.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) return std::nullopt;
  return st;
}

FileTime ToFileTime(const struct statx_timestamp& t) {
  return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

// The host path of a file that must exist (kErrorFileNotFound otherwise).
std::optional<fs::path> Existing(const FileSystem& files, std::string_view path) {
  auto host = files.Resolve(path);
  std::error_code ec;
  if (host && !fs::exists(*host, ec)) {
    SetLastError(kErrorFileNotFound);
    return std::nullopt;
  }
  return host;
}

struct Stated {
  fs::path host;
  struct statx st;
};

// The host path and status of a file, with the Win32 error set when either fails.
std::optional<Stated> ResolveAndStat(const FileSystem& files, std::string_view path) {
  auto host = files.Resolve(path);
  if (!host) return std::nullopt;
  auto st = Stat(*host);
  if (!st) {
    FailErrno();
    return std::nullopt;
  }
  return Stated{std::move(*host), *st};
}

uint32_t AttributesOf(const struct statx& st, const StoredMetadata& meta) {
  const bool dir = S_ISDIR(st.stx_mode);
  uint32_t attrs = meta.attributes.value_or(dir ? 0 : kAttrArchive);
  if (dir) attrs |= kAttrDirectory;
  if (!(st.stx_mode & S_IWUSR)) attrs |= kAttrReadOnly;
  return attrs == 0 ? kAttrNormal : attrs;
}

FileTime CreationTimeOf(const struct statx& st, const StoredMetadata& meta) {
  if (meta.creationTime) return *meta.creationTime;
  return ToFileTime((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime);
}
}  // namespace

FileSystem::FileSystem(DriveTable drives, fs::path fallbackStore, Faults* faults)
    : drives_(std::move(drives)),
      attributes_(std::make_unique<AttributeStore>(std::move(fallbackStore))),
      faults_(faults) {}

bool FileSystem::Injected(std::string_view point, const fs::path& subject, uint32_t error) const {
  if (faults_ == nullptr) return false;
  std::optional<int> injected = faults_->Check(point, subject.string());
  if (!injected) return false;
  SetLastError(*injected != 0 ? static_cast<uint32_t>(*injected) : error);
  return true;
}

FileSystem::~FileSystem() = default;

void FileSystem::ForceFallbackAttributeStore() { attributes_->ForceFallback(); }

void FileSystem::MapDrive(char letter, fs::path folder) { drives_.Map(letter, std::move(folder)); }

bool FileSystem::SetCurrentDirectory(std::string_view path) {
  auto host = Resolve(path);
  std::error_code ec;
  if (!host || !fs::is_directory(*host, ec)) {
    if (host) SetLastError(kErrorPathNotFound);
    return false;
  }
  currentDirectory_ = ToWindowsPath(*host);
  return true;
}

bool FileSystem::Exists(std::string_view path) const {
  std::optional<FileIdentity> found;
  auto host = HostPath(path, &found);
  struct stat st {};
  return host && (found || ::stat(host->c_str(), &st) == 0);
}

bool FileSystem::IsDirectory(std::string_view path) const {
  auto host = Resolve(path);
  std::error_code ec;
  return host && fs::is_directory(*host, ec);
}

std::optional<uint64_t> FileSystem::FileSize(std::string_view path) const {
  auto file = ResolveAndStat(*this, path);
  if (!file) return std::nullopt;
  return file->st.stx_size;
}

bool FileSystem::CreateDirectory(std::string_view path) {
  auto host = Resolve(path);
  if (!host) return false;
  if (::mkdir(host->c_str(), 0777) != 0) {
    if (errno == EEXIST) SetLastError(kErrorAlreadyExists);
    else if (errno == ENOENT) SetLastError(kErrorPathNotFound);
    else FailErrno();
    return false;
  }
  return true;
}

bool FileSystem::CreateDirectories(std::string_view path) {
  auto host = Resolve(path);
  if (!host) return false;
  std::error_code ec;
  fs::create_directories(*host, ec);
  return ec ? Fail(ec) : true;
}

bool FileSystem::RemoveDirectory(std::string_view path) {
  auto host = Resolve(path);
  if (!host) return false;
  if (::rmdir(host->c_str()) != 0) return FailErrno();
  attributes_->Removed(*host);
  return true;
}

bool FileSystem::DeleteFile(std::string_view path) {
  auto host = Resolve(path);
  if (!host) return false;
  std::error_code ec;
  if (fs::is_directory(*host, ec)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  uint32_t attrs = GetAttributes(path);
  if (attrs != kInvalidAttributes && (attrs & kAttrReadOnly)) {
    SetLastError(kErrorAccessDenied);  // a read-only file cannot be deleted, as on Windows
    return false;
  }
  if (RefusedInUse(*host, kErrorAccessDenied)) return false;
  if (Injected(fault_point::kFileDelete, *host, kErrorAccessDenied)) return false;
  if (::unlink(host->c_str()) != 0) return FailErrno();
  attributes_->Removed(*host);
  return true;
}

// The host paths of a rename's two ends; false (and the last error) when either does not resolve
// or the source is missing.
bool FileSystem::RenameEnds(std::string_view from, std::string_view to, fs::path* a,
                            fs::path* b) const {
  auto source = Resolve(from);
  auto target = Resolve(to);
  if (!source || !target) return false;
  std::error_code ec;
  if (!fs::exists(*source, ec)) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  *a = std::move(*source);
  *b = std::move(*target);
  return true;
}

bool FileSystem::MoveFile(std::string_view from, std::string_view to) {
  fs::path a, b;
  if (!RenameEnds(from, to, &a, &b)) return false;
  std::error_code ec;
  // A rename that only changes case is allowed; any other existing target is not.
  if (fs::exists(b, ec) && !fs::equivalent(a, b, ec)) {
    SetLastError(kErrorAlreadyExists);
    return false;
  }
  if (RefusedInUse(a, kErrorAccessDenied)) return false;
  if (Injected(fault_point::kFileRename, b, kErrorAccessDenied)) return false;
  if (::rename(a.c_str(), b.c_str()) != 0) return FailErrno();
  attributes_->Moved(a, b);
  return true;
}

bool FileSystem::ReplaceFile(std::string_view from, std::string_view to) {
  fs::path a, b;
  if (!RenameEnds(from, to, &a, &b)) return false;
  std::error_code ec;
  if (fs::exists(b, ec)) {
    const uint32_t attrs = GetAttributes(to);
    // Only a file is replaced: never a folder, a read-only file or a device.
    if ((attrs != kInvalidAttributes && (attrs & (kAttrReadOnly | kAttrDirectory))) ||
        !fs::is_regular_file(b, ec)) {
      SetLastError(kErrorAccessDenied);
      return false;
    }
  }
  if (RefusedInUse(a, kErrorAccessDenied) || RefusedInUse(b, kErrorSharingViolation)) return false;
  if (Injected(fault_point::kFileRename, b, kErrorAccessDenied)) return false;
  if (::rename(a.c_str(), b.c_str()) != 0) return FailErrno();
  attributes_->Removed(b);
  attributes_->Moved(a, b);
  return true;
}

bool FileSystem::CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
  auto a = Resolve(from);
  auto b = Resolve(to);
  if (!a || !b) return false;
  std::error_code ec;
  if (fs::exists(*b, ec)) {
    if (RefusedInUse(*b, kErrorSharingViolation)) return false;
    if (failIfExists) {
      SetLastError(kErrorFileExists);
      return false;
    }
    uint32_t attrs = GetAttributes(to);
    if (attrs != kInvalidAttributes && (attrs & kAttrReadOnly)) {
      SetLastError(kErrorAccessDenied);
      return false;
    }
  }
  auto content = ReadFile(from);
  if (!content || !WriteFileAtomic(to, *content)) return false;
  // CopyFile keeps the source's attributes and its last-write time.
  uint32_t attrs = GetAttributes(from);
  if (attrs != kInvalidAttributes) SetAttributes(to, attrs & ~kAttrDirectory);
  if (auto t = GetWriteTime(from)) SetWriteTime(to, *t);
  return true;
}

std::vector<FindData> FileSystem::FindFiles(std::string_view pattern) const {
  std::vector<FindData> found;
  SplitPath parts = SplitWindowsPath(pattern);
  std::string folder = parts.drive + parts.directory;
  std::string mask = parts.name + parts.extension;
  auto host = Resolve(folder.empty() ? std::string_view(".") : std::string_view(folder));
  if (!host) return found;
  std::error_code ec;
  for (auto it = fs::directory_iterator(*host, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!MatchesWildcard(mask, name)) continue;
    FindData data;
    data.name = name;
    std::string winPath = ToWindowsPath(it->path());
    data.attributes = GetAttributes(winPath);
    if (auto st = Stat(it->path())) {
      data.size = S_ISDIR(st->stx_mode) ? 0 : st->stx_size;
      data.writeTime = ToFileTime(st->stx_mtime);
    }
    data.creationTime = GetCreationTime(winPath).value_or(data.writeTime);
    found.push_back(std::move(data));
  }
  std::sort(found.begin(), found.end(),
            [](const FindData& x, const FindData& y) { return LessNoCase(x.name, y.name); });
  if (found.empty()) SetLastError(kErrorFileNotFound);
  return found;
}

uint32_t FileSystem::GetAttributes(std::string_view path) const {
  auto file = ResolveAndStat(*this, path);
  if (!file) return kInvalidAttributes;
  return AttributesOf(file->st, attributes_->Get(file->host));
}

bool FileSystem::SetAttributes(std::string_view path, uint32_t attributes) {
  auto host = Existing(*this, path);
  if (!host) return false;
  // FILE_ATTRIBUTE_NORMAL means "none"; the directory bit is not the caller's to set.
  uint32_t stored = attributes & ~(kAttrDirectory | kAttrNormal);
  return attributes_->SetAttributes(*host, stored);
}

std::optional<FileTime> FileSystem::GetCreationTime(std::string_view path) const {
  auto file = ResolveAndStat(*this, path);
  if (!file) return std::nullopt;
  return CreationTimeOf(file->st, attributes_->Get(file->host));
}

bool FileSystem::SetCreationTime(std::string_view path, FileTime t) {
  auto host = Existing(*this, path);
  return host && attributes_->SetCreationTime(*host, t);
}

std::optional<FileTime> FileSystem::GetWriteTime(std::string_view path) const {
  auto file = ResolveAndStat(*this, path);
  if (!file) return std::nullopt;
  return ToFileTime(file->st.stx_mtime);
}

bool FileSystem::SetWriteTime(std::string_view path, FileTime t) {
  auto host = Resolve(path);
  if (!host) return false;
  int64_t unix = UnixFromFileTime(t);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(unix);
  times[1].tv_nsec = static_cast<long>((t % 10000000ULL) * 100);
  if (::utimensat(AT_FDCWD, host->c_str(), times, 0) != 0) return FailErrno();
  return true;
}

std::optional<std::string> FileSystem::ReadFile(std::string_view path) const {
  auto host = Resolve(path);
  if (!host) return std::nullopt;
  if (Injected(fault_point::kFileOpen, *host, kErrorAccessDenied)) return std::nullopt;
  int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    FailErrno();
    return std::nullopt;
  }
  if (Injected(fault_point::kFileRead, *host, kErrorReadFault)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string content;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      FailErrno();
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return content;
}

bool FileSystem::WriteFileAtomic(std::string_view path, std::string_view content,
                                 FileIdentity* written) {
  auto host = Resolve(path);
  if (!host) return false;
  // The file as it stands, looked at once: what it refuses and what its replacement keeps.
  const std::optional<struct statx> before = Stat(*host);
  const bool existed = before.has_value();
  StoredMetadata kept;
  if (existed) {
    if (RefusedInUse(*host, kErrorSharingViolation)) return false;
    kept = attributes_->Get(*host);
    if (AttributesOf(*before, kept) & (kAttrReadOnly | kAttrDirectory)) {
      SetLastError(kErrorAccessDenied);
      return false;
    }
  }
  fs::path temp = *host;
  temp += ".~" + std::to_string(::getpid()) + "~";
  if (Injected(fault_point::kFileOpen, temp, kErrorAccessDenied)) return false;
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == ENOENT) {
      SetLastError(kErrorPathNotFound);
      return false;
    }
    return FailErrno();
  }
  auto abandon = [&](uint32_t error) {
    ::close(fd);
    ::unlink(temp.c_str());
    if (error != kErrorSuccess) SetLastError(error);
    return false;
  };
  if (Injected(fault_point::kFileWrite, temp, kErrorWriteFault) ||
      Injected(fault_point::kFileSpace, temp, kErrorDiskFull)) {
    return abandon(kErrorSuccess);
  }
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return abandon(Win32ErrorFromErrno(n < 0 ? errno : ENOSPC));
    done += static_cast<size_t>(n);
  }
  if (Injected(fault_point::kFileSync, temp, kErrorWriteFault)) return abandon(kErrorSuccess);
  if (::fsync(fd) != 0) return abandon(Win32ErrorFromErrno(errno));
  struct stat made {};
  if (written != nullptr && ::fstat(fd, &made) != 0) return abandon(Win32ErrorFromErrno(errno));
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    return FailErrno();
  }
  if (existed) {
    // The replacement keeps the file's identity: its attributes and creation time, as
    // Windows keeps them when a file is replaced under the same name.
    if (kept.attributes) attributes_->SetAttributes(temp, *kept.attributes);
    attributes_->SetCreationTime(temp, CreationTimeOf(*before, kept));
  }
  if (Injected(fault_point::kFileRename, *host, kErrorAccessDenied)) {
    ::unlink(temp.c_str());
    attributes_->Removed(temp);
    return false;
  }
  if (::rename(temp.c_str(), host->c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    attributes_->Removed(temp);
    SetLastError(Win32ErrorFromErrno(err));
    return false;
  }
  attributes_->Removed(temp);
  if (written != nullptr) {
    *written = FileIdentity{made.st_ino, static_cast<uint64_t>(made.st_size), made.st_mtim.tv_sec,
                            static_cast<uint32_t>(made.st_mtim.tv_nsec)};
  }
  return true;
}

}  // namespace platform
