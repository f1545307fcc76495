// Where quellctl's answers (stdout) and messages (stderr) go.
#pragma once

#include "framework/String.h"

#include <string>

// Writes in whole pieces: the answers are held until a message is due, the buffer is full or the
// command ends, so a console or NUL, which the C runtime would write to one byte at a time, gets
// one write for many lines, and each message still comes after the answers printed before it.
// Line ends are written as CR LF. The first failed write of the answers is kept: a command whose
// answer was cut short has failed.
class COutput {
public:
    // The process's standard handles, or the ones given.
    COutput();
    COutput(HANDLE hOut, HANDLE hErr);
    // Into strings, for a caller in the same process.
    COutput(std::string* pOut, std::string* pErr);
    ~COutput() { Flush(); }

    void Print(const std::string& text);
    // "quellctl: " and the message, on a line of its own.
    void PrintError(LPCSTR pszFormat, ...);
    // The text on stderr as it is.
    void PrintErrorText(const std::string& text);
    // The exit code to end with, once all is written: a command that did its work but whose
    // answer could not all be written failed, so that no script takes a truncated answer for a
    // whole one.
    int Finish(int nExitCode);
    // The writes made so far, for measuring.
    int GetWriteCount() const { return m_nWrites; }

private:
    COutput(const COutput&);
    COutput& operator=(const COutput&);

    void Flush();
    bool Write(HANDLE hFile, std::string* pString, const std::string& text);

    HANDLE m_hOut;
    HANDLE m_hErr;
    std::string* m_pOut;
    std::string* m_pErr;
    std::string m_pending; // answers not written yet
    DWORD m_dwError;       // of the first write of answers that failed
    int m_nWrites;
};
