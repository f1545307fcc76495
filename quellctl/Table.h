// Rows of cells for the console: aligned columns for people, CSV and JSON for scripts.
#pragma once

#include "framework/String.h"

#include <string>
#include <vector>

// How a column's cells go into JSON.
enum JsonType {
    JSON_TEXT,          // a string, converted to UTF-8
    JSON_UTF8,          // a string already in UTF-8: the text and the CSV show it in the code page
    JSON_YES_NO,        // "yes" is true, anything else false
    JSON_NUMBERS,       // blank-separated decimal numbers, as an array
    JSON_LIST,          // texts joined by ", ", as an array of strings
    JSON_TEXT_OR_NULL,  // a string, or null for an empty cell
    JSON_YES_NO_OR_NULL // as JSON_YES_NO, or null for an empty cell
};

struct CColumn {
    CString strHeading; // in the text and the CSV
    LPCSTR pszField;    // in the JSON objects
    JsonType jsonType;
    bool bOnlyWhenUsed = false; // left out of the text when no cell holds more than "-"
};

class CTable {
public:
    explicit CTable(const std::vector<CColumn>& columns) : m_columns(columns) {}
    // One cell a column, in the columns' order.
    void AddRow(const std::vector<CString>& cells) { m_rows.push_back(cells); }
    size_t GetRowCount() const { return m_rows.size(); }
    // The cell of the column with that JSON field, as the text shows it before any conversion;
    // "no such column" for a field the table has not.
    CString GetCell(size_t nRow, LPCSTR pszField) const;

    // Columns two blanks apart under their headings, each as wide as its widest cell; an empty
    // cell shows as "-".
    std::string FormatText() const;
    // A heading line, then RFC 4180: a cell with a comma, a quote or a line break is quoted,
    // its quotes doubled.
    std::string FormatCsv() const;
    // One array of objects, one a row, in UTF-8.
    std::string FormatJson() const;

private:
    // The columns the text (bText) or the CSV shows.
    std::vector<size_t> ShownColumns(bool bText) const;
    std::vector<CString> Headings(const std::vector<size_t>& shown) const;
    // The row as the text and the CSV show it.
    std::vector<CString> AnsiRow(const std::vector<CString>& row,
                                 const std::vector<size_t>& shown) const;

    std::vector<CColumn> m_columns;
    std::vector<std::vector<CString>> m_rows;
};

// Columns a text takes on the console: in a double-byte code page a character of two bytes is
// two columns wide, so the width is the length in bytes.
inline int DisplayWidth(const CString& str) { return str.GetLength(); }

// At most nMaxBytes bytes of the text, cut before a character that would not fit whole.
CString LeftWholeChars(const CString& str, int nMaxBytes);

// Text in the ANSI code page as UTF-8.
std::string Utf8Text(const CString& str);

// A JSON string for text in the ANSI code page: UTF-8, with quotes, backslashes and control
// characters escaped.
std::string JsonString(const CString& str);

// UTF-8 text in the ANSI code page: Windows' best fit, or '?', for a character it lacks.
CString AnsiFromUtf8(const std::string& utf8);
