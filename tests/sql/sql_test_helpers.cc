#include "sql/sql_test_helpers.h"

namespace fhtest {

std::unique_ptr<RowObject> MakeRow(std::vector<std::optional<fh::ColumnValue>> values) {
  return CreateNewRowObject(std::move(values), {});
}

std::optional<fh::ColumnValue> Int(uint8_t type, int64_t value) {
  return fh::ColumnValue::FromInteger(type, value);
}

std::optional<fh::ColumnValue> Text(const std::string& text) {
  return fh::ColumnValue::FromText(text);
}

std::optional<fh::ColumnValue> Date(int year, int month, int day) {
  KesDateTime value;
  value.date =
      KesDate{static_cast<uint16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day)};
  return fh::ColumnValue::FromDateTime(value);
}

std::optional<fh::ColumnValue> Time(int hour, int minute, int second) {
  KesDateTime value;
  value.time = KesTime{static_cast<uint8_t>(hour), static_cast<uint8_t>(minute),
                       static_cast<uint8_t>(second)};
  return fh::ColumnValue::FromDateTime(value);
}

std::optional<fh::ColumnValue> DateTime(int year, int month, int day, int hour, int minute,
                                        int second) {
  KesDateTime value = *Date(year, month, day)->dateTime();
  value.time = Time(hour, minute, second)->dateTime()->time;
  return fh::ColumnValue::FromDateTime(value);
}

}  // namespace fhtest

void PrintTo(const fh::ColumnValue& value, std::ostream* out) {
  if (value.isDateTime()) {
    *out << KesDateTimeToString(*value.dateTime()).value_or("<empty date-time>");
    return;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  *out << value.length() << " bytes ";
  for (int32_t i = 0; i < value.length(); ++i) {
    *out << kDigits[value.bytes()[i] >> 4] << kDigits[value.bytes()[i] & 15];
  }
}
