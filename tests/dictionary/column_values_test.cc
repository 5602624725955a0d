#include "dictionary/column_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/column_types.h"
#include "util/memory_pool.h"

namespace {

struct RoundTrip {
  uint8_t type;
  const char* text;
  int32_t length;        // expected value length
  const char* expected;  // ConvertValueToString of the value
};

std::string TextOrNone(const std::optional<std::string>& text) { return text ? *text : "<none>"; }

TEST(ColumnValuesTest, TextToValueToTextForEveryType) {
  const std::vector<RoundTrip> cases = {
      {KES_SQL_TINYINT, "-7", 1, "-7"},
      {KES_SQL_TINYINT, "127", 1, "127"},
      {KES_SQL_TINYINT, "128", 1, "-128"},
      {KES_SQL_TINYINT, "300", 1, "44"},
      {KES_SQL_UNSIGNED_TINYINT, "255", 1, "255"},
      {KES_SQL_UNSIGNED_TINYINT, "-1", 1, "255"},
      {KES_SQL_UNSIGNED_TINYINT, "256", 1, "0"},
      {KES_SQL_SMALLINT, "-32768", 2, "-32768"},
      {KES_SQL_SMALLINT, "32768", 2, "-32768"},
      {KES_SQL_UNSIGNED_SMALLINT, "65535", 2, "65535"},
      {KES_SQL_UNSIGNED_SMALLINT, "-1", 2, "65535"},
      {KES_SQL_INT, "2147483647", 4, "2147483647"},
      {KES_SQL_INT, "+42", 4, "42"},
      {KES_SQL_INT, "-2147483648", 4, "-2147483648"},
      {KES_SQL_INT, "2147483648", 4, "-2147483648"},
      {KES_SQL_INT, "99999999999999999999999", 4, "-159383553"},
      {KES_SQL_INT, "12a", 4, "0"},
      {KES_SQL_INT, " 12", 4, "0"},
      {KES_SQL_INT, "", 4, "0"},
      {KES_SQL_INT, "-", 4, "0"},
      {KES_SQL_INT, "1.5", 4, "0"},
      {KES_SQL_UNSIGNED_INT, "4294967295", 4, "4294967295"},
      {KES_SQL_UNSIGNED_INT, "4294967296", 4, "0"},
      {KES_SQL_UNSIGNED_INT, "-1", 4, "4294967295"},
      {KES_SQL_BIGINT, "9223372036854775807", 8, "9223372036854775807"},
      {KES_SQL_BIGINT, "-9223372036854775808", 8, "-9223372036854775808"},
      {KES_SQL_BIGINT, "9223372036854775808", 8, "-9223372036854775808"},
      {KES_SQL_BIGINT, "-99999999999999999999999", 8, "-200376420520689663"},
      {KES_SQL_UNSIGNED_LONG_INT, "18446744073709551615", 8, "18446744073709551615"},
      {KES_SQL_UNSIGNED_LONG_INT, "18446744073709551616", 8, "0"},
      {KES_SQL_UNSIGNED_LONG_INT, "-1", 8, "18446744073709551615"},
      {KES_SQL_FLOAT, "1.5", 4, "1.500000"},
      {KES_SQL_FLOAT, "-0.25", 4, "-0.250000"},
      {KES_SQL_FLOAT, "0.1", 4, "0.100000"},
      {KES_SQL_FLOAT, ".5", 4, "0.500000"},
      {KES_SQL_FLOAT, "12.", 4, "12.000000"},
      {KES_SQL_FLOAT, "+3", 4, "3.000000"},
      {KES_SQL_FLOAT, "1.2.3", 4, "0.000000"},
      {KES_SQL_FLOAT, "1e5", 4, "0.000000"},
      {KES_SQL_FLOAT, ".", 4, "0.000000"},
      {KES_SQL_FLOAT, "1000000000000000000000000000000000000000000", 4, "inf"},
      {KES_SQL_DOUBLE, "123456789.125", 8, "123456789.125000"},
      {KES_SQL_DOUBLE, "-7", 8, "-7.000000"},
      {KES_SQL_DOUBLE, "x", 8, "0.000000"},
      {KES_SQL_REAL, "2.75", 4, "2.750000"},
      {KES_SQL_CHAR, "hello", 5, "hello"},
      {KES_SQL_NCHAR, "it's", 4, "it's"},
      {KES_SQL_TEXT, "", 0, ""},
      {KES_SQL_TEXT, "a longer text", 13, "a longer text"},
      {KES_SQL_DATE, "2020-01-31", 11, "2020-01-31 00:00:00"},
      {KES_SQL_TIME, "10:20:30", 11, "0000-00-00 10:20:30"},
      {KES_SQL_DATETIME, "2021-03-04 05:06:07", 11, "2021-03-04 05:06:07"},
      {KES_SQL_BOOLEAN, "TRUE", 1, "'t'"},
      {KES_SQL_BOOLEAN, "true", 1, "'t'"},
      {KES_SQL_BOOLEAN, "False", 1, "'f'"},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " \"" + c.text + "\"");
    int32_t length = -5;
    const std::optional<fh::ColumnValue> value = ConvertStringToValue(c.text, c.type, &length);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(value->length(), c.length);
    EXPECT_EQ(TextOrNone(ConvertValueToString(value, c.type)), c.expected);
  }
}

