#include "quellctl/Transfer.h"

#include "framework/File.h"
#include "quellctl/Table.h"
#include "storage/ComRegistration.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kRegHeader[] = "Windows Registry Editor Version 5.00";
const char kRegHeader4[] = "REGEDIT4";
const char kCompatKey[] = "\\ActiveX Compatibility\\";

// Text in the ANSI code page from a file's bytes: UTF-16LE and UTF-8 files are known by their
// byte-order mark (Notepad writes one), anything else is taken as ANSI already.
std::string ToAnsi(const std::string& bytes) {
    const AfxTextMark mark = AfxFindTextMark(bytes.data(), bytes.size());
    const size_t cbMark = AfxTextMarkLength(mark);
    if (mark == AFX_UTF8_MARK) {
        std::vector<wchar_t> wide =
            AfxWiden(bytes.data() + cbMark, static_cast<int>(bytes.size() - cbMark), CP_UTF8);
        return AfxNarrow(wide.data(), static_cast<int>(wide.size()));
    }
    if (mark != AFX_UTF16LE_MARK)
        return bytes;
    std::vector<wchar_t> wide((bytes.size() - cbMark) / 2);
    if (!wide.empty())
        memcpy(wide.data(), bytes.data() + cbMark, wide.size() * 2);
    return AfxNarrow(wide.data(), static_cast<int>(wide.size()));
}

std::vector<CString> SplitLines(const std::string& text) {
    // CR LF, LF and CR each end a line. Neither is ever the trail byte of a double-byte
    // character, so bytes split safely.
    std::vector<CString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(CString(text.data() + start, static_cast<int>(end - start)));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
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

// The text as a quoted XML attribute value in UTF-8. False for a control character other than
// tab, line feed and carriage return: XML has no way to write those.
bool XmlAttribute(const CString& str, std::string* pValue) {
    // Every byte to escape is ASCII, and UTF-8 uses no ASCII byte inside a character.
    std::string value = "\"";
    for (char ch : Utf8Text(str)) {
        switch (ch) {
        case '&':
            value += "&amp;";
            break;
        case '<':
            value += "&lt;";
            break;
        case '>':
            value += "&gt;";
            break;
        case '"':
            value += "&quot;";
            break;
        case '\t':
        case '\n':
        case '\r': {
            // Written as characters they would read back as blanks.
            char reference[8];
            sprintf(reference, "&#%d;", ch);
            value += reference;
            break;
        }
        default:
            if (ch >= 0 && ch < 0x20)
                return false;
            value += ch;
        }
    }
    *pValue = value + "\"";
    return true;
}

// A GUID that follows from the text alone: two 64-bit FNV-1a hashes of it from different
// offsets, each mixed with MurmurHash3's finalizer so that every byte of the text moves every
// bit. Group Policy only needs uids that differ between items and stay the same between exports.
CString StableGuid(const CString& str) {
    unsigned char bytes[16];
    for (int nHalf = 0; nHalf < 2; ++nHalf) {
        unsigned long long hash = 14695981039346656037ULL + nHalf;
        for (LPCSTR p = str; *p; ++p) {
            hash ^= static_cast<unsigned char>(*p);
            hash *= 1099511628211ULL;
        }
        hash = (hash ^ (hash >> 33)) * 0xFF51AFD7ED558CCDULL;
        hash = (hash ^ (hash >> 33)) * 0xC4CEB9FE1A85EC53ULL;
        hash ^= hash >> 33;
        for (int i = 0; i < 8; ++i)
            bytes[nHalf * 8 + i] = static_cast<unsigned char>(hash >> (8 * i));
    }
    CString strGuid = "{";
    for (int i = 0; i < 16; ++i) {
        char hex[4];
        sprintf(hex, i == 4 || i == 6 || i == 8 || i == 10 ? "-%02X" : "%02X", bytes[i]);
        strGuid += hex;
    }
    return strGuid + "}";
}

} // namespace

