#include "storage/ComRegistration.h"

#include "storage/KillBit.h"

#include <vector>

namespace {

bool QueryRaw(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView, DWORD* pdwType,
              std::vector<BYTE>* pData) {
    HKEY hKey;
    if (::RegOpenKeyExA(hRoot, pszKeyPath, 0, KEY_QUERY_VALUE | samView, &hKey) != ERROR_SUCCESS)
        return false;
    // The value may grow between the size query and the read: ask again until it fits.
    LONG rc;
    do {
        DWORD cbData = 0;
        rc = ::RegQueryValueExA(hKey, pszValueName, NULL, pdwType, NULL, &cbData);
        if (rc != ERROR_SUCCESS)
            break;
        pData->resize(cbData + 2);
        cbData = static_cast<DWORD>(pData->size());
        rc = ::RegQueryValueExA(hKey, pszValueName, NULL, pdwType, pData->data(), &cbData);
        if (rc == ERROR_SUCCESS)
            pData->resize(cbData);
    } while (rc == ERROR_MORE_DATA);
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

} // namespace

bool ReadRegString(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                   CString* pstrValue) {
    pstrValue->Empty();
    DWORD dwType;
    std::vector<BYTE> data;
    if (!QueryRaw(hRoot, pszKeyPath, pszValueName, samView, &dwType, &data) ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return false;
    // Stored strings need not end in a NUL, and may hold one early.
    size_t n = 0;
    while (n < data.size() && data[n] != 0)
        ++n;
    *pstrValue = CString(reinterpret_cast<const char*>(data.data()), static_cast<int>(n));
    return true;
}

RawDwordState ReadRawRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                              DWORD* pdwValue) {
    *pdwValue = 0;
    DWORD dwType;
    std::vector<BYTE> data;
    if (!QueryRaw(hRoot, pszKeyPath, pszValueName, samView, &dwType, &data))
        return RAW_MISSING;
    if (data.size() != sizeof(DWORD))
        return RAW_NOT_FOUR;
    memcpy(pdwValue, data.data(), sizeof(DWORD));
    return RAW_DWORD;
}

bool ReadComRegistration(LPCSTR pszClsid, REGSAM samView, ComRegistration* pReg) {
    *pReg = ComRegistration();
    CString strKey = CString("CLSID\\{") + pszClsid + "}";
    HKEY hKey;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, strKey, 0, KEY_QUERY_VALUE | samView, &hKey) !=
        ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    ReadRegString(HKEY_CLASSES_ROOT, strKey, "", samView, &pReg->strClassName);
    static const char* const kServerKeys[] = {"InprocServer32", "LocalServer32"};
    for (const char* pszServerKey : kServerKeys) {
        CString strServer;
        if (ReadRegString(HKEY_CLASSES_ROOT, strKey + "\\" + pszServerKey, "", samView,
                          &strServer) &&
            !strServer.IsEmpty()) {
            pReg->strServer = strServer;
            break;
        }
    }
    return true;
}

bool FindComRegistration(LPCSTR pszClsid, ComRegistration* pReg) {
    REGSAM views[2];
    int nViews = GetKillBitViews(views);
    for (int i = 0; i < nViews; ++i) {
        if (ReadComRegistration(pszClsid, views[i], pReg))
            return true;
    }
    return false;
}

bool HoldsKillBitState(LPCSTR pszKeyPath, bool bBlocked) {
    REGSAM views[2];
    int nViews = GetKillBitViews(views);
    for (int i = 0; i < nViews; ++i) {
        DWORD dwFlags;
        if (ReadRawRegDword(HKEY_LOCAL_MACHINE, pszKeyPath, KILL_BIT_VALUE_NAME, views[i],
                            &dwFlags) != RAW_DWORD ||
            ((dwFlags & KILL_BIT) != 0) != bBlocked)
            return false;
    }
    return true;
}
