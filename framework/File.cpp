#include "framework/File.h"

#include "framework/String.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

#include <vector>

std::vector<wchar_t> AfxLongPath(LPCSTR pszPath) {
    std::vector<wchar_t> path = AfxWiden(pszPath, static_cast<int>(strlen(pszPath)));
    path.push_back(L'\0');
    DWORD size = ::GetFullPathNameW(path.data(), 0, NULL, NULL);
    std::vector<wchar_t> full(size + 1);
    DWORD length = ::GetFullPathNameW(path.data(), size + 1, full.data(), NULL);
    const wchar_t* pszPrefix = L"\\\\?\\";
    DWORD skip = 0;
    if (length == 0 || wcsncmp(full.data(), L"\\\\?\\", 4) == 0) {
        pszPrefix = L"";
    } else if (wcsncmp(full.data(), L"\\\\", 2) == 0) {
        pszPrefix = L"\\\\?\\UNC\\";
        skip = 2;
    }
    std::vector<wchar_t> result(pszPrefix, pszPrefix + wcslen(pszPrefix));
    result.insert(result.end(), full.data() + skip, full.data() + length);
    result.push_back(L'\0');
    return result;
}

namespace {

// ReadFile and WriteFile take a DWORD count; smaller pieces keep every call well inside it.
const size_t kChunk = 1 << 20;

DWORD ChunkAt(size_t done, size_t total) {
    return static_cast<DWORD>(total - done < kChunk ? total - done : kChunk);
}

// The NUL-terminated path with the text added at its end.
std::vector<wchar_t> WithSuffix(const std::vector<wchar_t>& path, const wchar_t* pszSuffix) {
    std::vector<wchar_t> result(path.begin(), path.end() - 1);
    result.insert(result.end(), pszSuffix, pszSuffix + wcslen(pszSuffix) + 1);
    return result;
}

// The process id in the name of a temporary file "<file>.<id>.tmp", else 0.
DWORD TempFileOwner(const wchar_t* pszName, const wchar_t* pszFile) {
    const size_t n = wcslen(pszFile);
    if (_wcsnicmp(pszName, pszFile, n) != 0 || pszName[n] != L'.' || !iswdigit(pszName[n + 1]))
        return 0;
    wchar_t* pszEnd;
    unsigned long id = wcstoul(pszName + n + 1, &pszEnd, 10);
    return _wcsicmp(pszEnd, L".tmp") == 0 ? id : 0;
}

// An id that no process has counts as ended; a process of an account that this one may not
// open, as running.
bool HasEnded(DWORD dwProcessId) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, dwProcessId);
    if (h == NULL)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    bool bEnded = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return bEnded;
}

// Calls the function with the name, the owner's id and the find data of each temporary file that
// a save left beside the file.
template <class Visit> void ForEachTempFile(const std::vector<wchar_t>& path, Visit visit) {
    const wchar_t* pszFile = wcsrchr(path.data(), L'\\');
    WIN32_FIND_DATAW data;
    HANDLE hFind =
        pszFile ? FindFirstFileW(WithSuffix(path, L".*.tmp").data(), &data) : INVALID_HANDLE_VALUE;
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    std::vector<wchar_t> dir(path.data(), ++pszFile);
    dir.push_back(L'\0');
    do {
        DWORD id = TempFileOwner(data.cFileName, pszFile);
        if (id != 0)
            visit(WithSuffix(dir, data.cFileName), id, data);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
}

// Removes the temporary files that saves of processes that have ended left beside the file.
void RemoveStaleTempFiles(const std::vector<wchar_t>& path) {
    ForEachTempFile(path, [](const std::vector<wchar_t>& temp, DWORD id, const WIN32_FIND_DATAW&) {
        if (HasEnded(id))
            DeleteFileW(temp.data());
    });
}

// ReplaceFileW opens the new file without sharing it: while an indexer, a scanner or a backup
// agent has it open for a moment, as they do with new files, the call fails. A bounded wait
// lets them go.
bool ReplaceWhenLetGo(const std::vector<wchar_t>& path, const std::vector<wchar_t>& temp) {
    for (int nTry = 1;; ++nTry) {
        if (ReplaceFileW(path.data(), temp.data(), NULL, 0, NULL, NULL))
            return true;
        DWORD error = GetLastError();
        if (nTry == 40 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return false;
        Sleep(50);
    }
}

} // namespace

bool AfxReadFile(LPCSTR pszPath, std::string* pBytes, DWORD dwMaxBytes) {
    pBytes->clear();
    HANDLE h = CreateFileW(AfxLongPath(pszPath).data(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) != FALSE;
    if (ok && (size.QuadPart < 0 || size.QuadPart > dwMaxBytes)) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        ok = false;
    }
    if (ok) {
        pBytes->resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < pBytes->size()) {
            DWORD got = 0;
            if (!ReadFile(h, &(*pBytes)[done], ChunkAt(done, pBytes->size()), &got, NULL)) {
                ok = false;
                break;
            }
            if (got == 0) // the file shrank since its size was taken
                break;
            done += got;
        }
        pBytes->resize(ok ? done : 0);
    }
    DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    return ok;
}

