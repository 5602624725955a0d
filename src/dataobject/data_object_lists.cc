// The list builders: arrays made in an object's pool from variable
// arguments.
#include <cstdarg>

#include "dataobject/data_object.h"
#include "log/log.h"
#include "util/memory_pool.h"

namespace {

// count + 1 text slots in pool, the last none, filled with copies of the
// next count texts of arguments (a none stays none). None when out of
// memory.
const char** CopyTexts(MemPool* pool, int count, va_list arguments) {
  if (pool == nullptr || count < 0) return nullptr;
  auto* list = static_cast<const char**>(
      fh::MemPoolAllocZeroed(pool, sizeof(const char*) * (static_cast<std::size_t>(count) + 1)));
  bool copied = list != nullptr;
  for (int i = 0; i < count && copied; ++i) {
    const char* text = va_arg(arguments, const char*);
    if (text == nullptr) continue;
    list[i] = fh::MemPoolStrDup(pool, text);
    copied = list[i] != nullptr;
  }
  return copied ? list : nullptr;
}

}  // namespace

const char** MakeColumnList(MemPool* pool, int count, ...) {
  LogTrace("@@@@  Inside MakeColumnList @@@@\n");
  va_list arguments;
  va_start(arguments, count);
  const char** list = CopyTexts(pool, count, arguments);
  va_end(arguments);
  return list;
}

const char** MakeStringColumnValuesList(MemPool* pool, int count, ...) {
  LogTrace("@@@@  Inside MakeStringColumnValuesList @@@@\n");
  va_list arguments;
  va_start(arguments, count);
  const char** list = CopyTexts(pool, count, arguments);
  va_end(arguments);
  return list;
}

int32_t* MakeLengthList(MemPool* pool, int count, ...) {
  LogTrace("@@@@  Inside MakeLengthList @@@@\n");
  if (pool == nullptr || count < 0) return nullptr;
  auto* list = static_cast<int32_t*>(
      fh::MemPoolAllocZeroed(pool, sizeof(int32_t) * (static_cast<std::size_t>(count) + 1)));
  if (list == nullptr) return nullptr;
  va_list arguments;
  va_start(arguments, count);
  for (int i = 0; i < count; ++i) list[i] = va_arg(arguments, int);
  va_end(arguments);
  return list;
}
