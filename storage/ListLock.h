// The lock that every program changing the list file holds from its read to its save, so that
// two of them changing it at once both land: an exclusive handle on "<list file>.lock", which the
// system deletes when the handle closes, even when the process dies.
#pragma once

#include "framework/String.h"

class CListLock {
public:
    CListLock() : m_hFile(INVALID_HANDLE_VALUE) {}
    ~CListLock() { Unlock(); }

    // Waits up to LIST_LOCK_WAIT_MS for the lock on the list file. False, with
    // ERROR_SHARING_VIOLATION in GetLastError, when another program held it all the while.
    // Where no lock file can be made at all (no right to create files there), the lock counts
    // as taken: a save there fails on its own.
    bool Lock(LPCSTR pszListFile);
    void Unlock();

    static CString LockFileOf(LPCSTR pszListFile) { return CString(pszListFile) + ".lock"; }

private:
    CListLock(const CListLock&);
    CListLock& operator=(const CListLock&);

    HANDLE m_hFile;
};

// Long enough for another command's scan of a large registry, short enough for a script.
const DWORD LIST_LOCK_WAIT_MS = 10000;
