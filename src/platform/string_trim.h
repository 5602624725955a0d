// In-place trimming of a C text, as shlwapi's StrTrimA does it.
//
// Thread safety: pure function over the caller's buffer.
#pragma once

#include "platform/win32_types.h"

// Removes every leading and trailing character of text that occurs in
// trimChars (a set, e.g. " " or " \t\r\n"), moving the rest to the start of
// the buffer. TRUE when anything was removed; FALSE when nothing was, or
// text or trimChars is null. An empty set removes nothing.
BOOL StrTrimA(LPSTR text, LPCSTR trimChars);
