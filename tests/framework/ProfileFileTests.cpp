#include "framework/ProfileFile.h"
#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

CProfileFile Parsed(const std::string& text) {
    CProfileFile file;
    file.Parse(text.data(), text.size());
    return file;
}

std::string Get(const CProfileFile& file, LPCSTR section, LPCSTR key) {
    return std::string(file.GetString(section, key, "<none>"));
}

} // namespace

TEST(ProfileFile, NamesMatchWithoutCaseAndBlanksAroundNamesAndValuesAreStripped) {
    CProfileFile file = Parsed(" [ My Sect ] rest\r\n\t Key One \v= \f value  x \t\r\n");
    EXPECT_EQ("value  x", Get(file, "my sect", "KEY ONE"));
    EXPECT_EQ("value  x", Get(file, " MY SECT\t", " key one "));
    EXPECT_EQ("<none>", Get(file, "My", "Key One"));
}

TEST(ProfileFile, OnePairOfMatchingQuotesIsRemovedFromAValue) {
    CProfileFile file = Parsed("[s]\nd= \" a \" \ns='b'\nm=\"c'\nq=\"\"\"\"\none=\"\nin=a\"b\"\n");
    EXPECT_EQ(" a ", Get(file, "s", "d"));
    EXPECT_EQ("b", Get(file, "s", "s"));
    EXPECT_EQ("\"c'", Get(file, "s", "m"));
    EXPECT_EQ("\"\"", Get(file, "s", "q"));
    EXPECT_EQ("\"", Get(file, "s", "one"));
    EXPECT_EQ("a\"b\"", Get(file, "s", "in"));
}

TEST(ProfileFile, CommentsAndLinesWithoutAKeyHoldNoKeys) {
    CProfileFile file = Parsed("a=0\n[s]\n;a=1\n  ;b=1\nc\n=d\n[broken\ne=1\n");
    for (LPCSTR key : {"a", ";a", "b", "c", "", "[broken"})
        EXPECT_EQ("<none>", Get(file, "s", key)) << key;
    EXPECT_EQ("1", Get(file, "s", "e")); // a '[' line without ']' opens no section
}

TEST(ProfileFile, FirstOfDuplicateSectionsAndKeysWins) {
    CProfileFile file = Parsed("[s]\nk=1\nK=2\n[S]\nk=3\nj=4\n");
    EXPECT_EQ("1", Get(file, "s", "k"));
    EXPECT_EQ("<none>", Get(file, "s", "j"));
    ASSERT_TRUE(file.WriteString("s", "K", "5"));
    ASSERT_TRUE(file.WriteString("s", "j", "6"));
    EXPECT_EQ("[s]\nK=5\r\nK=2\nj=6\r\n[S]\nk=3\nj=4\n", file.Serialize());
    // Removing the section removes them all: none is read in place of the first.
    ASSERT_TRUE(file.WriteString("S", NULL, NULL));
    EXPECT_EQ("<none>", Get(file, "s", "j"));
}

TEST(ProfileFile, LfCrAndCrLfLineEndsAllParse) {
    for (std::string eol : {"\n", "\r", "\r\n"}) {
        CProfileFile file = Parsed("[s]" + eol + "a=1" + eol + eol + "b=2");
        EXPECT_EQ("1", Get(file, "s", "a"));
        EXPECT_EQ("2", Get(file, "s", "b"));
    }
    CProfileFile mixed = Parsed("[s]\ra=1\nb=2\r\nc=3\r");
    EXPECT_EQ("123", Get(mixed, "s", "a") + Get(mixed, "s", "b") + Get(mixed, "s", "c"));
}

TEST(ProfileFile, ByteOrderMarkIsKeptAndIsNotPartOfTheFirstLine) {
    CProfileFile file = Parsed("\xEF\xBB\xBF[s]\nk=v\n");
    EXPECT_EQ("v", Get(file, "s", "k"));
    ASSERT_TRUE(file.WriteString("s", "k", "w"));
    // Windows reads the mark as part of the first line, so a header does not stay there.
    EXPECT_EQ("\xEF\xBB\xBF\r\n[s]\nk=w\r\n", file.Serialize());
}

