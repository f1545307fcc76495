// The commands of quellctl, on the list file of the application object. Each returns the
// process's exit code.
#pragma once

#include "framework/String.h"

#include <string>
#include <vector>

enum ExitCode { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

enum OutputFormat { FORMAT_TEXT, FORMAT_CSV, FORMAT_JSON };

// "quellctl: " and the message, on stderr.
void PrintError(LPCSTR pszFormat, ...);
// The text on stdout. A write that fails (a full disk, a closed pipe) is remembered for
// FinishOutput.
void Print(const std::string& text);
// The exit code to end with: a command that did its work but whose output could not all be
// written failed, so that no script takes a truncated answer for a whole one.
int FinishOutput(int nExitCode);

int ListCommand(OutputFormat format);
// The CLSIDs are already in the list's form. bAll takes every listed entry instead;
// pszAddName lists the one CLSID under that name when it is not listed yet. readers: the
// KillBitReader bits whose keys are set.
int SetBlockedCommand(bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName, unsigned readers);
// A .reg file, or with bGpp a Group Policy Preferences Registry.xml.
int ExportCommand(LPCSTR pszFile, bool bGpp);
int ImportCommand(LPCSTR pszFile);

struct ScanOptions {
    bool bUnblockedOnly = false;
    bool bScriptableOnly = false; // either safety mark
    bool bAdd = false;            // lists every control shown that is not listed yet
    OutputFormat format = FORMAT_TEXT;
};
int ScanCommand(const ScanOptions& options);
// EXIT_OK when every control named (or every listed one, with bAll) is blocked in every view for
// every reader, else EXIT_FAILED; names each one that is not.
int CheckCommand(const std::vector<CString>& clsids, bool bAll, unsigned readers);
