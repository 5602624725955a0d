// The registry calls, with Win32 arguments, results and error codes, over
// the text hives of registry_store.h.
//
// Every call returns 0 or a Win32 code and also leaves that code as the
// thread's last error. Codes: 2 missing key or value, 5 access denied (the
// key handle lacks the right, or the process may not read or write the
// hive), 6 invalid key handle, 87 invalid argument, 234 buffer too small,
// 1009 hive cannot be parsed, 1018 the handle's key has been removed from
// the hive meanwhile, 8 out of memory.
//
// Keys:
// - Paths are '\'-separated below the root; runs of '\' count as one and
//   leading or trailing ones are ignored; a null or empty subkey names the
//   key hKey itself. A path holding a line feed or carriage return is
//   refused with 87. Names are UTF-8 ("narrow" code page), compared without
//   regard to letter case and kept in the case they were created with.
// - Views: the process behaves as a 32-bit process on 64-bit Windows. Under
//   HKEY_LOCAL_MACHINE, a path whose first component is SOFTWARE (any case)
//   is redirected to SOFTWARE\WOW6432Node\... unless samDesired carries
//   KEY_WOW64_64KEY; a path already naming WOW6432Node there is used as
//   given. A handle keeps its view: keys opened relative to it stay in it.
// - A handle keeps its access mask: setting or deleting a value needs
//   KEY_SET_VALUE, querying needs KEY_QUERY_VALUE (otherwise 5). Opening or
//   creating with a write right (KEY_SET_VALUE, KEY_CREATE_SUB_KEY,
//   KEY_CREATE_LINK, DELETE, WRITE_DAC, WRITE_OWNER, or a generic right that
//   maps to one) fails with 5 when the process may not write the hive.
// - HKEY values other than the predefined roots are handles this layer
//   returned; they are owned by it until RegCloseKey. The predefined roots
//   are never freed (RegCloseKey returns 0 for them).
// - Volatile keys and security attributes are accepted and ignored; every
//   key is stored in the hive.
//
// Thread safety: every call may be made from any thread; a handle may be
// used from several threads but must not be closed while in use.
#pragma once

#include <cstddef>

#include "platform/win32_types.h"

// Creates the key (every missing level of the path) or opens it when it
// exists. *lpdwDisposition (when not null) is 1 for a new key, 2 for an
// existing one. *phkResult receives the new handle, or null on failure.
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes,
                     PHKEY phkResult, DWORD* lpdwDisposition);

// Opens an existing key (2 when it does not exist).
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);

// Stores cbData bytes at lpData as the value named lpValueName (null or
// empty: the key's default value) with type dwType, exactly as given: the
// bytes and the type code are not checked or converted.
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);

// Reads a value. lpType (optional) receives the type. With lpData null,
// *lpcbData receives the size; otherwise *lpcbData is the buffer's size on
// entry and the data's size on return, and a buffer that is too small gives
// 234 with the needed size in *lpcbData (the buffer's content is then
// unspecified; nothing is written beyond *lpcbData bytes). lpReserved must be
// null.
//
// The narrow call returns string values (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) converted from their stored UTF-16 to UTF-8, unit for unit:
// terminators stay terminators (none is added to a string stored without
// one), an odd last byte is ignored, unpaired surrogates become U+FFFD. Other
// types, and every value in the wide call, come back as stored.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData);

// Deletes the value (never the key); 2 when it does not exist.
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

// Frees a handle (6 for a handle this layer does not know).
LONG RegCloseKey(HKEY hKey);

namespace fh {

// Number of open key handles (the predefined roots do not count).
std::size_t OpenRegistryKeyCount();

// Closes every open key handle and forgets the cached hives. For tests.
void ResetRegistryState();

}  // namespace fh
