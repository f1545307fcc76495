#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>

namespace {

const char kFlagsValue[] = "Compatibility Flags";

// Wide calls with the "\\?\" prefix, so that a test's directories deeper than MAX_PATH go too.
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + L"\\" + name);
            else
                ::DeleteFileW((dir + L"\\" + name).c_str());
        } while (::FindNextFileW(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(dir.c_str());
}

std::vector<REGSAM> Views(REGSAM view) {
    if (view != kAllViews)
        return {view};
    if (HasTwoRegistryViews())
        return {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
    return {kOwnView};
}

enum Lookup { kNoKey, kNoValue, kFound };

Lookup LookUpFlags(const std::string& clsid, REGSAM view, DWORD* type, std::string* data) {
    HKEY hKey;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, CompatKey(clsid).c_str(), 0, KEY_QUERY_VALUE | view,
                        &hKey) != ERROR_SUCCESS)
        return kNoKey;
    DWORD size = 0;
    LONG rc = ::RegQueryValueExA(hKey, kFlagsValue, NULL, type, NULL, &size);
    std::vector<BYTE> buffer(size + 1);
    if (rc == ERROR_SUCCESS)
        rc = ::RegQueryValueExA(hKey, kFlagsValue, NULL, type, &buffer[0], &size);
    ::RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return kNoValue;
    data->assign(reinterpret_cast<char*>(&buffer[0]), size);
    return kFound;
}

std::string DescribeFlagsInOneView(const std::string& clsid, REGSAM view) {
    DWORD type = 0;
    std::string data;
    switch (LookUpFlags(clsid, view, &type, &data)) {
    case kNoKey:
        return "no key";
    case kNoValue:
        return "no value";
    case kFound:
        break;
    }
    DWORD value = 0;
    if (type == REG_DWORD && data.size() == sizeof(value)) {
        memcpy(&value, data.data(), sizeof(value));
        return HexDword(value);
    }
    return "type " + std::to_string(type) + ", " + std::to_string(data.size()) + " bytes";
}

} // namespace

ScratchDir::ScratchDir() {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    static int s_count = 0;
    // A directory that an earlier run with the same process id left behind is not reused.
    do {
        m_path = std::string(temp) + "qbxtest" + std::to_string(::GetCurrentProcessId()) + "_" +
                 std::to_string(++s_count);
    } while (!::CreateDirectoryA(m_path.c_str(), NULL) && ::GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(FileExists(m_path)) << "cannot create " << m_path;
}

ScratchDir::~ScratchDir() { RemoveTree(L"\\\\?\\" + Widen(m_path)); }

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
    ASSERT_TRUE(h != INVALID_HANDLE_VALUE) << "cannot write " << path;
    DWORD n = 0;
    BOOL bWritten = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, NULL);
    ::CloseHandle(h);
    EXPECT_TRUE(bWritten && n == bytes.size()) << "cannot write " << path;
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Widen(const std::string& text) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
    std::wstring wide(n, L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string BuiltProgramPath(const char* pszVariable) {
    const char* value = getenv(pszVariable);
    std::string path = value ? value : "";
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return path;
}

std::string ListFileText(const NamedClsids& entries) {
    std::string text = "[Setting]\r\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string n = std::to_string(i);
        text += "N" + n + "=" + entries[i].first + "\r\nS" + n + "=" + entries[i].second + "\r\n";
    }
    return text;
}

NamedClsids ListFileAsWindowsReadsIt(const std::string& path) {
    std::vector<char> keys(4 << 20), name(4 << 20), clsid(4 << 20);
    ::GetPrivateProfileStringA("Setting", NULL, "", keys.data(), static_cast<DWORD>(keys.size()),
                               path.c_str());
    std::set<long long> positions;
    for (const char* key = keys.data(); *key; key += strlen(key) + 1) {
        const std::string digits = key + 1;
        if (strchr("NnSs", key[0]) && !digits.empty() && digits.size() < 19 &&
            digits.find_first_not_of("0123456789") == std::string::npos &&
            (digits[0] != '0' || digits == "0"))
            positions.insert(std::stoll(digits));
    }
    NamedClsids entries;
    for (long long i : positions) {
        const std::string n = std::to_string(i);
        ::GetPrivateProfileStringA("Setting", ("N" + n).c_str(), "", name.data(),
                                   static_cast<DWORD>(name.size()), path.c_str());
        ::GetPrivateProfileStringA("Setting", ("S" + n).c_str(), "", clsid.data(),
                                   static_cast<DWORD>(clsid.size()), path.c_str());
        if (clsid[0])
            entries.emplace_back(name[0] ? name.data() : clsid.data(), clsid.data());
    }
    return entries;
}

std::string CompatKey(const std::string& clsid) {
    if (clsid.find('\\') != std::string::npos)
        return clsid;
    return "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{" + clsid + "}";
}

std::string OfficeKey(const std::string& clsid, const std::string& under) {
    return "Software\\Microsoft\\Office\\" + under + "\\COM Compatibility\\{" + clsid + "}";
}

std::string TestClsid(int group, int n) {
    char text[40];
    snprintf(text, sizeof(text), "5E5E%04X-0000-0000-0000-0000000000%02X", group, n);
    return text;
}

bool HasTwoRegistryViews() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}

void DeleteCompatKey(const std::string& clsid) {
    for (REGSAM view : Views(kAllViews))
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, CompatKey(clsid).c_str(), view, 0);
}

void DeleteTestClsidKeys(int group, int last) {
    for (int n = 1; n <= last; ++n)
        DeleteCompatKey(TestClsid(group, n));
}

