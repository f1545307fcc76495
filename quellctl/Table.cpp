#include "quellctl/Table.h"

#include <stdio.h>

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

// Quotes, backslashes and control characters escaped; every byte to escape is ASCII, and UTF-8
// uses no ASCII byte inside a character.
std::string JsonUtf8String(const std::string& utf8) {
    std::string json = "\"";
    for (char ch : utf8) {
        if (ch == '"' || ch == '\\') {
            json += '\\';
            json += ch;
        } else if (ch == '\n') {
            json += "\\n";
        } else if (ch == '\r') {
            json += "\\r";
        } else if (ch == '\t') {
            json += "\\t";
        } else if (ch >= 0 && ch < 0x20) {
            char escape[8];
            sprintf(escape, "\\u%04X", static_cast<unsigned>(ch));
            json += escape;
        } else {
            json += ch;
        }
    }
    return json + "\"";
}

std::string JsonValue(const CString& strCell, JsonType type) {
    switch (type) {
    case JSON_UTF8:
        return JsonUtf8String(std::string(strCell, strCell.GetLength()));
    case JSON_LIST: {
        // ", " is two bytes below 0x40, whole characters wherever they are: found byte-wise.
        std::string array;
        LPCSTR p = strCell;
        LPCSTR end = p + strCell.GetLength();
        while (p < end) {
            LPCSTR next = strstr(p, ", ");
            if (next == NULL)
                next = end;
            array +=
                (array.empty() ? "" : ",") + JsonString(CString(p, static_cast<int>(next - p)));
            p = next < end ? next + 2 : end;
        }
        return "[" + array + "]";
    }
    case JSON_YES_NO:
        return strCell.Compare("yes") == 0 ? "true" : "false";
    case JSON_YES_NO_OR_NULL:
        return strCell.IsEmpty() ? "null" : JsonValue(strCell, JSON_YES_NO);
    case JSON_TEXT_OR_NULL:
        return strCell.IsEmpty() ? "null" : JsonString(strCell);
    case JSON_NUMBERS: {
        // Digits and blanks only, so the bytes can be taken one by one.
        std::string array = "[";
        bool bInNumber = false;
        for (LPCSTR p = strCell; *p; ++p) {
            bool bDigit = *p >= '0' && *p <= '9';
            if (bDigit && !bInNumber && array.size() > 1)
                array += ',';
            if (bDigit)
                array += *p;
            bInNumber = bDigit;
        }
        return array + "]";
    }
    case JSON_TEXT:
        break;
    }
    return JsonString(strCell);
}

} // namespace

CString LeftWholeChars(const CString& str, int nMaxBytes) {
    LPCSTR begin = str;
    return str.Left(AfxWholeCharsIn(begin, begin + str.GetLength(), nMaxBytes));
}

std::string Utf8Text(const CString& str) {
    std::vector<wchar_t> wide = AfxWiden(str, str.GetLength());
    return AfxNarrow(wide.data(), static_cast<int>(wide.size()), CP_UTF8);
}

std::string JsonString(const CString& str) { return JsonUtf8String(Utf8Text(str)); }

CString AnsiFromUtf8(const std::string& utf8) {
    std::vector<wchar_t> wide = AfxWiden(utf8.data(), static_cast<int>(utf8.size()), CP_UTF8);
    std::string ansi = AfxNarrow(wide.data(), static_cast<int>(wide.size()));
    return CString(ansi.data(), static_cast<int>(ansi.size()));
}

CString CTable::GetCell(size_t nRow, LPCSTR pszField) const {
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (strcmp(m_columns[i].pszField, pszField) == 0)
            return i < m_rows[nRow].size() ? m_rows[nRow][i] : CString();
    }
    return "no such column";
}

std::vector<size_t> CTable::ShownColumns(bool bText) const {
    std::vector<size_t> shown;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        bool bUsed = !bText || !m_columns[i].bOnlyWhenUsed;
        for (size_t nRow = 0; !bUsed && nRow < m_rows.size(); ++nRow)
            bUsed = i < m_rows[nRow].size() && strspn(m_rows[nRow][i], "- ") <
                                                   static_cast<size_t>(m_rows[nRow][i].GetLength());
        if (bUsed)
            shown.push_back(i);
    }
    return shown;
}

std::vector<CString> CTable::Headings(const std::vector<size_t>& shown) const {
    std::vector<CString> headings;
    for (size_t i : shown)
        headings.push_back(m_columns[i].strHeading);
    return headings;
}

std::vector<CString> CTable::AnsiRow(const std::vector<CString>& row,
                                     const std::vector<size_t>& shown) const {
    std::vector<CString> cells;
    for (size_t i : shown) {
        CString cell = i < row.size() ? row[i] : CString();
        if (m_columns[i].jsonType == JSON_UTF8)
            cell = AnsiFromUtf8(std::string(cell, cell.GetLength()));
        cells.push_back(cell);
    }
    return cells;
}

std::string CTable::FormatText() const {
    const std::vector<size_t> shown = ShownColumns(true);
    std::vector<int> widths;
    for (const CString& heading : Headings(shown))
        widths.push_back(DisplayWidth(heading));
    std::vector<std::vector<CString>> rows;
    for (const std::vector<CString>& row : m_rows)
        rows.push_back(AnsiRow(row, shown));
    for (const std::vector<CString>& row : rows) {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            int nWidth = row[i].IsEmpty() ? 1 : DisplayWidth(row[i]);
            if (nWidth > widths[i])
                widths[i] = nWidth;
        }
    }
    std::string text;
    auto appendLine = [&](const std::vector<CString>& cells) {
        for (size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
            const CString cell = cells[i].IsEmpty() ? CString("-") : cells[i];
            text.append(cell, cell.GetLength());
            // No blanks after the last column: they would only make lines longer.
            if (i + 1 < cells.size())
                text.append(widths[i] - DisplayWidth(cell) + 2, ' ');
        }
        text += '\n';
    };
    appendLine(Headings(shown));
    for (const std::vector<CString>& row : rows)
        appendLine(row);
    return text;
}

std::string CTable::FormatCsv() const {
    std::string text;
    auto appendLine = [&](const std::vector<CString>& cells) {
        for (size_t i = 0; i < cells.size(); ++i)
            text += (i > 0 ? "," : "") + CsvCell(cells[i]);
        text += '\n';
    };
    const std::vector<size_t> shown = ShownColumns(false);
    appendLine(Headings(shown));
    for (const std::vector<CString>& row : m_rows)
        appendLine(AnsiRow(row, shown));
    return text;
}

std::string CTable::FormatJson() const {
    std::string text = "[";
    for (size_t nRow = 0; nRow < m_rows.size(); ++nRow) {
        const std::vector<CString>& row = m_rows[nRow];
        text += nRow == 0 ? "\n{" : ",\n{";
        for (size_t i = 0; i < row.size() && i < m_columns.size(); ++i) {
            if (i > 0)
                text += ", ";
            text += std::string("\"") + m_columns[i].pszField +
                    "\": " + JsonValue(row[i], m_columns[i].jsonType);
        }
        text += "}";
    }
    return text + (m_rows.empty() ? "]\n" : "\n]\n");
}
