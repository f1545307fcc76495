#include "framework/ProfileFile.h"

#include "framework/File.h"

#include <cstring>

namespace {

typedef std::unordered_map<std::string, size_t> KeyIndex;

const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// One matching pair of quotes around the text, which reading removes. Quotes are below 0x40, so
// the last byte is a character of its own.
bool IsQuoted(const char* begin, const char* end) {
    return end - begin >= 2 && (*begin == '"' || *begin == '\'') && end[-1] == *begin;
}

// Names match without case; only the single-byte letters fold.
std::string Fold(const char* begin, const char* end) {
    std::string folded(begin, end);
    AfxMakeUpperAscii(&folded[0], &folded[0] + folded.size());
    return folded;
}

std::string FoldName(LPCSTR psz) {
    const char* begin = psz;
    const char* end = psz + strlen(psz);
    AfxTrim(begin, end, IsBlank);
    return Fold(begin, end);
}

const char* ContentEnd(const std::string& line) {
    const char* end = line.data() + line.size();
    while (end > line.data() && IsLineEnd(end[-1]))
        --end;
    return end;
}

bool HasLineEnd(const std::string& line) { return !line.empty() && IsLineEnd(line.back()); }

// Where a line runs to in text of either width: past its CR LF, CR or LF, or to the end.
template <class Char> const Char* NextLine(const Char* p, const Char* end) {
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    if (p < end)
        p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
    return p;
}

// The name of a "[name]" line.
bool ParseHeader(const std::string& line, const char*& name, const char*& nameEnd) {
    const char* p = line.data();
    const char* end = ContentEnd(line);
    while (p < end && IsBlank(*p))
        ++p;
    if (p == end || *p != '[')
        return false;
    const char* close = AfxFindChar(p + 1, end, ']');
    if (close == end)
        return false;
    name = p + 1;
    nameEnd = close;
    AfxTrim(name, nameEnd, IsBlank);
    return true;
}

struct KeyLine {
    const char* key;
    const char* keyEnd;
    const char* value;
    const char* valueEnd;
};

// Where a value ends for its readers: at its first NUL, as the C strings they get it in.
const char* ReadEnd(const KeyLine& kl) {
    const void* nul = memchr(kl.value, '\0', kl.valueEnd - kl.value);
    return nul ? static_cast<const char*>(nul) : kl.valueEnd;
}

// Windows hands an ANSI file's text out through UTF-16, so bytes that are no character of the
// code page come out as '?'; a save then writes what it showed.
CString AsWindowsReads(const char* p, const char* end) {
    const int nLength = static_cast<int>(end - p);
    if (p == end || ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, p, nLength, NULL, 0) > 0)
        return CString(p, nLength);
    std::vector<wchar_t> wide = AfxWiden(p, nLength);
    std::string text = AfxNarrow(wide.data(), static_cast<int>(wide.size()));
    return CString(text.data(), static_cast<int>(text.size()));
}

bool ParseKeyLine(const std::string& line, KeyLine& kl) {
    const char* p = line.data();
    const char* end = ContentEnd(line);
    while (p < end && IsBlank(*p))
        ++p;
    // Lines that reach here starting with '[' are headers without their ']'.
    if (p == end || *p == ';' || *p == '[')
        return false;
    const char* eq = AfxFindChar(p, end, '=');
    if (eq == end)
        return false;
    kl.key = p;
    kl.keyEnd = eq;
    AfxTrim(kl.key, kl.keyEnd, IsBlank);
    if (kl.key == kl.keyEnd)
        return false;
    kl.value = eq + 1;
    kl.valueEnd = end;
    AfxTrim(kl.value, kl.valueEnd, IsBlank);
    if (IsQuoted(kl.value, kl.valueEnd)) {
        ++kl.value;
        --kl.valueEnd;
    }
    return true;
}

