#include "framework/String.h"

#include <mbctype.h>
#include <mbstring.h>
#include <stdarg.h>
#include <stdio.h>

int AfxCharLength(const char* p, const char* end) {
    // No code page has a lead byte below 0x80, and most text here is ASCII: the run-time's
    // lead-byte test is left to the bytes that need it. A lead byte followed by a byte below
    // 0x40 is no character: that byte is one of its own.
    if (static_cast<unsigned char>(*p) >= 0x80 && end - p >= 2 &&
        _ismbblead(static_cast<unsigned char>(*p)) && static_cast<unsigned char>(p[1]) >= 0x40)
        return 2;
    return 1;
}

const char* AfxFindChar(const char* p, const char* end, char ch) {
    if (static_cast<unsigned char>(ch) < 0x40) {
        const void* found = memchr(p, ch, end - p);
        return found ? static_cast<const char*>(found) : end;
    }
    for (; p < end; p += AfxCharLength(p, end)) {
        if (*p == ch)
            break;
    }
    return p;
}

void AfxMakeUpperAscii(char* p, char* end) {
    for (; p < end; p += AfxCharLength(p, end)) {
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
}

void AfxTrim(const char*& begin, const char*& end, bool (*isBlank)(char)) {
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

int AfxWholeCharsIn(const char* p, const char* end, int nMaxBytes) {
    const char* q = p;
    while (q < end && q + AfxCharLength(q, end) - p <= nMaxBytes)
        q += AfxCharLength(q, end);
    return static_cast<int>(q - p);
}

std::vector<wchar_t> AfxWiden(const char* p, int nLength, UINT nCodePage) {
    int n = nLength > 0 ? ::MultiByteToWideChar(nCodePage, 0, p, nLength, NULL, 0) : 0;
    std::vector<wchar_t> wide(n);
    if (n > 0)
        ::MultiByteToWideChar(nCodePage, 0, p, nLength, wide.data(), n);
    return wide;
}

std::string AfxNarrow(const wchar_t* p, int nLength, UINT nCodePage) {
    int n = nLength > 0 ? ::WideCharToMultiByte(nCodePage, 0, p, nLength, NULL, 0, NULL, NULL) : 0;
    std::string narrow(n, '\0');
    if (n > 0)
        ::WideCharToMultiByte(nCodePage, 0, p, nLength, &narrow[0], n, NULL, NULL);
    return narrow;
}

std::string AfxUtf16Bytes(const std::string& text) {
    std::vector<wchar_t> wide = AfxWiden(text.data(), static_cast<int>(text.size()));
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

namespace {

LANGID g_wResourceLanguage = 0;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

void AfxSetResourceLanguage(LANGID wLanguage) { g_wResourceLanguage = wLanguage; }

const void* AfxLoadResource(LPCSTR pszType, UINT nID, DWORD* pnBytes) {
    HMODULE hModule = ::GetModuleHandleA(NULL);
    HRSRC hResource =
        ::FindResourceExA(hModule, pszType, MAKEINTRESOURCEA(nID), g_wResourceLanguage);
    HGLOBAL hData = hResource ? ::LoadResource(hModule, hResource) : NULL;
    *pnBytes = hData ? ::SizeofResource(hModule, hResource) : 0;
    return hData ? ::LockResource(hData) : NULL;
}

CString& CString::operator+=(LPCSTR psz) {
    m_buf.insert(m_buf.size() - 1, psz ? psz : "");
    return *this;
}

CString& CString::operator+=(const CString& str) {
    m_buf.insert(m_buf.size() - 1, str.m_buf.data(), str.GetLength());
    return *this;
}

int CString::Compare(const CString& str) const {
    return _mbscmp(reinterpret_cast<const unsigned char*>(m_buf.c_str()),
                   reinterpret_cast<const unsigned char*>(str.m_buf.c_str()));
}

CString CString::Left(int nCount) const {
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return CString(m_buf.data(), nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > GetLength())
        nFirst = GetLength();
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength() - nFirst)
        nCount = GetLength() - nFirst;
    return CString(m_buf.data() + nFirst, nCount);
}

int CString::ReverseFind(char ch) const {
    const char* begin = m_buf.data();
    const char* end = begin + GetLength();
    int found = -1;
    // ch is a character of its own wherever it is found, so the byte after it starts the next.
    for (const char* p = AfxFindChar(begin, end, ch); p < end; p = AfxFindChar(p + 1, end, ch))
        found = static_cast<int>(p - begin);
    return found;
}

void CString::MakeUpper() { AfxMakeUpperAscii(&m_buf[0], &m_buf[0] + GetLength()); }

void CString::TrimLeft() {
    int n = 0;
    while (n < GetLength() && IsSpace(m_buf[n]))
        ++n;
    m_buf.erase(0, n);
}

void CString::TrimRight() {
    int n = GetLength();
    while (n > 0 && IsSpace(m_buf[n - 1]))
        --n;
    m_buf.erase(n, GetLength() - n);
}

BOOL CString::LoadString(UINT nID) {
    // Strings come in blocks of 16, each a count and that many UTF-16 units. LoadStringA turns
    // them into the ANSI code page just so: the bytes are the ones it gives.
    Empty();
    DWORD nBytes = 0;
    const WCHAR* p =
        static_cast<const WCHAR*>(AfxLoadResource(RT_STRING, (LOWORD(nID) >> 4) + 1, &nBytes));
    if (p == NULL)
        return FALSE;
    const WCHAR* end = p + nBytes / sizeof(WCHAR);
    for (UINT i = 0; i < (nID & 15) && p < end; ++i)
        p += 1 + *p;
    if (p >= end || *p == 0 || *p >= end - p)
        return FALSE;
    std::string text = AfxNarrow(p + 1, *p);
    *this = CString(text.data(), static_cast<int>(text.size()));
    return TRUE;
}

void CString::Format(LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR pszFormat, va_list args) {
    for (int size = 256;; size *= 2) {
        std::string text(size, '\0');
        va_list copy;
        va_copy(copy, args);
        // -1 (older runtimes) or a count of size or more: it did not fit.
        int n = _vsnprintf(&text[0], size, pszFormat, copy);
        va_end(copy);
        if (n >= 0 && n < size) {
            *this = CString(text.data(), n);
            return;
        }
    }
}

LPSTR CString::GetBuffer(int nMinLength) {
    if (nMinLength > GetLength())
        m_buf.insert(m_buf.size() - 1, nMinLength - GetLength(), '\0');
    return &m_buf[0];
}

void CString::ReleaseBuffer() {
    m_buf.resize(strlen(m_buf.c_str()));
    m_buf.push_back('\0');
}
