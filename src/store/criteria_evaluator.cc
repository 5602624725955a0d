#include "store/criteria_evaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "dictionary/column_types.h"
#include "query/criteria_literal.h"

namespace {

// order is negative, zero or positive as the row value sorts before, equal to
// or after the operand.
bool Satisfies(uint8_t code, int order) {
  switch (code) {
    case fh::kCriteriaLess:
      return order < 0;
    case fh::kCriteriaGreater:
      return order > 0;
    case fh::kCriteriaLessEqual:
      return order <= 0;
    case fh::kCriteriaGreaterEqual:
      return order >= 0;
    case fh::kCriteriaEqual:
      return order == 0;
    case fh::kCriteriaNotEqual:
      return order != 0;
    default:
      return false;
  }
}

template <typename T>
int Order(T a, T b) {
  return (a > b) - (a < b);
}

std::string_view BytesOf(const fh::ColumnValue& value) {
  return std::string_view(reinterpret_cast<const char*>(value.bytes()),
                          static_cast<std::size_t>(value.length()));
}

template <typename T>
int64_t Read(const unsigned char* bytes) {
  T number;
  std::memcpy(&number, bytes, sizeof number);
  return static_cast<int64_t>(number);
}

// The integer value of an integer or boolean type at its width and
// signedness (the unsigned 64-bit type as its bit pattern).
int64_t IntegerOf(const fh::ColumnValue& value, uint8_t type) {
  if (value.length() < fh::GetColumnTypeSize(type))
    return fh::GetIntegerValue(value, type).value_or(0);
  const unsigned char* bytes = value.bytes();
  switch (type) {
    case KES_SQL_TINYINT:
      return Read<int8_t>(bytes);
    case KES_SQL_UNSIGNED_TINYINT:
      return Read<uint8_t>(bytes);
    case KES_SQL_SMALLINT:
      return Read<int16_t>(bytes);
    case KES_SQL_UNSIGNED_SMALLINT:
      return Read<uint16_t>(bytes);
    case KES_SQL_INT:
      return Read<int32_t>(bytes);
    case KES_SQL_UNSIGNED_INT:
      return Read<uint32_t>(bytes);
    case KES_SQL_BOOLEAN:
      return bytes[0] != 0 ? 1 : 0;
    default:
      return Read<int64_t>(bytes);
  }
}

// The fields of a date-time the column's type compares, packed so that
// their order is the order of the numbers: a DATE its date, a TIME its
// time, a DATETIME both (an absent part reads as zero).
int64_t PackedDateTime(const KesDateTime& value, uint8_t type) {
  int64_t date = 0;
  int64_t time = 0;
  if (type != KES_SQL_TIME && value.date) {
    date = (int64_t{value.date->year} * 100 + value.date->month) * 100 + value.date->day;
  }
  if (type != KES_SQL_DATE && value.time) {
    time = (int64_t{value.time->hour} * 100 + value.time->minute) * 100 + value.time->second;
  }
  return date * 1000000 + time;
}

// Hashes for the key index: one 64-bit number per value, combined per key.
uint64_t HashBytes(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  return hash;
}

uint64_t HashDouble(double number) {
  if (number == 0) number = 0;  // -0.0 equals 0.0
  uint64_t bits = 0;
  std::memcpy(&bits, &number, sizeof bits);
  return bits;
}

uint64_t Combine(uint64_t hash, uint64_t value) {
  return (hash ^ value) * 0x9e3779b97f4a7c15ull + (hash >> 29);
}

uint64_t HashDecimal(const fh::DecimalDigits& digits) {
  return Combine(Combine(digits.negative ? 1 : 0, HashBytes(digits.integer)),
                 HashBytes(digits.fraction));
}

constexpr uint64_t kKeySeed = 0x51ed27a3c6b0f4d9ull;

// Post-order walk of the tree without recursion: visit(node) is called once
// per node, after both of its children.
template <typename Visit>
bool PostOrder(fh::CriteriaNode* root, Visit visit) {
  std::vector<std::pair<fh::CriteriaNode*, bool>> pending;  // node, children pushed
  if (root != nullptr) pending.emplace_back(root, false);
  while (!pending.empty()) {
    auto& [node, expanded] = pending.back();
    if (expanded) {
      fh::CriteriaNode* done = node;
      pending.pop_back();
      if (!visit(done)) return false;
      continue;
    }
    expanded = true;
    fh::CriteriaNode* current = node;
    if (current->right) pending.emplace_back(current->right.get(), false);
    if (current->left) pending.emplace_back(current->left.get(), false);
  }
  return true;
}

}  // namespace

