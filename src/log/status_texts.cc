#include "log/status_texts.h"

#include <cstdio>
#include <new>
#include <utility>

#include "log/log.h"
#include "platform/last_error.h"
#include "platform/system_messages.h"
#include "platform/text_conversion.h"

namespace {

// The code-text lookups ask for one line; the last-error lookup does not.
constexpr DWORD kCodeTextFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
constexpr DWORD kLastErrorFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

struct CatalogueEntry {
  DWORD code;
  const char* text;
};

constexpr CatalogueEntry kCatalogue[] = {
    {1508,
     "The requested operation is successful. Changes will not be effective until the browser is "
     "rebooted."},
    {10001, "fh.db.agent.config.script.powerscript_notfound"},
    {10002, "fh.db.agent.config.run_as_admin.credentials_not_available"},
    {10003, "fh.db.agent.config.returned_zero_failure"},
    {17021, "OfficeUpdateError: Creating temp folder."},
    {17023, "OfficeUpdateError: User cancelled installation."},
    {17024, "OfficeUpdateError: Creating folder failed."},
    {17025, "OfficeUpdateError: Patch already installed."},
    {17026, "OfficeUpdateError: Patch already installed to admin installation."},
    {17027, "OfficeUpdateError: Installation source requires full file update."},
    {17028, "OfficeUpdateError: No product installed for contained patch."},
    {17029, "OfficeUpdateError: Patch failed to install."},
    {17030, "OfficeUpdateError: Invalid CIF format."},
    {17031, "OfficeUpdateError: Invalid baseline."},
    {17034, "OfficeUpdateError: Required patch does not apply to the machine."},
    {17038,
     "OfficeUpdateError: You do not have sufficient privileges to complete this installation for "
     "all users of the machine. Log on as administrator and then retry this installation."},
    {17044, "OfficeUpdateError: Installer was unable to run detection for this package."},
    {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
    {17301, "OfficeUpdateError: General Detection error"},
    {17302, "OfficeUpdateError: Applying patch."},
    {17303, "OfficeUpdateError: Extracting file."},
    {20001, "Patch update delayed since application is used by another process"},
    {2359302,
     "Patch already Installed and the changes will not be effective until the system is "
     "rebooted."},
    {2359303,
     "Patch already Uninstalled and the changes will not be effective until the system is "
     "rebooted."},
};

// Owns a buffer the system message lookup allocated; releases it with
// LocalFree.
template <typename Char>
class SystemText {
 public:
  SystemText() = default;
  ~SystemText() {
    if (text_ != nullptr) LocalFree(text_);
  }
  SystemText(const SystemText&) = delete;
  SystemText& operator=(const SystemText&) = delete;

  Char** out() { return &text_; }
  const Char* get() const { return text_; }

 private:
  Char* text_ = nullptr;
};

void LogCodeText(DWORD code, const std::string& text) {
  if (code == 0) {
    LogInfo("Message : %s \n", text.c_str());
  } else {
    LogError("Error Code : %d , Error Message : %s \n", static_cast<int>(code), text.c_str());
  }
}

// The text without blanks (only ' ') at either end.
std::string TrimBlanks(const std::string& text) {
  const std::string::size_type first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const std::string::size_type last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string GetErrorCodeMessage(DWORD code) {
  try {
    for (const CatalogueEntry& entry : kCatalogue) {
      if (entry.code == code) return entry.text;
    }
    char generated[48];
    std::snprintf(generated, sizeof generated, "Unknown Error. Code : %d", static_cast<int>(code));
    return generated;
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

std::string GetErrorMessageText(DWORD code) {
  try {
    SystemText<WCHAR> systemText;
    const DWORD length = FormatMessageW(kCodeTextFlags, nullptr, code, LANG_NEUTRAL_DEFAULT,
                                        reinterpret_cast<LPWSTR>(systemText.out()), 0, nullptr);
    std::string text;
    if (length == 0 || systemText.get() == nullptr) {
      text = GetErrorCodeMessage(code);
    } else {
      ChangeWideToUtf8Str(systemText.get(), text);
    }
    LogCodeText(code, text);
    return text;
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

void LogErrorCodeMessage(DWORD code) { GetErrorMessageText(code); }

int LogErrorCodeMessageA(DWORD code) {
  try {
    SystemText<char> systemText;
    const DWORD length = FormatMessageA(kCodeTextFlags, nullptr, code, LANG_NEUTRAL_DEFAULT,
                                        reinterpret_cast<LPSTR>(systemText.out()), 0, nullptr);
    std::string text;
    if (length == 0 || systemText.get() == nullptr) {
      text = GetErrorCodeMessage(code);
    } else {
      text = TrimBlanks(systemText.get());
    }
    LogCodeText(code, text);
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

void LogLastErrorText() {
  const DWORD code = GetLastError();
  SystemText<char> systemText;
  FormatMessageA(kLastErrorFlags, nullptr, code, LANG_NEUTRAL_DEFAULT,
                 reinterpret_cast<LPSTR>(systemText.out()), 0, nullptr);
  LogError(" Error Message: %s\n", systemText.get() != nullptr ? systemText.get() : "(null)");
}

bool ChangeWideToUtf8Str(const WCHAR* wide, std::string& utf8) {
  try {
    utf8.clear();
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string buffer(static_cast<std::string::size_type>(needed > 0 ? needed : 0) + 1, '\0');
    const int written = needed > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer.data(),
                                                         needed, nullptr, nullptr)
                                   : 0;
    if (written == 0) {
      LogLastErrorText();
      return false;
    }
    // The converted text ends at its terminator; the spare bytes go.
    buffer.resize(buffer.find('\0'));
    utf8 = std::move(buffer);
    return true;
  } catch (const std::bad_alloc&) {
    utf8.clear();
    return false;
  }
}