void IndexLine(const std::string& line, size_t index, KeyIndex& keys) {
    KeyLine kl;
    if (ParseKeyLine(line, kl))
        keys.emplace(Fold(kl.key, kl.keyEnd), index); // emplace keeps the first
}

// "key=value\r\n". Quotes make a value that reading would change (blanks at its ends, or a
// quoted look of its own) come back byte for byte.
std::string KeyLineOf(LPCSTR pszKey, LPCSTR pszValue) {
    size_t keyLength = strlen(pszKey);
    const char* begin = pszValue;
    const char* end = pszValue + strlen(pszValue);
    const char* trimmed = begin;
    const char* trimmedEnd = end;
    AfxTrim(trimmed, trimmedEnd, IsBlank);
    bool wrap = trimmed != begin || trimmedEnd != end || IsQuoted(begin, end);
    std::string line;
    line.reserve(keyLength + (end - begin) + 5);
    line.append(pszKey, keyLength).append(1, '=');
    if (wrap)
        line.append(1, '"');
    line.append(begin, end);
    if (wrap)
        line.append(1, '"');
    return line.append("\r\n");
}

bool HasLineBreak(LPCSTR psz) { return strpbrk(psz, "\r\n") != NULL; }

// A UTF-16 file's key line from its '=' on, as text and as the bytes read, when its value reads
// as pszValue: put after another key, it keeps the characters the ANSI code page lacks.
bool UnicodeValue(const std::string& text, const std::string& utf16, LPCSTR pszValue,
                  std::string* pText, std::string* pUtf16) {
    KeyLine kl;
    if (utf16.empty() || !ParseKeyLine(text, kl) || std::string(kl.value, ReadEnd(kl)) != pszValue)
        return false;
    size_t at = 0;
    while (at + 1 < utf16.size() && (utf16[at] != '=' || utf16[at + 1] != '\0'))
        at += 2;
    std::vector<wchar_t> rest((utf16.size() - at) / 2);
    memcpy(rest.data(), utf16.data() + at, rest.size() * sizeof(wchar_t));
    pText->assign(AfxFindChar(kl.keyEnd, kl.value, '='), text.data() + text.size());
    pUtf16->assign(utf16, at, std::string::npos);
    // The same '=' in both, unless some character before it narrows to one.
    return AfxNarrow(rest.data(), static_cast<int>(rest.size())) == *pText;
}

// A key that reads back as itself: neither a comment, nor a broken header, nor cut at '='.
bool IsStorableKey(LPCSTR psz) {
    if (HasLineBreak(psz))
        return false;
    const char* begin = psz;
    const char* end = psz + strlen(psz);
    AfxTrim(begin, end, IsBlank);
    return begin < end && *begin != ';' && *begin != '[' && AfxFindChar(begin, end, '=') == end;
}

bool IsStorableSection(LPCSTR psz) {
    const char* end = psz + strlen(psz);
    return !HasLineBreak(psz) && AfxFindChar(psz, end, ']') == end;
}

} // namespace

