#include "framework/File.h"

#include "framework/String.h"

#include <stdlib.h>
#include <wchar.h>

#include <vector>

namespace {

// A bigger file is no file of ours, and it would not fit twice into a 32-bit address space.
const LONGLONG kMaxFileSize = 256 * 1024 * 1024;
// ReadFile and WriteFile take a DWORD count; smaller pieces keep every call well inside it.
const size_t kChunk = 1 << 20;

DWORD ChunkAt(size_t done, size_t total) {
    return static_cast<DWORD>(total - done < kChunk ? total - done : kChunk);
}

// The path in the form the wide file functions take at any length, full and behind "\\?\",
// NUL-terminated: the ANSI functions stop at MAX_PATH, and a list file beside a deeply placed
// program is further in.
std::vector<wchar_t> LongPath(LPCSTR pszPath) {
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

} // namespace

bool AfxReadFile(LPCSTR pszPath, std::string* pBytes) {
    pBytes->clear();
    HANDLE h = CreateFileW(LongPath(pszPath).data(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) != FALSE;
    if (ok && (size.QuadPart < 0 || size.QuadPart > kMaxFileSize)) {
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

bool AfxReplaceFile(LPCSTR pszPath, const std::string& bytes) {
    if (!pszPath || !*pszPath) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // Named from the file's own path, so the temporary file can be made wherever the file can,
    // however long its path.
    wchar_t suffix[32] = L".";
    _ultow(GetCurrentProcessId(), suffix + 1, 10);
    wcscat(suffix, L".tmp");
    const std::vector<wchar_t> path = LongPath(pszPath);
    std::vector<wchar_t> temp(path.begin(), path.end() - 1);
    temp.insert(temp.end(), suffix, suffix + wcslen(suffix) + 1);
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
    ok = ok && MoveFileExW(temp.data(), path.data(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) {
        DWORD error = GetLastError();
        DeleteFileW(temp.data());
        SetLastError(error);
    }
    return ok;
}
