// What the commands share: counts, names for the list, and tables in each format.
#include "quellctl/Commands.h"

const char PARTLY_BLOCKED[] = "is blocked in some registry views only; block or unblock it first";

namespace {

// The dialog's limit for a name.
const int kMaxNameBytes = 50;

} // namespace

std::string Count(int n, LPCSTR pszOne, LPCSTR pszMany) {
    return std::to_string(n) + " " + (n == 1 ? pszOne : pszMany);
}

CString NameToList(const CString& strText, const CString& strClsid) {
    CString strName = strText;
    // Control characters are single bytes below every trail byte: replaced in place.
    LPSTR psz = strName.GetBuffer(strName.GetLength());
    for (LPSTR p = psz; *p; ++p) {
        if (*p > 0 && *p < 0x20)
            *p = ' ';
    }
    strName.ReleaseBuffer();
    strName.TrimLeft();
    strName = LeftWholeChars(strName, kMaxNameBytes);
    strName.TrimRight();
    return strName.IsEmpty() ? strClsid : strName;
}

std::string FormatTable(const CTable& table, OutputFormat format) {
    switch (format) {
    case FORMAT_CSV:
        return table.FormatCsv();
    case FORMAT_JSON:
        return table.FormatJson();
    case FORMAT_TEXT:
        break;
    }
    return table.FormatText();
}
