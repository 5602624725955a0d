// The log settings, the stream and the level functions. One internal mutex
// guards all of them. A level function formats the caller's message into a
// stack buffer first; then, holding the mutex and the object lock on the
// lock token, it puts the stamped prefix in front and writes the whole line
// with one fwrite and one fflush.
#include "log/log_file.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <new>
#include <utility>

#include "lock/object_lock.h"
#include "log/directories.h"
#include "log/log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "platform/system_calls.h"

namespace fh {

namespace {

constexpr std::uint8_t kDefaultLevel = 3;
constexpr std::int32_t kDefaultMaxSize = 10000;
constexpr char kDefaultFileName[] = "tessel.log";
constexpr char kNoLogDirectory[] = "../logs";
constexpr char kInfoTag[] = "[INFO]";

// "2026-03-04 09:05:03:007" is 23 characters; a year above 9999 adds one.
constexpr std::size_t kTimeStampCapacity = 32;
// A line whose message fits here is written with a single fwrite.
constexpr std::size_t kLineBufferSize = 4096;

struct LogState {
  Mutex mutex;  // guards settings and the mirrors' updates
  LogSettings settings GUARDED_BY(mutex);
  // Lock-free copies for the early return of a filtered line: the level, and
  // whether a stream and a lock token are both present. Rechecked under the
  // mutex before anything is written.
  std::atomic<std::uint8_t> levelMirror{0};
  std::atomic<bool> writableMirror{false};
  // The framework root handed over by SetTesselRoot: without a directory of
  // its own the log goes to "<root>/logs".
  std::optional<std::string> rootDirectory GUARDED_BY(mutex);
};

LogState& State() {
  static NoDestructor<LogState> state;
  return state.get();
}

// The settings of a locked state. (The thread-safety analysis does not
// follow a reference bound to a guarded member; this call stands for it.)
LogSettings& LockedSettings(LogState& state) REQUIRES(state.mutex) { return state.settings; }

void UpdateMirrors(LogState& state) REQUIRES(state.mutex) {
  const LogSettings& s = fh::LockedSettings(state);
  state.levelMirror.store(s.level, std::memory_order_relaxed);
  state.writableMirror.store(s.gv_logFilePtr != nullptr && s.lockToken != nullptr,
                             std::memory_order_relaxed);
}

// Appends value in decimal, zero-padded to at least width digits.
char* AppendUnsigned(char* out, unsigned value, int width) {
  char digits[16];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < width) digits[count++] = '0';
  while (count > 0) *out++ = digits[--count];
  return out;
}

// As "%d" prints it.
char* AppendSigned(char* out, int value) {
  if (value < 0) {
    *out++ = '-';
    return AppendUnsigned(out, 0u - static_cast<unsigned>(value), 1);
  }
  return AppendUnsigned(out, static_cast<unsigned>(value), 1);
}

char* AppendText(char* out, const char* text) {
  const std::size_t length = std::strlen(text);
  std::memcpy(out, text, length);
  return out + length;
}

// The current local time as "%d-%02d-%02d %02d:%02d:%02d:%03d" in out
// (at least kTimeStampCapacity bytes), terminated; returns its length.
std::size_t FormatTimeStamp(char* out) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char* p = AppendUnsigned(out, now.wYear, 1);
  *p++ = '-';
  p = AppendUnsigned(p, now.wMonth, 2);
  *p++ = '-';
  p = AppendUnsigned(p, now.wDay, 2);
  *p++ = ' ';
  p = AppendUnsigned(p, now.wHour, 2);
  *p++ = ':';
  p = AppendUnsigned(p, now.wMinute, 2);
  *p++ = ':';
  p = AppendUnsigned(p, now.wSecond, 2);
  *p++ = ':';
  p = AppendUnsigned(p, now.wMilliseconds, 3);
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

// The calling thread's id, asked of the platform once per thread (a system
// call each time otherwise, as costly as the line's write). A thread's id
// does not change while it lives; only a child made by fork without exec
// would keep its parent's value, and nothing in the system logs there.
int CurrentThreadId() {
  static thread_local const int id = static_cast<int>(GetCurrentThreadId());
  return id;
}

// "[ <timestamp> ] [ <thread id> ] <tag> " into out (room for
// kTimeStampCapacity + 64 bytes and the tag); returns its length. The
// timestamp alone is also left in timeStamp when that is not null.
std::size_t FormatLinePrefix(char* out, const char* tag, char* timeStamp) {
  char stamp[kTimeStampCapacity];
  const std::size_t stampLength = FormatTimeStamp(stamp);
  if (timeStamp != nullptr) std::memcpy(timeStamp, stamp, stampLength + 1);
  char* p = out;
  *p++ = '[';
  *p++ = ' ';
  std::memcpy(p, stamp, stampLength);
  p += stampLength;
  p = AppendText(p, " ] [ ");
  p = AppendSigned(p, CurrentThreadId());
  p = AppendText(p, " ] ");
  p = AppendText(p, tag);
  *p++ = ' ';
  return static_cast<std::size_t>(p - out);
}

// One line being written: the caller's message is formatted first, outside
// any lock, behind room for the prefix; the prefix (with the time stamp) is
// put in front of it when the line is written.
class PendingLine {
 public:
  // Formats the message. REQUIRES: args unused; it is consumed here.
  PendingLine(const char* format, std::va_list args) FH_PRINTF_FORMAT(2, 0) : format_(format) {
    va_copy(again_, args);
    const int length =
        std::vsnprintf(buffer_ + kPrefixRoom, sizeof(buffer_) - kPrefixRoom, format, args);
    fits_ = length >= 0 && static_cast<std::size_t>(length) < sizeof(buffer_) - kPrefixRoom;
    length_ = fits_ ? static_cast<std::size_t>(length) : 0;
  }
  ~PendingLine() { va_end(again_); }
  PendingLine(const PendingLine&) = delete;
  PendingLine& operator=(const PendingLine&) = delete;

