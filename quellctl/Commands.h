// The commands of quellctl, on the list file of the application object. Each returns the
// process's exit code.
#pragma once

#include "framework/String.h"
#include "quellctl/Table.h"
#include "storage/ComRegistration.h"
#include "storage/EntryList.h"

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
std::string FormatTable(const CTable& table, OutputFormat format);
// Each reader's kill-bit columns (blocked or not, the raw flags of each registry view), as
// columns and as the cells of one row.
void AddKillBitColumns(std::vector<CColumn>* pColumns);
void AddKillBitCells(const KillBitFlags& flags, std::vector<CString>* pRow);
// A list entry's name for a control: the text as the dialog could have taken it (one line, at
// most 50 bytes), or its CLSID when there is none.
CString NameToList(const CString& strText, const CString& strClsid);

int ListCommand(OutputFormat format);
// The CLSIDs are already in the list's form. bAll takes every listed entry instead;
// pszAddName lists the one CLSID under that name when it is not listed yet. readers: the
// KillBitReader bits whose keys are set.
int SetBlockedCommand(bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName, unsigned readers);
// Sets or clears the kill bit of each entry's control for the readers; with bAdd, first lists
// every one not listed yet, under its name. A failure to write one does not stop the others.
int SetBlockedEntries(bool bBlocked, const std::vector<Entry>& targets, bool bAdd,
                      unsigned readers);
// A .reg file, or with bGpp a Group Policy Preferences Registry.xml.
int ExportCommand(LPCSTR pszFile, bool bGpp, unsigned readers);
int ImportCommand(LPCSTR pszFile);

struct ScanOptions {
    bool bUnblockedOnly = false;
    bool bScriptableOnly = false; // either safety mark
    bool bAdd = false;            // lists every control shown that is not listed yet
    bool bKnownOnly = false;      // those that Microsoft has killed
    OutputFormat format = FORMAT_TEXT;
};
int ScanCommand(const ScanOptions& options);
// EXIT_OK when every control named (or every listed one, with bAll) is blocked in every view for
// every reader, else EXIT_FAILED; names each one that is not.
int CheckCommand(const std::vector<CString>& clsids, bool bAll, unsigned readers);
// The same for these controls, each named by its entry's name when it has one.
int CheckEntries(const std::vector<Entry>& entries, unsigned readers);

// Microsoft's catalogue of killed controls (Known.cpp): the catalogue, or only the controls
// installed here, as a table, checked, or blocked and with bAdd listed under their products.
struct KnownOptions {
    bool bInstalledOnly = false;
    bool bUnblockedOnly = false;
    bool bAdd = false;
    OutputFormat format = FORMAT_TEXT;
    unsigned readers = READER_IE; // KillBitReader bits, for check and block
};
int KnownCommand(const KnownOptions& options);
int CheckKnownCommand(const KnownOptions& options);
int BlockKnownCommand(const KnownOptions& options);
