// Hostile list files and registry values: each is loaded and saved, nothing crashes or hangs,
// the entries are the ones the reading rules define, and a save keeps every other line.
#include "storage/ListFileTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kClsid[] = "5E5E0001-0000-0000-0000-0000000000C0";

// A literal's bytes, NULs included.
#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

struct ListFileCase {
    const char* what;
    std::string bytes;
    std::vector<std::string> names; // what Load must give, in order
    std::vector<std::string> kept;  // runs of bytes a save must leave as they are
};

std::vector<ListFileCase> ListFileCorpus() {
    std::vector<ListFileCase> corpus;
    corpus.push_back(
        // Not at the very start: there FF FE is the mark of a UTF-16 file.
        {"binary garbage around the list",
         BYTES("\x01\xFF\xFE[\x02=\x03\n\x80\x81\x82\n") + "[Setting]\nN0=a\nS0=1\n" +
             BYTES("[\xFF\x00\x01]\n\x7F=\x80\n"),
         {"a"},
         {BYTES("\x01\xFF\xFE[\x02=\x03\n\x80\x81\x82\n"), BYTES("[\xFF\x00\x01]\n\x7F=\x80\n")}});
    corpus.push_back({"NUL bytes inside a value",
                      BYTES("[Setting]\r\nN0=ab\0cd\r\nS0=1\r\n[K]\r\nz=\0\r\n"),
                      {"ab"},
                      {BYTES("[K]\r\nz=\0\r\n")}});
    corpus.push_back({"a value of one megabyte",
                      "[Setting]\nN0=" + std::string(1 << 20, 'x') + "\nS0=1\n[End]\n; end\n",
                      {std::string(1 << 20, 'x')},
                      {"; end\n"}});
    // Read, as by Windows, through UTF-16.
    corpus.push_back({"a lone lead byte at the end of a value",
                      "[Setting]\r\nN0=abc\x81\r\nS0=1\x81\r\n",
                      {"abc?"},
                      {}});
    // Windows reads the mark as part of the first line: the header goes on a line of its own.
    corpus.push_back({"a UTF-8 byte-order mark",
                      "\xEF\xBB\xBF[Setting]\r\nN0=a\r\nS0=1\r\n",
                      {"a"},
                      {"\xEF\xBB\xBF\r\n[Setting]\r\n"}});
    corpus.push_back({"CR-only line ends",
                      "[Other]\rk=v\r[Setting]\rN0=a\rS0=1\r[Z]\rq=r",
                      {"a"},
                      {"[Other]\rk=v\r[Setting]\r", "[Z]\rq=r"}});
    corpus.push_back(
        {"keys out of order", "[Setting]\nS1=2\nN1=b\n;c\nS0=1\nN0=a\n", {"a", "b"}, {}});
    corpus.push_back({"two list sections",
                      "[Setting]\nN0=a\nS0=1\n[setting]\nN0=b\nS0=2\nN1=c\n[K]\n",
                      {"a"},
                      {"[K]\n"}});
    // Every position is read, however the numbers run; the save numbers them from 0.
    corpus.push_back({"a gap, a list numbered from 1, huge indexes, N05",
                      "[Setting]\nN1=a\nS1=1\nn999999999=z\ns999999999=9\nN3=c\nS3=3\n"
                      "N05=x\nS05=5\nN0000000000000000001=y\nS30000000000=30\n",
                      {"a", "c", "z", "30"},
                      {}});
    corpus.push_back({"an empty CLSID is no entry, a missing name is the CLSID",
                      "[Setting]\nN0=a\nS0=\nS1=B1\nN2=c\nS2= 3 \n",
                      {"B1", "c"},
                      {}});
    const std::string list = "[Setting]\nN0=a\nS0=1\n";
    corpus.push_back({"empty lines up to the size limit",
                      std::string(AFX_MAX_PROFILE_BYTES - list.size() - 2, '\n') + list,
                      {"a"},
                      {}});
    // A thousand entries, and 98,000 keys of another section that a save must carry over.
    ListFileCase many = {"100,000 keys", "[Setting]\n", {}, {}};
    for (int i = 0; i < 1000; ++i) {
        std::string n = std::to_string(i);
        many.bytes += "N" + n + "=name " + n + "\nS" + n + "=" + kClsid + "\n";
        many.names.push_back("name " + n);
    }
    std::string other = "[Other]\n";
    for (int i = 0; i < 98000; ++i)
        other += "key" + std::to_string(i) + "=value\n";
    many.bytes += other;
    many.kept.push_back(other);
    corpus.push_back(many);
    return corpus;
}

