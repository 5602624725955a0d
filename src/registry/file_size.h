// The size of a file named by its path (used by the log rotation).
//
// Thread safety: stateless; any thread may call.
#pragma once

#include "platform/win32_types.h"

// True with the file's size in bytes in *size; false when path or size is
// null (nothing written) or the file cannot be opened or measured (*size is
// then 0).
bool GetFileSizeByName(const char* path, LONGLONG* size);
