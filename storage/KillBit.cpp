#include "storage/KillBit.h"

namespace {

// The four bytes of a value, whatever its type; false when it is missing or not four bytes.
bool QueryDword(HKEY hKey, LPCSTR pszValueName, DWORD* pdwType, DWORD* pdwValue) {
    DWORD dwValue = 0;
    DWORD cbData = sizeof(dwValue);
    if (::RegQueryValueExA(hKey, pszValueName, NULL, pdwType, reinterpret_cast<BYTE*>(&dwValue),
                           &cbData) != ERROR_SUCCESS ||
        cbData != sizeof(dwValue)) {
        *pdwValue = 0;
        return false;
    }
    *pdwValue = dwValue;
    return true;
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

bool IsWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    IsWow64ProcessFn pfn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL bWow64 = FALSE;
    return pfn != NULL && pfn(::GetCurrentProcess(), &bWow64) && bWow64;
}

bool SetBlockedInView(LPCSTR pszKeyPath, bool bBlocked, REGSAM samView) {
    // The key is created when missing, so a cleared entry always leaves an explicit value.
    HKEY hKey;
    if (!CreateKey(HKEY_LOCAL_MACHINE, pszKeyPath, KEY_QUERY_VALUE | KEY_SET_VALUE | samView,
                   &hKey))
        return false;
    DWORD dwType = REG_NONE;
    DWORD dwFlags;
    bool bPresent = QueryDword(hKey, KILL_BIT_VALUE_NAME, &dwType, &dwFlags);
    DWORD dwWanted = bBlocked ? (dwFlags | KILL_BIT) : (dwFlags & ~KILL_BIT);
    // A value that already is the wanted REG_DWORD is left alone: one call fewer per entry.
    bool bStored = (bPresent && dwType == REG_DWORD && dwFlags == dwWanted) ||
                   SetDword(hKey, KILL_BIT_VALUE_NAME, dwWanted);
    ::RegCloseKey(hKey);
    return bStored;
}

} // namespace

DWORD ReadRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView) {
    HKEY hKey;
    if (::RegOpenKeyExA(hRoot, pszKeyPath, 0, KEY_QUERY_VALUE | samView, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwType;
    DWORD dwValue;
    QueryDword(hKey, pszValueName, &dwType, &dwValue);
    ::RegCloseKey(hKey);
    return dwValue;
}

bool WriteRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, DWORD dwValue,
                   REGSAM samView) {
    HKEY hKey;
    if (!CreateKey(hRoot, pszKeyPath, KEY_SET_VALUE | samView, &hKey))
        return false;
    bool bStored = SetDword(hKey, pszValueName, dwValue);
    ::RegCloseKey(hKey);
    return bStored;
}

CString KillBitKeyPath(LPCSTR pszClsid) {
    return CString("Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{") + pszClsid +
           "}";
}

int GetKillBitViews(REGSAM* pViews) {
    // A process's WOW64 state never changes, so it is asked once.
    static const bool s_bWow64 = IsWow64();
    if (!s_bWow64) {
        pViews[0] = 0;
        return 1;
    }
    pViews[0] = KEY_WOW64_32KEY;
    pViews[1] = KEY_WOW64_64KEY;
    return 2;
}

bool IsBlocked(LPCSTR pszKeyPath) {
    REGSAM views[2];
    int nViews = GetKillBitViews(views);
    for (int i = 0; i < nViews; ++i) {
        if ((ReadRegDword(HKEY_LOCAL_MACHINE, pszKeyPath, KILL_BIT_VALUE_NAME, views[i]) &
             KILL_BIT) == 0)
            return false;
    }
    return true;
}

bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked) {
    REGSAM views[2];
    int nViews = GetKillBitViews(views);
    bool bAll = true;
    for (int i = 0; i < nViews; ++i)
        bAll = SetBlockedInView(pszKeyPath, bBlocked, views[i]) && bAll;
    return bAll;
}
