#include "storage/ListLock.h"

#include "framework/File.h"

bool CListLock::Lock(LPCSTR pszListFile) {
    Unlock();
    const std::vector<wchar_t> lock = AfxLongPath(LockFileOf(pszListFile));
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        m_hFile = ::CreateFileW(lock.data(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, NULL);
        if (m_hFile != INVALID_HANDLE_VALUE)
            return true;
        // Held, or deleted but not yet gone (access denied).
        DWORD dwError = ::GetLastError();
        bool bHeld = dwError == ERROR_SHARING_VIOLATION ||
                     (dwError == ERROR_ACCESS_DENIED &&
                      (::GetFileAttributesW(lock.data()) != INVALID_FILE_ATTRIBUTES ||
                       ::GetLastError() != ERROR_FILE_NOT_FOUND));
        if (!bHeld)
            return true;
        if (::GetTickCount() - dwStart >= LIST_LOCK_WAIT_MS) {
            ::SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
        ::Sleep(50);
    }
}

void CListLock::Unlock() {
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}