bool CProfileFile::Read(LPCSTR pszPath) {
    Parse(NULL, 0);
    std::string data;
    if (!pszPath || !AfxReadTextFile(pszPath, &data, AFX_MAX_PROFILE_BYTES)) {
        DWORD error = pszPath ? GetLastError() : ERROR_INVALID_NAME;
        bool bMissing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        if (bMissing && !AfxOrphanedTempFile(pszPath).empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        return bMissing;
    }
    Parse(data.data(), data.size());
    return true;
}

bool CProfileFile::Write(LPCSTR pszPath) const {
    const std::string bytes = Serialize();
    // A file that Read would refuse is not made: the old one stays.
    if (bytes.size() > AFX_MAX_PROFILE_BYTES) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    return AfxReplaceFile(pszPath, bytes);
}

void CProfileFile::Parse(const char* pData, size_t nSize) {
    m_prefix.clear();
    m_suffix.clear();
    m_bUnicode = false;
    m_preamble.clear();
    m_sections.clear();
    const char* p = pData;
    const char* end = pData + nSize;
    // A UTF-8 file's text stays in its bytes, as Windows reads it; a UTF-16 one is converted.
    const AfxTextMark mark = AfxFindTextMark(p, nSize);
    if (mark == AFX_UTF8_MARK || mark == AFX_UTF16LE_MARK) {
        m_prefix.assign(p, AfxTextMarkLength(mark));
        m_bUnicode = mark == AFX_UTF16LE_MARK;
        p += m_prefix.size();
    }
    if (!m_bUnicode) {
        for (const char* next; p < end; p = next) {
            next = NextLine(p, end);
            AddLine(Line{std::string(p, next), std::string()});
        }
        return;
    }
    std::vector<wchar_t> text((end - p) / 2 + 1);
    memcpy(text.data(), p, (text.size() - 1) * 2);
    m_suffix.assign(p + (text.size() - 1) * 2, end); // an odd last byte, kept as it was
    const wchar_t* w = text.data();
    const wchar_t* wend = w + text.size() - 1;
    for (const wchar_t* next; w < wend; w = next) {
        next = NextLine(w, wend);
        AddLine(Line{AfxNarrow(w, static_cast<int>(next - w)),
                     std::string(reinterpret_cast<const char*>(w), (next - w) * sizeof(wchar_t))});
    }
}

void CProfileFile::AddLine(Line line) {
    const char* name;
    const char* nameEnd;
    if (ParseHeader(line.text, name, nameEnd)) {
        Section section;
        section.name = Fold(name, nameEnd);
        section.header = std::move(line);
        m_sections.push_back(std::move(section));
    } else if (m_sections.empty()) {
        m_preamble.push_back(std::move(line));
    } else {
        // Later sections of the same name are indexed too: they come forward when the first
        // one is removed.
        Section& section = m_sections.back();
        section.lines.push_back(std::move(line));
        IndexLine(section.lines.back().text, section.lines.size() - 1, section.keys);
    }
}

std::string CProfileFile::Serialize() const {
    size_t total = m_prefix.size() + m_suffix.size();
    for (const Line& line : m_preamble)
        total += line.text.size();
    for (const Section& section : m_sections) {
        total += section.header.text.size() + 2;
        for (const Line& line : section.lines)
            total += line.text.size();
    }
    std::string out;
    out.reserve((m_bUnicode ? 2 * total : total) + 4);
    out += m_prefix;
    // Only the file's last line may lack its line end; once edits put anything after it, it
    // needs one.
    bool open = false;
    auto put = [this, &out, &open](const Line& line) {
        if (!m_bUnicode) {
            out += open ? "\r\n" : "";
            out += line.text;
        } else {
            out += open ? std::string("\r\0\n\0", 4) : std::string();
            out += line.utf16.empty() ? AfxUtf16Bytes(line.text) : line.utf16;
        }
        open = !HasLineEnd(line.text);
    };
    for (const Line& line : m_preamble)
        put(line);
    for (const Section& section : m_sections) {
        if (section.removed)
            continue;
        // Windows reads a UTF-8 mark as part of the first line, where a header would be lost.
        if (out.size() == m_prefix.size() && m_prefix == kUtf8Mark)
            out += "\r\n";
        put(section.header);
        for (const Line& line : section.lines)
            put(line);
    }
    return out + m_suffix;
}

CString CProfileFile::GetString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault) const {
    if (pszSection && pszKey) {
        if (const Section* section = FindSection(FoldName(pszSection), false)) {
            KeyIndex::const_iterator it = section->keys.find(FoldName(pszKey));
            KeyLine kl;
            if (it != section->keys.end() && ParseKeyLine(section->lines[it->second].text, kl))
                return m_bUnicode ? CString(kl.value, static_cast<int>(ReadEnd(kl) - kl.value))
                                  : AsWindowsReads(kl.value, ReadEnd(kl));
        }
    }
    return CString(pszDefault);
}

