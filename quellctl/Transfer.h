// The files quellctl exchanges with other machines: .reg files for "reg import", and lists of
// CLSIDs to add to the list.
#pragma once

#include "storage/EntryList.h"

#include <string>
#include <vector>

// A regedit 5 file (UTF-16LE with byte-order mark, CRLF) that gives every entry's
// "Compatibility Flags" the value it has now, in every registry view; a missing value or one
// that is not four bytes long is written as 0, which is what it counts as.
std::string BuildRegFile(const std::vector<Entry>& entries);

struct ImportLine {
    int nLine;           // 1-based, in the file
    CString strText;     // the whole line, for messages
    CString strClsid;    // the CLSID as written, not yet checked
    CString strName;     // empty: none given
    bool bRepeatAllowed; // a .reg file names each control once per registry view
};

// The candidate lines of a file's bytes, which are UTF-16LE or UTF-8 with a byte-order mark, or
// in the ANSI code page. A file that starts like a .reg file gives its "ActiveX Compatibility" key
// lines, each named by a ';' comment on the line before; any other gives every non-blank line
// as "CLSID [name]".
std::vector<ImportLine> ParseImportFile(const std::string& bytes);
