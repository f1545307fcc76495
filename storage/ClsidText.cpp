#include "storage/ClsidText.h"

void NormalizeClsid(CString& strClsid) {
    strClsid.TrimLeft();
    strClsid.TrimRight();
    strClsid.MakeUpper();
}

bool ParseClsid(LPCSTR pszText, CString* pstrClsid) {
    CString strClsid(pszText);
    NormalizeClsid(strClsid);
    int nLength = strClsid.GetLength();
    if (nLength >= 2 && strClsid[0] == '{' && strClsid[nLength - 1] == '}')
        strClsid = strClsid.Mid(1, nLength - 2);
    if (strClsid.GetLength() != 36)
        return false;
    for (int i = 0; i < 36; ++i) {
        char ch = strClsid[i];
        bool bHyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        bool bHex = (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F');
        if (bHyphenPlace ? ch != '-' : !bHex)
            return false;
    }
    *pstrClsid = strClsid;
    return true;
}