std::vector<ExportControl> DescribeExport(const std::vector<Entry>& entries, unsigned readers) {
    const std::vector<KillBitKey> locations = KillBitLocations(readers);
    std::vector<ExportControl> controls;
    for (const Entry& entry : entries) {
        ExportControl control = {entry.strName, {}};
        const KillBitFlags flags = ReadKillBitFlags(entry.strClsid, locations);
        const bool bBlocked = flags.IsBlocked(READER_IE);
        for (const KillBitValue& read : flags.values) {
            const KillBitKey& key = read.key;
            // The list's box is Internet Explorer's kill bit. Office's values go out as Office
            // holds them: another reader's state in them would unblock, or block, what Office
            // decided.
            std::vector<std::pair<LPCSTR, DWORD>> values;
            if (key.pConsumer->reader == READER_IE)
                values.push_back({KILL_BIT_VALUE_NAME, FlagsWithKillBit(read.value, bBlocked)});
            else if (read.state == RAW_DWORD)
                values.push_back({KILL_BIT_VALUE_NAME, read.value});
            if (read.overrideState == RAW_DWORD)
                values.push_back({OVERRIDE_VALUE_NAME, read.override});
            // 64-bit Windows names its 32-bit view by a path in the 64-bit one. A file made on
            // 32-bit Windows carries both paths of a key that every view has.
            const CString& strBelowSoftware = key.strBelowSoftware;
            bool bBothPaths = key.samView == 0 && key.pConsumer->views == IN_EVERY_VIEW;
            for (const auto& value : values) {
                if (key.samView == KEY_WOW64_32KEY || bBothPaths)
                    control.values.push_back(
                        {"SOFTWARE\\Wow6432Node\\" + strBelowSoftware, value.first, value.second});
                if (key.samView != KEY_WOW64_32KEY)
                    control.values.push_back(
                        {"SOFTWARE\\" + strBelowSoftware, value.first, value.second});
            }
        }
        controls.push_back(control);
    }
    return controls;
}

bool BuildRegFile(const std::vector<ExportControl>& controls, std::string* pBytes, CString*) {
    std::string text = std::string(kRegHeader) + "\r\n\r\n";
    for (const ExportControl& control : controls) {
        for (const ExportValue& value : control.values) {
            CString strItem;
            strItem.Format("; %s\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n\"%s\"=dword:%08lx\r\n\r\n",
                           static_cast<LPCSTR>(control.strName),
                           static_cast<LPCSTR>(value.strKeyPath), value.pszValueName,
                           static_cast<unsigned long>(value.dwValue));
            text += strItem;
        }
    }
    *pBytes = "\xFF\xFE" + AfxUtf16Bytes(text);
    return true;
}

bool BuildGppFile(const std::vector<ExportControl>& controls, const SYSTEMTIME& changed,
                  std::string* pXml, CString* pstrError) {
    CString strChanged;
    strChanged.Format("%04u-%02u-%02u %02u:%02u:%02u", changed.wYear, changed.wMonth, changed.wDay,
                      changed.wHour, changed.wMinute, changed.wSecond);
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<RegistrySettings clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n";
    for (const ExportControl& control : controls) {
        std::string name;
        bool bCarried = XmlAttribute(control.strName, &name);
        xml +=
            "  <Collection clsid=\"{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}\" name=" + name + ">\r\n";
        for (const ExportValue& value : control.values) {
            std::string key;
            bCarried = XmlAttribute(value.strKeyPath, &key) && bCarried;
            // The flags' uid is their key's, as it always was; another value's adds its name.
            const bool bFlags = strcmp(value.pszValueName, KILL_BIT_VALUE_NAME) == 0;
            const CString strUidOf =
                bFlags ? value.strKeyPath : value.strKeyPath + "\\" + value.pszValueName;
            CString strItem;
            strItem.Format("    <Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" "
                           "name=\"%s\" status=\"%s\" image=\"12\" changed=\"%s\" uid=\"%s\">\r\n"
                           "      <Properties action=\"U\" displayDecimal=\"0\" default=\"0\" "
                           "hive=\"HKEY_LOCAL_MACHINE\" key=%s name=\"%s\" type=\"REG_DWORD\" "
                           "value=\"%08lX\"/>\r\n"
                           "    </Registry>\r\n",
                           value.pszValueName, value.pszValueName, static_cast<LPCSTR>(strChanged),
                           static_cast<LPCSTR>(StableGuid(strUidOf)), key.c_str(),
                           value.pszValueName, static_cast<unsigned long>(value.dwValue));
            xml += strItem;
        }
        if (!bCarried) {
            pstrError->Format("the name \"%s\" holds a control character, which XML cannot "
                              "carry; rename it first",
                              static_cast<LPCSTR>(control.strName));
            return false;
        }
        xml += "  </Collection>\r\n";
    }
    *pXml = xml + "</RegistrySettings>\r\n";
    return true;
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
