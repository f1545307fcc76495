#include "storage/KillBit.h"
#include "storage/ListFileTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kA[] = "5E5E0001-0000-0000-0000-00000000000A";
const char kB[] = "5E5E0001-0000-0000-0000-00000000000B";
const char kC[] = "5E5E0001-0000-0000-0000-00000000000C";

class EntryListFile : public ListFileTest {
protected:
    ~EntryListFile() override {
        for (const char* clsid : {kA, kB, kC})
            DeleteCompatKey(clsid);
        // The braced CLSID of one test gets a key of its own.
        DeleteCompatKey(std::string("{") + kA + "}");
    }
};

} // namespace

TEST_F(EntryListFile, ClsidsAreTrimmedAndUpperCasedButNotValidated) {
    SetFlags(kA, 0x400);
    WriteFileBytes(listFile, std::string("[setting]\r\nn0=lower\r\ns0=") +
                                 "5e5e0001-0000-0000-0000-00000000000a\r\n"
                                 "N1= Braced \r\nS1=  {" +
                                 kA + "}  \r\n");
    EntryRows entries = Load();
    ASSERT_EQ(2u, entries.m_entries.size());
    EXPECT_STREQ(kA, entries.m_entries[0].strClsid);
    EXPECT_TRUE(entries.m_entries[0].bBlocked);
    // The braces stay, so the key path has them twice and the entry reads as not blocked.
    EXPECT_STREQ((std::string("{") + kA + "}").c_str(), entries.m_entries[1].strClsid);
    EXPECT_FALSE(entries.m_entries[1].bBlocked);

    ASSERT_TRUE(EntryList::Save(entries).Succeeded());
    EntryRows again = Load();
    EXPECT_STREQ(kA, again.m_entries[0].strClsid);
}

TEST_F(EntryListFile, SaveKeepsOtherSectionsAndCommentsByteForByte) {
    const std::string before = "; list of controls\n[Other]\nkey = value ; not a comment\n\n";
    const std::string after = "[Z]\r\nx=\"y\"\r\n;tail";
    WriteFileBytes(listFile, before + "[Setting]\r\nN0=old\r\nS0=" + kA + "\r\n" + after);
    EntryRows entries;
    entries.Add("new", kB, false);
    entries.Add("second", kC, true);
    ASSERT_TRUE(EntryList::Save(entries).Succeeded());
    EXPECT_EQ(before + "[Setting]\r\nN0=new\r\nS0=" + kB + "\r\nN1=second\r\nS1=" + kC + "\r\n" +
                  after,
              ReadFileBytes(listFile));
}

// As Notepad saved "Unicode" files: UTF-16LE behind FF FE.
std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t ch : text)
        bytes += std::string{static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    return bytes;
}

TEST_F(EntryListFile, AUnicodeListFileIsReadAndSavedAsUnicodeKeepingEveryOtherLine) {
    // Hangul and an emoji have no place in code page 936, yet survive in another section, and in
    // a name whose row is saved as it was read, wherever it moved.
    const std::wstring other = L"[\u5176\u4ED6]\r\nk=\uAC00\U0001F600\r\n";
    const std::wstring a(kA, kA + strlen(kA)), b(kB, kB + strlen(kB)), c(kC, kC + strlen(kC));
    const std::wstring hangul = L"=\uAC00\U0001F600\r\n", quoted = L"=\" \uB098 \"\r\n";
    WriteFileBytes(listFile,
                   Utf16File(other + L"[Setting]\r\nN0=\u540D\u5B57\r\nS0=" + a + L"\r\nN1" +
                             hangul + L"S1=" + b + L"\r\nN2" + quoted + L"S2=" + c));
    EntryRows loaded = Load(), entries;
    ASSERT_EQ(3u, loaded.m_entries.size());
    EXPECT_STREQ("\xC3\xFB\xD7\xD6", loaded.m_entries[0].strName);

    // The first row deleted, the last moved up, the middle one given another CLSID, one added.
    entries.m_entries = {loaded.m_entries[2], loaded.m_entries[1]};
    entries.m_entries[1].strClsid = kA;
    entries.Add("\xBF\xD8\xBC\xFE", kB, false);
    ASSERT_TRUE(EntryList::Save(entries).Succeeded());
    EXPECT_EQ(Utf16File(other + L"[Setting]\r\nN0" + quoted + L"S0=" + c + L"\r\nN1" + hangul +
                        L"S1=" + a + L"\r\nN2=\u63A7\u4EF6\r\nS2=" + b + L"\r\n"),
              ReadFileBytes(listFile));
    EXPECT_EQ(entries.Named(), ListFileAsWindowsReadsIt(listFile));
}

TEST_F(EntryListFile, OnlyTheFirstOfTwoListSectionsIsReadAndASaveLeavesNoOther) {
    const std::string first = "[Setting]\r\nN0=a\r\nS0=" + std::string(kA) + "\r\n[Other]\r\n";
    const std::string second = "[SETTING]\r\nN0=hidden\r\nS0=" + std::string(kC) + "\r\nN1=x\r\n";
    WriteFileBytes(listFile, first + second);
    EntryRows entries = Load();
    ASSERT_EQ(1u, entries.m_entries.size());
    entries.Add("b", kB, false);
    ASSERT_TRUE(EntryList::Save(entries).Succeeded());
    EXPECT_EQ("[Setting]\r\nN0=a\r\nS0=" + std::string(kA) + "\r\nN1=b\r\nS1=" + kB +
                  "\r\n[Other]\r\n",
              ReadFileBytes(listFile));
    // With every row deleted, Windows would read the second section in place of the first.
    WriteFileBytes(listFile, first + second);
    ASSERT_TRUE(EntryList::Save(EntryRows()).Succeeded());
    EXPECT_EQ(NamedClsids(), ListFileAsWindowsReadsIt(listFile));
}

