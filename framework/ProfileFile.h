// CProfileFile: an INI file held in memory, read and written as a whole. Reading follows the
// Windows private-profile rules; writing keeps every line it was not asked to change byte for
// byte, and a file reaches the disk in one atomic replacement.
#pragma once

#include "framework/String.h"

#include <string>
#include <unordered_map>
#include <vector>

class CProfileFile {
public:
    // Replaces the image with the file's contents. A missing file gives an empty image and
    // succeeds; any other failure to read leaves an empty image and returns false.
    bool Read(LPCSTR pszPath);
    // Writes the image to a temporary file in the same directory and moves it over pszPath,
    // so the file holds either its old contents or the new ones. False when anything failed,
    // with the reason in GetLastError; the old file is then untouched.
    bool Write(LPCSTR pszPath) const;

    void Parse(const char* pData, size_t nSize);
    std::string Serialize() const;

    // The value of a key of the first section of that name, or pszDefault when the section or
    // the key is missing.
    CString GetString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault) const;
    // Sets a key, adding the section at the end of the file when it is missing. A NULL key
    // removes the whole section; a section written again after that returns to its old
    // place. A NULL value removes the key. False for a value that cannot be stored as one
    // line (it holds a line break).
    bool WriteString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue);

private:
    struct Section {
        std::string header;                           // the raw "[name]" line, with its line end
        std::string name;                             // case-folded, for look-ups
        std::vector<std::string> lines;               // raw lines, each with its line end
        std::unordered_map<std::string, size_t> keys; // case-folded key -> first line
        bool removed = false;
    };

    Section* FindSection(const std::string& foldedName, bool includeRemoved);
    const Section* FindSection(const std::string& foldedName) const;

    std::string m_prefix;                // a UTF-8 byte-order mark, kept as it was
    std::vector<std::string> m_preamble; // lines before the first section
    std::vector<Section> m_sections;
};
