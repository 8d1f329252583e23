// Reading a person's lines from a file descriptor.
#include "console_input.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {

bool LineReader::Fill(int timeoutMs) {
  if (eof_) return false;
  pollfd p{fd_, POLLIN, 0};
  int ready = ::poll(&p, 1, timeoutMs);
  if (ready < 0 && errno == EINTR) return true;
  if (ready <= 0) {
    if (ready < 0) eof_ = true;
    return false;
  }
  char chunk[512];
  ssize_t n = ::read(fd_, chunk, sizeof chunk);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

bool LineReader::TakeLine(std::string* line, bool atEnd) {
  size_t end = buffer_.find('\n');
  if (end == std::string::npos) {
    if (buffer_.size() > kMaxLine) end = buffer_.size();  // keep memory bounded
    else if (!atEnd || buffer_.empty()) return false;
    else end = buffer_.size();
  }
  std::string taken = buffer_.substr(0, end);
  buffer_.erase(0, std::min(buffer_.size(), end + 1));
  if (!taken.empty() && taken.back() == '\r') taken.pop_back();
  if (taken.size() > kMaxLine) taken.resize(kMaxLine);
  *line = std::move(taken);
  return true;
}

bool LineReader::ReadLine(std::string* line) {
  while (!TakeLine(line, eof_)) {
    if (eof_) return false;
    Fill(-1);
  }
  return true;
}

bool LineReader::TryReadLine(std::string* line) {
  for (int reads = 0; reads < 16 && Fill(0); ++reads) {
  }
  return TakeLine(line, eof_);
}

void LineReader::Unread(const std::string& line) { buffer_.insert(0, line + "\n"); }

}  // namespace platform