TEST(ColumnValuesTest, TextsThatGiveNoValue) {
  const std::vector<std::pair<uint8_t, const char*>> cases = {
      {KES_SQL_BOOLEAN, "yes"},
      {KES_SQL_BOOLEAN, ""},
      {KES_SQL_BOOLEAN, "TRUE "},
      {KES_SQL_DATE, "20200131"},
      {KES_SQL_DATETIME, "now"},
      {KES_SQL_TIME, ""},
      {23, "1"},
      {255, "1"},
  };
  for (const auto& [type, text] : cases) {
    SCOPED_TRACE(std::to_string(type) + " \"" + text + "\"");
    int32_t length = 7;
    EXPECT_FALSE(ConvertStringToValue(text, type, &length).has_value());
    EXPECT_EQ(length, 0);
  }
  for (uint8_t type : {KES_SQL_INT, KES_SQL_DOUBLE, KES_SQL_TEXT, KES_SQL_DATE, KES_SQL_BOOLEAN}) {
    int32_t length = 0;
    EXPECT_FALSE(ConvertStringToValue(nullptr, type, &length).has_value()) << int(type);
  }
}

TEST(ColumnValuesTest, ByteTypesCopyTheGivenLength) {
  const char bytes[] = {'a', '\0', 'b', 'c', 'd'};
  for (uint8_t type :
       {KES_SQL_NOT_SUPPORTED_TYPE, KES_SQL_DECIMAL, KES_SQL_NUMERIC, KES_SQL_BLOB, KES_SQL_CLOB}) {
    SCOPED_TRACE(int(type));
    int32_t length = 4;
    const std::optional<fh::ColumnValue> value = ConvertStringToValue(bytes, type, &length);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(length, 4);
    ASSERT_EQ(value->length(), 4);
    EXPECT_EQ(std::memcmp(value->bytes(), bytes, 4), 0);
    EXPECT_EQ(value->bytes()[4], 0) << "the byte beyond the length is zero";
  }
  int32_t length = 0;
  const std::optional<fh::ColumnValue> empty = ConvertStringToValue(nullptr, KES_SQL_BLOB, &length);
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->length(), 0);
  length = 3;
  EXPECT_FALSE(ConvertStringToValue(nullptr, KES_SQL_BLOB, &length).has_value());
}

TEST(ColumnValuesTest, TextValuesAreZeroTerminatedAndPrintUpToTheirFirstZero) {
  const fh::ColumnValue value = fh::ColumnValue::FromText("abc");
  EXPECT_EQ(value.length(), 3);
  EXPECT_STREQ(value.text(), "abc");
  const char withZero[] = {'1', '2', '\0', '3'};
  const fh::ColumnValue decimal = fh::ColumnValue::FromBytes(withZero, sizeof withZero);
  EXPECT_EQ(TextOrNone(ConvertValueToString(&decimal, KES_SQL_DECIMAL)), "12");
  const char blob[] = {'x', 'y'};
  const fh::ColumnValue unterminated = fh::ColumnValue::FromBytes(blob, sizeof blob);
  EXPECT_EQ(TextOrNone(ConvertValueToString(&unterminated, KES_SQL_BLOB)), "xy");
}

