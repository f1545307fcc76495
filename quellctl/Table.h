// Rows of cells for the console: aligned columns for people, CSV for scripts.
#pragma once

#include "framework/String.h"

#include <string>
#include <vector>

class CTable {
public:
    void AddRow(const std::vector<CString>& cells) { m_rows.push_back(cells); }

    // Columns two blanks apart, each as wide as its widest cell; an empty cell shows as "-".
    std::string FormatText() const;
    // RFC 4180: a cell with a comma, a quote or a line break is quoted, its quotes doubled.
    std::string FormatCsv() const;

private:
    std::vector<std::vector<CString>> m_rows;
};

// Columns a text takes on the console: in a double-byte code page a character of two bytes is
// two columns wide, so this counts whole characters by their bytes, never characters.
int DisplayWidth(const CString& str);
