#include "registry/file_size.h"

#include "platform/files.h"
#include "platform/handles.h"

bool GetFileSizeByName(const char* path, LONGLONG* size) {
  if (path == nullptr || size == nullptr) return false;
  *size = 0;
  HANDLE file = CreateFileA(path, READ_CONTROL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER measured{};
  const BOOL ok = GetFileSizeEx(file, &measured);
  if (ok) *size = measured.QuadPart;
  CloseHandle(file);
  return ok != FALSE;
}