class Corpus : public ListFileTest {
protected:
    ~Corpus() override { DeleteCompatKey(kClsid); }
};

} // namespace

TEST_F(Corpus, HostileListFilesLoadByTheRulesAndSaveKeepsEverythingElse) {
    for (const ListFileCase& c : ListFileCorpus()) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(listFile, c.bytes);
        EntryRows loaded = Load();
        ASSERT_EQ(c.names.size(), loaded.m_entries.size());
        for (size_t i = 0; i < c.names.size(); ++i)
            ASSERT_EQ(c.names[i], std::string(loaded.m_entries[i].strName)) << i;

        ASSERT_TRUE(EntryList::Save(loaded).Succeeded());
        const std::string saved = ReadFileBytes(listFile);
        for (const std::string& run : c.kept)
            EXPECT_NE(std::string::npos, saved.find(run)) << run.substr(0, 40);
        EXPECT_EQ(loaded.Named(), ListFileAsWindowsReadsIt(listFile));

        EntryRows again = Load();
        ASSERT_EQ(loaded.m_entries.size(), again.m_entries.size());
        for (size_t i = 0; i < again.m_entries.size(); ++i) {
            ASSERT_EQ(std::string(loaded.m_entries[i].strName),
                      std::string(again.m_entries[i].strName));
            ASSERT_EQ(std::string(loaded.m_entries[i].strClsid),
                      std::string(again.m_entries[i].strClsid));
        }
    }
}

TEST_F(Corpus, OnlyADwordOrFourBinaryBytesHoldFlagsAndAnythingElseIsReplaced) {
    struct ValueCase {
        const char* what;
        DWORD type;
        std::string data;
        bool blocked;
        DWORD afterTick;  // the REG_DWORD a ticked save leaves
        DWORD afterClear; // and a cleared one
    };
    const ValueCase corpus[] = {
        {"REG_SZ \"1024\"", REG_SZ, std::string("1024", 5), false, 0x400, 0},
        // Four bytes holding the bit once converted to ANSI: 0x00343434, 0x00003434.
        {"REG_SZ \"444\"", REG_SZ, std::string("444", 4), false, 0x400, 0},
        {"REG_EXPAND_SZ \"444\"", REG_EXPAND_SZ, std::string("444", 4), false, 0x400, 0},
        {"REG_MULTI_SZ \"44\"", REG_MULTI_SZ, std::string("44\0", 4), false, 0x400, 0},
        {"REG_QWORD 0x400", REG_QWORD, std::string("\x00\x04\0\0\0\0\0\0", 8), false, 0x400, 0},
        {"REG_BINARY of 2 bytes", REG_BINARY, std::string("\x00\x04", 2), false, 0x400, 0},
        {"REG_BINARY of 8 bytes", REG_BINARY, std::string("\x00\x04\0\0\0\0\0\0", 8), false, 0x400,
         0},
        {"REG_BINARY of 4 bytes", REG_BINARY, std::string("\x01\x04\0\0", 4), true, 0x401, 0x1},
        {"REG_DWORD_BIG_ENDIAN 0x400", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x04\0", 4), false,
         0x400, 0},
        {"an empty value", REG_BINARY, std::string(), false, 0x400, 0},
    };
    for (const ValueCase& c : corpus) {
        SCOPED_TRACE(c.what);
        for (bool tick : {true, false}) {
            DeleteCompatKey(kClsid);
            SetFlags(kClsid, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
            WriteFileBytes(listFile, std::string("[Setting]\r\nN0=x\r\nS0=") + kClsid + "\r\n");
            EntryRows rows = Load();
            ASSERT_EQ(1u, rows.m_entries.size());
            EXPECT_EQ(c.blocked, rows.m_entries[0].bBlocked);

            rows.m_entries[0].bBlocked = tick;
            ASSERT_TRUE(EntryList::Save(rows).Succeeded());
            EXPECT_EQ(HexDword(tick ? c.afterTick : c.afterClear), DescribeFlags(kClsid, kOwnView));
        }
    }
}
