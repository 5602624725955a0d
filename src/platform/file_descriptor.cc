#include "platform/file_descriptor.h"

#include <cerrno>

#include "platform/system_calls.h"

namespace fh {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

void UniqueFd::Reset(int fd) {
  Close();
  fd_ = fd;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

int UniqueFd::Close() {
  if (fd_ < 0) return 0;
  const int result = SystemCalls().close(fd_);
  fd_ = -1;
  return result == 0 ? 0 : errno;
}

int ReadAll(int fd, std::string* out) {
  for (;;) {
    const std::size_t base = out->size();
    out->resize(base + kReadChunk);
    const ssize_t got =
        RetryOnInterrupt([&] { return SystemCalls().read(fd, out->data() + base, kReadChunk); });
    const int err = got < 0 ? errno : 0;
    out->resize(base + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got <= 0) return err;
  }
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t wrote =
        RetryOnInterrupt([&] { return SystemCalls().write(fd, data.data(), data.size()); });
    if (wrote < 0) return errno;
    data.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return 0;
}

}  // namespace fh
