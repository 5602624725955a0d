#include "platform/string_trim.h"

#include <cstring>

BOOL StrTrimA(LPSTR text, LPCSTR trimChars) {
  if (text == nullptr || trimChars == nullptr || *trimChars == '\0') return FALSE;
  std::size_t length = std::strlen(text);
  std::size_t begin = 0;
  while (begin < length && std::strchr(trimChars, text[begin]) != nullptr) ++begin;
  std::size_t end = length;
  while (end > begin && std::strchr(trimChars, text[end - 1]) != nullptr) --end;
  if (begin == 0 && end == length) return FALSE;
  std::memmove(text, text + begin, end - begin);
  text[end - begin] = '\0';
  return TRUE;
}
