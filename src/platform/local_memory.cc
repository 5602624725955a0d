#include "platform/local_memory.h"

#include <cstdlib>

#include "platform/last_error.h"

// The C allocator underneath is the C API this pair stands for: callers
// receive and release raw blocks.
HLOCAL LocalAlloc(UINT flags, std::size_t bytes) {
  std::size_t size = bytes == 0 ? 1 : bytes;
  void* block = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