namespace fh {

std::unique_ptr<CompiledCriteria> CompiledCriteria::Compile(CriteriaNode* tree,
                                                            const ColumnSource& source,
                                                            std::string* unknownColumn) {
  try {
    const bool bound = PostOrder(tree, [&](CriteriaNode* node) {
      if (!node->columnName) return true;
      const int32_t index = FindColumnIndex(source, node->columnName->c_str());
      if (index < 0) {
        if (unknownColumn != nullptr) *unknownColumn = *node->columnName;
        return false;
      }
      node->columnIndex = index;
      node->columnType = ColumnTypeAt(source, index);
      return true;
    });
    if (!bound) return nullptr;
    auto compiled = std::make_unique<CompiledCriteria>();
    if (!compiled->Emit(tree)) return nullptr;
    // The leaves no longer move: their decimal digits may point into them.
    for (Leaf& leaf : compiled->leaves_) {
      if (leaf.kind == Kind::kDecimal) leaf.decimal = *ReadDecimalDigits(leaf.text);
    }
    return compiled;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Writes the program: a leaf is one step; a connective is its left side, a
// conditional jump past its right side, then its right side, so that the
// result register always holds the value of the part evaluated last.
bool CompiledCriteria::Emit(const CriteriaNode* tree) {
  struct Frame {
    const CriteriaNode* node;  // none: an absent child
    int stage;
    std::size_t jump;
  };
  std::vector<Frame> frames = {{tree, 0, 0}};
  while (!frames.empty()) {
    Frame& frame = frames.back();
    const CriteriaNode* node = frame.node;
    if (node == nullptr) {
      program_.push_back(Step{Op::kTrue, 0});
      frames.pop_back();
    } else if (node->isLeaf()) {
      std::optional<Leaf> leaf = MakeLeaf(*node);
      if (!leaf) return false;
      program_.push_back(Step{Op::kLeaf, static_cast<uint32_t>(leaves_.size())});
      leaves_.push_back(std::move(*leaf));
      frames.pop_back();
    } else if (node->operatorCode != kCriteriaAnd && node->operatorCode != kCriteriaOr) {
      program_.push_back(Step{Op::kFalse, 0});
      frames.pop_back();
    } else if (frame.stage == 0) {
      frame.stage = 1;
      frames.push_back(Frame{node->left.get(), 0, 0});
    } else if (frame.stage == 1) {
      frame.stage = 2;
      frame.jump = program_.size();
      program_.push_back(
          Step{node->operatorCode == kCriteriaAnd ? Op::kJumpIfFalse : Op::kJumpIfTrue, 0});
      frames.push_back(Frame{node->right.get(), 0, 0});
    } else {
      program_[frame.jump].argument = static_cast<uint32_t>(program_.size());
      frames.pop_back();
    }
  }
  return true;
}

std::optional<CompiledCriteria::Leaf> CompiledCriteria::MakeLeaf(const CriteriaNode& node) {
  std::optional<CriteriaComparison> comparison = ReadLeafComparison(node, node.columnType);
  if (!comparison) return std::nullopt;
  Leaf leaf;
  leaf.columnIndex = node.columnIndex;
  leaf.columnType = node.columnType;
  leaf.code = comparison->code;
  const uint8_t type = node.columnType;
  const ColumnValue& value = comparison->value;
  leaf.kind = KindOf(type);
  switch (leaf.kind) {
    case Kind::kUnsigned:
      leaf.unsigned_ = static_cast<uint64_t>(IntegerOf(value, type));
      break;
    case Kind::kSigned:
      leaf.integer = IntegerOf(value, type);
      break;
    case Kind::kFloating:
      leaf.real = GetFloatingValue(value, comparison->valueType).value_or(0);
      break;
    case Kind::kDateTime:
      leaf.integer = PackedDateTime(*value.dateTime(), type);
      break;
    case Kind::kDecimal:
    case Kind::kBytes:
      leaf.text.assign(BytesOf(value));
      break;
  }
  return leaf;
}

CompiledCriteria::Kind CompiledCriteria::KindOf(uint8_t type) {
  if (type == KES_SQL_UNSIGNED_LONG_INT) return Kind::kUnsigned;
  if (IsIntegerColumnType(type) || type == KES_SQL_BOOLEAN) return Kind::kSigned;
  if (IsFloatingColumnType(type)) return Kind::kFloating;
  if (type == KES_SQL_DECIMAL || type == KES_SQL_NUMERIC) return Kind::kDecimal;
  if (IsDateTimeColumnType(type)) return Kind::kDateTime;
  return Kind::kBytes;
}

uint64_t CompiledCriteria::LeafHash(const Leaf& leaf) {
  switch (leaf.kind) {
    case Kind::kSigned:
    case Kind::kDateTime:
      return static_cast<uint64_t>(leaf.integer);
    case Kind::kUnsigned:
      return leaf.unsigned_;
    case Kind::kFloating:
      return HashDouble(leaf.real);
    case Kind::kDecimal:
      return HashDecimal(leaf.decimal);
    case Kind::kBytes:
      break;
  }
  return HashBytes(leaf.text);
}

std::optional<uint64_t> CompiledCriteria::ValueHash(const ColumnValue& value, uint8_t type) {
  const Kind kind = KindOf(type);
  if (value.isDateTime() != (kind == Kind::kDateTime)) return std::nullopt;
  switch (kind) {
    case Kind::kSigned:
    case Kind::kUnsigned:
      return static_cast<uint64_t>(IntegerOf(value, type));
    case Kind::kDateTime:
      return static_cast<uint64_t>(PackedDateTime(*value.dateTime(), type));
    case Kind::kFloating: {
      const double number = GetFloatingValue(value, type).value_or(0);
      if (std::isnan(number)) return std::nullopt;
      return HashDouble(number);
    }
    case Kind::kDecimal: {
      const std::optional<DecimalDigits> digits = ReadDecimalDigits(BytesOf(value));
      if (!digits) return std::nullopt;
      return HashDecimal(*digits);
    }
    case Kind::kBytes:
      break;
  }
  return HashBytes(BytesOf(value));
}

std::optional<uint64_t> CompiledCriteria::KeyHash(const std::vector<int32_t>& keyColumns) const {
  if (keyColumns.empty() || leaves_.size() != keyColumns.size()) return std::nullopt;
  // Only leaves joined by AND: the program is leaves and jumps past false.
  for (const Step& step : program_) {
    if (step.op != Op::kLeaf && step.op != Op::kJumpIfFalse) return std::nullopt;
  }
  std::vector<const Leaf*> byKey(keyColumns.size(), nullptr);
  for (const Leaf& leaf : leaves_) {
    if (leaf.code != kCriteriaEqual) return std::nullopt;
    const auto at = std::find(keyColumns.begin(), keyColumns.end(), leaf.columnIndex);
    if (at == keyColumns.end()) return std::nullopt;
    const Leaf*& slot = byKey[static_cast<std::size_t>(at - keyColumns.begin())];
    if (slot != nullptr) return std::nullopt;  // the same key column twice
    slot = &leaf;
  }
  uint64_t hash = kKeySeed;
  for (const Leaf* leaf : byKey) hash = Combine(hash, LeafHash(*leaf));
  return hash;
}

std::optional<uint64_t> CompiledCriteria::KeyHashOfRow(const RowObject& row,
                                                       const std::vector<int32_t>& keyColumns,
                                                       const std::vector<uint8_t>& keyTypes) {
  uint64_t hash = kKeySeed;
  for (std::size_t i = 0; i < keyColumns.size(); ++i) {
    const auto index = static_cast<std::size_t>(keyColumns[i]);
    if (index >= row.values.size() || !row.values[index]) return std::nullopt;
    const std::optional<uint64_t> value = ValueHash(*row.values[index], keyTypes[i]);
    if (!value) return std::nullopt;
    hash = Combine(hash, *value);
  }
  return hash;
}

bool CompiledCriteria::LeafMatches(const Leaf& leaf, const RowObject& row) const {
  const auto index = static_cast<std::size_t>(leaf.columnIndex);
  if (index >= row.values.size() || !row.values[index]) return false;
  const ColumnValue& value = *row.values[index];
  const uint8_t type = leaf.columnType;
  if (value.isDateTime() != (leaf.kind == Kind::kDateTime)) return false;  // not of its type
  int order = 0;
  switch (leaf.kind) {
    case Kind::kSigned:
      order = Order(IntegerOf(value, type), leaf.integer);
      break;
    case Kind::kUnsigned:
      order = Order(static_cast<uint64_t>(IntegerOf(value, type)), leaf.unsigned_);
      break;
    case Kind::kFloating: {
      const double number = GetFloatingValue(value, type).value_or(0);
      if (std::isnan(number)) return false;
      order = Order(number, leaf.real);
      break;
    }
    case Kind::kDecimal: {
      // The stored text is read in place; no number, no match.
      const std::optional<DecimalDigits> stored = ReadDecimalDigits(BytesOf(value));
      if (!stored) return false;
      order = CompareDecimalDigits(*stored, leaf.decimal);
      break;
    }
    case Kind::kBytes: {
      const int compared = BytesOf(value).compare(leaf.text);
      order = (compared > 0) - (compared < 0);
      break;
    }
    case Kind::kDateTime:
      order = Order(PackedDateTime(*value.dateTime(), type), leaf.integer);
      break;
  }
  return Satisfies(leaf.code, order);
}

bool CompiledCriteria::Matches(const RowObject& row) const {
  bool result = false;
  const std::size_t end = program_.size();
  for (std::size_t pc = 0; pc < end; ++pc) {
    const Step& step = program_[pc];
    switch (step.op) {
      case Op::kLeaf:
        result = LeafMatches(leaves_[step.argument], row);
        break;
      case Op::kTrue:
        result = true;
        break;
      case Op::kFalse:
        result = false;
        break;
      case Op::kJumpIfFalse:
        if (!result) pc = step.argument - 1;
        break;
      case Op::kJumpIfTrue:
        if (result) pc = step.argument - 1;
        break;
    }
  }
  return result;
}

void CompiledCriteria::Prefetch(const RowObject& row) const {
  const std::size_t leaves = leaves_.size() < 2 ? leaves_.size() : 2;
  for (std::size_t i = 0; i < leaves; ++i) {
    const auto index = static_cast<std::size_t>(leaves_[i].columnIndex);
    if (index < row.values.size()) __builtin_prefetch(&row.values[index]);
  }
}

void CompiledCriteria::Filter(const std::vector<RowObject*>& rows,
                              std::vector<RowObject*>& matches) const {
  // Two distances ahead of the row being evaluated: the row itself is
  // fetched first, then the places in its value array the first leaves read
  // (short values live there). The loads do not depend on each other, so
  // the processor overlaps them.
  constexpr std::size_t kRowDistance = 32;
  constexpr std::size_t kSlotDistance = 16;
  const std::size_t count = rows.size();
  RowObject* const* row = rows.data();
  for (std::size_t at = 0; at < count; ++at) {
    if (at + kRowDistance < count && row[at + kRowDistance] != nullptr) {
      __builtin_prefetch(row[at + kRowDistance]);
    }
    if (at + kSlotDistance < count && row[at + kSlotDistance] != nullptr) {
      Prefetch(*row[at + kSlotDistance]);
    }
    if (row[at] != nullptr && Matches(*row[at])) matches.push_back(row[at]);
  }
}

}  // namespace fh