AfxTextMark AfxFindTextMark(const char* pData, size_t nSize) {
    if (nSize >= 3 && memcmp(pData, "\xEF\xBB\xBF", 3) == 0)
        return AFX_UTF8_MARK;
    if (nSize >= 2 && memcmp(pData, "\xFF\xFE", 2) == 0)
        return AFX_UTF16LE_MARK;
    if (nSize >= 2 && memcmp(pData, "\xFE\xFF", 2) == 0)
        return AFX_UTF16BE_MARK;
    return AFX_NO_MARK;
}

size_t AfxTextMarkLength(AfxTextMark mark) {
    return mark == AFX_UTF8_MARK ? 3 : mark == AFX_NO_MARK ? 0 : 2;
}

bool AfxReadTextFile(LPCSTR pszPath, std::string* pBytes, DWORD dwMaxBytes) {
    if (!AfxReadFile(pszPath, pBytes, dwMaxBytes))
        return false;
    if (AfxFindTextMark(pBytes->data(), pBytes->size()) == AFX_UTF16BE_MARK) {
        pBytes->clear();
        SetLastError(ERROR_UNSUPPORTED_TYPE);
        return false;
    }
    return true;
}

std::string AfxOrphanedTempFile(LPCSTR pszPath) {
    const std::vector<wchar_t> path = AfxLongPath(pszPath);
    if (GetFileAttributesW(path.data()) != INVALID_FILE_ATTRIBUTES)
        return std::string();
    DWORD dwNewest = 0;
    FILETIME newest = {0, 0};
    ForEachTempFile(path, [&](const std::vector<wchar_t>&, DWORD id, const WIN32_FIND_DATAW& data) {
        if (dwNewest == 0 || CompareFileTime(&data.ftLastWriteTime, &newest) > 0) {
            dwNewest = id;
            newest = data.ftLastWriteTime;
        }
    });
    return dwNewest == 0 ? std::string()
                         : std::string(pszPath) + "." + std::to_string(dwNewest) + ".tmp";
}

bool AfxReplaceFile(LPCSTR pszPath, const std::string& bytes) {
    if (!pszPath || !*pszPath) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const std::vector<wchar_t> path = AfxLongPath(pszPath);
    // Windows' ReplaceFileW refuses a directory; Wine's would move it aside.
    DWORD dwAttributes = GetFileAttributesW(path.data());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (dwAttributes != INVALID_FILE_ATTRIBUTES)
        RemoveStaleTempFiles(path);
    // Named from the file's own path, so the temporary file can be made wherever the file can,
    // however long its path.
    wchar_t suffix[32] = L".";
    _ultow(GetCurrentProcessId(), suffix + 1, 10);
    wcscat(suffix, L".tmp");
    const std::vector<wchar_t> temp = WithSuffix(path, suffix);
    HANDLE h = CreateFileW(temp.data(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        DWORD want = ChunkAt(done, bytes.size());
        DWORD written = 0;
        ok = WriteFile(h, bytes.data() + done, want, &written, NULL) != FALSE && written == want;
        done += written;
    }
    ok = ok && FlushFileBuffers(h) != FALSE;
    ok = CloseHandle(h) != FALSE && ok;
    // A file that does not exist yet has nothing to keep. Nor has one that ReplaceFileW took
    // away before it failed to move the new one in: the temporary file is then all there is.
    bool bOnlyCopy = false;
    if (ok && !ReplaceWhenLetGo(path, temp)) {
        DWORD error = GetLastError();
        bOnlyCopy = error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                    error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
        ok = (error == ERROR_FILE_NOT_FOUND || bOnlyCopy) &&
             MoveFileExW(temp.data(), path.data(), MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    if (!ok && !bOnlyCopy) {
        DWORD error = GetLastError();
        DeleteFileW(temp.data());
        SetLastError(error);
    }
    return ok;
}
