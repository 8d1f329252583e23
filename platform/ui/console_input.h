// Lines typed at a terminal (or fed through a pipe), read without ever blocking a caller that
// only wants to know whether something has been typed.
#pragma once

#include <string>

namespace platform {

class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // Waits for a line (without its line end). False at the end of input; a last line without a
  // line end is still returned first. Overlong lines are cut to kMaxLine characters.
  bool ReadLine(std::string* line);
  // A complete line if one has already been typed; never waits.
  bool TryReadLine(std::string* line);
  // Puts a line back in front of what is still to be read.
  void Unread(const std::string& line);

  static constexpr size_t kMaxLine = 4096;

 private:
  bool Fill(int timeoutMs);  // false at the end of input or when nothing came in time
  bool TakeLine(std::string* line, bool atEnd);
  int fd_;
  std::string buffer_;
  bool eof_ = false;
};

}  // namespace platform
