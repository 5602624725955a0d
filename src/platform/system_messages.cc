#include "platform/system_messages.h"

#include <algorithm>
#include <new>
#include <string>

#include "platform/last_error.h"

namespace fh {
namespace {

// Our own wording for the codes the system meets. Sorted by code.
constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "The function is not supported for this object.\r\n"},
    {2, "The file was not found.\r\n"},
    {3, "The path was not found.\r\n"},
    {4, "Too many files are open at the same time.\r\n"},
    {5, "Access to the object is denied.\r\n"},
    {6, "The handle is not valid.\r\n"},
    {8, "There is not enough memory to carry out this operation.\r\n"},
    {13, "The data are not valid.\r\n"},
    {14, "There is not enough storage to complete this operation.\r\n"},
    {18, "No more files match.\r\n"},
    {29, "The device could not be written to.\r\n"},
    {30, "The device could not be read from.\r\n"},
    {31, "A device attached to the system failed.\r\n"},
    {32,
     "The file cannot be accessed at the moment.\r\n"
     "Another process is using it.\r\n"},
    {39, "The disk is full.\r\n"},
    {50, "This request is not supported.\r\n"},
    {80, "The file already exists.\r\n"},
    {87, "A parameter is not valid.\r\n"},
    {112, "There is not enough free space on the disk.\r\n"},
    {122, "The buffer given to the call is too small for the data.\r\n"},
    {123, "The file name, directory name or volume label syntax is not valid.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {183, "The object already exists and cannot be created again.\r\n"},
    {206, "The file name or extension is too long.\r\n"},
    {234, "More data are available than the buffer can hold.\r\n"},
    {258, "The wait timed out.\r\n"},
    {259, "There are no more items.\r\n"},
    {317, "No text exists for this message number in the message table.\r\n"},
    {1009, "The registry database is damaged and cannot be used.\r\n"},
    {1010, "The registry key is not valid.\r\n"},
    {1011, "The registry key could not be opened.\r\n"},
    {1012, "The registry key could not be read.\r\n"},
    {1013, "The registry key could not be written.\r\n"},
    {1018, "The registry key is marked for deletion; no change is allowed on it.\r\n"},
    {1113, "A character has no mapping in the target code page.\r\n"},
    {1131, "Waiting here would never end: the operation would deadlock.\r\n"},
};

static_assert(std::is_sorted(std::begin(kSystemMessages), std::end(kSystemMessages),
                             [](const SystemMessage& a, const SystemMessage& b) {
                               return a.code < b.code;
                             }),
              "kSystemMessages must be sorted by code");

constexpr DWORD kWidthMask = FORMAT_MESSAGE_MAX_WIDTH_MASK;
constexpr DWORD kOneLine = 0xFF;

const SystemMessage* FindMessage(DWORD code) {
  auto found =
      std::lower_bound(std::begin(kSystemMessages), std::end(kSystemMessages), code,
                       [](const SystemMessage& entry, DWORD value) { return entry.code < value; });
  if (found == std::end(kSystemMessages) || found->code != code) return nullptr;
  return found;
}

// Every line break ("\r\n", "\r" or "\n") becomes one blank.
std::string JoinLines(std::string_view text) {
  std::string joined;
  joined.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      joined.push_back(' ');
    } else {
      joined.push_back(text[i]);
    }
  }
  return joined;
}

// Breaks a one-line text at blanks into lines of at most width characters;
// a word longer than width stands alone on its line.
std::string WrapAtBlanks(std::string text, std::size_t width) {
  std::string wrapped;
  wrapped.reserve(text.size() + text.size() / width * 2);
  std::size_t lineStart = 0;
  std::size_t lastBlank = std::string::npos;
  for (char c : text) {
    wrapped.push_back(c);
    if (c == ' ') lastBlank = wrapped.size() - 1;
    if (wrapped.size() - lineStart > width && lastBlank != std::string::npos) {
      wrapped.replace(lastBlank, 1, "\r\n");
      lineStart = lastBlank + 2;
      lastBlank = std::string::npos;
    }
  }
  return wrapped;
}

std::string ShapeText(std::string_view text, DWORD width) {
  if (width == 0) return std::string(text);
  std::string oneLine = JoinLines(text);
  if (width == kOneLine) return oneLine;
  return WrapAtBlanks(std::move(oneLine), width);
}

template <class Char>
DWORD Fail(DWORD code, Char* buffer, bool allocate) {
  if (allocate && buffer != nullptr) *reinterpret_cast<Char**>(buffer) = nullptr;
  return FailWithCode(code, DWORD{0});
}

// The shared body of FormatMessageA/W. The texts are ASCII, so one byte is
// one character in either width.
template <class Char>
DWORD FormatSystemMessage(DWORD flags, DWORD messageId, Char* buffer, DWORD size) {
  const bool allocate = (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (flags & FORMAT_MESSAGE_FROM_STRING) != 0 ||
      buffer == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER, buffer, allocate);
  }
  const SystemMessage* message = FindMessage(messageId);
  if (message == nullptr) return Fail(ERROR_MR_MID_NOT_FOUND, buffer, allocate);

  std::string text;
  try {
    text = ShapeText(message->text, flags & kWidthMask);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY, buffer, allocate);
  }
  const std::size_t needed = text.size() + 1;
  Char* target = buffer;
  if (allocate) {
    std::size_t capacity = std::max<std::size_t>(size, needed);
    target = static_cast<Char*>(LocalAlloc(LPTR, capacity * sizeof(Char)));
    if (target == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY, buffer, allocate);
    *reinterpret_cast<Char**>(buffer) = target;
  } else if (size < needed) {
    return Fail(ERROR_INSUFFICIENT_BUFFER, buffer, allocate);
  }
  std::transform(text.begin(), text.end(), target,
                 [](char c) { return static_cast<Char>(static_cast<unsigned char>(c)); });
  target[text.size()] = Char{0};
  return static_cast<DWORD>(text.size());
}

}  // namespace

std::span<const SystemMessage> SystemMessageTable() { return kSystemMessages; }

}  // namespace fh

DWORD FormatMessageA(DWORD flags, const void* /*source*/, DWORD messageId, DWORD /*languageId*/,
                     LPSTR buffer, DWORD size, va_list* /*args*/) {
  return fh::FormatSystemMessage(flags, messageId, buffer, size);
}

DWORD FormatMessageW(DWORD flags, const void* /*source*/, DWORD messageId, DWORD /*languageId*/,
                     LPWSTR buffer, DWORD size, va_list* /*args*/) {
  return fh::FormatSystemMessage(flags, messageId, buffer, size);
}
