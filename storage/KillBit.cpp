#include "storage/KillBit.h"

DWORD FlagsWithKillBit(DWORD dwFlags, bool bBlocked) {
    return bBlocked ? (dwFlags | KILL_BIT) : (dwFlags & ~KILL_BIT);
}

namespace {

// Already the wanted REG_DWORD: nothing to write.
bool HoldsWanted(const CRegKey& key, bool bBlocked, DWORD* pdwFlags) {
    DWORD dwType = REG_NONE;
    return key.QueryDword(KILL_BIT_VALUE_NAME, pdwFlags, &dwType) == RAW_DWORD &&
           dwType == REG_DWORD && *pdwFlags == FlagsWithKillBit(*pdwFlags, bBlocked);
}

bool SetBlockedInView(LPCSTR pszKeyPath, bool bBlocked, REGSAM samView) {
    // One open for both the read and the write, as an administrator has the rights for it; the
    // key is created when missing, so a cleared entry always leaves an explicit value.
    CRegKey key;
    DWORD dwFlags;
    LONG rc = key.Create(HKEY_LOCAL_MACHINE, pszKeyPath, KEY_QUERY_VALUE | KEY_SET_VALUE | samView);
    if (rc == ERROR_SUCCESS)
        return HoldsWanted(key, bBlocked, &dwFlags) ||
               key.SetDword(KILL_BIT_VALUE_NAME, FlagsWithKillBit(dwFlags, bBlocked));
    // Without write access a value that needs no change is still a success; for a control that
    // is to stay unblocked, a missing key or value is as good as a cleared bit.
    if (rc != ERROR_ACCESS_DENIED)
        return false;
    rc = key.Open(HKEY_LOCAL_MACHINE, pszKeyPath, KEY_QUERY_VALUE | samView);
    if (rc == ERROR_FILE_NOT_FOUND)
        return !bBlocked;
    return rc == ERROR_SUCCESS &&
           (HoldsWanted(key, bBlocked, &dwFlags) ||
            (!bBlocked && key.QueryDword(KILL_BIT_VALUE_NAME, &dwFlags) == RAW_MISSING));
}

} // namespace

CString KillBitKeyPath(LPCSTR pszClsid) {
    return CString("Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{") + pszClsid +
           "}";
}

bool IsBlocked(LPCSTR pszKeyPath) {
    for (REGSAM samView : RegistryViews()) {
        if ((ReadRegDword(HKEY_LOCAL_MACHINE, pszKeyPath, KILL_BIT_VALUE_NAME, samView) &
             KILL_BIT) == 0)
            return false;
    }
    return true;
}

bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked) {
    bool bAll = true;
    for (REGSAM samView : RegistryViews())
        bAll = SetBlockedInView(pszKeyPath, bBlocked, samView) && bAll;
    return bAll;
}
