// The system's message texts for Win32 error codes, served through
// FormatMessageA / FormatMessageW as Windows serves its own. The texts are
// this platform's own table (SystemMessageTable below), one language, plain
// ASCII; every text ends with "\r\n" as Windows system texts do. A code
// outside the table has no system text: the call returns 0 with last error
// 317 (ERROR_MR_MID_NOT_FOUND), and the caller falls back to its own
// catalogue.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <cstdarg>
#include <span>
#include <string_view>

#include "platform/local_memory.h"  // LocalFree for the texts returned here
#include "platform/string_trim.h"   // StrTrimA, used on the texts returned here
#include "platform/win32_types.h"

// Looks up the system text of messageId and returns its length in
// characters (the terminator not counted), or 0 with the last error set.
//
// flags:
//   FORMAT_MESSAGE_FROM_SYSTEM      required; without it the call fails with
//                                   87 (FROM_STRING is not supported; a
//                                   FROM_HMODULE beside it is ignored, there
//                                   are no module tables)
//   FORMAT_MESSAGE_IGNORE_INSERTS   accepted; the texts have no inserts, so
//                                   args is never read
//   FORMAT_MESSAGE_ALLOCATE_BUFFER  buffer is really a char** (WCHAR** for
//                                   the W call) that receives a new block of
//                                   at least size characters holding the
//                                   text; the caller frees it with LocalFree.
//                                   On failure it receives null.
//   low 8 bits (MAX_WIDTH_MASK)     0: the text as stored, line breaks and
//                                   final "\r\n" included. 0xFF: every line
//                                   break becomes one blank, so the text is
//                                   one line ending with a blank (callers
//                                   trim it). 1..254: as 0xFF, then the text
//                                   is broken into lines of at most that
//                                   many characters at blanks ("\r\n").
// source, languageId: ignored (one table, one language).
// Without ALLOCATE_BUFFER the text and its terminator are copied into buffer
// of size characters; 122 when it does not fit, 87 when buffer is null.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list* args);

// FormatMessageA with UTF-16 text.
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPWSTR buffer, DWORD size, va_list* args);

namespace fh {

struct SystemMessage {
  DWORD code;
  std::string_view text;  // ends with "\r\n"
};

// The whole table, in ascending code order.
std::span<const SystemMessage> SystemMessageTable();

}  // namespace fh
