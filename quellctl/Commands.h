// The commands of quellctl, on the list file of the application object. Each returns the
// process's exit code.
#pragma once

#include "framework/String.h"

#include <vector>

enum ExitCode { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

// "quellctl: " and the message, on stderr.
void PrintError(LPCSTR pszFormat, ...);

int ListCommand(bool bCsv);
// The CLSIDs are already in the list's form. bAll takes every listed entry instead;
// pszAddName lists the one CLSID under that name when it is not listed yet.
int SetBlockedCommand(bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName);
int ExportCommand(LPCSTR pszFile);
int ImportCommand(LPCSTR pszFile);
