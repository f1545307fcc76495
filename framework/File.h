// Whole files in and out: the list file engine and quellctl read and write every file through
// these.
#pragma once

#include <windows.h>

#include <string>

// The whole contents of a file, which others may keep open for reading and writing. False, with
// the system's reason in GetLastError, when it cannot be read (ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when it does not exist); *pBytes is then empty.
bool AfxReadFile(LPCSTR pszPath, std::string* pBytes);
// Replaces the file with the bytes: they are written to a temporary file beside it that is then
// moved over it, so the file holds either its old contents or the new ones. False, with the
// reason in GetLastError, when anything failed; the old file is then untouched.
bool AfxReplaceFile(LPCSTR pszPath, const std::string& bytes);
