#include "framework/String.h"

#include <mbctype.h>
#include <mbstring.h>
#include <stdarg.h>
#include <stdio.h>

int AfxCharLength(const char* p, const char* end) {
    if (end - p >= 2 && _ismbblead(static_cast<unsigned char>(*p)) && p[1] != '\0')
        return 2;
    return 1;
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

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
    for (const char* p = begin; p < end; p += AfxCharLength(p, end)) {
        if (*p == ch && AfxCharLength(p, end) == 1)
            found = static_cast<int>(p - begin);
    }
    return found;
}

void CString::MakeUpper() {
    char* begin = &m_buf[0];
    char* end = begin + GetLength();
    for (char* p = begin; p < end; p += AfxCharLength(p, end)) {
        if (*p >= 'a' && *p <= 'z' && AfxCharLength(p, end) == 1)
            *p = static_cast<char>(*p - 'a' + 'A');
    }
}

void CString::TrimLeft() {
    // White space is single-byte, and no lead byte is white space, so the first non-blank byte
    // is where a character starts.
    size_t n = 0;
    while (n < static_cast<size_t>(GetLength()) && IsSpace(m_buf[n]))
        ++n;
    m_buf.erase(0, n);
}

void CString::TrimRight() {
    // Scanned forwards: a trail byte may equal a blank's code only in code pages other than
    // this one, but a backwards scan cannot know where a character starts.
    const char* begin = m_buf.data();
    const char* end = begin + GetLength();
    const char* keep = begin;
    for (const char* p = begin; p < end;) {
        int n = AfxCharLength(p, end);
        if (n != 1 || !IsSpace(*p))
            keep = p + n;
        p += n;
    }
    m_buf.erase(keep - begin, end - keep);
}

BOOL CString::LoadString(UINT nID) {
    for (int size = 256;; size *= 2) {
        std::string text(size, '\0');
        int n = ::LoadStringA(GetModuleHandleA(NULL), nID, &text[0], size);
        if (n <= 0) {
            Empty();
            return FALSE;
        }
        if (n < size - 1) {
            *this = CString(text.data(), n);
            return TRUE;
        }
    }
}

void CString::Format(LPCSTR pszFormat, ...) {
    for (int size = 256;; size *= 2) {
        std::string text(size, '\0');
        va_list args;
        va_start(args, pszFormat);
        // -1 (older runtimes) or a count of size or more: it did not fit.
        int n = _vsnprintf(&text[0], size, pszFormat, args);
        va_end(args);
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
