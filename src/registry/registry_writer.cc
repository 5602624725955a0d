#include "registry/registry_writer.h"

#include <new>
#include <utility>

#include "log/log.h"
#include "log/status_texts.h"
#include "platform/registry.h"
#include "platform/text_conversion.h"
#include "registry/open_key.h"
#include "registry/printable.h"

bool gv_use64BitRegView = false;

namespace {

using fh::Printable;

constexpr WCHAR kMultiStringEscape = u'^';
constexpr WCHAR kMultiStringSeparator = u';';
constexpr DWORD kDwordMax = 4294967295u;

// The bytes handed to RegSetValueExW and their count.
struct ValueBytes {
  std::vector<BYTE> bytes;
  DWORD size() const { return static_cast<DWORD>(bytes.size()); }
};

void AppendBytes(ValueBytes& value, const void* data, size_t count) {
  const BYTE* first = static_cast<const BYTE*>(data);
  value.bytes.insert(value.bytes.end(), first, first + count);
}

// UTF-16 text with its terminating zero unit.
ValueBytes WideTextBytes(const std::u16string& wide) {
  ValueBytes value;
  AppendBytes(value, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return value;
}

// Types without a conversion of their own: the first 4 bytes of the UTF-16
// text (terminator included), zero-padded when the text is shorter.
ValueBytes LeadingFourBytes(const std::u16string& wide) {
  ValueBytes value;
  const size_t available = (wide.size() + 1) * sizeof(WCHAR);
  AppendBytes(value, wide.c_str(), available < 4 ? available : 4);
  value.bytes.resize(4, 0);
  return value;
}

ValueBytes BuildValueBytes(DWORD type, const std::u16string& wideData,
                           const std::string& narrowData) {
  ValueBytes value;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      value = WideTextBytes(wideData);
      LogDebug("writeValueEx:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: %d\n",
               static_cast<int>(value.size()));
      break;
    case REG_BINARY:
      AppendBytes(value, narrowData.c_str(), narrowData.size() + 1);
      LogDebug("writeValueEx:  Data type is REG_BINARY: %d\n", static_cast<int>(value.size()));
      break;
    case REG_DWORD: {
      const DWORD number = fh::ParseDecimalDword(narrowData.c_str());
      AppendBytes(value, &number, sizeof number);
      LogDebug("writeValueEx:  REG_DWORD -- sizeOfInputData: %d\n", static_cast<int>(value.size()));
      break;
    }
    case REG_MULTI_SZ: {
      DWORD size = 0;
      const std::vector<WCHAR> list = MakeMultiStringData(wideData.c_str(), &size);
      AppendBytes(value, list.data(), size);
      LogDebug("writeValueEx:  Data type is REG_MULTI_SZ: %d\n", static_cast<int>(size));
      break;
    }
    case REG_QWORD: {
      const ULONGLONG number = ParseDecimalQword(narrowData.c_str());
      AppendBytes(value, &number, sizeof number);
      LogDebug("writeValueEx:  REG_QWORD -- sizeOfInputData: %d\n", static_cast<int>(value.size()));
      break;
    }
    default:
      value = LeadingFourBytes(wideData);
      break;
  }
  return value;
}

// The UTF-8 form of a wide text for a log line.
std::string Utf8ForLog(const std::u16string& wide) {
  std::string utf8;
  ChangeWideToUtf8Str(wide.c_str(), utf8);
  return utf8;
}

LONG WriteValue(HKEY root, const char* subKey, const char* valueName, const char* valueData,
                DWORD type) {
  LogDebug("writeValueEx: Subkey : %s \n", Printable(subKey));
  LogDebug("writeValueEx: Value Name: %s \n", valueName);
  LogDebug("writeValueEx: Value Data: %s \n", valueData);

  std::u16string wideName;
  std::u16string wideData;
  ChangeUtf8ToWideStr(valueName, wideName);
  ChangeUtf8ToWideStr(valueData, wideData);
  std::string narrowData = valueData;

  if (wideName == u"--") {
    LogInfo("writeValueEx : going to add the (default) value .\n");
    wideName.clear();
  }
  if (wideData == u"--") {
    LogInfo("writeValueEx : going to add the value data as 0 value .\n");
    wideData.clear();
    narrowData.clear();
  }

  const ValueBytes value = BuildValueBytes(type, wideData, narrowData);

  LONG code = addRegistryKeyEx(root, subKey);
  if (code != ERROR_SUCCESS) {
    LogError("writeValueEx:  WriteValue failure during key creation! %d \n", code);
    return code;
  }

  fh::OpenKey key;
  code = RegOpenKeyExA(root, subKey, 0, fh::RegistryWriteAccess(), key.out());
  if (code != ERROR_SUCCESS) {
    LogError("writeValueEx:  Key open failure! %d \n", code);
    LogErrorCodeMessage(static_cast<DWORD>(code));
    return code;
  }
  LogDebug("writeValueEx:  Key found ...!: %d\n", 0);
  LogDebug("writeValueEx:  After addRegistryKey method in writeValue method!!\n");

  code = RegSetValueExW(key.get(), wideName.c_str(), 0, type, value.bytes.data(), value.size());
  if (code == ERROR_SUCCESS) {
    LogErrorCodeMessage(0);
    LogDebug("@@@@@@@@ End Of writeValueEx Method @@@@@@@@ \n");
    return ERROR_SUCCESS;
  }
  LogError("writeValueEx:  Function WriteValue failure!:%d\n", code);
  LogError("writeValueEx:    Subkey: %s \n", Printable(subKey));
  LogError("writeValueEx:    Valuename: %s \n", Utf8ForLog(wideName).c_str());
  LogError("writeValueEx:    Valuedata: %s \n", Utf8ForLog(wideData).c_str());
  LogError("writeValueEx:    Datatype: %d \n", static_cast<int>(type));
  LogErrorCodeMessage(static_cast<DWORD>(code));
  return code;
}

}  // namespace

