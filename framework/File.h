// Whole files in and out: the list file engine and quellctl read and write every file through
// these.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The path in the form the wide file functions take at any length, full and behind "\\?\",
// NUL-terminated: the ANSI functions stop at MAX_PATH, and a list file beside a deeply placed
// program is further in.
std::vector<wchar_t> AfxLongPath(LPCSTR pszPath);

// A bigger file is no file of ours, and it would not fit twice into a 32-bit address space.
const DWORD AFX_MAX_FILE_BYTES = 256 * 1024 * 1024;

// The whole contents of a file, which others may keep open for reading and writing. False, with
// the system's reason in GetLastError, when it cannot be read (ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when it does not exist, ERROR_FILE_TOO_LARGE beyond dwMaxBytes); *pBytes
// is then empty.
bool AfxReadFile(LPCSTR pszPath, std::string* pBytes, DWORD dwMaxBytes = AFX_MAX_FILE_BYTES);
// Text files by the byte-order mark they start with, as Notepad writes them.
enum AfxTextMark { AFX_NO_MARK, AFX_UTF8_MARK, AFX_UTF16LE_MARK, AFX_UTF16BE_MARK };
AfxTextMark AfxFindTextMark(const char* pData, size_t nSize);
size_t AfxTextMarkLength(AfxTextMark mark);
// AfxReadFile for a text file of ours: big-endian UTF-16 is text that no reader here keeps, so
// it fails with ERROR_UNSUPPORTED_TYPE rather than being read as something else.
bool AfxReadTextFile(LPCSTR pszPath, std::string* pBytes, DWORD dwMaxBytes = AFX_MAX_FILE_BYTES);

// For a file that does not exist: the temporary file that a save left beside it when it could not
// move it into place, and which then holds the last contents saved; the newest when there are
// several. Its process may still run (the dialog that failed to save), and its id may be another
// process's by now: whoever made it, it may be the only copy. Empty when there is none, or the
// file exists.
std::string AfxOrphanedTempFile(LPCSTR pszPath);

// Replaces the file with the bytes: they are written to a temporary file beside it,
// "<file>.<process id>.tmp", that then replaces it, so the file holds either its old contents or
// the new ones. An existing file keeps its ACL, attributes and identity (ReplaceFileW), as
// writing it in place would. Temporary files of processes that no longer run are removed first,
// while the file exists: without it, such a file may be the only copy.
// False, with the reason in GetLastError, when anything failed; the old file is then untouched,
// unless ReplaceFileW took it away and the new one could not be moved in: the temporary file then
// stays, the only copy of the new contents.
bool AfxReplaceFile(LPCSTR pszPath, const std::string& bytes);
