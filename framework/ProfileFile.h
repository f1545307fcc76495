// CProfileFile: an INI file held in memory, read and written as a whole. Reading follows the
// Windows private-profile rules; writing keeps every line it was not asked to change byte for
// byte, and a file reaches the disk in one atomic replacement. A file that begins with the
// UTF-16LE byte-order mark is Unicode, as Windows reads it: its text is handed out in the ANSI
// code page, and it is written back as UTF-16LE.
#pragma once

#include "framework/String.h"

#include <string>
#include <unordered_map>
#include <vector>

// The largest file Read takes, and Write makes. In memory a file of short lines takes some fifty
// times its size, which a 32-bit process must still find room for; a list of 40,000 controls
// fits.
const DWORD AFX_MAX_PROFILE_BYTES = 4 * 1024 * 1024;

class CProfileFile {
public:
    // Replaces the image with the file's contents. A missing file gives an empty image and
    // succeeds, unless a failed save left its contents in a temporary file (AfxOrphanedTempFile):
    // that fails with ERROR_FILE_NOT_FOUND, so that nothing is saved over them. Any other failure
    // to read (ERROR_FILE_TOO_LARGE beyond AFX_MAX_PROFILE_BYTES,
    // ERROR_UNSUPPORTED_TYPE for big-endian UTF-16) leaves an empty image and returns false.
    bool Read(LPCSTR pszPath);
    // Writes the image to a temporary file beside pszPath that then replaces pszPath, so the file
    // holds either its old contents or the new ones. False when anything failed, with the reason
    // in GetLastError (ERROR_FILE_TOO_LARGE beyond AFX_MAX_PROFILE_BYTES); the old file is then
    // untouched.
    bool Write(LPCSTR pszPath) const;

    void Parse(const char* pData, size_t nSize);
    bool IsUnicode() const { return m_bUnicode; }
    std::string Serialize() const;

    // The value of a key of the first section of that name, or pszDefault when the section or
    // the key is missing. As Windows hands it out: bytes of an ANSI file that are no character
    // of the code page come out as '?'.
    CString GetString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault) const;
    // The keys GetString finds in the section, upper-cased as look-ups fold them, in no order.
    std::vector<std::string> GetKeys(LPCSTR pszSection) const;
    // Sets a key, adding the section at the end of the file when it is missing. A NULL key
    // removes every section of the name, as a later one would otherwise be read in place of the
    // first; a section written again after that returns to its old place. A NULL value
    // removes the key. False for a value that cannot be stored as one line (it holds a line
    // break). pszKeyAsRead names the key that held the value in the removed section: in a
    // Unicode file the value then keeps its own text, characters the ANSI code page lacks too.
    bool WriteString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue, LPCSTR pszKeyAsRead = NULL);

private:
    struct Line {
        std::string text;  // in the ANSI code page, with its line end
        std::string utf16; // a UTF-16 file's line, its bytes as read, until it is changed
    };
    struct Section {
        Line header;      // the "[name]" line
        std::string name; // case-folded, for look-ups
        std::vector<Line> lines;
        std::unordered_map<std::string, size_t> keys; // case-folded key -> first line
        bool removed = false; // not written; its lines are kept for pszKeyAsRead
    };

    // The first section of the name that is removed, or the first that is not.
    Section* FindSection(const std::string& foldedName, bool bRemoved);
    const Section* FindSection(const std::string& foldedName, bool bRemoved) const;
    // "key=value"; in a Unicode file, the line of pszKeyAsRead in the removed section with its
    // key replaced, when its value reads as pszValue.
    Line NewKeyLine(const std::string& foldedName, LPCSTR pszKey, LPCSTR pszValue,
                    LPCSTR pszKeyAsRead) const;
    // Gives the line its line end, when it has none.
    static void EndLine(Line& line);

    void AddLine(Line line);

    std::string m_prefix; // a UTF-8 or UTF-16LE byte-order mark, kept as it was
    std::string m_suffix; // the odd last byte of a UTF-16 file
    bool m_bUnicode = false;
    std::vector<Line> m_preamble; // lines before the first section
    std::vector<Section> m_sections;
};
