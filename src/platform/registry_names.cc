#include "platform/registry_names.h"

#include <locale.h>
#include <wctype.h>

#include "platform/text_conversion.h"

namespace fh {

namespace {

// The C.UTF-8 character classes carry the Unicode case mappings; without
// them non-ASCII letters compare exactly.
locale_t CaseMappingLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

char32_t UpperCase(char32_t codePoint) {
  locale_t locale = CaseMappingLocale();
  if (locale == static_cast<locale_t>(0)) return codePoint;
  return static_cast<char32_t>(towupper_l(static_cast<wint_t>(codePoint), locale));
}

// Reads the next code point of name, upper-cased, and advances position.
char32_t NextFolded(std::string_view name, std::size_t* position) {
  unsigned char byte = static_cast<unsigned char>(name[*position]);
  if (byte < 0x80) {
    ++*position;
    return (byte >= 'a' && byte <= 'z') ? static_cast<char32_t>(byte - ('a' - 'A')) : byte;
  }
  char32_t codePoint;
  DecodeUtf8(name, position, &codePoint);
  return UpperCase(codePoint);
}

}  // namespace

std::uint64_t FoldedNameHash(std::string_view name) {
  std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  std::size_t position = 0;
  while (position < name.size()) {
    char32_t codePoint = NextFolded(name, &position);
    do {
      hash ^= codePoint & 0xFF;
      hash *= 0x100000001b3ull;
      codePoint >>= 8;
    } while (codePoint != 0);
  }
  // Final mix so that the low bits, which pick the slot, depend on every byte.
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdull;
  hash ^= hash >> 33;
  return hash;
}

bool FoldedNamesEqual(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (NextFolded(a, &i) != NextFolded(b, &j)) return false;
  }
  return i == a.size() && j == b.size();
}

void FoldedNameIndex::Add(std::string_view name, std::size_t position) {
  if ((used_ + 1) * 2 > slots_.size()) Grow((used_ + 1) * 2);
  Insert(FoldedNameHash(name), position);
}

void FoldedNameIndex::Reset(std::size_t count) {
  slots_.clear();
  used_ = 0;
  if (count > 0) Grow(count * 2);
}

void FoldedNameIndex::Insert(std::uint64_t hash, std::size_t position) {
  std::size_t i = SlotFor(hash);
  while (slots_[i].positionPlusOne != 0) i = (i + 1) & (slots_.size() - 1);
  slots_[i].hash = hash;
  slots_[i].positionPlusOne = position + 1;
  ++used_;
}

void FoldedNameIndex::Grow(std::size_t minimumSlots) {
  std::size_t size = slots_.empty() ? 16 : slots_.size();
  while (size < minimumSlots) size *= 2;
  if (size == slots_.size()) return;
  std::vector<Slot> old(size);
  old.swap(slots_);
  used_ = 0;
  for (const Slot& slot : old) {
    if (slot.positionPlusOne != 0) Insert(slot.hash, slot.positionPlusOne - 1);
  }
}

}  // namespace fh
