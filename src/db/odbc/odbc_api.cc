#include "db/odbc/odbc_api.h"

#include <dlfcn.h>
#include <odbcinst.h>

#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "log/log.h"

namespace fh::odbc {
namespace {

// The installer library is not linked: it is opened on the first data-source
// creation and kept open for the life of the process.
struct Installer {
  int (*configDataSource)(void*, unsigned short, const char*, const char*) = nullptr;
  int (*writeDsnToIni)(const char*, const char*) = nullptr;
  int (*writePrivateProfileString)(const char*, const char*, const char*, const char*) = nullptr;
  int (*setConfigMode)(unsigned short) = nullptr;
  int (*getPrivateProfileString)(const char*, const char*, const char*, char*, int,
                                 const char*) = nullptr;
};

template <class Function>
void Bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
}

const Installer& LoadInstaller() {
  static std::once_flag once;
  static Installer installer;
  std::call_once(once, [] {
    void* library = ::dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) library = ::dlopen("libodbcinst.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    Bind(library, "SQLConfigDataSource", installer.configDataSource);
    Bind(library, "SQLWriteDSNToIni", installer.writeDsnToIni);
    Bind(library, "SQLWritePrivateProfileString", installer.writePrivateProfileString);
    Bind(library, "SQLSetConfigMode", installer.setConfigMode);
    Bind(library, "SQLGetPrivateProfileString", installer.getPrivateProfileString);
  });
  return installer;
}

// The "KEY=value;" pairs of an attribute text.
std::vector<std::pair<std::string, std::string>> SplitAttributes(const char* attributes) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string text = attributes != nullptr ? attributes : "";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::size_t equals = text.find('=', start);
    if (equals != std::string::npos && equals < end) {
      pairs.emplace_back(text.substr(start, equals - start),
                         text.substr(equals + 1, end - equals - 1));
    }
    start = end + 1;
  }
  return pairs;
}

// The installer's own way: the attribute pairs as the zero-separated list it
// expects, handed to the driver's setup routine.
bool ConfigureThroughDriver(const Installer& installer, void* window, unsigned short request,
                            const char* driver,
                            const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (installer.configDataSource == nullptr) return false;
  std::string list;
  for (const auto& [key, value] : pairs) {
    list += key + "=" + value;
    list.push_back('\0');
  }
  list.push_back('\0');
  return installer.configDataSource(window, request, driver, list.c_str()) != 0;
}

// For drivers without a setup routine (none of the packaged Linux drivers
// has one): when the driver is registered (odbcinst.ini names its library),
// the data source is written into the user's odbc.ini ($ODBCINI) directly,
// the driver's name as its Driver entry.
bool WriteUserDataSource(const Installer& installer, const char* driver,
                         const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (installer.writeDsnToIni == nullptr || installer.writePrivateProfileString == nullptr ||
      installer.getPrivateProfileString == nullptr) {
    return false;
  }
  char library[1024] = {};
  if (installer.getPrivateProfileString(driver, "Driver", "", library, sizeof library,
                                        "odbcinst.ini") <= 0 ||
      library[0] == '\0') {
    return false;  // not a driver the driver manager knows
  }
  std::string dsn;
  for (const auto& [key, value] : pairs) {
    if (key == "DSN") dsn = value;
  }
  if (dsn.empty()) return false;
  if (installer.setConfigMode != nullptr) installer.setConfigMode(ODBC_USER_DSN);
  if (installer.writeDsnToIni(dsn.c_str(), driver) == 0) return false;
  for (const auto& [key, value] : pairs) {
    if (key == "DSN") continue;
    if (installer.writePrivateProfileString(dsn.c_str(), key.c_str(), value.c_str(), "odbc.ini") ==
        0) {
      return false;
    }
  }
  return true;
}