  // Writes prefix and message with one fwrite (a message too long for the
  // buffer goes straight into the stream after the prefix: the same bytes,
  // no allocation) and flushes. Stream failures are not reported: logging
  // never fails its caller.
  void Write(std::FILE* stream, const char* tag) {
    char prefix[kPrefixRoom];
    const std::size_t prefixLength = FormatLinePrefix(prefix, tag, nullptr);
    char* start = buffer_ + kPrefixRoom - prefixLength;
    std::memcpy(start, prefix, prefixLength);
    if (fits_) {
      fh::SystemCalls().fwrite(start, 1, prefixLength + length_, stream);
    } else {
      fh::SystemCalls().fwrite(start, 1, prefixLength, stream);
      std::vfprintf(stream, format_, again_);
    }
    fh::SystemCalls().fflush(stream);
  }

 private:
  // The longest prefix: "[ " + stamp + " ] [ " + "-2147483648" + " ] " + "[ERROR]" + " ".
  static constexpr std::size_t kPrefixRoom = 96;

  const char* format_;
  std::va_list again_;
  bool fits_ = false;
  std::size_t length_ = 0;
  char buffer_[kLineBufferSize];
};

// The open or close line: "[INFO]" prefix, then label and the same timestamp.
void WriteTimeLine(std::FILE* stream, const char* label) {
  char buffer[256];
  char stamp[kTimeStampCapacity];
  char* p = buffer + FormatLinePrefix(buffer, kInfoTag, stamp);
  p = AppendText(p, label);
  p = AppendText(p, stamp);
  *p++ = '\n';
  fh::SystemCalls().fwrite(buffer, 1, static_cast<std::size_t>(p - buffer), stream);
  fh::SystemCalls().fflush(stream);
}

void WriteLevelLine(std::uint8_t threshold, const char* tag, const char* format, std::va_list args)
    FH_PRINTF_FORMAT(3, 0);
void WriteLevelLine(std::uint8_t threshold, const char* tag, const char* format,
                    std::va_list args) {
  if (format == nullptr) return;
  LogState& state = State();
  if (!state.writableMirror.load(std::memory_order_relaxed) ||
      state.levelMirror.load(std::memory_order_relaxed) < threshold) {
    return;
  }
  PendingLine line(format, args);
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  if (s.gv_logFilePtr == nullptr || s.level < threshold || s.lockToken == nullptr) return;
  // The token cannot be freed while the mutex is held; the address locked is
  // the one unlocked in any case.
  ObjectLockGuard lineLock(s.lockToken.get());
  line.Write(s.gv_logFilePtr, tag);
}

bool OpenLogFile(const char* mode) {
  LogState& state = State();
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  if (s.gv_logFilePtr != nullptr) {
    hold.Unlock();
    LogTrace("gv_logFilePtr already Set\n");
    return true;
  }
  if (!s.fileName) return false;
  try {
    std::string path;
    if (s.directory) {
      path = *s.directory + "/" + *s.fileName;
      MakeDirectoryPath(s.directory->c_str());
    } else if (state.rootDirectory) {
      const std::string logs = *state.rootDirectory + "/logs";
      path = logs + "/" + *s.fileName;
      MakeDirectoryPath(logs.c_str());
    } else {
      path = std::string(kNoLogDirectory) + "/" + *s.fileName;
      MakeDirectory(kNoLogDirectory);
    }
    s.fullPath = std::move(path);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::FILE* stream = OpenFileStream(s.fullPath->c_str(), mode);
  if (stream == nullptr) return false;
  s.gv_logFilePtr = stream;
  WriteTimeLine(stream, "Log open time: ");
  UpdateMirrors(state);
  return true;
}

// Copies text into an optional, none for null. Throws std::bad_alloc.
std::optional<std::string> CopyOrNone(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

}  // namespace

const void* LogLockToken() {
  LogState& state = State();
  fh::MutexLock hold(&state.mutex);
  return state.settings.lockToken.get();
}

}  // namespace fh

void LogInfo(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  fh::WriteLevelLine(1, "[INFO]", format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  fh::WriteLevelLine(2, "[ERROR]", format, args);
  va_end(args);
}

void LogDebug(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  fh::WriteLevelLine(3, "[DEBUG]", format, args);
  va_end(args);
}

void LogTrace(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  fh::WriteLevelLine(4, "[TRACE]", format, args);
  va_end(args);
}

fh::LogSettingsSnapshot fh::GetLogSettingsSnapshot() {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  const LogSettings& s = fh::LockedSettings(state);
  fh::LogSettingsSnapshot snapshot;
  snapshot.isOpen = s.gv_logFilePtr != nullptr;
  snapshot.fileName = s.fileName;
  snapshot.directory = s.directory;
  snapshot.fullPath = s.fullPath;
  snapshot.level = s.level;
  snapshot.maxSize = s.maxSize;
  snapshot.lockToken = s.lockToken.get();
  return snapshot;
}

bool InitLogDefaults() {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  if (s.gv_logFilePtr != nullptr) {
    s.maxSize = fh::kDefaultMaxSize;
    s.level = fh::kDefaultLevel;
    fh::UpdateMirrors(state);
    return true;
  }
  if (s.fileName) return true;
  try {
    s.fileName = fh::kDefaultFileName;
    s.lockToken.reset();
    s.lockToken = std::make_unique<char>('\0');
  } catch (const std::bad_alloc&) {
    fh::UpdateMirrors(state);
    return false;
  }
  s.directory.reset();
  s.fullPath.reset();
  s.maxSize = fh::kDefaultMaxSize;
  s.level = fh::kDefaultLevel;
  fh::UpdateMirrors(state);
  return true;
}

bool SetLogParams(const char* fileName, const char* directory, std::int32_t maxSize,
                  std::uint8_t level) {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  try {
    std::optional<std::string> name = fh::CopyOrNone(fileName);
    std::optional<std::string> dir = fh::CopyOrNone(directory);
    s.fileName = std::move(name);
    s.directory = std::move(dir);
  } catch (const std::bad_alloc&) {
    return false;
  }
  s.maxSize = maxSize;
  s.level = level;
  fh::UpdateMirrors(state);
  return true;
}

bool SetLogFileName(const char* fileName) {
  if (fileName == nullptr) return false;
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  try {
    state.settings.fileName = std::string(fileName);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool SetLogDirectory(const char* directory) {
  if (directory == nullptr) return false;
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  try {
    state.settings.directory = std::string(directory);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void SetLogLevel(std::uint8_t level) {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  state.settings.level = level;
  fh::UpdateMirrors(state);
}

bool SetLogFilePtr(std::FILE* stream) {
  if (stream == nullptr) return false;
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  state.settings.gv_logFilePtr = stream;
  fh::UpdateMirrors(state);
  return true;
}

bool fh::SetLogRootDirectory(const char* root) {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  try {
    state.rootDirectory = fh::CopyOrNone(root);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool OpenLogFileAppend() { return fh::OpenLogFile("a+"); }

bool OpenLogFileOverwrite() { return fh::OpenLogFile("w"); }

void CloseLogFile() {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  if (s.gv_logFilePtr != nullptr) {
    fh::WriteTimeLine(s.gv_logFilePtr, "Log close time: ");
    std::fclose(s.gv_logFilePtr);
    s.gv_logFilePtr = nullptr;
  }
  fh::UpdateMirrors(state);
}

void FreeLogParams() {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  s.fileName.reset();
  s.directory.reset();
  s.fullPath.reset();
  s.lockToken.reset();
  fh::UpdateMirrors(state);
}

std::optional<std::string> GetCurrentTimeStamp() {
  char stamp[fh::kTimeStampCapacity];
  const std::size_t length = fh::FormatTimeStamp(stamp);
  try {
    return std::string(stamp, length);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

void fh::ResetLogFileForTesting() {
  fh::LogState& state = fh::State();
  fh::MutexLock hold(&state.mutex);
  LogSettings& s = fh::LockedSettings(state);
  if (s.gv_logFilePtr != nullptr) std::fclose(s.gv_logFilePtr);
  s.gv_logFilePtr = nullptr;
  s.fileName.reset();
  s.directory.reset();
  s.fullPath.reset();
  s.lockToken.reset();
  s.level = 0;
  s.maxSize = 0;
  fh::UpdateMirrors(state);
}