TEST(ProfileFile, UntouchedInputSerializesByteForByte) {
    const std::string inputs[] = {
        "",
        "\xEF\xBB\xBF",
        "no line end",
        "[s]",
        "\r\r\n\n\r",
        "top=1\n[s]\r\n; note\r\n\r\nodd\n[s]\nk=1\n[t\n  k = \" v \" \r\n[\x81\x5d]\rk=v",
        std::string("[s]\nk=a\0b\n\0\0=\n[\0]\0", 18)};
    for (const std::string& input : inputs)
        EXPECT_EQ(input, Parsed(input).Serialize());
    EXPECT_EQ("a", Get(Parsed(inputs[6]), "s", "k"));
}

TEST(ProfileFile, WritingChangesOnlyTheLinesItIsAskedTo) {
    CProfileFile file = Parsed("top\n[a]\n; note\nk=1\n\nodd line\n[b]\r\nx=1\r\n[c]\rz=1");
    ASSERT_TRUE(file.WriteString("A", "K", "2"));
    ASSERT_TRUE(file.WriteString("b", "new", "3"));
    ASSERT_TRUE(file.WriteString("c", "y", "4"));
    ASSERT_TRUE(file.WriteString("d", "n", "5"));
    EXPECT_EQ("top\n[a]\n; note\nK=2\r\n\nodd line\n[b]\r\nx=1\r\nnew=3\r\n[c]\rz=1\r\ny=4\r\n"
              "[d]\r\nn=5\r\n",
              file.Serialize());

    CProfileFile bare = Parsed("[a]");
    ASSERT_TRUE(bare.WriteString("b", "k", "2"));
    EXPECT_EQ("[a]\r\n[b]\r\nk=2\r\n", bare.Serialize());
    ASSERT_TRUE(bare.WriteString("a", "k", "1"));
    EXPECT_EQ("[a]\r\nk=1\r\n[b]\r\nk=2\r\n", bare.Serialize());
}

TEST(ProfileFile, RemovedSectionLeavesNoTraceAndReturnsToItsPlace) {
    CProfileFile file = Parsed("[a]\nk=1\n[b]\nk=2\n; b's note\n[c]\nk=3");
    ASSERT_TRUE(file.WriteString(" B ", NULL, NULL));
    EXPECT_EQ("<none>", Get(file, "b", "k"));
    EXPECT_EQ("[a]\nk=1\n[c]\nk=3", file.Serialize());
    ASSERT_TRUE(file.WriteString("b", "j", "9"));
    ASSERT_TRUE(file.WriteString("c", NULL, NULL));
    EXPECT_EQ("[a]\nk=1\n[b]\nj=9\r\n", file.Serialize());
}

TEST(ProfileFile, RemovedKeyTakesItsLineAndLeavesTheOtherKeysFound) {
    CProfileFile file = Parsed("[s]\na=1\nb=2\nb=3\nc=4\n");
    ASSERT_TRUE(file.WriteString("s", "a", NULL));
    ASSERT_TRUE(file.WriteString("s", "b", NULL));
    ASSERT_TRUE(file.WriteString("s", "none", NULL));
    EXPECT_EQ("3", Get(file, "s", "b"));
    ASSERT_TRUE(file.WriteString("s", "c", "5"));
    EXPECT_EQ("[s]\nb=3\nc=5\r\n", file.Serialize());
}

TEST(ProfileFile, AwkwardValuesComeBackByteForByte) {
    for (LPCSTR value : {" a ", "\"x\"", "'y'", "'", "\"", "   ", "", "\t", "a = b", "\"q", "x'",
                         ";", "[z]", "\x81\x61 \x81\x5c"}) {
        CProfileFile file;
        ASSERT_TRUE(file.WriteString("s", "k", value));
        EXPECT_EQ(value, Get(Parsed(file.Serialize()), "s", "k")) << value;
    }
    CProfileFile file;
    file.WriteString("s", "a", " a ");
    file.WriteString("s", "b", "\"x\"");
    file.WriteString("s", "c", "'");
    EXPECT_EQ("[s]\r\na=\" a \"\r\nb=\"\"x\"\"\r\nc='\r\n", file.Serialize());
}

