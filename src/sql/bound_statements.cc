#include "sql/bound_statements.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "dictionary/foreign_keys.h"
#include "log/log_file.h"
#include "sql/sql_dialects.h"
#include "sql/sql_generator.h"

namespace fh {

namespace {

bool HasPrimaryKey(const TableDefn& table) {
  return table.constraints && !table.constraints->primaryKeyColumns.empty();
}

bool IsKey(const TableDefn& table, const ColumnDefnEntry& column) {
  return IsPrimaryKeyColumn(table, column.columnName);
}

// The columns an update sets: every column outside the key.
std::size_t NonKeyColumns(const TableDefn& table) {
  std::size_t count = 0;
  for (const ColumnDefnEntry& column : table.columns) count += IsKey(table, column) ? 0 : 1;
  return count;
}

// "<key>=? and <key>=?" over the key columns in column order.
std::string KeyMarkers(const TableDefn& table) {
  std::string where;
  for (const ColumnDefnEntry& column : table.columns) {
    if (IsKey(table, column)) where += (where.empty() ? "" : " and ") + column.columnName + "=?";
  }
  return where;
}

BoundValue TextValue(BoundKind kind, const ColumnValue& value) {
  BoundValue bound;
  bound.kind = kind;
  bound.bytes = value.text();
  bound.length = LiteralTextLength(value);
  return bound;
}

// Builds one statement's values; texts the row does not hold go to the
// storage, their places noted until the storage is complete.
class ValueWriter {
 public:
  ValueWriter(const DialectWords& words, BoundStatement& statement)
      : words_(words), statement_(statement) {}

  // Adds value as a column of dataType; false when it has no literal.
  bool Add(const ColumnValue* value, uint8_t dataType) {
    BoundValue bound;
    if (value == nullptr) return Push(bound);
    if (IsDateTimeColumnType(dataType)) {
      const std::optional<std::string> text = DateTimeLiteralText(*value, dataType);
      if (!text) return false;
      bound.kind = dataType == KES_SQL_DATE   ? BoundKind::kDate
                   : dataType == KES_SQL_TIME ? BoundKind::kTime
                                              : BoundKind::kDateTime;
      stored_.push_back({statement_.values.size(), statement_.storage.size()});
      statement_.storage.insert(statement_.storage.end(), text->begin(), text->end());
      bound.length = text->size();
      return Push(bound);
    }
    if (value->isDateTime()) return false;
    if (IsIntegerColumnType(dataType)) {
      const int64_t number = GetIntegerValue(*value, dataType).value_or(0);
      if (dataType == KES_SQL_UNSIGNED_LONG_INT) {
        bound.kind = BoundKind::kUnsigned;
        bound.unsignedInteger = static_cast<uint64_t>(number);
      } else {
        bound.kind = BoundKind::kInteger;
        bound.integer = number;
      }
      return Push(bound);
    }
    if (IsFloatingColumnType(dataType)) return AddFloating(*value, dataType);
    switch (dataType) {
      case KES_SQL_BOOLEAN:
        return Push(BooleanValue(value->length() > 0 && value->bytes()[0] != 0));
      case KES_SQL_BLOB:
        bound.kind = BoundKind::kBlob;
        bound.bytes = reinterpret_cast<const char*>(value->bytes());
        bound.length = static_cast<std::size_t>(value->length());
        return Push(bound);
      case KES_SQL_DECIMAL:
      case KES_SQL_NUMERIC:
        return Push(TextValue(BoundKind::kDecimal, *value));
      case KES_SQL_CHAR:
      case KES_SQL_NCHAR:
      case KES_SQL_CLOB:
      case KES_SQL_TEXT:
        return Push(TextValue(BoundKind::kText, *value));
      default:
        return false;
    }
  }

  // Points the stored values at their texts, now that the storage is
  // complete.
  void Finish() {
    for (const Stored& stored : stored_) {
      statement_.values[stored.value].bytes = statement_.storage.data() + stored.offset;
    }
  }

 private:
  struct Stored {
    std::size_t value;
    std::size_t offset;
  };

  // The dialect's boolean literal: a quoted one as its text, else its number.
  BoundValue BooleanValue(bool isTrue) const {
    const char* literal = isTrue ? words_.trueLiteral : words_.falseLiteral;
    const std::size_t length = std::strlen(literal);
    BoundValue bound;
    if (length >= 2 && literal[0] == '\'' && literal[length - 1] == '\'') {
      bound.kind = BoundKind::kText;
      bound.bytes = literal + 1;
      bound.length = length - 2;
    } else {
      bound.kind = BoundKind::kInteger;
      bound.integer = std::strtoll(literal, nullptr, 10);
    }
    return bound;
  }

  bool Push(const BoundValue& bound) {
    statement_.values.push_back(bound);
    return true;
  }

  // A double as it is (its literal reads back exactly); a single-precision
  // number as the double its literal's shortest text reads as.
  bool AddFloating(const ColumnValue& value, uint8_t dataType) {
    BoundValue bound;
    bound.kind = BoundKind::kDouble;
    if (dataType == KES_SQL_DOUBLE) {
      const std::optional<double> number = GetFloatingValue(value, dataType);
      if (!number || !std::isfinite(*number)) return false;
      bound.real = *number;
      return Push(bound);
    }
    const std::optional<std::string> text = FloatingLiteralText(value, dataType);
    if (!text) return false;
    bound.real = std::strtod(text->c_str(), nullptr);
    return Push(bound);
  }

