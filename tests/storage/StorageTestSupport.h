// Scratch directories, list files and registry keys for the storage tests: all real, all
// removed again.
#pragma once

#include <windows.h>

#include <string>

// A new empty directory under the temporary directory, removed with its files on
// destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string Path(const std::string& name) const { return m_path + "\\" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The "ActiveX Compatibility" key of a CLSID text, relative to HKEY_LOCAL_MACHINE.
std::string CompatKey(const std::string& clsid);

// The registry views a kill bit lives in: the 32-bit and the 64-bit one under WOW64.
const REGSAM kAllViews = ~static_cast<REGSAM>(0);
bool IsWow64Here();

// In every view, or in the one given (KEY_WOW64_32KEY, KEY_WOW64_64KEY, 0: the process's own).
void DeleteCompatKey(const std::string& clsid);
void SetFlags(const std::string& clsid, DWORD type, const void* data, DWORD size,
              REGSAM view = kAllViews);
void SetFlags(const std::string& clsid, DWORD value, REGSAM view = kAllViews);
// The raw value in one view: false when the key or the value is missing.
bool QueryFlags(const std::string& clsid, DWORD* type, std::string* data, REGSAM view = 0);
// The value's four bytes in one view, or ~0 when the key or the value is missing.
DWORD FlagsIn(const std::string& clsid, REGSAM view);
