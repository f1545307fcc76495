#include "quellctl/Output.h"

#include "framework/WinApp.h"

#include <stdarg.h>

namespace {

// Larger answers go out in pieces of about this size.
const size_t kFlushBytes = 64 * 1024;

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char ch : text) {
        if (ch == '\n')
            out += '\r';
        out += ch;
    }
    return out;
}

} // namespace

COutput::COutput() : COutput(::GetStdHandle(STD_OUTPUT_HANDLE), ::GetStdHandle(STD_ERROR_HANDLE)) {}

COutput::COutput(HANDLE hOut, HANDLE hErr)
    : m_hOut(hOut), m_hErr(hErr), m_pOut(NULL), m_pErr(NULL), m_dwError(ERROR_SUCCESS),
      m_nWrites(0) {}

COutput::COutput(std::string* pOut, std::string* pErr)
    : m_hOut(NULL), m_hErr(NULL), m_pOut(pOut), m_pErr(pErr), m_dwError(ERROR_SUCCESS),
      m_nWrites(0) {}

void COutput::Print(const std::string& text) {
    m_pending += WithCrLf(text);
    if (m_pending.size() >= kFlushBytes)
        Flush();
}

void COutput::PrintError(LPCSTR pszFormat, ...) {
    Flush();
    CString message;
    va_list args;
    va_start(args, pszFormat);
    message.FormatV(pszFormat, args);
    va_end(args);
    PrintErrorText(std::string("quellctl: ") + static_cast<LPCSTR>(message) + "\n");
}

void COutput::PrintErrorText(const std::string& text) {
    Flush();
    Write(m_hErr, m_pErr, WithCrLf(text));
}

int COutput::Finish(int nExitCode) {
    Flush();
    if (m_dwError == ERROR_SUCCESS)
        return nExitCode;
    PrintError("cannot write the output: %s", static_cast<LPCSTR>(AfxGetSystemMessage(m_dwError)));
    // Said once.
    m_dwError = ERROR_SUCCESS;
    return nExitCode == 0 ? 1 : nExitCode;
}

void COutput::Flush() {
    if (m_pending.empty())
        return;
    if (!Write(m_hOut, m_pOut, m_pending) && m_dwError == ERROR_SUCCESS)
        m_dwError = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    m_pending.clear();
}

bool COutput::Write(HANDLE hFile, std::string* pString, const std::string& text) {
    ++m_nWrites;
    if (pString != NULL) {
        *pString += text;
        return true;
    }
    ::SetLastError(ERROR_SUCCESS);
    // A pipe may take less than it is given.
    for (size_t done = 0; done < text.size();) {
        DWORD dwWritten = 0;
        if (!::WriteFile(hFile, text.data() + done, static_cast<DWORD>(text.size() - done),
                         &dwWritten, NULL) ||
            dwWritten == 0)
            return false;
        done += dwWritten;
    }
    return true;
}