void fh::ResetRegistryViewFlag() { gv_use64BitRegView = false; }

REGSAM fh::RegistryWriteAccess() {
  return gv_use64BitRegView ? (KEY_ALL_ACCESS | KEY_WOW64_64KEY) : KEY_ALL_ACCESS;
}

LONG writeValueEx(HKEY root, const char* subKey, const char* valueName, const char* valueData,
                  DWORD type) {
  LogDebug("@@@@@@@@ Inside writeValueEx Method @@@@@@@@ \n");
  if (valueName == nullptr || valueData == nullptr) {
    LogError("writeValueEx : Valuename or Valuedata is Empty \n");
    return ERROR_INVALID_DATA;
  }
  try {
    return WriteValue(root, subKey, valueName, valueData, type);
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
}

LONG addRegistryKeyEx(HKEY root, const char* subKey) {
  LogDebug("addRegistryKeyEx: Inside addRegistryKey method ...... \n");
  fh::OpenKey key;
  DWORD disposition = 0;
  const LONG code = RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    fh::RegistryWriteAccess(), nullptr, key.out(), &disposition);
  if (code != ERROR_SUCCESS) {
    LogError("addRegistryKeyEx:  Create registry key \"%s\" function failed: %d \n",
             Printable(subKey), code);
    LogErrorCodeMessage(static_cast<DWORD>(code));
    return code;
  }
  if (disposition == REG_OPENED_EXISTING_KEY) {
    LogDebug("addRegistryKeyEx:  Opened already existing key! \n");
  } else if (disposition == REG_CREATED_NEW_KEY) {
    LogDebug("addRegistryKeyEx:  Create registry key function successfull: %d \n",
             static_cast<int>(disposition));
  }
  return ERROR_SUCCESS;
}

