// Scratch directories, list files and registry keys for the tests: all real, all removed again.
// Nothing here uses the product's code, so any test program may link it.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include <string>
#include <utility>
#include <vector>

// A new empty directory under the temporary directory, removed with everything in it on
// destruction, however deep.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string Path(const std::string& name) const { return m_path + "\\" + name; }
    const std::string& Path() const { return m_path; }

private:
    ScratchDir(const ScratchDir&);
    ScratchDir& operator=(const ScratchDir&);

    std::string m_path;
};

// Empty when the file cannot be read.
std::string ReadFileBytes(const std::string& path);
// Fails the test when the file cannot be written.
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// ANSI (code page 936) text as UTF-16, for the wide calls that take paths beyond MAX_PATH.
std::wstring Widen(const std::string& text);

// A built program that ctest names in that environment variable, as a Windows path: ctest
// passes its Unix path. Empty when the variable is not set.
std::string BuiltProgramPath(const char* pszVariable);

// A program run to its end: its exit code and what it wrote.
struct Outcome {
    DWORD code;
    std::string out;
    std::string err;
};
// The child's output goes to hStdOut when one is given, else it is read into the outcome.
Outcome RunProcess(const std::string& commandLine, HANDLE hStdOut = NULL);
// quellctl.exe as built (QUELLCTL_EXE).
std::string QuellctlExe();

// Name and CLSID text of each entry, in list order.
typedef std::vector<std::pair<std::string, std::string>> NamedClsids;
// A list file holding these entries as N<i>/S<i> in [Setting], and nothing else.
std::string ListFileText(const NamedClsids& entries);
// The entries as Windows' own GetPrivateProfileStringA reads them from a list file: every
// position with a key N<i> or S<i> in order, but those without a CLSID; a missing name is the
// CLSID.
NamedClsids ListFileAsWindowsReadsIt(const std::string& path);

// The "ActiveX Compatibility" key of a CLSID text, relative to HKEY_LOCAL_MACHINE. A text with a
// backslash is a key path already, so that every helper below taking a CLSID also takes
// another kill-bit key, e.g. OfficeKey's.
std::string CompatKey(const std::string& clsid);
// Office's "COM Compatibility" key of a CLSID under Software\Microsoft\Office\<under>.
std::string OfficeKey(const std::string& clsid, const std::string& under = "Common");
const std::string kOfficeKey = "Software\\Microsoft\\Office\\";
// The <under> of the Click-to-Run copies for 64-bit and for 32-bit Office.
const char kClickToRun64[] =
    "ClickToRun\\REGISTRY\\MACHINE\\Software\\Microsoft\\Office\\16.0\\Common";
const char kClickToRun32[] =
    "ClickToRun\\REGISTRY\\MACHINE\\Software\\Wow6432Node\\Microsoft\\Office\\16.0\\Common";

// 5E5E000<group>-0000-0000-0000-0000000000<n in hex>: each test program has a group of its own,
// so that no test touches another's keys or anything else in the registry.
std::string TestClsid(int group, int n);

// The registry views a kill bit lives in: the 32-bit and the 64-bit one on 64-bit Windows.
const REGSAM kAllViews = ~static_cast<REGSAM>(0);
const REGSAM kOwnView = 0; // the one this process sees without asking for another
bool HasTwoRegistryViews();

// In every view, or in the one given (KEY_WOW64_32KEY, KEY_WOW64_64KEY, kOwnView).
void DeleteCompatKey(const std::string& clsid);
// The keys of TestClsid(group, 1) to TestClsid(group, last).
void DeleteTestClsidKeys(int group, int last);
void SetFlags(const std::string& clsid, DWORD type, const void* data, DWORD size,
              REGSAM view = kAllViews);
void SetFlags(const std::string& clsid, DWORD value, REGSAM view = kAllViews);
// Another value of the same key.
void SetKillBitValue(const std::string& clsid, const char* name, DWORD type, const void* data,
                     DWORD size, REGSAM view = kAllViews);
// The value's four bytes in one view, of whatever type, or ~0 when the key or the value is
// missing.
DWORD FlagsIn(const std::string& clsid, REGSAM view);

// A key under HKEY_LOCAL_MACHINE made for a test in one view; on destruction the keys it had to
// create go again, with everything then beneath them.
class ScratchKey {
public:
    ScratchKey(const std::string& path, REGSAM view);
    ~ScratchKey();

private:
    ScratchKey(const ScratchKey&);
    ScratchKey& operator=(const ScratchKey&);

    REGSAM m_view;
    std::string m_created; // the topmost key made
};

// A standard user, as far as one control's flags go: denies KEY_SET_VALUE and KEY_CREATE_SUB_KEY
// to Everyone on the CLSID's kill-bit key in every view (the key must exist), and gives every
// access back on destruction, before the test writes or deletes the key again.
class DenyKillBitWrites {
public:
    explicit DenyKillBitWrites(const std::string& clsid) : m_clsid(clsid) { Apply(DENY_ACCESS); }
    ~DenyKillBitWrites() { Apply(REVOKE_ACCESS); }

private:
    DenyKillBitWrites(const DenyKillBitWrites&);
    DenyKillBitWrites& operator=(const DenyKillBitWrites&);
    void Apply(ACCESS_MODE mode);

    std::string m_clsid;
};

// "0x00000400".
std::string HexDword(DWORD value);
// The value as one comparable text, so that a key created with 0 differs from no key: "no key",
// "no value", "0x00000400" for a REG_DWORD, else "type 3, 2 bytes". Across views, that text when
// they agree, else "32-bit view X, 64-bit view Y".
std::string DescribeFlags(const std::string& clsid, REGSAM view = kAllViews);
// DescribeFlags's text across views for these texts of the 32-bit and the 64-bit view. With one
// view, the 64-bit one's: a test's writes to either view land there, the 32-bit one's first.
std::string FlagsByView(const std::string& in32, const std::string& in64);
// "<CLSID> <DescribeFlags>" for TestClsid(group, 1) to TestClsid(group, last).
std::vector<std::string> DescribeTestClsidFlags(int group, int last);
