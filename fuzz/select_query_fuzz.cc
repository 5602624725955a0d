// Builds select queries and rows from the fuzz input and writes them in every
// dialect: the generators must never crash and every quote they open must be
// closed (a value can never end a literal early). Names are plain words;
// values are arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "query/select_query.h"
#include "sql/firebird_dialect.h"
#include "sql/mysql_dialect.h"
#include "sql/pgsql_dialect.h"
#include "sql/sql_generator.h"
#include "sql/sqlite_dialect.h"
#include "store/row_object.h"
#include "util/memory_pool.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Bytes() {
    const size_t length = Byte() % 24;
    std::string bytes;
    for (size_t i = 0; i < length && at_ < size_; ++i) bytes += static_cast<char>(data_[at_++]);
    return bytes;
  }
  const char* Name() {
    static const char* const kNames[] = {"a", "b", "c", "id", "t", "u"};
    const uint8_t pick = Byte() % 7;
    return pick == 6 ? nullptr : kNames[pick];
  }
  bool More() const { return at_ < size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// true when every literal the text opens is closed.
bool QuotesBalanced(const std::string& text, bool backslashEscapes) {
  bool inside = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!inside) {
      inside = text[i] == '\'';
    } else if (backslashEscapes && text[i] == '\\') {
      ++i;
    } else if (text[i] == '\'') {
      if (i + 1 < text.size() && text[i + 1] == '\'') {
        ++i;
      } else {
        inside = false;
      }
    }
  }
  return !inside;
}

void Check(const std::optional<std::string>& text, const fh::DialectWords& words) {
  if (text && !QuotesBalanced(*text, words.backslashEscapes())) std::abort();
}

fh::SelectCriteria* Criteria(Input& in, MemPool* pool, int depth) {
  const uint8_t kind = in.Byte();
  if (depth < 4 && kind % 4 == 0) {
    fh::SelectCriteria* left = Criteria(in, pool, depth + 1);
    fh::SelectCriteria* right = Criteria(in, pool, depth + 1);
    return kind & 4 ? CreateAndCriteria(left, right, pool) : CreateOrCriteria(left, right, pool);
  }
  fh::ColumnRef* column =
      CreateColumnRef(in.Name(), in.Name(), "c", nullptr, 0, in.Byte() % 23, 0, pool);
  const std::string value = in.Bytes();
  uint8_t op = in.Byte() % 11;
  if (op == fh::kSelectOperatorBetween) op = 5;  // its range text is the caller's own SQL
  return CreateCriteria(column, value.data(), static_cast<int32_t>(value.size()), op, pool);
}

std::optional<fh::ColumnValue> Value(Input& in, uint8_t type) {
  if (in.Byte() % 5 == 0) return std::nullopt;
  if (fh::IsDateTimeColumnType(type)) {
    KesDateTime value;
    value.date = KesDate{static_cast<uint16_t>(in.Byte() * 10), in.Byte(), in.Byte()};
    value.time = KesTime{in.Byte(), in.Byte(), in.Byte()};
    return fh::ColumnValue::FromDateTime(value);
  }
  std::string bytes = in.Bytes();
  const int32_t size = fh::GetColumnTypeSize(type);
  if (size > 0) bytes.resize(static_cast<size_t>(size), '\x7f');
  return fh::ColumnValue::FromBytes(bytes.data(), bytes.size());
}

void Statements(Input& in) {
  std::vector<ColumnDefnEntry> columns;
  std::vector<std::optional<fh::ColumnValue>> values;
  const int count = 1 + in.Byte() % 6;
  for (int i = 0; i < count; ++i) {
    ColumnDefnEntry column;
    column.columnName = "c" + std::to_string(i);
    column.dataType = in.Byte() % 23;
    column.maxSize = in.Byte();
    column.defaultValue = Value(in, column.dataType);
    values.push_back(Value(in, column.dataType));
    columns.push_back(std::move(column));
  }
  ConstraintDefn constraints;
  if (in.Byte() % 2) constraints.primaryKeyColumns = {"c0"};
  if (in.Byte() % 2) constraints.foreignKeys.push_back({"c0", "x", "other"});
  FreeAllTableDefns();
  fh::AddTableDefn(
      fh::CreateTableDefn("F", std::nullopt, std::move(columns), std::move(constraints)));
  auto row = CreateNewRowObject(std::move(values), {});
  for (const fh::DialectWords* words :
       {&kMysqlWords, &kPgsqlWords, &kFirebirdWords, &kSqliteWords}) {
    Check(fh::GenInsertText(*words, "F", row.get()), *words);
    Check(fh::GenUpdateText(*words, "F", row.get()), *words);
    Check(fh::GenDeleteText(*words, "F", row.get()), *words);
    Check(fh::GenCreateText(*words, "F"), *words);
  }
  FreeAllTableDefns();
}

void Select(Input& in) {
  SelectQuery* query = CreateSelectQuery();
  if (query == nullptr) return;
  MemPool* pool = query->pool;
  const int columns = in.Byte() % 4;
  for (int i = 0; i < columns; ++i) {
    AddColumnToSelectQuery(query, CreateColumnRef(in.Name(), in.Name(), in.Name(), in.Name(), 0,
                                                  in.Byte() % 23, in.Byte() % 8, pool));
  }
  if (in.Byte() % 2) AddTable(query, CreateTableRef("t", in.Name(), pool));
  if (in.Byte() % 3 == 0) {
    Vector* base = CreateColumnVector(pool);
    Vector* joined = CreateColumnVector(pool);
    AddColumnToVector(pool, CreateListColumnRef(in.Name(), nullptr, "a", nullptr, 0, 5, 0, pool),
                      base);
    AddColumnToVector(pool, CreateListColumnRef(nullptr, in.Name(), "b", nullptr, 0, 5, 0, pool),
                      joined);
    AddJoin(query, CreateJoin("p", in.Name(), "q", in.Name(), in.Byte() % 3, base, joined, pool));
  }
  if (in.Byte() % 2) SetCriteria(query, Criteria(in, pool, 0));
  if (in.Byte() % 3 == 0) {
    Vector* group = CreateColumnVector(pool);
    AddColumnToVector(
        pool, CreateListColumnRef(in.Name(), in.Name(), "g", in.Name(), 0, 5, 0, pool), group);
    const std::string value = in.Bytes();
    Having* having = fh::CreateHaving(
        CreateListColumnRef(nullptr, nullptr, "h", nullptr, 0, in.Byte() % 23, in.Byte() % 8, pool),
        value.data(), static_cast<int32_t>(value.size()), in.Byte() % 12, pool);
    SetGroupBy(query, CreateGroupBy(group, having, pool));
  }
  query->limit = in.Byte() % 3;
  query->offset = in.Byte() % 3;
  for (const fh::DialectWords* words :
       {&kMysqlWords, &kPgsqlWords, &kFirebirdWords, &kSqliteWords}) {
    Check(fh::GenSelectText(*words, query), *words);
  }
  FreeSelectQuery(query);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = InitializeMemPool();
  if (!ready) return 0;
  Input in(data, size);
  if (in.Byte() % 2) {
    Select(in);
  } else {
    Statements(in);
  }
  return 0;
}