void SetFlags(const std::string& clsid, DWORD type, const void* data, DWORD size, REGSAM view) {
    SetKillBitValue(clsid, kFlagsValue, type, data, size, view);
}

void SetKillBitValue(const std::string& clsid, const char* name, DWORD type, const void* data,
                     DWORD size, REGSAM view) {
    for (REGSAM v : Views(view)) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, CompatKey(clsid).c_str(), 0,
                                                   NULL, 0, KEY_SET_VALUE | v, NULL, &hKey, NULL))
            << CompatKey(clsid);
        EXPECT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExA(hKey, name, 0, type, static_cast<const BYTE*>(data), size));
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
    if (LookUpFlags(clsid, view, &type, &data) == kFound && data.size() == sizeof(value))
        memcpy(&value, data.data(), sizeof(value));
    return value;
}

ScratchKey::ScratchKey(const std::string& path, REGSAM view) : m_view(view) {
    for (size_t end = 0; end != std::string::npos;) {
        end = path.find('\\', end + 1);
        HKEY hKey;
        DWORD disposition = 0;
        EXPECT_EQ(ERROR_SUCCESS,
                  ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.substr(0, end).c_str(), 0, NULL, 0,
                                    KEY_READ | view, NULL, &hKey, &disposition))
            << path;
        ::RegCloseKey(hKey);
        if (disposition == REG_CREATED_NEW_KEY && m_created.empty())
            m_created = path.substr(0, end);
    }
}

ScratchKey::~ScratchKey() {
    HKEY hParent;
    const size_t last = m_created.rfind('\\');
    if (!m_created.empty() &&
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_created.substr(0, last).c_str(), 0,
                        KEY_ALL_ACCESS | m_view, &hParent) == ERROR_SUCCESS) {
        ::RegDeleteTreeA(hParent, m_created.substr(last + 1).c_str());
        ::RegCloseKey(hParent);
    }
}

void DenyKillBitWrites::Apply(ACCESS_MODE mode) {
    for (REGSAM view : Views(kAllViews)) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, CompatKey(m_clsid).c_str(), 0,
                                                 READ_CONTROL | WRITE_DAC | view, &hKey));
        PACL pOld = NULL;
        PSECURITY_DESCRIPTOR pSD = NULL;
        ::GetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &pOld, NULL,
                          &pSD);
        EXPLICIT_ACCESSA access = {};
        access.grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
        access.grfAccessMode = mode;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        access.Trustee.ptstrName = const_cast<LPSTR>("EVERYONE");
        PACL pNew = NULL;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ::SetEntriesInAclA(1, &access, pOld, &pNew));
        // Given back as a NULL DACL: REVOKE_ACCESS takes away allowing entries only, so the deny
        // would stay and every later write fail.
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  ::SetSecurityInfo(hKey, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL,
                                    mode == DENY_ACCESS ? pNew : NULL, NULL));
        ::LocalFree(pNew);
        ::LocalFree(pSD);
        ::RegCloseKey(hKey);
    }
}

std::string HexDword(DWORD value) {
    char text[16];
    snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string DescribeFlags(const std::string& clsid, REGSAM view) {
    if (view != kAllViews || !HasTwoRegistryViews())
        return DescribeFlagsInOneView(clsid, view == kAllViews ? kOwnView : view);
    return FlagsByView(DescribeFlagsInOneView(clsid, KEY_WOW64_32KEY),
                       DescribeFlagsInOneView(clsid, KEY_WOW64_64KEY));
}

std::string FlagsByView(const std::string& in32, const std::string& in64) {
    if (!HasTwoRegistryViews() || in32 == in64)
        return in64;
    return "32-bit view " + in32 + ", 64-bit view " + in64;
}

std::vector<std::string> DescribeTestClsidFlags(int group, int last) {
    std::vector<std::string> flags;
    for (int n = 1; n <= last; ++n)
        flags.push_back(TestClsid(group, n) + " " + DescribeFlags(TestClsid(group, n)));
    return flags;
}

namespace {

DWORD WINAPI Drain(void* param) {
    auto* pipe = static_cast<std::pair<HANDLE, std::string*>*>(param);
    char buffer[4096];
    DWORD n;
    while (::ReadFile(pipe->first, buffer, sizeof(buffer), &n, NULL) && n > 0)
        pipe->second->append(buffer, n);
    return 0;
}

} // namespace

Outcome RunProcess(const std::string& commandLine, HANDLE hStdOut) {
    Outcome outcome = {~0u, "", ""};
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    ::CreatePipe(&outRead, &outWrite, &sa, 0);
    ::CreatePipe(&errRead, &errWrite, &sa, 0);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hStdOut ? hStdOut : outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi;
    std::string line = commandLine;
    BOOL started = ::CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    // Both pipes are read at once: a child blocked on a full one would never end.
    std::pair<HANDLE, std::string*> errPipe(errRead, &outcome.err);
    HANDLE errThread = ::CreateThread(NULL, 0, Drain, &errPipe, 0, NULL);
    std::pair<HANDLE, std::string*> outPipe(outRead, &outcome.out);
    Drain(&outPipe);
    ::WaitForSingleObject(errThread, INFINITE);
    ::CloseHandle(errThread);
    if (started) {
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::GetExitCodeProcess(pi.hProcess, &outcome.code);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    }
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return outcome;
}

std::string QuellctlExe() {
    const std::string path = BuiltProgramPath("QUELLCTL_EXE");
    return path.empty() ? "quellctl.exe" : path;
}
