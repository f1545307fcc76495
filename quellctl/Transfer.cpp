#include "quellctl/Transfer.h"

#include "quellctl/Table.h"
#include "storage/KillBit.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kRegHeader[] = "Windows Registry Editor Version 5.00";
const char kRegHeader4[] = "REGEDIT4";
const char kCompatKey[] = "\\ActiveX Compatibility\\";

// Text in the ANSI code page from a file's bytes: UTF-16LE and UTF-8 files are known by their
// byte-order mark (Notepad writes one), anything else is taken as ANSI already.
std::string ToAnsi(const std::string& bytes) {
    static const char kUtf16Mark[] = "\xFF\xFE";
    static const char kUtf8Mark[] = "\xEF\xBB\xBF";
    if (bytes.compare(0, 3, kUtf8Mark) == 0) {
        std::vector<wchar_t> wide =
            AfxWiden(bytes.data() + 3, static_cast<int>(bytes.size() - 3), CP_UTF8);
        return AfxNarrow(wide.data(), static_cast<int>(wide.size()));
    }
    if (bytes.compare(0, 2, kUtf16Mark) != 0)
        return bytes;
    std::vector<wchar_t> wide((bytes.size() - 2) / 2);
    if (!wide.empty())
        memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
    return AfxNarrow(wide.data(), static_cast<int>(wide.size()));
}

std::vector<CString> SplitLines(const std::string& text) {
    // A line feed is never the trail byte of a double-byte character, so bytes split safely.
    std::vector<CString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.push_back(CString(text.data() + start, static_cast<int>(stop - start)));
        start = end + 1;
    }
    return lines;
}

CString Trimmed(CString str) {
    str.TrimLeft();
    str.TrimRight();
    return str;
}

// Byte offset just past the last kCompatKey in the text, found at character starts only, or -1.
int FindAfterCompatKey(const CString& str) {
    LPCSTR begin = str;
    LPCSTR end = begin + str.GetLength();
    const size_t nKey = strlen(kCompatKey);
    int found = -1;
    for (LPCSTR p = begin; p < end; p += AfxCharLength(p, end)) {
        if (static_cast<size_t>(end - p) >= nKey && _strnicmp(p, kCompatKey, nKey) == 0)
            found = static_cast<int>(p - begin + nKey);
    }
    return found;
}

void ParseRegLines(const std::vector<CString>& lines, std::vector<ImportLine>* pResult) {
    for (size_t i = 0; i < lines.size(); ++i) {
        CString strLine = Trimmed(lines[i]);
        int nLength = strLine.GetLength();
        // "[-...]" removes a key: nothing there to list.
        if (nLength < 2 || strLine[0] != '[' || strLine[nLength - 1] != ']' || strLine[1] == '-')
            continue;
        CString strKey = strLine.Mid(1, nLength - 2);
        int nClsid = FindAfterCompatKey(strKey);
        if (nClsid < 0)
            continue;
        ImportLine line = {static_cast<int>(i + 1), lines[i], strKey.Mid(nClsid), CString(), true};
        CString strPrevious = i > 0 ? Trimmed(lines[i - 1]) : CString();
        if (!strPrevious.IsEmpty() && strPrevious[0] == ';')
            line.strName = Trimmed(strPrevious.Mid(1));
        pResult->push_back(line);
    }
}

void ParseTextLines(const std::vector<CString>& lines, std::vector<ImportLine>* pResult) {
    for (size_t i = 0; i < lines.size(); ++i) {
        CString strLine = Trimmed(lines[i]);
        if (strLine.IsEmpty())
            continue;
        // Blanks are single bytes below every trail byte, so the first one ends the CLSID.
        int nBlank = static_cast<int>(strcspn(strLine, " \t"));
        ImportLine line = {static_cast<int>(i + 1), lines[i], strLine.Left(nBlank),
                           Trimmed(strLine.Mid(nBlank)), false};
        pResult->push_back(line);
    }
}

} // namespace

std::string BuildRegFile(const std::vector<Entry>& entries) {
    std::string text = std::string(kRegHeader) + "\r\n\r\n";
    for (const Entry& entry : entries) {
        CString strKeyPath = KillBitKeyPath(entry.strClsid);
        // Below "Software\": .reg files name the 32-bit view by its 64-bit path.
        CString strBelowSoftware = strKeyPath.Mid(static_cast<int>(strlen("Software\\")));
        for (REGSAM samView : RegistryViews()) {
            DWORD dwFlags;
            ReadRawRegDword(HKEY_LOCAL_MACHINE, strKeyPath, KILL_BIT_VALUE_NAME, samView, &dwFlags);
            CString strKey = CString("HKEY_LOCAL_MACHINE\\SOFTWARE\\");
            if (samView == KEY_WOW64_32KEY)
                strKey += "Wow6432Node\\";
            strKey += strBelowSoftware;
            CString strValue;
            strValue.Format("\"%s\"=dword:%08lx", KILL_BIT_VALUE_NAME,
                            static_cast<unsigned long>(dwFlags));
            text += std::string("; ") + static_cast<LPCSTR>(entry.strName) + "\r\n";
            text += std::string("[") + static_cast<LPCSTR>(strKey) + "]\r\n";
            text += std::string(strValue) + "\r\n\r\n";
        }
    }
    return "\xFF\xFE" + AfxUtf16Bytes(text);
}

std::vector<ImportLine> ParseImportFile(const std::string& bytes) {
    std::vector<CString> lines = SplitLines(ToAnsi(bytes));
    std::vector<ImportLine> result;
    CString strFirst;
    for (const CString& line : lines) {
        strFirst = Trimmed(line);
        if (!strFirst.IsEmpty())
            break;
    }
    if (strFirst.Compare(kRegHeader) == 0 || strFirst.Compare(kRegHeader4) == 0)
        ParseRegLines(lines, &result);
    else
        ParseTextLines(lines, &result);
    return result;
}