TEST(ProfileFile, WhatCannotBeStoredAsOneReadableLineIsRefusedAndChangesNothing) {
    CProfileFile file = Parsed("[s]\nk=1\n");
    EXPECT_FALSE(file.WriteString("s", "k", "a\nb"));
    EXPECT_FALSE(file.WriteString("s", "k", "a\r"));
    EXPECT_FALSE(file.WriteString("t", "k", "\r\n"));
    EXPECT_FALSE(file.WriteString("s", "a=b", "1"));
    EXPECT_FALSE(file.WriteString("s", ";k", "1"));
    EXPECT_FALSE(file.WriteString("s", " ", "1"));
    EXPECT_FALSE(file.WriteString("t]", "k", "1"));
    EXPECT_EQ("[s]\nk=1\n", file.Serialize());
}

TEST(ProfileFile, DoubleByteNamesAreNotCaseFolded) {
    CProfileFile file;
    ASSERT_TRUE(file.WriteString("\x81\x61", "\x81\x61", "lower"));
    ASSERT_TRUE(file.WriteString("\x81\x61", "\x81\x41", "upper"));
    ASSERT_TRUE(file.WriteString("\x81\x41", "k", "other"));
    CProfileFile read = Parsed(file.Serialize() + "[\x81\x5d]\nk=v\n");
    EXPECT_EQ("lower", Get(read, "\x81\x61", "\x81\x61"));
    EXPECT_EQ("upper", Get(read, "\x81\x61", "\x81\x41"));
    EXPECT_EQ("<none>", Get(read, "\x81\x61", "k"));
    EXPECT_EQ("other", Get(read, "\x81\x41", "K"));
    EXPECT_EQ("v", Get(read, "\x81\x5d", "k")); // trail byte ']' does not end the name
}

namespace {

// The names in a directory, sorted.
std::vector<std::string> List(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0)
            names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

class ProfileFileOnDisk : public testing::Test {
protected:
    ScratchDir m_dir;
};

} // namespace

TEST_F(ProfileFileOnDisk, ReadingAMissingFileGivesAnEmptyImageAndSucceeds) {
    CProfileFile file = Parsed("[s]\nk=v\n");
    EXPECT_TRUE(file.Read(m_dir.Path("none.ini").c_str()));
    EXPECT_EQ("", file.Serialize());
    file.Parse("x", 1);
    EXPECT_TRUE(file.Read(m_dir.Path("none\\none.ini").c_str()));
    EXPECT_EQ("", file.Serialize());
}

TEST_F(ProfileFileOnDisk, ReadingADirectoryOrBigEndianUtf16FailsWithAnEmptyImage) {
    ASSERT_TRUE(CreateDirectoryA(m_dir.Path("d.ini").c_str(), NULL));
    WriteFileBytes(m_dir.Path("be.ini"), std::string("\xFE\xFF\0[\0s\0]", 8));
    for (const char* name : {"d.ini", "be.ini"}) {
        CProfileFile file = Parsed("[s]\nk=v\n");
        EXPECT_FALSE(file.Read(m_dir.Path(name).c_str())) << name;
        EXPECT_EQ("", file.Serialize()) << name;
    }
}

