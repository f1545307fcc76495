// The files quellctl exchanges with other machines: .reg files for "reg import", Group Policy
// Preferences files, and lists of CLSIDs to add to the list.
#pragma once

#include "storage/EntryList.h"

#include <string>
#include <vector>

// One REG_DWORD an export sets under HKEY_LOCAL_MACHINE\<strKeyPath>: "Compatibility Flags", or
// Office's "ActivationFilterOverride".
struct ExportValue {
    CString strKeyPath; // no hive, no leading backslash
    LPCSTR pszValueName;
    DWORD dwValue;
};

// A listed control and every value the exports set for it.
struct ExportControl {
    CString strName;
    std::vector<ExportValue> values;
};

// What every export carries for each entry: its "Compatibility Flags" as they are now (a missing
// value or one that holds no number counts as 0), with the kill bit as the list shows it (set
// when it is set in every view),
// under both SOFTWARE\Wow6432Node\... (read from the 32-bit view) and SOFTWARE\... (the 64-bit
// view). On 32-bit Windows both take the one view's flags, so that a file made there blocks
// in both views of a 64-bit machine.
// With READER_OFFICE in readers, Office's keys that apply on this machine come after
// Internet Explorer's, each under the path of its view, with the flags and the override that key
// holds: a key without a value has nothing to carry.
std::vector<ExportControl> DescribeExport(const std::vector<Entry>& entries, unsigned readers);

// The export formats: each builds its file's bytes, or says in *pstrError why it cannot.

// A regedit 5 file (UTF-16LE with byte-order mark, CRLF): a "; name" comment, the key and the
// value, for every value of every control.
bool BuildRegFile(const std::vector<ExportControl>& controls, std::string* pBytes,
                  CString* pstrError);

// A Group Policy Preferences Registry.xml (UTF-8): one collection per control named after it,
// holding an Update item per value. Each item's uid follows from its key, so exports of the same
// list differ only in their "changed" time. Not for a name or a key that holds a control
// character, which XML cannot carry.
bool BuildGppFile(const std::vector<ExportControl>& controls, const SYSTEMTIME& changed,
                  std::string* pXml, CString* pstrError);

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