TEST(ColumnValuesTest, ValueToTextSpecialCases) {
  EXPECT_EQ(TextOrNone(ConvertValueToString(nullptr, KES_SQL_INT)), "NULL");
  EXPECT_EQ(TextOrNone(ConvertValueToString(std::optional<fh::ColumnValue>(), KES_SQL_TEXT)),
            "NULL");
  const fh::ColumnValue bytes = fh::ColumnValue::FromText("x");
  EXPECT_EQ(TextOrNone(ConvertValueToString(&bytes, KES_SQL_NOT_SUPPORTED_TYPE)), "<none>");
  EXPECT_EQ(TextOrNone(ConvertValueToString(&bytes, 23)), "<none>");
  // A date-time code on bytes and a byte code on a date-time are refused.
  EXPECT_EQ(TextOrNone(ConvertValueToString(&bytes, KES_SQL_DATE)), "<none>");
  const fh::ColumnValue date =
      fh::ColumnValue::FromDateTime(CreateKesDateTime(2021, 1, 2, 3, 4, 5));
  EXPECT_EQ(TextOrNone(ConvertValueToString(&date, KES_SQL_TEXT)), "<none>");
  // Date-only and time-only records print their own part.
  const fh::ColumnValue dateOnly =
      fh::ColumnValue::FromDateTime({CreateKesDate(2021, 1, 2), std::nullopt});
  EXPECT_EQ(TextOrNone(ConvertValueToString(&dateOnly, KES_SQL_DATE)), "2021-01-02");
  const fh::ColumnValue timeOnly =
      fh::ColumnValue::FromDateTime({std::nullopt, CreateKesTime(3, 4, 5)});
  EXPECT_EQ(TextOrNone(ConvertValueToString(&timeOnly, KES_SQL_TIME)), "03:04:05");
  const fh::ColumnValue neither = fh::ColumnValue::FromDateTime({});
  EXPECT_EQ(TextOrNone(ConvertValueToString(&neither, KES_SQL_DATETIME)), "<none>");
  EXPECT_EQ(neither.length(), 11);
  // A boolean is true only for exactly 1.
  const fh::ColumnValue two = fh::ColumnValue::FromInteger(KES_SQL_UNSIGNED_TINYINT, 2);
  EXPECT_EQ(TextOrNone(ConvertValueToString(&two, KES_SQL_BOOLEAN)), "'f'");
  // A numeric value shorter than its type reads zero-extended, never past its end.
  const fh::ColumnValue shortInt = fh::ColumnValue::FromInteger(KES_SQL_SMALLINT, 300);
  EXPECT_EQ(TextOrNone(ConvertValueToString(&shortInt, KES_SQL_BIGINT)), "300");
  const fh::ColumnValue empty;
  EXPECT_EQ(TextOrNone(ConvertValueToString(&empty, KES_SQL_DOUBLE)), "0.000000");
}

TEST(ColumnValuesTest, HugeDoublesPrintInFull) {
  const std::string text = "1" + std::string(300, '0');
  int32_t length = 0;
  const std::optional<fh::ColumnValue> value =
      ConvertStringToValue(text.c_str(), KES_SQL_DOUBLE, &length);
  ASSERT_TRUE(value.has_value());
  const std::optional<std::string> printed = ConvertValueToString(value, KES_SQL_DOUBLE);
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(printed->size(), 301u + 7u);
  EXPECT_EQ(printed->substr(0, 1), "1");
  const std::string tooBig = "1" + std::string(400, '0');
  const std::optional<fh::ColumnValue> infinite =
      ConvertStringToValue(tooBig.c_str(), KES_SQL_DOUBLE, &length);
  EXPECT_EQ(TextOrNone(ConvertValueToString(infinite, KES_SQL_DOUBLE)), "inf");
}

