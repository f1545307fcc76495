#include "storage/ClsidText.h"

void NormalizeClsid(CString& strClsid) {
    strClsid.TrimLeft();
    strClsid.TrimRight();
    strClsid.MakeUpper();
}

namespace {

bool IsHyphenPlace(int i) { return i == 8 || i == 13 || i == 18 || i == 23; }

} // namespace

TypedClsid CheckTypedClsid(const CString& strClsid) {
    if (strClsid.GetLength() != CLSID_TEXT_LENGTH)
        return CLSID_WRONG_LENGTH;
    for (int i = 0; i < CLSID_TEXT_LENGTH; ++i) {
        if (IsHyphenPlace(i) && strClsid[i] != '-')
            return CLSID_HYPHEN_MISSING;
    }
    return CLSID_TYPED_OK;
}

bool ParseClsid(LPCSTR pszText, CString* pstrClsid) {
    CString strClsid(pszText);
    NormalizeClsid(strClsid);
    int nLength = strClsid.GetLength();
    if (nLength >= 2 && strClsid[0] == '{' && strClsid[nLength - 1] == '}')
        strClsid = strClsid.Mid(1, nLength - 2);
    // The typed form, and hexadecimal digits between the hyphens.
    if (CheckTypedClsid(strClsid) != CLSID_TYPED_OK)
        return false;
    for (int i = 0; i < CLSID_TEXT_LENGTH; ++i) {
        char ch = strClsid[i];
        if (!IsHyphenPlace(i) && !((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F')))
            return false;
    }
    *pstrClsid = strClsid;
    return true;
}
