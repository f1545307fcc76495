#include "storage/StorageTestSupport.h"

#include <string.h>

#include <vector>

ScratchDir::ScratchDir() {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    static int s_count = 0;
    m_path = std::string(temp) + "qbxtest" + std::to_string(::GetCurrentProcessId()) + "_" +
             std::to_string(++s_count);
    ::CreateDirectoryA(m_path.c_str(), NULL);
}

ScratchDir::~ScratchDir() {
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((m_path + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string path = m_path + "\\" + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryA(path.c_str());
            else
                ::DeleteFileA(path.c_str());
        } while (::FindNextFileA(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(m_path.c_str());
}

std::string ReadFileBytes(const std::string& path) {
    HANDLE h =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD n;
    while (::ReadFile(h, buffer, sizeof(buffer), &n, NULL) && n > 0)
        bytes.append(buffer, n);
    ::CloseHandle(h);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD n;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, NULL);
    ::CloseHandle(h);
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CompatKey(const std::string& clsid) {
    return "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{" + clsid + "}";
}

bool IsWow64Here() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

namespace {

std::vector<REGSAM> Views(REGSAM view) {
    if (view != kAllViews)
        return {view};
    if (IsWow64Here())
        return {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
    return {0};
}

} // namespace

void DeleteCompatKey(const std::string& clsid) {
    for (REGSAM view : Views(kAllViews))
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, CompatKey(clsid).c_str(), view, 0);
}

void SetFlags(const std::string& clsid, DWORD type, const void* data, DWORD size, REGSAM view) {
    for (REGSAM v : Views(view)) {
        HKEY hKey;
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, CompatKey(clsid).c_str(), 0, NULL, 0,
                          KEY_SET_VALUE | v, NULL, &hKey, NULL);
        ::RegSetValueExA(hKey, "Compatibility Flags", 0, type, static_cast<const BYTE*>(data),
                         size);
        ::RegCloseKey(hKey);
    }
}

void SetFlags(const std::string& clsid, DWORD value, REGSAM view) {
    SetFlags(clsid, REG_DWORD, &value, static_cast<DWORD>(sizeof(value)), view);
}

DWORD FlagsIn(const std::string& clsid, REGSAM view) {
    DWORD type;
    std::string data;
    DWORD value = ~0u;
    if (QueryFlags(clsid, &type, &data, view) && data.size() == sizeof(value))
        memcpy(&value, data.data(), sizeof(value));
    return value;
}

bool QueryFlags(const std::string& clsid, DWORD* type, std::string* data, REGSAM view) {
    HKEY hKey;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, CompatKey(clsid).c_str(), 0, KEY_QUERY_VALUE | view,
                        &hKey) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> buffer(64);
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG rc = ::RegQueryValueExA(hKey, "Compatibility Flags", NULL, type, &buffer[0], &size);
    ::RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return false;
    data->assign(reinterpret_cast<char*>(&buffer[0]), size);
    return true;
}