TEST(ColumnValuesTest, TypedReaders) {
  EXPECT_EQ(fh::GetIntegerValue(fh::ColumnValue::FromInteger(KES_SQL_TINYINT, -7), KES_SQL_TINYINT),
            -7);
  EXPECT_EQ(fh::GetIntegerValue(fh::ColumnValue::FromInteger(KES_SQL_UNSIGNED_TINYINT, -7),
                                KES_SQL_UNSIGNED_TINYINT),
            249);
  EXPECT_EQ(fh::GetIntegerValue(fh::ColumnValue::FromInteger(KES_SQL_BOOLEAN, 5), KES_SQL_BOOLEAN),
            1);
  EXPECT_FALSE(fh::GetIntegerValue(fh::ColumnValue::FromText("5"), KES_SQL_TEXT).has_value());
  EXPECT_EQ(fh::GetFloatingValue(fh::ColumnValue::FromFloat(2.5f), KES_SQL_REAL), 2.5);
  EXPECT_EQ(fh::GetFloatingValue(fh::ColumnValue::FromDouble(-1.25), KES_SQL_DOUBLE), -1.25);
  EXPECT_FALSE(fh::GetFloatingValue(fh::ColumnValue::FromDouble(1.0), KES_SQL_INT).has_value());
}

TEST(ColumnValuesTest, DateTimeValuesCopyDeeply) {
  int32_t length = 0;
  auto original = std::make_unique<std::optional<fh::ColumnValue>>(
      ConvertStringToValue("2021-03-04 05:06:07", KES_SQL_DATETIME, &length));
  ASSERT_TRUE(original->has_value());
  std::optional<fh::ColumnValue> copy = *original;
  fh::ColumnValue assigned;
  assigned = **original;
  // Changing the original changes neither copy; freeing it leaves both usable.
  AddToKesDateTime((*original)->mutableDateTime(), 1, fh::kKesUnitDays);
  EXPECT_EQ(TextOrNone(ConvertValueToString(*original, KES_SQL_DATETIME)), "2021-03-05 05:06:07");
  original.reset();
  EXPECT_EQ(TextOrNone(ConvertValueToString(copy, KES_SQL_DATETIME)), "2021-03-04 05:06:07");
  EXPECT_EQ(TextOrNone(ConvertValueToString(&assigned, KES_SQL_DATETIME)), "2021-03-04 05:06:07");
  EXPECT_EQ(copy->length(), 11);
  EXPECT_EQ(copy->bytes(), nullptr);
  EXPECT_EQ(*copy, assigned);
}

// Short values live inside the value and long ones on the heap: copies and
// moves across that boundary (and onto values on the other side of it) keep
// every byte, the zero after them, and their independence.
TEST(ColumnValuesTest, ByteValuesCopyAndMoveAcrossEverySize) {
  const std::size_t sizes[] = {0, 1, 22, 23, 24, 200};
  auto pattern = [](std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i % 50);
    return bytes;
  };
  auto holds = [](const fh::ColumnValue& value, const std::string& bytes) {
    return value.length() == static_cast<int32_t>(bytes.size()) &&
           std::memcmp(value.bytes(), bytes.data(), bytes.size()) == 0 &&
           value.bytes()[bytes.size()] == 0;
  };
  for (std::size_t size : sizes) {
    for (std::size_t otherSize : sizes) {
      SCOPED_TRACE(std::to_string(size) + " over " + std::to_string(otherSize));
      const std::string bytes = pattern(size, 'a');
      auto original =
          std::make_unique<fh::ColumnValue>(fh::ColumnValue::FromBytes(bytes.data(), size));
      const fh::ColumnValue copy = *original;
      fh::ColumnValue assigned = fh::ColumnValue::FromText(pattern(otherSize, 'A'));
      assigned = *original;
      fh::ColumnValue moveAssigned = fh::ColumnValue::FromText(pattern(otherSize, 'A'));
      fh::ColumnValue source = *original;
      moveAssigned = std::move(source);
      const fh::ColumnValue& self = assigned;
      assigned = self;
      if (size > 0) original->mutableBytes()[0] = '#';
      original.reset();
      EXPECT_TRUE(holds(copy, bytes));
      EXPECT_TRUE(holds(assigned, bytes));
      EXPECT_TRUE(holds(moveAssigned, bytes));
      EXPECT_EQ(copy, moveAssigned);
      EXPECT_EQ(copy == fh::ColumnValue::FromText(pattern(otherSize, 'A')), size + otherSize == 0);
      // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is what is tested.
      EXPECT_EQ(source.length(), 0);
      EXPECT_EQ(source.mutableBytes(), nullptr);
    }
  }
}

