// Readable texts for status codes: the system's message text for a Win32
// code, or, for a code the system has no text for, the agent's own catalogue
// of configuration-script, Office-update and patch codes. The texts go to the
// log through the level functions; nothing is shown on a console.
//
// Thread safety: every function may be called from any thread; none keeps
// state between calls. Nothing throws.
#pragma once

#include <string>

#include "platform/win32_types.h"

// The catalogue text for code: one of 25 fixed texts, or
// "Unknown Error. Code : <code>" with the code as a signed decimal.
std::string GetErrorCodeMessage(DWORD code);

// The system's text for code (one line, UTF-8, not trimmed), or the
// catalogue text when the system has none. Logs it: for a nonzero code
// "Error Code : %d , Error Message : %s \n" at error level, for code 0
// "Message : %s \n" at info level. The caller owns the returned text.
std::string GetErrorMessageText(DWORD code);

// GetErrorMessageText with the text discarded.
void LogErrorCodeMessage(DWORD code);

// The same two log lines through the narrow system lookup, the system's text
// with blanks stripped from both ends. Always returns 0.
int LogErrorCodeMessageA(DWORD code);

// Logs " Error Message: %s\n" at error level with the system's text for the
// calling thread's last-error code ("(null)" when the code has no text).
void LogLastErrorText();

// Converts a zero-terminated UTF-16 text to UTF-8. True with the text in
// utf8; false when the conversion fails (utf8 is then empty and the
// last-error text has been logged).
bool ChangeWideToUtf8Str(const WCHAR* wide, std::string& utf8);