bool ChangeUtf8ToWideStr(const char* utf8, std::u16string& wide) {
  if (utf8 == nullptr) {
    LogError("ChangeUtf8ToWideStr: utf8 is empty! \n");
    return false;
  }
  LogDebug("UTF String Received:%s\n", utf8);
  try {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::u16string buffer(static_cast<std::u16string::size_type>(units > 0 ? units : 0), u'\0');
    const int converted =
        units > 0 ? MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer.data(), units) : 0;
    if (converted == 0) {
      wide.clear();
      LogLastErrorText();
      return false;
    }
    // The converted text ends at its terminator, which the string keeps
    // implicitly.
    buffer.resize(buffer.find(u'\0'));
    wide = std::move(buffer);
    return true;
  } catch (const std::bad_alloc&) {
    wide.clear();
    return false;
  }
}

std::vector<WCHAR> TranslateSeparators(const WCHAR* text, WCHAR escape, WCHAR separator,
                                       WCHAR replacement, DWORD* size) {
  static const WCHAR kEmpty[] = {0};
  if (text == nullptr) text = kEmpty;

  std::vector<WCHAR> list;
  for (const WCHAR* unit = text; *unit != 0; ++unit) {
    if (*unit == escape) {
      ++unit;
      list.push_back(*unit);  // the escaped unit, or the terminator
      if (*unit == 0) break;  // an escape as the last unit ends the walk
    } else if (*unit == separator) {
      list.push_back(replacement);
    } else {
      list.push_back(*unit);
    }
  }
  list.push_back(0);
  list.push_back(0);
  if (size != nullptr) *size = static_cast<DWORD>(list.size() * sizeof(WCHAR));
  return list;
}

std::vector<WCHAR> MakeMultiStringData(const WCHAR* wide, DWORD* size) {
  return TranslateSeparators(wide, kMultiStringEscape, kMultiStringSeparator, 0, size);
}

namespace {

// The decimal reading behind both value types: from 0, value = value * 10 +
// digit for each digit, modulo 2^64. A digit is a byte '0' to '9' and the
// reading stops at the first other byte, unless every byte counts (its digit
// is then the byte minus '0', the byte read as a signed 8-bit number). The
// out-of-range rule: *above tells whether the exact value went above limit,
// after which the digits are still consumed but no longer added.
ULONGLONG ReadDecimal(const char** cursor, bool everyByteIsDigit, ULONGLONG limit, bool* above) {
  ULONGLONG value = 0;
  *above = false;
  for (const char*& byte = *cursor; *byte != '\0'; ++byte) {
    const bool isDigit = *byte >= '0' && *byte <= '9';
    if (!isDigit && !everyByteIsDigit) break;
    if (*above) continue;
    const auto digit = static_cast<LONGLONG>(static_cast<signed char>(*byte)) - '0';
    value = value * 10u + static_cast<ULONGLONG>(digit);
    if (value > limit) *above = true;
  }
  return value;
}

}  // namespace

ULONGLONG ParseDecimalQword(const char* text) {
  if (text == nullptr) return 0;
  // Every byte is a digit and the value wraps: the limit is never passed.
  bool above = false;
  return ReadDecimal(&text, true, ~ULONGLONG{0}, &above);
}

namespace fh {

DWORD ParseDecimalDword(const char* text) {
  if (text == nullptr) return 0;
  const char* cursor = text;
  while (*cursor == ' ' || (*cursor >= '\t' && *cursor <= '\r')) ++cursor;
  bool negative = false;
  if (*cursor == '+' || *cursor == '-') {
    negative = *cursor == '-';
    ++cursor;
  }
  bool above = false;
  const ULONGLONG value = ReadDecimal(&cursor, false, kDwordMax, &above);
  if (above) return kDwordMax;
  const auto number = static_cast<DWORD>(value);
  return negative ? static_cast<DWORD>(0u - number) : number;
}

}  // namespace fh