  const DialectWords& words_;
  BoundStatement& statement_;
  std::vector<Stored> stored_;
};

const ColumnValue* ValueAt(const RowObject& row, std::size_t index) {
  if (index >= row.values.size() || !row.values[index]) return nullptr;
  return &*row.values[index];
}

bool BindInsert(const TableDefn& table, const RowObject& row, ValueWriter& writer) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    // A value without literal is written as NULL by the literal path too.
    if (!writer.Add(ValueAt(row, i), table.columns[i].dataType)) writer.Add(nullptr, 0);
  }
  return true;
}

// An update's or delete's values: the non-key ones (wanted for an update),
// then the key ones, none of them NULL.
bool BindKeyed(const TableDefn& table, const RowObject& row, bool sets, ValueWriter& writer) {
  for (int pass = sets ? 0 : 1; pass < 2; ++pass) {
    const bool keys = pass == 1;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      const ColumnDefnEntry& column = table.columns[i];
      if (IsKey(table, column) != keys) continue;
      const ColumnValue* value = ValueAt(row, i);
      if (keys && value == nullptr) return false;
      if (!writer.Add(value, column.dataType)) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> GenMarkerText(const DialectWords& words, RowStatementKind kind,
                                         const TableDefn& table) {
  if (table.columns.empty()) return std::nullopt;
  switch (kind) {
    case RowStatementKind::kInsert: {
      std::string text = "insert into  " + table.tableName + " values(";
      for (std::size_t i = 0; i < table.columns.size(); ++i) text += i == 0 ? "?" : ",?";
      return text + words.insertClose;
    }
    case RowStatementKind::kUpdate: {
      if (!HasPrimaryKey(table) || NonKeyColumns(table) == 0) return std::nullopt;
      std::string sets;
      for (const ColumnDefnEntry& column : table.columns) {
        if (!IsKey(table, column)) sets += (sets.empty() ? "" : ",") + column.columnName + "=?";
      }
      return "update " + table.tableName + " set " + sets + " where " + KeyMarkers(table);
    }
    case RowStatementKind::kDelete:
      if (!HasPrimaryKey(table)) return std::nullopt;
      return "delete from " + table.tableName + "  where " + KeyMarkers(table);
    case RowStatementKind::kNone:
    case RowStatementKind::kInvalid:
      break;
  }
  return std::nullopt;
}

bool BindRowValues(const DialectWords& words, RowStatementKind kind, const TableDefn& table,
                   const RowObject& row, BoundStatement& statement) {
  statement.values.clear();
  statement.storage.clear();
  statement.values.reserve(table.columns.size());
  ValueWriter writer(words, statement);
  const bool bound = kind == RowStatementKind::kInsert
                         ? BindInsert(table, row, writer)
                         : BindKeyed(table, row, kind == RowStatementKind::kUpdate, writer);
  if (!bound) return false;
  writer.Finish();
  return true;
}

std::optional<std::string> RowStatementText(RowStatementKind kind, const char* tableName,
                                            const RowObject* row) {
  switch (kind) {
    case RowStatementKind::kInsert:
      return GenerateInsertQuery(tableName, row);
    case RowStatementKind::kUpdate:
      return GenerateUpdateQuery(tableName, row);
    case RowStatementKind::kDelete:
      return GenerateDeleteQuery(tableName, row);
    case RowStatementKind::kNone:
    case RowStatementKind::kInvalid:
      break;
  }
  return std::nullopt;
}

std::optional<std::string> LiteralText(const BoundStatement& statement) {
  return RowStatementText(statement.kind, statement.tableName, statement.row);
}

bool LogsGeneratedStatements() {
  const LogSettingsSnapshot log = GetLogSettingsSnapshot();
  return log.isOpen && log.level >= 3;
}

std::optional<BoundStatement> RowStatementBinder::Bind(RowStatementKind kind, const char* tableName,
                                                       const RowObject* row) {
  if (tableName == nullptr || row == nullptr) return std::nullopt;
  const Texts* texts = nullptr;
  for (const Texts& cached : texts_) {
    if (cached.kind == kind && cached.tableName == tableName) texts = &cached;
  }
  if (texts == nullptr) {
    const TableDefn* table = GetTableDefn(tableName);
    const DialectWords* words = GetDialectWordsForTable(tableName);
    std::optional<std::string> text;
    if (table != nullptr && words != nullptr) text = GenMarkerText(*words, kind, *table);
    texts_.push_back(Texts{tableName, kind, table, words,
                           text ? std::make_shared<const std::string>(std::move(*text)) : nullptr});
    texts = &texts_.back();
  }
  if (texts->text == nullptr) return std::nullopt;
  BoundStatement statement;
  statement.markerText = texts->text;
  statement.kind = kind;
  statement.tableName = tableName;
  statement.row = row;
  if (!BindRowValues(*texts->words, kind, *texts->table, *row, statement)) return std::nullopt;
  return statement;
}

}  // namespace fh
