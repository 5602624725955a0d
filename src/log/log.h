// The four level functions: each writes one stamped, flushed line to the
// process-wide log file when the log is open and the process-wide level lets
// the line's tag through. They never fail their caller and may be called from
// any thread, before the log is opened and after it is closed (nothing is
// written then).
#pragma once

#define FH_PRINTF_FORMAT(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

void LogInfo(const char* format, ...) FH_PRINTF_FORMAT(1, 2);   // "[INFO]", level 1 and more
void LogError(const char* format, ...) FH_PRINTF_FORMAT(1, 2);  // "[ERROR]", level 2 and more
void LogDebug(const char* format, ...) FH_PRINTF_FORMAT(1, 2);  // "[DEBUG]", level 3 and more
void LogTrace(const char* format, ...) FH_PRINTF_FORMAT(1, 2);  // "[TRACE]", level 4 and more
