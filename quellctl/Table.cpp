#include "quellctl/Table.h"

namespace {

bool NeedsQuotes(const CString& str) {
    LPCSTR begin = str;
    LPCSTR end = begin + str.GetLength();
    for (LPCSTR p = begin; p < end; p += AfxCharLength(p, end)) {
        if (AfxCharLength(p, end) == 1 && (*p == ',' || *p == '"' || *p == '\r' || *p == '\n'))
            return true;
    }
    return false;
}

std::string CsvCell(const CString& str) {
    if (!NeedsQuotes(str))
        return std::string(str, str.GetLength());
    std::string cell = "\"";
    LPCSTR begin = str;
    LPCSTR end = begin + str.GetLength();
    for (LPCSTR p = begin; p < end;) {
        int n = AfxCharLength(p, end);
        if (n == 1 && *p == '"')
            cell += '"';
        cell.append(p, n);
        p += n;
    }
    return cell + "\"";
}

} // namespace

int DisplayWidth(const CString& str) {
    LPCSTR begin = str;
    LPCSTR end = begin + str.GetLength();
    int nWidth = 0;
    for (LPCSTR p = begin; p < end;) {
        int n = AfxCharLength(p, end);
        nWidth += n;
        p += n;
    }
    return nWidth;
}

std::string CTable::FormatText() const {
    std::vector<int> widths;
    for (const std::vector<CString>& row : m_rows) {
        if (widths.size() < row.size())
            widths.resize(row.size(), 1);
        for (size_t i = 0; i < row.size(); ++i) {
            int nWidth = DisplayWidth(row[i]);
            if (nWidth > widths[i])
                widths[i] = nWidth;
        }
    }
    std::string text;
    for (const std::vector<CString>& row : m_rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            CString cell = row[i].IsEmpty() ? CString("-") : row[i];
            text.append(cell, cell.GetLength());
            // No blanks after the last column: they would only make lines longer.
            if (i + 1 < row.size())
                text.append(widths[i] - DisplayWidth(cell) + 2, ' ');
        }
        text += '\n';
    }
    return text;
}

std::string CTable::FormatCsv() const {
    std::string text;
    for (const std::vector<CString>& row : m_rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += ',';
            text += CsvCell(row[i]);
        }
        text += '\n';
    }
    return text;
}
