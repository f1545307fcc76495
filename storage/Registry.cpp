#include "storage/Registry.h"

#include <vector>

LONG CRegKey::Open(HKEY hParent, LPCSTR pszPath, REGSAM samDesired) {
    Close();
    return ::RegOpenKeyExA(hParent, pszPath, 0, samDesired, &m_hKey);
}

LONG CRegKey::Create(HKEY hParent, LPCSTR pszPath, REGSAM samDesired) {
    Close();
    return ::RegCreateKeyExA(hParent, pszPath, 0, NULL, REG_OPTION_NON_VOLATILE, samDesired, NULL,
                             &m_hKey, NULL);
}

void CRegKey::Close() {
    if (m_hKey != NULL)
        ::RegCloseKey(m_hKey);
    m_hKey = NULL;
}

RawDwordState CRegKey::QueryDword(LPCSTR pszValueName, DWORD* pdwValue, DWORD* pdwType) const {
    *pdwValue = 0;
    DWORD dwType = REG_NONE;
    DWORD dwValue = 0;
    DWORD cbData = sizeof(dwValue);
    LONG rc = ::RegQueryValueExA(m_hKey, pszValueName, NULL, &dwType,
                                 reinterpret_cast<BYTE*>(&dwValue), &cbData);
    if (pdwType)
        *pdwType = dwType;
    if (rc == ERROR_MORE_DATA)
        return RAW_NOT_FLAGS;
    if (rc != ERROR_SUCCESS)
        return RAW_MISSING;
    if (cbData != sizeof(dwValue) || (dwType != REG_DWORD && dwType != REG_BINARY))
        return RAW_NOT_FLAGS;
    *pdwValue = dwValue;
    return RAW_DWORD;
}

bool CRegKey::QueryString(LPCSTR pszValueName, CString* pstrValue) const {
    pstrValue->Empty();
    // The value may grow between the size query and the read: ask again until it fits.
    std::vector<char> data;
    DWORD dwType = REG_NONE;
    LONG rc;
    do {
        DWORD cbData = 0;
        rc = ::RegQueryValueExA(m_hKey, pszValueName, NULL, &dwType, NULL, &cbData);
        if (rc != ERROR_SUCCESS)
            return false;
        data.resize(cbData + 1);
        cbData = static_cast<DWORD>(data.size());
        rc = ::RegQueryValueExA(m_hKey, pszValueName, NULL, &dwType,
                                reinterpret_cast<BYTE*>(data.data()), &cbData);
        if (rc == ERROR_SUCCESS)
            data.resize(cbData);
    } while (rc == ERROR_MORE_DATA);
    if (rc != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return false;
    // Stored strings need not end in a NUL, and may hold one early.
    size_t n = 0;
    while (n < data.size() && data[n] != '\0')
        ++n;
    *pstrValue = CString(data.data(), static_cast<int>(n));
    return true;
}

bool CRegKey::SetDword(LPCSTR pszValueName, DWORD dwValue) {
    return ::RegSetValueExA(m_hKey, pszValueName, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&dwValue),
                            sizeof(dwValue)) == ERROR_SUCCESS;
}

bool CRegKey::EnumKey(DWORD dwIndex, CString* pstrName) const {
    // A key name has at most 255 UTF-16 characters, which the ANSI code page may spell with up to
    // twice as many bytes: a smaller buffer would end the enumeration at a long name.
    char name[2 * 255 + 1];
    DWORD cchName = sizeof(name);
    if (::RegEnumKeyExA(m_hKey, dwIndex, name, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        return false;
    *pstrName = CString(name, static_cast<int>(cchName));
    return true;
}

DWORD ReadRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView) {
    DWORD dwValue = 0;
    ReadRawRegDword(hRoot, pszKeyPath, pszValueName, samView, &dwValue);
    return dwValue;
}

bool WriteRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, DWORD dwValue,
                   REGSAM samView) {
    CRegKey key;
    return key.Create(hRoot, pszKeyPath, KEY_SET_VALUE | samView) == ERROR_SUCCESS &&
           key.SetDword(pszValueName, dwValue);
}

RawDwordState ReadRawRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                              DWORD* pdwValue) {
    *pdwValue = 0;
    CRegKey key;
    if (key.Open(hRoot, pszKeyPath, KEY_QUERY_VALUE | samView) != ERROR_SUCCESS)
        return RAW_MISSING;
    return key.QueryDword(pszValueName, pdwValue);
}

bool ReadRegString(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                   CString* pstrValue) {
    pstrValue->Empty();
    CRegKey key;
    return key.Open(hRoot, pszKeyPath, KEY_QUERY_VALUE | samView) == ERROR_SUCCESS &&
           key.QueryString(pszValueName, pstrValue);
}

bool RegKeyExists(HKEY hParent, LPCSTR pszPath, REGSAM samView) {
    CRegKey key;
    LONG rc = key.Open(hParent, pszPath, KEY_QUERY_VALUE | samView);
    return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

namespace {

// 64-bit Windows, seen from a 32-bit process (WOW64) or from a 64-bit one.
bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    IsWow64ProcessFn pfn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL bWow64 = FALSE;
    return pfn != NULL && pfn(::GetCurrentProcess(), &bWow64) && bWow64;
#endif
}

} // namespace

CRegistryViews::CRegistryViews() : m_nCount(0) {
    if (Is64BitWindows()) {
        m_views[m_nCount++] = KEY_WOW64_32KEY;
        m_views[m_nCount++] = KEY_WOW64_64KEY;
    } else {
        m_views[m_nCount++] = 0;
    }
}

const CRegistryViews& RegistryViews() {
    // The answer never changes while the process runs, so it is asked once.
    static const CRegistryViews s_views;
    return s_views;
}
