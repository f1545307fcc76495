// CString: a byte string in the process's ANSI code page. Lengths count bytes; every scan
// steps over whole characters, so the trail byte of a double-byte character is never taken for
// a character of its own.
#pragma once

#include <windows.h>
#include <stdarg.h>
#include <string.h>

#include <string>
#include <vector>

class CString {
public:
    CString() : m_buf(1, '\0') {}
    CString(LPCSTR psz) : m_buf(psz ? psz : "", psz ? strlen(psz) + 1 : 1) {}
    CString(LPCSTR pch, int nLength) : m_buf(pch, nLength) { m_buf.push_back('\0'); }

    int GetLength() const { return static_cast<int>(m_buf.size()) - 1; }
    bool IsEmpty() const { return GetLength() == 0; }
    void Empty() { m_buf.assign(1, '\0'); }
    operator LPCSTR() const { return m_buf.c_str(); }
    char operator[](int nIndex) const { return m_buf[nIndex]; }

    CString& operator+=(LPCSTR psz);
    CString& operator+=(const CString& str);
    friend CString operator+(const CString& a, LPCSTR b) { return CString(a) += b; }

    // Multibyte-aware comparison (_mbscmp): zero when equal. Both sides are CStrings, so
    // both carry the spare terminator that keeps the scan in bounds.
    int Compare(const CString& str) const;

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    // Byte offset of the last character equal to ch, or -1.
    int ReverseFind(char ch) const;
    // Upper-cases the single-byte letters a to z; double-byte characters are kept whole.
    void MakeUpper();
    void TrimLeft();
    void TrimRight();

    BOOL LoadString(UINT nID);
    // printf-style, into a buffer as large as the result needs.
    void Format(LPCSTR pszFormat, ...);
    void FormatV(LPCSTR pszFormat, va_list args);

    // Writable buffer of at least nMinLength bytes plus the terminator; ReleaseBuffer takes
    // the new length from the first NUL.
    LPSTR GetBuffer(int nMinLength);
    void ReleaseBuffer();

private:
    // Always holds the text followed by one NUL of its own, and std::string adds another. A
    // string ending in a lone lead byte therefore stays terminated even for a C-runtime scan
    // that steps over two bytes at once.
    std::string m_buf;
};

// Stepping through multibyte text. One rule decides where a byte-wise scan is safe: in code
// page 936, as in every double-byte code page of Windows, a trail byte is 0x40 or above, so a
// byte below 0x40 (control characters, blanks, digits, quotes, '=', ';', ',') is always a whole
// character and may be searched for and trimmed byte-wise, from either end. A byte from 0x40 up
// ('[', ']', '\\', letters) may be the second half of a double-byte character: look for it only
// at character starts.

// Byte length of the character at p, never reaching beyond end: 2 for a lead byte that has its
// trail byte (0x40 or above), else 1.
int AfxCharLength(const char* p, const char* end);
// The first ch in [p, end) that is a character of its own, or end.
const char* AfxFindChar(const char* p, const char* end, char ch);
// Upper-cases the single-byte letters a to z in [p, end); double-byte characters stay whole.
void AfxMakeUpperAscii(char* p, char* end);
// Moves begin and end inwards past the blanks (isBlank) at both ends.
void AfxTrim(const char*& begin, const char*& end, bool (*isBlank)(char));
// How many bytes from p fit into nMaxBytes without cutting a character in two.
int AfxWholeCharsIn(const char* p, const char* end, int nMaxBytes);

// Text in the ANSI code page (or nCodePage, e.g. CP_UTF8) as UTF-16, and back. The dialog program
// keeps UTF-16 in vectors and bytes: std::wstring would bring a large part of the C++ run-time
// library into it.
std::vector<wchar_t> AfxWiden(const char* p, int nLength, UINT nCodePage = CP_ACP);
std::string AfxNarrow(const wchar_t* p, int nLength, UINT nCodePage = CP_ACP);
// Text in the ANSI code page as the bytes of UTF-16LE, as Unicode files hold it.
std::string AfxUtf16Bytes(const std::string& text);

// The language of the dialogs and strings that the framework loads, set once at start-up: the
// system's own choice follows its user interface language, not the code page that every text
// then passes through. 0, the default, leaves the choice to the system.
void AfxSetResourceLanguage(LANGID wLanguage);
// A resource of the program in that language, NULL when there is none; *pnBytes is its size.
const void* AfxLoadResource(LPCSTR pszType, UINT nID, DWORD* pnBytes);
