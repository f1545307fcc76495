#include "storage/ComRegistration.h"

CString ReadComServer(const CRegKey& classKey, REGSAM samView) {
    static const char* const kServerKeys[] = {"InprocServer32", "LocalServer32"};
    for (const char* pszServerKey : kServerKeys) {
        CString strServer;
        if (ReadRegString(classKey, pszServerKey, "", samView, &strServer) && !strServer.IsEmpty())
            return strServer;
    }
    return CString();
}

bool ReadComRegistration(LPCSTR pszClsid, REGSAM samView, ComRegistration* pReg) {
    *pReg = ComRegistration();
    CRegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, CString("CLSID\\{") + pszClsid + "}",
                 KEY_QUERY_VALUE | samView) != ERROR_SUCCESS)
        return false;
    key.QueryString("", &pReg->strClassName);
    pReg->strServer = ReadComServer(key, samView);
    return true;
}

bool FindComRegistration(LPCSTR pszClsid, ComRegistration* pReg) {
    for (REGSAM samView : RegistryViews()) {
        if (ReadComRegistration(pszClsid, samView, pReg))
            return true;
    }
    return false;
}