TEST(ColumnValuesTest, MovedFromValuesReadAsTheEmptyValue) {
  fh::ColumnValue source = fh::ColumnValue::FromText("moved text");
  const fh::ColumnValue target = std::move(source);
  EXPECT_STREQ(target.text(), "moved text");
  // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is what is tested.
  EXPECT_EQ(source.length(), 0);
  ASSERT_NE(source.text(), nullptr);
  EXPECT_STREQ(source.text(), "");
  EXPECT_EQ(TextOrNone(ConvertValueToString(&source, KES_SQL_CHAR)), "");
  EXPECT_EQ(TextOrNone(ConvertValueToString(&source, KES_SQL_INT)), "0");
  source = fh::ColumnValue::FromText("again");
  EXPECT_STREQ(source.text(), "again");
}

class PoolConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { pool_ = fh::CreateMemPool(nullptr); }
  void TearDown() override { fh::DestroyMemPool(pool_); }
  MemPool* pool_ = nullptr;
};

TEST_F(PoolConversionTest, GivesTheSameTextsForNumbersTextsAndBooleans) {
  const std::vector<std::pair<uint8_t, const char*>> cases = {
      {KES_SQL_TINYINT, "-7"},    {KES_SQL_UNSIGNED_INT, "4294967295"},
      {KES_SQL_BIGINT, "-12"},    {KES_SQL_UNSIGNED_LONG_INT, "18446744073709551615"},
      {KES_SQL_FLOAT, "1.5"},     {KES_SQL_DOUBLE, "2.25"},
      {KES_SQL_REAL, "-3"},       {KES_SQL_CHAR, "name"},
      {KES_SQL_NCHAR, "o'brien"}, {KES_SQL_BOOLEAN, "TRUE"},
      {KES_SQL_BOOLEAN, "false"},
  };
  for (const auto& [type, text] : cases) {
    SCOPED_TRACE(std::to_string(type) + " " + text);
    int32_t length = static_cast<int32_t>(std::strlen(text));
    const std::optional<fh::ColumnValue> value = ConvertStringToValue(text, type, &length);
    ASSERT_TRUE(value.has_value());
    const char* pooled = fh::ConvertValueToStringInPool(&*value, type, pool_);
    ASSERT_NE(pooled, nullptr);
    EXPECT_EQ(pooled, *ConvertValueToString(value, type));
  }
  const fh::ColumnValue decimal = fh::ColumnValue::FromText("12.50");
  EXPECT_STREQ(fh::ConvertValueToStringInPool(&decimal, KES_SQL_DECIMAL, pool_), "12.50");
  EXPECT_STREQ(fh::ConvertValueToStringInPool(nullptr, KES_SQL_INT, pool_), "NULL");
}

TEST_F(PoolConversionTest, GivesNoTextForTheOtherTypes) {
  const fh::ColumnValue date =
      fh::ColumnValue::FromDateTime(CreateKesDateTime(2021, 1, 2, 3, 4, 5));
  const fh::ColumnValue text = fh::ColumnValue::FromText("long text");
  EXPECT_EQ(fh::ConvertValueToStringInPool(&date, KES_SQL_DATETIME, pool_), nullptr);
  EXPECT_EQ(fh::ConvertValueToStringInPool(&text, KES_SQL_TEXT, pool_), nullptr);
  EXPECT_EQ(fh::ConvertValueToStringInPool(&text, KES_SQL_BLOB, pool_), nullptr);
  EXPECT_EQ(fh::ConvertValueToStringInPool(&text, KES_SQL_NOT_SUPPORTED_TYPE, pool_), nullptr);
  EXPECT_EQ(fh::ConvertValueToStringInPool(&text, KES_SQL_CHAR, nullptr), nullptr);
}

}  // namespace