std::vector<std::string> CProfileFile::GetKeys(LPCSTR pszSection) const {
    std::vector<std::string> keys;
    if (const Section* section = pszSection ? FindSection(FoldName(pszSection), false) : NULL) {
        for (const auto& key : section->keys)
            keys.push_back(key.first);
    }
    return keys;
}

bool CProfileFile::WriteString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue,
                               LPCSTR pszKeyAsRead) {
    if (!pszSection)
        return false;
    std::string name = FoldName(pszSection);
    if (!pszKey) {
        // The headers stay, so that the section, written again, returns to its place.
        for (Section& section : m_sections)
            section.removed = section.removed || section.name == name;
        return true;
    }
    Section* live = FindSection(name, false);
    std::string key = FoldName(pszKey);
    if (!pszValue) {
        if (!live)
            return true;
        KeyIndex::iterator it = live->keys.find(key);
        if (it != live->keys.end()) {
            // Every later line moves up by one; removals are rare enough to index anew.
            live->lines.erase(live->lines.begin() + it->second);
            live->keys.clear();
            for (size_t i = 0; i < live->lines.size(); ++i)
                IndexLine(live->lines[i].text, i, live->keys);
        }
        return true;
    }
    if (!IsStorableKey(pszKey) || HasLineBreak(pszValue))
        return false;
    // Writes go to the first section of the name, a removed one written again in its place, so
    // a later section of the same name is never written into.
    if (!live) {
        const Section* removed = FindSection(name, true);
        if (!removed && !IsStorableSection(pszSection))
            return false;
        Section added;
        added.header =
            removed ? removed->header : Line{"[" + std::string(pszSection) + "]\r\n", ""};
        added.name = name;
        size_t at = removed ? removed - m_sections.data() : m_sections.size();
        live = &*m_sections.insert(m_sections.begin() + at, std::move(added));
    }
    Line line = NewKeyLine(name, pszKey, pszValue, pszKeyAsRead);
    KeyIndex::iterator it = live->keys.find(key);
    if (it != live->keys.end()) {
        live->lines[it->second] = std::move(line);
    } else {
        EndLine(live->lines.empty() ? live->header : live->lines.back());
        live->lines.push_back(std::move(line));
        live->keys.emplace(std::move(key), live->lines.size() - 1);
    }
    return true;
}

CProfileFile::Line CProfileFile::NewKeyLine(const std::string& foldedName, LPCSTR pszKey,
                                            LPCSTR pszValue, LPCSTR pszKeyAsRead) const {
    const Section* asRead = m_bUnicode && pszKeyAsRead ? FindSection(foldedName, true) : NULL;
    if (asRead) {
        KeyIndex::const_iterator it = asRead->keys.find(FoldName(pszKeyAsRead));
        Line line;
        if (it != asRead->keys.end() &&
            UnicodeValue(asRead->lines[it->second].text, asRead->lines[it->second].utf16, pszValue,
                         &line.text, &line.utf16)) {
            line.text.insert(0, pszKey);
            line.utf16.insert(0, AfxUtf16Bytes(pszKey));
            EndLine(line);
            return line;
        }
    }
    return Line{KeyLineOf(pszKey, pszValue), std::string()};
}

void CProfileFile::EndLine(Line& line) {
    if (!HasLineEnd(line.text)) {
        line.text += "\r\n";
        if (!line.utf16.empty())
            line.utf16.append("\r\0\n\0", 4);
    }
}

CProfileFile::Section* CProfileFile::FindSection(const std::string& foldedName, bool bRemoved) {
    const CProfileFile* pThis = this;
    return const_cast<Section*>(pThis->FindSection(foldedName, bRemoved));
}

const CProfileFile::Section* CProfileFile::FindSection(const std::string& foldedName,
                                                       bool bRemoved) const {
    for (const Section& section : m_sections) {
        if (section.name == foldedName && section.removed == bRemoved)
            return &section;
    }
    return NULL;
}