TEST_F(ProfileFileOnDisk, SaveReplacesTheContentAndLeavesNoTemporaryFileBehind) {
    // The name's trail byte is 0x5C, and the second path ends its folder with '/'.
    const std::string paths[] = {m_dir.Path("\x81\x5c.ini"), m_dir.Path() + "/b.ini"};
    // Left by saves of a process that no longer runs and of one that does (the desktop's), and
    // one not of a save.
    DWORD dwRunning = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &dwRunning);
    const std::string live = "b.ini." + std::to_string(dwRunning) + ".tmp";
    for (const char* name : {"b.ini.4294967292.tmp", live.c_str(), "b.ini.x.tmp"})
        WriteFileBytes(m_dir.Path(name), "");
    for (const std::string& path : paths) {
        for (LPCSTR content : {"[old]\r\nk=1\r\n", "[new]\r\n"}) {
            ASSERT_TRUE(Parsed(content).Write(path.c_str()));
            CProfileFile read;
            ASSERT_TRUE(read.Read(path.c_str()));
            EXPECT_EQ(content, read.Serialize());
        }
    }
    EXPECT_EQ((std::vector<std::string>{"b.ini", live, "b.ini.x.tmp", "\x81\x5c.ini"}),
              List(m_dir.Path()));
}

TEST_F(ProfileFileOnDisk, SaveIntoAMissingDirectoryOrBeyondTheSizeLimitFailsLeavingNothing) {
    EXPECT_FALSE(Parsed("[s]\n").Write(m_dir.Path("missing\\a.ini").c_str()));
    EXPECT_FALSE(
        Parsed(std::string(AFX_MAX_PROFILE_BYTES + 1, '\n')).Write(m_dir.Path("a.ini").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), GetLastError());
    EXPECT_TRUE(List(m_dir.Path()).empty());
}

TEST_F(ProfileFileOnDisk, SaveOverADirectoryFailsAndLeavesItAsItWas) {
    std::string dir = m_dir.Path("d.ini");
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL));
    ASSERT_TRUE(Parsed("inner").Write((dir + "\\inner.ini").c_str()));
    EXPECT_FALSE(Parsed("[s]\n").Write(dir.c_str()));
    EXPECT_EQ(std::vector<std::string>{"d.ini"}, List(m_dir.Path()));
    EXPECT_EQ(std::vector<std::string>{"inner.ini"}, List(dir));
}

TEST_F(ProfileFileOnDisk, SaveWorksBeyondMaxPath) {
    // As beside a program placed deeper than MAX_PATH, which start-up allows for.
    std::string path = m_dir.Path();
    for (char letter : {'d', 'e'}) {
        path += "\\" + std::string(150, letter);
        ASSERT_TRUE(CreateDirectoryW(Widen("\\\\?\\" + path).c_str(), NULL));
    }
    path += "\\Quellbox.ini";
    for (LPCSTR content : {"[s]\r\nk=1\r\n", "[s]\r\nk=2\r\n"}) {
        ASSERT_TRUE(Parsed(content).Write(path.c_str()));
        CProfileFile read;
        ASSERT_TRUE(read.Read(path.c_str()));
        EXPECT_EQ(content, read.Serialize());
    }
}

// Quadratic work (a whole-file rewrite or a scan per key) takes seconds here.
// Timing belongs to the benchmark; here the many keys only have to land where they belong.
TEST_F(ProfileFileOnDisk, TwentyThousandKeysAreSetSavedAndFoundAgain) {
    CProfileFile file;
    char key[32];
    for (int i = 0; i < 10000; ++i) {
        sprintf(key, "Entry%d", i);
        file.WriteString("Entries", key, "C:\\Program Files\\Some Tool\\tool.exe");
        file.WriteString("Flags", key, "1");
    }
    std::string path = m_dir.Path("big.ini");
    ASSERT_TRUE(file.Write(path.c_str()));
    CProfileFile read;
    ASSERT_TRUE(read.Read(path.c_str()));
    int found = 0;
    for (int i = 0; i < 10000; ++i) {
        sprintf(key, "entry%d", i);
        found += std::string(read.GetString("flags", key, "")) == "1";
    }
    EXPECT_EQ(10000, found);
    EXPECT_STREQ("C:\\Program Files\\Some Tool\\tool.exe",
                 read.GetString("ENTRIES", "Entry9999", ""));
}
