#include "storage/KnownKillBits.h"

#include "storage/ClsidText.h"

#include <string.h>

#include <algorithm>

namespace {

struct KnownRow {
    unsigned char clsid[16]; // in the order of the text's digits: sorted as the texts are
    unsigned char document;  // index into kDocuments
};

#include "KnownKillBitRows.inc"

const int kRowCount = static_cast<int>(sizeof(kRows) / sizeof(kRows[0]));

bool RowBefore(const KnownRow& row, const unsigned char* clsid) {
    return memcmp(row.clsid, clsid, sizeof(row.clsid)) < 0;
}

bool SameClsid(int nRow, const unsigned char* clsid) {
    return memcmp(kRows[nRow].clsid, clsid, sizeof(kRows[nRow].clsid)) == 0;
}

// The control of the rows from nFirstRow on that share its CLSID.
KnownControl ControlAt(int nFirstRow) {
    KnownControl control = {CString(), CString(), nFirstRow, 0};
    const unsigned char* clsid = kRows[nFirstRow].clsid;
    // Not sprintf: its MinGW implementation would be most of what the catalogue adds.
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        const char digits[3] = {kHex[clsid[i] >> 4], kHex[clsid[i] & 15], '\0'};
        control.strClsid += digits;
        if (i == 3 || i == 5 || i == 7 || i == 9)
            control.strClsid += "-";
    }
    for (int nRow = nFirstRow; nRow < kRowCount && SameClsid(nRow, clsid); ++nRow) {
        if (control.nRowCount++ > 0)
            control.strDocuments += ", ";
        control.strDocuments += kDocuments[kRows[nRow].document];
    }
    return control;
}

int HexValue(char ch) { return ch <= '9' ? ch - '0' : ch - 'A' + 10; }

} // namespace

std::vector<KnownControl> KnownControls() {
    std::vector<KnownControl> controls;
    for (int nRow = 0; nRow < kRowCount; nRow += controls.back().nRowCount)
        controls.push_back(ControlAt(nRow));
    return controls;
}

CString KnownKillBitDocuments(LPCSTR pszClsid) {
    CString strClsid;
    if (!ParseClsid(pszClsid, &strClsid))
        return CString();
    unsigned char clsid[16];
    for (int i = 0, nDigit = 0; i < 16; ++i, nDigit += 2) {
        if (strClsid[nDigit] == '-')
            ++nDigit;
        clsid[i] = static_cast<unsigned char>(HexValue(strClsid[nDigit]) * 16 +
                                              HexValue(strClsid[nDigit + 1]));
    }
    const KnownRow* pRow = std::lower_bound(kRows, kRows + kRowCount, clsid, RowBefore);
    int nRow = static_cast<int>(pRow - kRows);
    return nRow < kRowCount && SameClsid(nRow, clsid) ? ControlAt(nRow).strDocuments : CString();
}