// SQLConfigDataSource with the attributes as "KEY=value;" pairs: through the
// driver's setup routine when it has one, else (adding a data source) by
// writing the user's odbc.ini.
int ConfigDataSource(void* window, unsigned short request, const char* driver,
                     const char* attributes) {
  const Installer& installer = LoadInstaller();
  if (installer.configDataSource == nullptr) {
    LogError("The ODBC installer library cannot be loaded.\n");
    return 0;
  }
  try {
    const auto pairs = SplitAttributes(attributes);
    if (ConfigureThroughDriver(installer, window, request, driver, pairs)) return 1;
    if (request != ODBC_ADD_DSN) return 0;
    return WriteUserDataSource(installer, driver, pairs) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

constexpr OdbcApi kDriverManager = {
    ::SQLAllocEnv,       ::SQLAllocConnect, ::SQLAllocStmt,     ::SQLDriverConnect, ::SQLPrepare,
    ::SQLExecute,        ::SQLExecDirect,   ::SQLBindParameter, ::SQLParamData,     ::SQLPutData,
    ::SQLNumResultCols,  ::SQLDescribeCol,  ::SQLFetch,         ::SQLGetData,       ::SQLRowCount,
    ::SQLSetConnectAttr, ::SQLEndTran,      ::SQLGetDiagRec,    ::SQLCloseCursor,   ::SQLFreeStmt,
    ::SQLFreeHandle,     ::SQLDisconnect,   ConfigDataSource,   ::SQLSetStmtAttr,   ::SQLGetInfo,
    ::SQLMoreResults,    ::SQLBindCol,      ::SQLSetPos,
};

std::atomic<const OdbcApi*> g_api{&kDriverManager};

constexpr SQLSMALLINT kMaxDiagnosticRecords = 16;

// A driver that reports a lost link by its own codes: the mark its messages
// start with and the codes that mean the link (or the file) is gone.
struct DriverLinkCodes {
  const char* messageMark;
  long codes[4];  // unused places hold 0
};

constexpr DriverLinkCodes kDriverLinkCodes[] = {
    {"[ma-", {2006, 2013, 2055}},
    {"[SQLite]", {10, 11, 14, 26}},
};

// PostgreSQL's states for a session the server ended.
constexpr const char* kSessionEndedStates[] = {"57P01", "57P02", "57P03"};

// psqlODBC reports a link found gone while preparing or sending a statement
// as the general state S1000, saying so only in its message (its own text,
// or libpq's).
constexpr const char* kLinkGoneMessages[] = {
    "The connection has been lost",
    "server closed the connection unexpectedly",
    "no connection to the server",
};

bool IsLinkGone(const OdbcDiagnostic& record) {
  if (record.state.rfind("08", 0) == 0) return true;
  for (const char* state : kSessionEndedStates) {
    if (record.state == state) return true;
  }
  for (const char* text : kLinkGoneMessages) {
    if (record.message.find(text) != std::string::npos) return true;
  }
  for (const DriverLinkCodes& driver : kDriverLinkCodes) {
    if (record.message.rfind(driver.messageMark, 0) != 0) continue;
    for (long code : driver.codes) {
      if (code != 0 && record.nativeError == code) return true;
    }
  }
  return false;
}

}  // namespace

const OdbcApi& Odbc() { return *g_api.load(std::memory_order_acquire); }

const OdbcApi& DefaultOdbcApi() { return kDriverManager; }

void SetOdbcApiForTesting(const OdbcApi* api) {
  g_api.store(api != nullptr ? api : &kDriverManager, std::memory_order_release);
}

std::vector<OdbcDiagnostic> ReadOdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::vector<OdbcDiagnostic> records;
  if (handle == SQL_NULL_HANDLE) return records;
  for (SQLSMALLINT record = 1; record <= kMaxDiagnosticRecords; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN result =
        Odbc().SQLGetDiagRec(handleType, handle, record, state, &native, message,
                             static_cast<SQLSMALLINT>(sizeof message), &length);
    if (!Succeeded(result)) break;
    records.push_back({reinterpret_cast<const char*>(state), static_cast<long>(native),
                       reinterpret_cast<const char*>(message)});
  }
  return records;
}

OdbcFailure ClassifyOdbcDiagnostics(const std::vector<OdbcDiagnostic>& records) {
  for (const OdbcDiagnostic& record : records) {
    if (IsLinkGone(record)) return OdbcFailure::kConnectionLost;
  }
  return OdbcFailure::kStatement;
}

OdbcFailure LogOdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  try {
    const std::vector<OdbcDiagnostic> records = ReadOdbcDiagnostics(handleType, handle);
    for (const OdbcDiagnostic& record : records) {
      LogError("STATE: %s\n", record.state.c_str());
      LogError("NAT: %ld\n", record.nativeError);
      LogError("MSG: %s\n", record.message.c_str());
    }
    return ClassifyOdbcDiagnostics(records);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return OdbcFailure::kStatement;
  }
}

void ReportOdbcFailure(const char* line, SQLSMALLINT handleType, SQLHANDLE handle,
                       ConnectionHandle* connection) {
  LogError("%s", line);
  if (LogOdbcDiagnostics(handleType, handle) == OdbcFailure::kConnectionLost &&
      connection != nullptr) {
    fh::MarkConnectionBroken(*connection);
  }
}

}  // namespace fh::odbc
