// The commands of quellctl, on the list file of the application object: each writes its answer
// and its messages to an output and returns the process's exit code.
#pragma once

#include "framework/String.h"
#include "quellctl/Output.h"
#include "quellctl/Table.h"
#include "storage/EntryList.h"
#include "storage/KillBit.h"

#include <string>
#include <vector>

enum ExitCode { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

// How a table is written.
enum OutputFormat { FORMAT_TEXT, FORMAT_CSV, FORMAT_JSON };
std::string FormatTable(const CTable& table, OutputFormat format);

// "1 control", "2 controls".
std::string Count(int n, LPCSTR pszOne, LPCSTR pszMany);
// A list entry's name for a control: the text as the dialog could have taken it (one line, at
// most 50 bytes), or its CLSID when there is none.
CString NameToList(const CString& strText, const CString& strClsid);
// Why a control is not listed by scan --add and import.
extern const char PARTLY_BLOCKED[];

// list and scan (ListCommands.cpp). ListTable is list's answer for these entries.
CTable ListTable(const std::vector<Entry>& entries);
int ListCommand(COutput& out, OutputFormat format);
struct ScanOptions {
    bool bUnblockedOnly = false;
    bool bScriptableOnly = false; // either safety mark
    bool bAdd = false;            // lists every control shown that is not listed yet
    bool bKnownOnly = false;      // those that Microsoft has killed
    OutputFormat format = FORMAT_TEXT;
};
int ScanCommand(COutput& out, const ScanOptions& options);

// check, block and unblock (KillBitCommands.cpp). The CLSIDs are already in the list's form;
// bAll takes every listed entry instead. readers: the KillBitReader bits whose keys count.
// EXIT_OK when every control is blocked in every view for every reader, else EXIT_FAILED; names
// each one that is not.
int CheckCommand(COutput& out, const std::vector<CString>& clsids, bool bAll, unsigned readers);
int CheckEntries(COutput& out, const std::vector<Entry>& entries, unsigned readers);
// pszAddName lists the one CLSID under that name when it is not listed yet.
int SetBlockedCommand(COutput& out, bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName, unsigned readers);
// Sets or clears the kill bit of each entry's control for the readers; with bAdd, first lists
// every one not listed yet, under its name. A failure to write one does not stop the others.
int SetBlockedEntries(COutput& out, bool bBlocked, const std::vector<Entry>& targets, bool bAdd,
                      unsigned readers);

// export and import (TransferCommands.cpp).
enum ExportFormat { EXPORT_REG, EXPORT_GPP };
int ExportCommand(COutput& out, LPCSTR pszFile, ExportFormat format, unsigned readers);
int ImportCommand(COutput& out, LPCSTR pszFile);

// Microsoft's catalogue of killed controls (Known.cpp): the catalogue, or only the controls
// installed here, as a table, checked, or blocked and with bAdd listed under their products.
struct KnownOptions {
    bool bInstalledOnly = false;
    bool bUnblockedOnly = false;
    bool bAdd = false;
    OutputFormat format = FORMAT_TEXT;
};
CTable KnownTable(const KnownOptions& options);
int KnownCommand(COutput& out, const KnownOptions& options);
int CheckKnownCommand(COutput& out, const KnownOptions& options);
int BlockKnownCommand(COutput& out, const KnownOptions& options);
