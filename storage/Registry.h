// The registry as Quellbox reads and writes it: keys opened in one registry view, flag values,
// strings, subkeys, and the views a 32-bit program has to cover. Every call reports failure
// through its result; nothing here is ever shown to a user.
#pragma once

#include "framework/String.h"

// samView arguments: 0 for the process's own view, KEY_WOW64_32KEY or KEY_WOW64_64KEY.

enum RawDwordState {
    RAW_MISSING,   // no key or no value
    RAW_DWORD,     // a REG_DWORD, or a REG_BINARY of four bytes
    RAW_NOT_FLAGS, // present but of another type or length: it holds no flags and counts as 0
};

// An open key, closed when it goes out of scope.
class CRegKey {
public:
    CRegKey() : m_hKey(NULL) {}
    ~CRegKey() { Close(); }

    // samDesired is the access wanted, with the view; the result is the system's error code.
    LONG Open(HKEY hParent, LPCSTR pszPath, REGSAM samDesired);
    // Opens the key, creating it and every missing parent first.
    LONG Create(HKEY hParent, LPCSTR pszPath, REGSAM samDesired);
    void Close();
    operator HKEY() const { return m_hKey; }

    // A value as flags; *pdwValue is 0 unless RAW_DWORD. RegQueryValueExA hands a string out
    // converted, so "400" would read as 0x00303034: only the two types that hold numbers count.
    RawDwordState QueryDword(LPCSTR pszValueName, DWORD* pdwValue, DWORD* pdwType = NULL) const;
    // A REG_SZ or REG_EXPAND_SZ value (not expanded), up to its first NUL; NULL or "" reads
    // the default value. False for a missing value or one of another type.
    bool QueryString(LPCSTR pszValueName, CString* pstrValue) const;
    // Whether the value is there, of any type.
    bool HasValue(LPCSTR pszValueName) const {
        return ::RegQueryValueExA(m_hKey, pszValueName, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    }
    bool SetDword(LPCSTR pszValueName, DWORD dwValue);
    // The name of subkey dwIndex (0, 1, 2, ...); false past the last one.
    bool EnumKey(DWORD dwIndex, CString* pstrName) const;

private:
    CRegKey(const CRegKey&);
    CRegKey& operator=(const CRegKey&);

    HKEY m_hKey;
};

// The value as a 32-bit number; 0 when the key or the value is missing, unreadable, or not a
// REG_DWORD or a four-byte REG_BINARY.
DWORD ReadRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView = 0);
// Stores a REG_DWORD, creating the key and its parents when missing.
bool WriteRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, DWORD dwValue,
                   REGSAM samView = 0);
// The same reads as CRegKey's, for a key opened just for them.
RawDwordState ReadRawRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                              DWORD* pdwValue);
bool ReadRegString(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                   CString* pstrValue);
// True when the key is there, even when the user may not read it.
bool RegKeyExists(HKEY hParent, LPCSTR pszPath, REGSAM samView);

// The views that Internet Explorer and COM may read: on 64-bit Windows the 32-bit and the 64-bit
// one, else just the one there is (0). Walk them with a range for.
class CRegistryViews {
public:
    CRegistryViews();
    const REGSAM* begin() const { return m_views; }
    const REGSAM* end() const { return m_views + m_nCount; }
    int GetCount() const { return m_nCount; }

private:
    REGSAM m_views[2];
    int m_nCount;
};
const CRegistryViews& RegistryViews();
