// An owned file descriptor and the whole-content reads and writes made on
// one. Every call goes through the system-call table (system_calls.h).
//
// Thread safety: a UniqueFd is a plain value owned by one thread at a time;
// the free functions are reentrant.
#pragma once

#include <string>
#include <string_view>

namespace fh {

// Closes its descriptor when it goes, unless released. -1 means none.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { Close(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes the descriptor held (if any) and holds fd instead.
  void Reset(int fd);
  // Gives up ownership: the caller closes the result.
  int Release();
  // Closes now; 0, or the errno of close (the descriptor is gone either way).
  int Close();

 private:
  int fd_;
};

// Appends everything read from fd up to its end to *out. 0 or the errno of
// the read that failed (what was read before stays appended).
int ReadAll(int fd, std::string* out);

// Writes all of data, however many writes it takes. 0 or the errno of the
// write that failed (part of data may have been written then).
int WriteAll(int fd, std::string_view data);

}  // namespace fh
