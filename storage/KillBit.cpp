#include "storage/KillBit.h"

namespace {

const char kFlagsValue[] = "Compatibility Flags";

DWORD QueryDword(HKEY hKey, LPCSTR pszValueName) {
    DWORD dwValue = 0;
    DWORD cbData = sizeof(dwValue);
    if (::RegQueryValueExA(hKey, pszValueName, NULL, NULL, reinterpret_cast<BYTE*>(&dwValue),
                           &cbData) != ERROR_SUCCESS ||
        cbData != sizeof(dwValue))
        return 0;
    return dwValue;
}

bool SetDword(HKEY hKey, LPCSTR pszValueName, DWORD dwValue) {
    return ::RegSetValueExA(hKey, pszValueName, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&dwValue),
                            sizeof(dwValue)) == ERROR_SUCCESS;
}

bool CreateKey(HKEY hRoot, LPCSTR pszKeyPath, REGSAM samDesired, HKEY* phKey) {
    return ::RegCreateKeyExA(hRoot, pszKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE, samDesired, NULL,
                             phKey, NULL) == ERROR_SUCCESS;
}

} // namespace

DWORD ReadRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName) {
    HKEY hKey;
    if (::RegOpenKeyExA(hRoot, pszKeyPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwValue = QueryDword(hKey, pszValueName);
    ::RegCloseKey(hKey);
    return dwValue;
}

bool WriteRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, DWORD dwValue) {
    HKEY hKey;
    if (!CreateKey(hRoot, pszKeyPath, KEY_SET_VALUE, &hKey))
        return false;
    bool bStored = SetDword(hKey, pszValueName, dwValue);
    ::RegCloseKey(hKey);
    return bStored;
}

CString KillBitKeyPath(LPCSTR pszClsid) {
    return CString("Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{") + pszClsid +
           "}";
}

bool IsBlocked(LPCSTR pszKeyPath) {
    return (ReadRegDword(HKEY_LOCAL_MACHINE, pszKeyPath, kFlagsValue) & KILL_BIT) != 0;
}

bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked) {
    // One open for the read and the write: the key is created when missing, so a cleared
    // entry always leaves an explicit 0 behind.
    HKEY hKey;
    if (!CreateKey(HKEY_LOCAL_MACHINE, pszKeyPath, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey))
        return false;
    DWORD dwFlags = QueryDword(hKey, kFlagsValue);
    dwFlags = bBlocked ? (dwFlags | KILL_BIT) : (dwFlags & ~KILL_BIT);
    bool bStored = SetDword(hKey, kFlagsValue, dwFlags);
    ::RegCloseKey(hKey);
    return bStored;
}
