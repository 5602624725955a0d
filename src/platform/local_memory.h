// Local memory: the blocks the platform allocates on a caller's behalf (the
// texts FormatMessageA/W return with FORMAT_MESSAGE_ALLOCATE_BUFFER), and
// their release.
//
// Thread safety: any thread may allocate and free; a block may be freed on a
// thread other than the one that allocated it.
#pragma once

#include <cstddef>

#include "platform/win32_types.h"

// A block of bytes bytes (at least one), zero-filled with LMEM_ZEROINIT
// (LPTR); other flags are ignored. Null with last error
// ERROR_NOT_ENOUGH_MEMORY when no memory is left. Free it with LocalFree.
HLOCAL LocalAlloc(UINT flags, std::size_t bytes);

// Frees a block from LocalAlloc (or from a platform call that says it
// returns one); null is accepted and ignored. Returns null, as Windows does
// on success. REQUIRES: memory is null or such a block not yet freed.
HLOCAL LocalFree(HLOCAL memory);
