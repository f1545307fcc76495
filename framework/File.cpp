#include "framework/File.h"


namespace {

// A bigger file is no file of ours, and it would not fit twice into a 32-bit address space.
const LONGLONG kMaxFileSize = 256 * 1024 * 1024;
// ReadFile and WriteFile take a DWORD count; smaller pieces keep every call well inside it.
const size_t kChunk = 1 << 20;

DWORD ChunkAt(size_t done, size_t total) {
    return static_cast<DWORD>(total - done < kChunk ? total - done : kChunk);
}

// The path in the form the wide file functions take at any length: full, behind "\\?\". The
// ANSI functions stop at MAX_PATH, and a list file beside a deeply placed program is further in.
std::wstring LongPath(LPCSTR pszPath) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, pszPath, -1, NULL, 0);
    std::wstring path(n > 0 ? n : 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, pszPath, -1, &path[0], n);
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, NULL, NULL);
    std::wstring full(size + 1, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), size + 1, &full[0], NULL));
    if (full.empty() || full.compare(0, 4, L"\\\\?\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace

bool AfxReadFile(LPCSTR pszPath, std::string* pBytes) {
    pBytes->clear();
    HANDLE h = CreateFileW(LongPath(pszPath).c_str(), GENERIC_READ,
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
    const std::wstring path = LongPath(pszPath);
    const std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
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
    ok = ok &&
         MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) {
        DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        SetLastError(error);
    }
    return ok;
}
