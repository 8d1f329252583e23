// Walking and removing the small file trees fuzz targets check after every input, without the
// standard directory iterators: those allocate a large buffer for every folder they open and a
// path object for every entry, which in an instrumented build costs more than the run being
// checked. Folders are read into a buffer on the stack; links are never followed.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace file_tree {

// Calls `entry(name, isFolder)` for every entry of the open folder `folder`, "." and ".." left
// out. A type the listing does not give is asked of the file itself.
template <class F>
void EachEntry(int folder, F entry) {
  alignas(struct dirent64) char buffer[8192];
  for (;;) {
    const ssize_t filled = ::getdents64(folder, buffer, sizeof buffer);
    if (filled <= 0) return;
    for (ssize_t at = 0; at < filled;) {
      const auto* e = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += e->d_reclen;
      const std::string_view name = e->d_name;
      if (name == "." || name == "..") continue;
      bool isFolder = e->d_type == DT_DIR;
      if (e->d_type == DT_UNKNOWN) {
        struct stat st {};
        isFolder = ::fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      }
      entry(e->d_name, isFolder);
    }
  }
}

// Calls `file(path)` with the path of every file below `folder` that is not a folder.
template <class F>
void EachFileBelow(const std::string& folder, F file) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  EachEntry(fd, [&](const char* name, bool isFolder) {
    const std::string path = folder + "/" + name;
    if (isFolder) {
      EachFileBelow(path, file);
    } else {
      file(path);
    }
  });
  ::close(fd);
}

// Removes `path` and everything below it; a path that is not there is no error.
inline void Remove(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    ::unlink(path.c_str());
    return;
  }
  // Read again until a reading finds nothing: entries removed while the folder is read may make
  // the reading pass over others.
  for (bool found = true; found;) {
    found = false;
    ::lseek(fd, 0, SEEK_SET);
    EachEntry(fd, [&](const char* name, bool isFolder) {
      found = true;
      if (isFolder) {
        Remove(path + "/" + name);
      } else {
        ::unlinkat(fd, name, 0);
      }
    });
  }
  ::close(fd);
  ::rmdir(path.c_str());
}

}  // namespace file_tree
