#include "framework/WinApp.h"
#include "storage/EntryList.h"
#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

std::string BuiltExecutable() { return BuiltProgramPath("QUELLBOX_EXE"); }

// What tells the shipped programs apart in their version blocks and manifests.
struct BuiltProgram {
    const char* pszVariable; // names the built file
    const char *pszDescription, *pszInternalName, *pszOriginalFilename, *pszLevel;
    bool bWindows; // common controls 6 and DPI awareness, or neither
};
const BuiltProgram kBuiltPrograms[] = {
    {"QUELLBOX_EXE", "Quellbox MFC Application", "Quellbox", "Quellbox.EXE", "highestAvailable",
     true},
    {"QUELLCTL_EXE", "Quellbox command-line tool", "quellctl", "quellctl.exe", "asInvoker", false}};
class BuiltPrograms : public testing::TestWithParam<BuiltProgram> {};
INSTANTIATE_TEST_SUITE_P(Shipped, BuiltPrograms, testing::ValuesIn(kBuiltPrograms));

std::string VersionString(const std::vector<char>& block, const char* name) {
    void* value = NULL;
    UINT size = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(&block[0], query.c_str(), &value, &size))
        return "<missing>";
    return std::string(static_cast<const char*>(value));
}

} // namespace

TEST(ListFilePath, IsQuellboxIniInTheExecutablesDirectory) {
    EXPECT_STREQ("C:\\Tools\\Quellbox.ini", EntryList::ListFilePathFor("C:\\Tools\\x.exe"));
    EXPECT_STREQ("C:\\Tools\\Quellbox.ini", EntryList::ListFilePathFor("C:\\Tools\\Quellbox.exe"));
    EXPECT_STREQ("\\\\server\\share\\Quellbox.ini",
                 EntryList::ListFilePathFor("\\\\server\\share\\q.EXE"));
}

TEST(ListFilePath, TrailByte5CIsNotTakenForABackslash) {
    // Directory "C:\<81 5C>" and an executable named "<81 5C>x.exe" in "C:\Tools".
    EXPECT_STREQ("C:\\\x81\x5C\\Quellbox.ini", EntryList::ListFilePathFor("C:\\\x81\x5C\\q.exe"));
    EXPECT_STREQ("C:\\Tools\\Quellbox.ini", EntryList::ListFilePathFor("C:\\Tools\\\x81\x5Cx.exe"));
}

TEST(ListFilePath, FallsBackToTheWorkingDirectoryOnlyWithoutAName) {
    EXPECT_STREQ(".\\Quellbox.ini", EntryList::ListFilePathFor(""));
    EXPECT_STREQ("Quellbox.ini", EntryList::ListFilePathFor("q.exe"));
}

TEST(ModuleFileName, IsWholeEvenBeyondMaxPath) {
    // A module in a directory deeper than MAX_PATH: a 260-byte buffer would cut its name, and
    // the cut name's directory is some other directory.
    ScratchDir scratch;
    std::wstring dir = L"\\\\?\\" + Widen(scratch.Path());
    for (int i = 0; i < 4; ++i) {
        dir += L"\\" + std::wstring(80, static_cast<wchar_t>(L'a' + i));
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), NULL)) << GetLastError();
    }
    std::wstring dll = dir + L"\\probe.dll";
    wchar_t probe[MAX_PATH];
    GetModuleFileNameW(NULL, probe, MAX_PATH);
    std::wstring built(probe);
    built = built.substr(0, built.rfind(L'\\')) + L"\\module_probe.dll";
    ASSERT_TRUE(CopyFileW(built.c_str(), dll.c_str(), FALSE)) << GetLastError();

    HMODULE hProbe = LoadLibraryW(dll.c_str());
    ASSERT_TRUE(hProbe != NULL) << GetLastError();
    wchar_t wide[1024];
    DWORD n = GetModuleFileNameW(hProbe, wide, 1024);
    char expected[2048];
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, n, expected, sizeof(expected), NULL, NULL);
    ASSERT_GT(bytes, MAX_PATH);

    CString name = AfxGetModuleFileName(hProbe);
    EXPECT_EQ(std::string(expected, bytes), std::string(name, name.GetLength()));
    CString listFile = EntryList::ListFilePathFor(name);
    EXPECT_EQ(std::string(expected, bytes - strlen("probe.dll")) + "Quellbox.ini",
              std::string(listFile, listFile.GetLength()));

    // The scratch directory can go only once the module is no longer loaded.
    FreeLibrary(hProbe);
}

TEST_P(BuiltPrograms, CarryTheVersionBlock) {
    std::string exe = BuiltProgramPath(GetParam().pszVariable);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);

    EXPECT_EQ(GetParam().pszDescription, VersionString(block, "FileDescription"));
    EXPECT_EQ("1, 0, 0, 1", VersionString(block, "FileVersion"));
    EXPECT_EQ(GetParam().pszInternalName, VersionString(block, "InternalName"));
    EXPECT_EQ(GetParam().pszOriginalFilename, VersionString(block, "OriginalFilename"));
    EXPECT_EQ("Quellbox Application", VersionString(block, "ProductName"));
    EXPECT_EQ("1, 0, 0, 1", VersionString(block, "ProductVersion"));
    EXPECT_EQ("", VersionString(block, "CompanyName"));
    EXPECT_EQ("", VersionString(block, "LegalTrademarks"));
}

TEST(BuiltExecutable, CarriesOneSixteenPixel256ColourIcon) {
    HMODULE hExe = LoadLibraryExA(BuiltExecutable().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(hExe != NULL);
    HRSRC hGroup =
        FindResourceA(hExe, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_TRUE(hGroup != NULL);
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(hExe, hGroup)));
    // GRPICONDIR: reserved, type 1, count; then one 14-byte entry per image.
    EXPECT_EQ(1, group[2] | (group[3] << 8));
    EXPECT_EQ(16, group[6]);
    EXPECT_EQ(16, group[7]);
    EXPECT_EQ(8, group[6 + 6] | (group[6 + 7] << 8));
    FreeLibrary(hExe);
}

TEST_P(BuiltPrograms, CarryTheirManifests) {
    HMODULE hExe = LoadLibraryExA(BuiltProgramPath(GetParam().pszVariable).c_str(), NULL,
                                  LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(hExe != NULL);
    HRSRC hManifest = FindResourceA(hExe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(hManifest != NULL);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(hExe, hManifest))),
                         SizeofResource(hExe, hManifest));
    const std::string level = std::string("level=\"") + GetParam().pszLevel + "\"";
    for (const char* part :
         {level.c_str(), "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
    for (const char* part : {"Microsoft.Windows.Common-Controls", "<dpiAware"})
        EXPECT_EQ(GetParam().bWindows, manifest.find(part) != std::string::npos) << part;
    FreeLibrary(hExe);
}
