#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/system/errors.h"

namespace platform {

namespace {
// Whether the folder a host path names a file in is there (a missing file, or a missing folder).
bool FolderExists(const std::string& hostPath) {
  const size_t slash = hostPath.rfind('/');
  const std::string folder = slash == 0 ? "/" : hostPath.substr(0, slash);
  struct stat st {};
  return slash != std::string::npos && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::unique_ptr<File> File::Open(FileSystem& fs, std::string_view path, Mode mode) {
  auto host = fs.Resolve(path);
  if (!host) return nullptr;
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kWrite: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    case Mode::kAppend: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
  }
  if (mode != Mode::kRead && fs.Exists(path)) {
    uint32_t attrs = fs.GetAttributes(path);
    if (attrs != kInvalidAttributes && (attrs & kAttrReadOnly) && mode != Mode::kCreateNew) {
      SetLastError(kErrorAccessDenied);  // Windows refuses to open a read-only file for writing
      return nullptr;
    }
  }
  if (mode != Mode::kRead && fs.RefusedInUse(*host, kErrorSharingViolation)) return nullptr;
  if (fs.Injected(fault_point::kFileOpen, *host, kErrorAccessDenied)) return nullptr;
  int fd = ::open(host->c_str(), flags, 0666);
  if (fd < 0) {
    SetLastError(errno == ENOENT && !FolderExists(host->native())
                     ? kErrorPathNotFound
                     : Win32ErrorFromErrno(errno));
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  return std::unique_ptr<File>(new File(fd, std::move(*host), fs));
}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

size_t File::Read(void* buffer, size_t size) {
  if (size > 0 && fs_.Injected(fault_point::kFileRead, hostPath_, kErrorReadFault)) return 0;
  size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < size) {
    ssize_t n = ::read(fd_, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(kErrorReadFault);
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool File::ReadExact(void* buffer, size_t size) { return Read(buffer, size) == size; }

bool File::Write(const void* buffer, size_t size) {
  if (fs_.Injected(fault_point::kFileWrite, hostPath_, kErrorWriteFault) ||
      fs_.Injected(fault_point::kFileSpace, hostPath_, kErrorDiskFull)) {
    return false;
  }
  size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < size) {
    ssize_t n = ::write(fd_, in + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetLastError(Win32ErrorFromErrno(n < 0 ? errno : ENOSPC));
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool File::Seek(int64_t offset, int whence) {
  if (::lseek(fd_, offset, whence) < 0) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  return true;
}

int64_t File::Tell() const { return ::lseek(fd_, 0, SEEK_CUR); }

std::optional<uint64_t> File::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool File::Flush() {
  if (fs_.Injected(fault_point::kFileSync, hostPath_, kErrorWriteFault)) return false;
  return ::fsync(fd_) == 0;
}

}  // namespace platform