TEST_F(EntryListFile, AnEmptyListRemovesTheSection) {
    WriteFileBytes(listFile,
                   "[Setting]\r\nN0=a\r\nS0=" + std::string(kA) + "\r\n[Other]\r\nk=v\r\n");
    SetFlags(kA, 0x400);
    ASSERT_TRUE(EntryList::Save(EntryRows()).Succeeded());
    EXPECT_EQ("[Other]\r\nk=v\r\n", ReadFileBytes(listFile));
    // A removed row's control stays blocked.
    EXPECT_EQ(0x400u, ReadRegDword(HKEY_LOCAL_MACHINE, KillBitKeyPath(kA), "Compatibility Flags"));
}

TEST_F(EntryListFile, AwkwardNamesRoundTripExactly) {
    const char* const names[] = {" leading",   "trailing ",
                                 "\"quoted\"", "'single'",
                                 "a=b",        ";not a comment",
                                 "[bracket]",  "\xC3\xFB\xD7\xD6\x81\x5C",
                                 "\"",         "  "};
    EntryRows entries;
    for (const char* name : names)
        entries.Add(name, kA, false);
    ASSERT_TRUE(EntryList::Save(entries).Succeeded());
    EntryRows loaded = Load();
    ASSERT_EQ(entries.m_entries.size(), loaded.m_entries.size());
    for (size_t i = 0; i < loaded.m_entries.size(); ++i)
        EXPECT_STREQ(names[i], loaded.m_entries[i].strName) << i;
}

TEST_F(EntryListFile, SaveWritesEveryRowsFlagInDisplayOrder) {
    SetFlags(kA, 0x401);
    EntryRows entries;
    entries.Add("a", kA, false);
    entries.Add("b", kB, true);
    // Any ticked row of a control blocks it.
    entries.Add("c", kC, true);
    entries.Add("c again", kC, false);
    ASSERT_TRUE(EntryList::Save(entries).Succeeded());
    EXPECT_EQ(0x1u, ReadRegDword(HKEY_LOCAL_MACHINE, KillBitKeyPath(kA), "Compatibility Flags"));
    EXPECT_EQ(0x400u, ReadRegDword(HKEY_LOCAL_MACHINE, KillBitKeyPath(kB), "Compatibility Flags"));
    EXPECT_EQ("0x00000400", DescribeFlags(kC, kOwnView));

    EntryRows loaded = Load();
    ASSERT_EQ(4u, loaded.m_entries.size());
    EXPECT_FALSE(loaded.m_entries[0].bBlocked);
    EXPECT_TRUE(loaded.m_entries[1].bBlocked && loaded.m_entries[3].bBlocked);
}

TEST_F(EntryListFile, AMissingFileLoadsNothingButOneThatCannotBeReadIsNeverOverwritten) {
    EXPECT_TRUE(Load().m_entries.empty());
    const std::string saved = "[Setting]\r\nN0=kept\r\nS0=" + std::string(kA) + "\r\n";
    WriteFileBytes(listFile, saved);
    // Held open without sharing, as a backup agent or a virus scanner may.
    HANDLE hLock = CreateFileA(listFile.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    EntryRows entries;
    EXPECT_FALSE(EntryList::Load(entries));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_TRUE(entries.m_entries.empty());
    EXPECT_FALSE(EntryList::Save(entries).bListFileSaved);
    CloseHandle(hLock);
    EXPECT_EQ(saved, ReadFileBytes(listFile));

    // Too large to hold.
    WriteFileBytes(listFile, std::string(AFX_MAX_PROFILE_BYTES + 1, '\n'));
    EXPECT_FALSE(EntryList::Load(entries));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), EntryList::Save(entries).dwListFileError);
    EXPECT_EQ(AFX_MAX_PROFILE_BYTES + 1, ReadFileBytes(listFile).size());

    UseListFile(dir.Path("no such directory\\Quellbox.ini"));
    EXPECT_TRUE(Load().m_entries.empty());
}

TEST_F(EntryListFile, ASaveThatCannotWriteTheFileFailsAndStillWritesTheRegistry) {
    EntryRows entries;
    entries.Add("a", kA, true);

    UseListFile(dir.Path("missing\\Quellbox.ini"));
    SaveResult result = EntryList::Save(entries);
    EXPECT_FALSE(result.bListFileSaved);
    EXPECT_TRUE(result.registryFailures.empty());
    EXPECT_FALSE(result.Succeeded());
    EXPECT_FALSE(FileExists(dir.Path("missing")));
    EXPECT_TRUE(IsBlocked(KillBitKeyPath(kA)));

    // A list file path that is a directory.
    ASSERT_TRUE(CreateDirectoryA(dir.Path("Quellbox.ini").c_str(), NULL));
    UseListFile(dir.Path("Quellbox.ini"));
    EXPECT_FALSE(EntryList::Save(entries).bListFileSaved);
    EXPECT_TRUE(GetFileAttributesA(listFile.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(EntryListFile, FailedRegistryWritesAreNamedAndTheFileIsStillSaved) {
    EntryRows entries;
    entries.Add("fine", kA, true);
    entries.Add("too long", std::string(300, 'A').c_str(), true);
    SaveResult result = EntryList::Save(entries);
    EXPECT_TRUE(result.bListFileSaved);
    EXPECT_EQ(std::vector<int>{1}, result.registryFailures);
    EXPECT_EQ(2u, Load().m_entries.size());
}
