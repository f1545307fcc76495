// quellctl's commands called in this process, and quellctl.exe run as its own process where
// only a process shows it, against the real registry and real list files.
#include "framework/WinApp.h"
#include "quellctl/CommandLine.h"
#include "quellctl/Commands.h"
#include "quellctl/Transfer.h"
#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

const int kGroup = 5, kLastClsid = 15;
std::string Clsid(int n) { return TestClsid(kGroup, n); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

const char kGbkName[] = "\xB2\xE2\xCA\xD4\xBF\xD8\xBC\xFE"; // four double-byte characters
const char kUtf8Name[] = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\x8E\xA7\xE4\xBB\xB6"; // the same, in UTF-8
const DWORD kMissing = ~0u;

// The tables' kill-bit columns and cells by registry view: a 32-bit and a 64-bit one, or on 32-bit
// Windows one, named without a number and holding the 64-bit one's value (see FlagsByView).
std::string ViewColumns(const std::string& name) {
    return HasTwoRegistryViews() ? name + "32," + name + "64" : name;
}
std::string ViewCells(const std::string& in32, const std::string& in64) {
    return HasTwoRegistryViews() ? in32 + "," + in64 : in64;
}
// The views a control is registered in: with one view, the 32-bit one.
std::string RegisteredIn(const std::string& views) { return HasTwoRegistryViews() ? views : "32"; }

const char kControlCategory[] = "Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}";
const char kScriptingCategory[] = "Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const char kInitializingCategory[] =
    "Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
const char kBadClassKey[] = "{5E5E0005-BAD}";
// Catalogued controls the tests register: in two documents under two spellings of one name, and
// with a name of 105 bytes that code page 936 lacks a character of.
const std::string kKnown[] = {"31087270-D348-432C-899E-2D2F38FF29A0",
                              "D4C0DB38-B682-42A8-AF62-DB9247543354"};

std::string ClassKey(const std::string& clsid) { return "{" + clsid + "}"; }
std::string ClassKey(int n) { return ClassKey(Clsid(n)); }

// HKEY_CLASSES_ROOT\CLSID\<key>\<subkey> in one view, with a default value when a type is
// given.
void SetClassKey(const std::string& key, const std::string& subkey, REGSAM view,
                 DWORD type = REG_NONE, const std::string& data = "") {
    std::string path = "CLSID\\" + key + (subkey.empty() ? "" : "\\" + subkey);
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, NULL, 0,
                                               KEY_SET_VALUE | view, NULL, &hKey, NULL))
        << path;
    if (type != REG_NONE) {
        EXPECT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExA(hKey, "", 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>(data.size() + (type == REG_BINARY ? 0 : 1))));
    }
    ::RegCloseKey(hKey);
}

void DeleteClassKeys() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY hClsid;
        if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS | view, &hClsid) !=
            ERROR_SUCCESS)
            continue;
        for (int n = 1; n <= kLastClsid; ++n)
            ::RegDeleteTreeA(hClsid, ClassKey(n).c_str());
        for (const std::string& known : kKnown)
            ::RegDeleteTreeA(hClsid, ClassKey(known).c_str());
        ::RegDeleteTreeA(hClsid, kBadClassKey);
        ::RegCloseKey(hClsid);
    }
}

// The lines of a scan's CSV that are this program's own classes.
std::vector<std::string> OwnRows(const std::string& csv) {
    std::vector<std::string> rows;
    for (const std::string& line : Lines(csv)) {
        if (line.compare(0, 9, "5E5E0005-") == 0)
            rows.push_back(line);
    }
    return rows;
}

std::vector<Entry> Entries(const NamedClsids& named) {
    std::vector<Entry> entries;
    for (const auto& [name, clsid] : named)
        entries.push_back({name.c_str(), clsid.c_str(), false});
    return entries;
}

// The cells of a row for comma-separated JSON fields (as ViewColumns names them), comma-separated.
std::string Cells(const CTable& table, size_t nRow, const std::string& fields) {
    std::string cells;
    for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = fields.find(',', start);
        cells += (start ? "," : "") +
                 std::string(table.GetCell(nRow, fields.substr(start, end - start).c_str()));
    }
    return cells;
}

size_t FindRow(const CTable& table, const std::string& clsid) {
    size_t nRow = 0;
    while (nRow < table.GetRowCount() && clsid != std::string(table.GetCell(nRow, "clsid")))
        ++nRow;
    return nRow;
}

// Each control's values in an export of these entries, as "key=value " in the files' hex; a
// value other than the flags with "\\<name>" after its key.
std::vector<std::string> Exported(const NamedClsids& named, unsigned readers) {
    std::vector<std::string> controls;
    for (const ExportControl& control : DescribeExport(Entries(named), readers)) {
        std::string values;
        for (const ExportValue& value : control.values) {
            const std::string name = value.pszValueName;
            values += std::string(value.strKeyPath) +
                      (name == KILL_BIT_VALUE_NAME ? "" : "\\" + name) + "=" +
                      HexDword(value.dwValue).substr(2) + " ";
        }
        controls.push_back(values);
    }
    return controls;
}

// The rows of the kill-bit catalogue's data file: CLSID, product (UTF-8), document.
std::vector<std::vector<std::string>> CatalogueRows() {
    static const std::regex row("\n([^\t\n]*)\t([^\t\n]*)\t([^\t\n]*)\t");
    const std::string text = ReadFileBytes(BuiltProgramPath("QUELLBOX_KILLBITS"));
    std::vector<std::vector<std::string>> rows;
    for (std::sregex_iterator r(text.begin(), text.end(), row), end; r != end; ++r)
        rows.push_back({(*r)[1], (*r)[2], (*r)[3]});
    return rows;
}

std::vector<std::string> CatalogueClsids() {
    std::set<std::string> clsids;
    for (const std::vector<std::string>& row : CatalogueRows())
        clsids.insert(row[0]);
    return std::vector<std::string>(clsids.begin(), clsids.end());
}

// UTF-8 in the ANSI code page, as Windows converts it.
std::string Ansi(const std::string& utf8) {
    wchar_t wide[256];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide, 256);
    char ansi[512];
    return std::string(ansi, WideCharToMultiByte(CP_ACP, 0, wide, n, ansi, 512, NULL, NULL));
}

std::string Lower(std::string text) {
    for (char& ch : text)
        ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    return text;
}

// The kill-bit keys of real CLSIDs deleted for a test, and put back as they were at the end:
// other tests share the prefix.
class ClearedFlags {
public:
    explicit ClearedFlags(const std::vector<std::string>& clsids) {
        for (const std::string& clsid : clsids) {
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
                m_kept.emplace_back(clsid, view, FlagsIn(clsid, view));
            DeleteCompatKey(clsid);
        }
    }
    ~ClearedFlags() {
        for (const auto& [clsid, view, value] : m_kept) {
            if (view == KEY_WOW64_32KEY)
                DeleteCompatKey(clsid);
            if (value != kMissing)
                SetFlags(clsid, value, view);
        }
    }

private:
    std::vector<std::tuple<std::string, REGSAM, DWORD>> m_kept;
};

class Quellctl : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        DeleteTestClsidKeys(kGroup, kLastClsid);
        // Office's too: the tests' ScratchKeys remove them only where Office's own key was new.
        for (int n = 1; n <= kLastClsid; ++n)
            DeleteCompatKey(OfficeKey(Clsid(n)));
        DeleteClassKeys();
    }

    // Controls 10 to 14 of every kind a scan tells apart, and a plain class (13):
    // 10 by its Control key, in both views, blocked; 11 by its category only, with a local
    // server and no name, listed; 12 with both safety marks and a Chinese name, blocked in one
    // view only; 14 in the 32-bit view only, safe for initialising, blocked, its name 60 bytes
    // long.
    void RegisterControls() {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            SetClassKey(ClassKey(10), "", view, REG_SZ, "Ten Control");
            SetClassKey(ClassKey(10), "Control", view);
            SetClassKey(ClassKey(10), "InprocServer32", view, REG_SZ, "C:\\q\\ten.ocx");
        }
        SetClassKey(ClassKey(11), kControlCategory, KEY_WOW64_64KEY);
        SetClassKey(ClassKey(11), "LocalServer32", KEY_WOW64_64KEY, REG_SZ, "C:\\q\\eleven.exe");
        SetClassKey(ClassKey(12), "", KEY_WOW64_64KEY, REG_SZ, kGbkName);
        for (const char* subkey : {"Control", kScriptingCategory, kInitializingCategory})
            SetClassKey(ClassKey(12), subkey, KEY_WOW64_64KEY);
        SetClassKey(ClassKey(12), "InprocServer32", KEY_WOW64_64KEY, REG_SZ, "C:\\q\\twelve.dll");
        SetClassKey(ClassKey(13), "", KEY_WOW64_64KEY, REG_SZ, "Plain");
        SetClassKey(ClassKey(13), "InprocServer32", KEY_WOW64_64KEY, REG_SZ, "C:\\q\\plain.dll");
        std::string longName;
        for (int i = 0; i < 30; ++i)
            longName += "\xB2\xE2";
        SetClassKey(ClassKey(14), "", KEY_WOW64_32KEY, REG_SZ, longName);
        SetClassKey(ClassKey(14), "Control", KEY_WOW64_32KEY);
        SetClassKey(ClassKey(14), kInitializingCategory, KEY_WOW64_32KEY);
        SetClassKey(ClassKey(14), "InprocServer32", KEY_WOW64_32KEY, REG_SZ, "C:\\q\\14.dll");
        SetFlags(Clsid(10), 0x400);
        if (HasTwoRegistryViews()) // with one view, not blocked
            SetFlags(Clsid(12), 0x401, KEY_WOW64_32KEY);
        SetFlags(Clsid(14), 0x400);
        WriteList({{"eleven", Clsid(11)}});
    }

    // The command as main runs it, here: the words of args split at blanks outside quotes.
    Outcome Ctl(const std::string& args) {
        std::vector<std::string> words = {"quellctl", "--ini", m_ini};
        bool bInWord = false, bQuoted = false;
        for (char ch : args) {
            if (ch == ' ' && !bQuoted) {
                bInWord = false;
                continue;
            }
            if (!bInWord)
                words.emplace_back();
            bInWord = true;
            if (ch == '"')
                bQuoted = !bQuoted;
            else
                words.back() += ch;
        }
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        Outcome o = {0, "", ""};
        COutput out(&o.out, &o.err);
        Arguments parsed;
        int nCode = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, &parsed);
        if (nCode == 0 && parsed.bHelp) {
            out.Print(QUELLCTL_USAGE);
        } else if (nCode == 0) {
            CWinApp app("quellctl");
            app.m_pszProfileName = _strdup(parsed.pszIni);
            nCode = RunCommand(parsed, out);
        }
        o.code = out.Finish(nCode);
        return o;
    }
    // quellctl.exe, for what only a process shows: its exit code, its output handles, the lock.
    Outcome Process(const std::string& args, HANDLE hStdOut = NULL) {
        return RunProcess("\"" + QuellctlExe() + "\" --ini \"" + m_ini + "\" " + args, hStdOut);
    }
    void WriteList(const NamedClsids& entries, const std::string& more = "") {
        WriteFileBytes(m_ini, ListFileText(entries) + more);
    }
    std::string List() { return ReadFileBytes(m_ini); }

    ScratchDir m_dir;
    std::string m_ini = m_dir.Path("list.ini");
};

TEST_F(Quellctl, HelpGoesToStdoutAndExitsZero) {
    for (const Outcome& o : {RunProcess("\"" + QuellctlExe() + "\" /?"), Ctl("--help")}) {
        EXPECT_EQ(0u, o.code);
        EXPECT_TRUE(Contains(o.out, "Usage: quellctl"));
        EXPECT_EQ("", o.err);
    }
}

TEST_F(Quellctl, BadUsageExitsTwoAndNamesTheArgument) {
    const std::pair<std::string, std::string> cases[] = {
        {"frob", "\"frob\""},
        {"list --frob", "\"--frob\""},
        {"list x", "\"x\""},
        {"block 5E5E0005-0000-0000-0000-00000000000G", "00000000000G"},
        {"block {5E5E0005-0000-0000-0000-000000000001", "{5E5E0005"},
        {"block 5E5E00050-000-0000-0000-000000000001", "5E5E00050-000"},
        {"unblock --all " + Clsid(1), Clsid(1)},
        {"block --add", "--add"},
        {"block --add --office " + Clsid(1), "--add"},
        {"export", "FILE"},
        {"list --gpp", "--gpp"},
        {"import", "FILE"},
        {"scan x", "\"x\""},
        {"list --csv --json", "--json"},
        {"list --unblocked", "--unblocked"},
        {"scan --all", "--all"},
        {"check", "CLSID"},
        {"check --all " + Clsid(1), Clsid(1)},
        {"check nonsense", "nonsense"},
        {"list --office", "--office"},
        // Answers about a list file that is not there would be vacuous.
        {"check --all", m_ini},
        {"block --all", m_ini},
        {"export \"" + m_dir.Path("out.reg") + "\"", m_ini},
        {"unblock --known", "--known"},
        {"block --known " + Clsid(1), Clsid(1)},
        {"check --known --add", "--add"},
        // The catalogue is Internet Explorer's: Office keeps its own kill bits.
        {"check --known --office", "Office keeps its own"},
        {"block --known --office --installed", "Office keeps its own"},
        {"scan --installed", "--installed"},
    };
    for (const auto& c : cases) {
        Outcome o = Ctl(c.first);
        EXPECT_EQ(2u, o.code) << c.first;
        EXPECT_TRUE(Contains(o.err, c.second)) << c.first << ": " << o.err;
    }
    // A bad CLSID anywhere stops the command before the first write.
    EXPECT_EQ(2u, Process("block " + Clsid(1) + " nonsense").code);
    EXPECT_EQ("no key", DescribeFlags(Clsid(1)));
}

TEST_F(Quellctl, BlockAndUnblockKeepOtherBitsInEveryView) {
    SetFlags(Clsid(3), 0x1, KEY_WOW64_32KEY);
    SetFlags(Clsid(3), 0x10400, KEY_WOW64_64KEY);
    // Braces and lower case are the same control.
    Outcome o = Ctl("block {5e5e0005-0000-0000-0000-000000000003} " + Clsid(4));
    EXPECT_EQ(0u, o.code) << o.err;
    EXPECT_TRUE(Contains(o.out, Clsid(3)));
    EXPECT_EQ(FlagsByView("0x00000401", "0x00010400"), DescribeFlags(Clsid(3)));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(4)));

    EXPECT_EQ(0u, Ctl("unblock " + Clsid(3)).code);
    EXPECT_EQ(FlagsByView("0x00000001", "0x00010000"), DescribeFlags(Clsid(3)));
}

TEST_F(Quellctl, AllActsOnEveryListedEntry) {
    WriteList({{"a", Clsid(1)}, {"b", Clsid(2)}});
    SetFlags(Clsid(2), 0x400, KEY_WOW64_64KEY);
    EXPECT_EQ(0u, Ctl("block --all").code);
    for (int n : {1, 2})
        EXPECT_EQ("0x00000400", DescribeFlags(Clsid(n))) << n;
    EXPECT_EQ(0u, Ctl("unblock --all").code);
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(2)));
}

TEST_F(Quellctl, AddListsAnUnlistedEntryAtTheEndOnly) {
    WriteList({{"a", Clsid(1)}}, "[Other]\r\nkeep=me\r\n");
    Outcome o = Ctl("block --add " + std::string(kGbkName) + " " + Clsid(2));
    EXPECT_EQ(0u, o.code) << o.err;
    std::string list = List();
    EXPECT_TRUE(Contains(list, "N1=" + std::string(kGbkName) + "\r\nS1=" + Clsid(2)));
    EXPECT_TRUE(Contains(list, "[Other]\r\nkeep=me"));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(2)));

    // Listed already, in another case: only the flag changes.
    EXPECT_EQ(0u, Ctl("unblock --add other {5e5e0005-0000-0000-0000-000000000002}").code);
    EXPECT_EQ(list, List());
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(2)));
}

TEST_F(Quellctl, ListShowsStateRawFlagsAndRegistration) {
    HKEY key;
    ::RegCreateKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\{" + Clsid(1) + "}\\InprocServer32").c_str(), 0,
                      NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
    ::RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\q\\t.dll"), 11);
    ::RegCloseKey(key);
    ::RegSetValueA(HKEY_CLASSES_ROOT, ("CLSID\\{" + Clsid(1) + "}").c_str(), REG_SZ, "Test Class",
                   10);
    WriteList({{kGbkName, Clsid(1)}, {"x, \"y\"", Clsid(2)}});
    SetFlags(Clsid(1), 0x400);
    SetFlags(Clsid(2), 0x401, KEY_WOW64_32KEY);
    DWORD shortValue = 0x400;
    SetFlags(Clsid(2), REG_BINARY, &shortValue, 2, KEY_WOW64_64KEY);

    Outcome csv = Ctl("list --csv");
    EXPECT_EQ(0u, csv.code);
    EXPECT_EQ("Name,CLSID,Blocked," + ViewColumns("Flags") + ",Alternate,AltBlocked,Office," +
                  ViewColumns("OfficeFlags") + "," + ViewColumns("OfficeOverride") +
                  ",Registered,Class,Server\r\n" + kGbkName + "," + Clsid(1) + ",yes," +
                  ViewCells("0x00000400", "0x00000400") + ",,,no," + ViewCells("-", "-") + "," +
                  ViewCells("-", "-") + ",yes,Test Class,C:\\q\\t.dll\r\n\"x, \"\"y\"\"\"," +
                  Clsid(2) + ",no," + ViewCells("0x00000401", "?") + ",,,no," +
                  ViewCells("-", "-") + "," + ViewCells("-", "-") + ",no,,\r\n",
              csv.out);

    std::vector<std::string> rows = Lines(Ctl("list").out);
    ASSERT_EQ(3u, rows.size());
    // Columns line up under the header, the double-byte name taking two columns a character.
    EXPECT_EQ(rows[0].find("CLSID"), rows[1].find(Clsid(1)));
    EXPECT_EQ(rows[0].find("CLSID"), rows[2].find(Clsid(2)));
    EXPECT_EQ(rows[0].find("Server"), rows[1].find("C:\\q\\t.dll"));
    EXPECT_EQ(rows[0].find(HasTwoRegistryViews() ? "Flags64" : "Flags"), rows[2].find("?"));
    EXPECT_EQ(rows[2].size(), rows[0].find("Server") + 1); // the missing server as "-"
}

TEST_F(Quellctl, ExportsSetTheListsKillBitsUnderBothPathsAndRegImportRestoresThem) {
    // 4 listed twice, by a name XML must escape; 5 blocked in the 32-bit view only, so unblocked
    // in the list, and without a value in the other. With one view, 5 is blocked.
    const std::string awkward = " & <\"x\">\t&amp;";
    WriteList({{kGbkName + awkward, Clsid(4)}, {"five", Clsid(5)}, {"4 again", Clsid(4)}});
    SetFlags(Clsid(4), 0x401, KEY_WOW64_32KEY);
    SetFlags(Clsid(4), 0x400, KEY_WOW64_64KEY);
    SetFlags(Clsid(5), 0x402, KEY_WOW64_32KEY);
    const std::string xml = m_dir.Path("Registry.xml"), reg = m_dir.Path("out.reg");
    ASSERT_EQ(0u, Ctl("export --gpp \"" + xml + "\"").code);
    ASSERT_EQ(0u, Ctl("export \"" + reg + "\"").code);
    // Each control once: a collection a control, an item a value.
    EXPECT_EQ("2 4", std::to_string(Count(ReadFileBytes(xml), "<Collection ")) + " " +
                         std::to_string(Count(ReadFileBytes(xml), "<Properties ")));
    EXPECT_EQ(std::string("\xFF\xFEW\0i\0", 6), ReadFileBytes(reg).substr(0, 6));

    // The .reg file sets what the export describes, imported into emptied keys; the missing value
    // went out as what it counted as. From one view, both paths hold its value.
    const std::vector<std::string> exported = Exported({{"", Clsid(4)}, {"", Clsid(5)}}, READER_IE);
    DeleteTestClsidKeys(kGroup, kLastClsid);
    Outcome imported = RunProcess("reg.exe import \"" + reg + "\" /reg:64");
    ASSERT_EQ(0u, imported.code) << imported.err;
    const char* values[] = {"00000401", "00000400", "00000002", "00000000"};
    const char* oneView[] = {"00000400", "00000400", "00000402", "00000402"};
    std::string expected;
    for (int i = 0; i < 4; ++i) {
        const std::string key = "SOFTWARE\\" + std::string(i % 2 ? "" : "Wow6432Node\\") +
                                CompatKey(Clsid(i < 2 ? 4 : 5)).substr(9);
        const char* value = (HasTwoRegistryViews() ? values : oneView)[i];
        expected += key + "=" + value + (i % 2 ? " |" : " ");
        // The 64-bit view names the 32-bit one's keys by their Wow6432Node path, as the file does.
        EXPECT_EQ("0x" + std::string(value), DescribeFlags(key, KEY_WOW64_64KEY)) << key;
    }
    EXPECT_EQ(expected, exported.at(0) + "|" + exported.at(1) + "|");

    // The .reg file lists the controls again, by name, once each, cleaned as any name is.
    m_ini = m_dir.Path("fresh.ini");
    Outcome back = Ctl("import \"" + reg + "\"");
    EXPECT_TRUE(back.code == 0 && back.err.empty()) << back.err;
    EXPECT_EQ(
        ListFileText({{std::string(kGbkName) + " & <\"x\"> &amp;", Clsid(4)}, {"five", Clsid(5)}}),
        List());

    // A name XML cannot carry writes no file.
    WriteList({{"bell\a", Clsid(6)}});
    Outcome bad = Ctl("export --gpp \"" + m_dir.Path("bad.xml") + "\"");
    EXPECT_TRUE(bad.code == 1 && Contains(bad.err, "bell\a")) << bad.err;
    EXPECT_FALSE(FileExists(m_dir.Path("bad.xml")));
    for (int n : {4, 5}) // imported with one view as keys of that name
        DeleteCompatKey("Software\\Wow6432Node\\" + CompatKey(Clsid(n)).substr(9));
}

TEST_F(Quellctl, ImportOfTextSkipsBadAndDuplicateLinesAndKeepsFlags) {
    WriteList({{"one", Clsid(1)}});
    SetFlags(Clsid(6), 0x401);
    std::string file = m_dir.Path("in.txt");
    WriteFileBytes(file, "{5e5e0005-0000-0000-0000-000000000006}  \xC1\xF9\xBA\xC5\r\n"
                         "not-a-clsid here\r\n"
                         "5e5e0005-0000-0000-0000-000000000001 listed\r\n"
                         "\r\n" +
                             Clsid(7) + "\r\n" + Clsid(6) + " again\r\n");
    Outcome o = Ctl("import \"" + file + "\"");
    EXPECT_EQ(0u, o.code) << o.err;
    std::vector<std::string> skipped = Lines(o.err);
    ASSERT_EQ(3u, skipped.size()) << o.err;
    EXPECT_TRUE(Contains(skipped[0], "(2)") && Contains(skipped[0], "not-a-clsid here") &&
                Contains(skipped[0], "not a CLSID"));
    EXPECT_TRUE(Contains(skipped[1], "(3)") && Contains(skipped[1], "duplicate"));
    EXPECT_TRUE(Contains(skipped[2], "(6)") && Contains(skipped[2], "duplicate"));
    EXPECT_TRUE(Contains(List(), "N1=\xC1\xF9\xBA\xC5\r\nS1=" + Clsid(6) + "\r\nN2=" + Clsid(7) +
                                     "\r\nS2=" + Clsid(7) + "\r\n"));
    EXPECT_EQ("0x00000401", DescribeFlags(Clsid(6)));

    // Notepad's UTF-8, with its byte-order mark: the same lines, the name in the ANSI code page.
    WriteFileBytes(file, "\xEF\xBB\xBF" + Clsid(8) + " " + kUtf8Name + "\r\n");
    o = Ctl("import \"" + file + "\"");
    EXPECT_EQ(0u, o.code);
    EXPECT_EQ("", o.err);
    EXPECT_TRUE(Contains(List(), "N3=" + std::string(kGbkName) + "\r\nS3=" + Clsid(8) + "\r\n"));

    // Big-endian UTF-16 is refused, as the list file refuses it.
    WriteFileBytes(file, std::string("\xFE\xFF\0{", 4));
    o = Ctl("import \"" + file + "\"");
    EXPECT_TRUE(o.code == 1 && Contains(o.err, file)) << o.err;

    // CR-only line ends, and names as the dialog could have taken them: one line, 50 bytes.
    std::string longName;
    for (int i = 0; i < 30; ++i)
        longName += "\xB2\xE2";
    WriteFileBytes(file, Clsid(10) + " a\x01" + "b\r" + Clsid(11) + " " + longName + "\r");
    o = Ctl("import \"" + file + "\"");
    EXPECT_TRUE(o.code == 0 && o.err.empty()) << o.err;
    EXPECT_TRUE(Contains(List(), "N4=a b\r\nS4=" + Clsid(10) + "\r\nN5=" + longName.substr(0, 50) +
                                     "\r\nS5=" + Clsid(11)))
        << List();

    // Blocked in one view only: its row would unblock it at the dialog's next OK.
    if (HasTwoRegistryViews()) {
        SetFlags(Clsid(9), 0x400, KEY_WOW64_32KEY);
        WriteFileBytes(file, Clsid(9) + "\r\n");
        o = Ctl("import \"" + file + "\"");
        EXPECT_TRUE(Contains(o.err, "blocked in some registry views only")) << o.err;
        EXPECT_FALSE(Contains(List(), Clsid(9)));
    }
}

TEST_F(Quellctl, FailedWritesOfTheListKillBitsOrOutputExitOneAndTheRestIsStillDone) {
    std::string text = m_dir.Path("in.txt");
    WriteFileBytes(text, Clsid(8) + "\r\n");
    EXPECT_EQ(1u, Ctl("import \"" + m_dir.Path("missing.txt") + "\"").code);

    m_ini = m_dir.Path("dir.ini");
    ::CreateDirectoryA(m_ini.c_str(), NULL);
    for (const std::string& args : {"block --add n " + Clsid(8), "import \"" + text + "\""}) {
        Outcome o = Ctl(args);
        EXPECT_EQ(1u, o.code) << args;
        EXPECT_TRUE(Contains(o.err, m_ini)) << args << ": " << o.err;
    }

    m_ini = m_dir.Path("list.ini");
    std::string longText(300, 'A');
    WriteList({{"long", longText}, {"fine", Clsid(9)}});
    Outcome o = Ctl("block --all");
    EXPECT_EQ(1u, o.code);
    EXPECT_TRUE(Contains(o.err, longText)) << o.err;
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(9)));

    // A standard user: a kill bit already as wanted needs no write access.
    DenyKillBitWrites deny(Clsid(9));
    EXPECT_EQ(0u, Ctl("block " + Clsid(9)).code);
    EXPECT_EQ(1u, Ctl("unblock " + Clsid(9)).code);
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(9)));

    // A save that could not move its temporary file into place left the only copy there: no
    // command takes the missing list for an empty one, nor deletes that copy, until it is back.
    m_ini = m_dir.Path("orphan.ini");
    const std::string temp = m_ini + ".99999.tmp"; // of a process that has ended
    WriteFileBytes(temp, ListFileText({{"kept", Clsid(1)}}));
    for (const std::string& args :
         {"block --add n " + Clsid(2), std::string("list"), std::string("check --all")}) {
        Outcome o = Ctl(args);
        EXPECT_TRUE(o.code == 1 && Contains(o.err, temp)) << args << ": " << o.err;
    }
    EXPECT_TRUE(FileExists(temp) && !FileExists(m_ini));
    EXPECT_EQ("no key", DescribeFlags(Clsid(2)));
    ::CopyFileA(temp.c_str(), m_ini.c_str(), TRUE);
    EXPECT_EQ(0u, Ctl("block --add n " + Clsid(2)).code);
    EXPECT_FALSE(FileExists(temp));

    // Output to a closed pipe, and to a full disk: Wine's view of Linux's /dev/full.
    WriteList({{"a", Clsid(1)}});
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE reader, closedPipe;
    ASSERT_TRUE(::CreatePipe(&reader, &closedPipe, &sa, 0) && ::CloseHandle(reader));
    HANDLE full = ::CreateFileA("Z:\\dev\\full", GENERIC_WRITE, 0, &sa, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, full);
    for (HANDLE out : {closedPipe, full}) {
        for (const char* args : {"list --json", "block --all", "/?"}) {
            Outcome o = Process(args, out);
            EXPECT_TRUE(o.code == 1 && Contains(o.err, "cannot write the output")) << args << o.err;
        }
        ::CloseHandle(out);
    }
}

TEST_F(Quellctl, ChangesOfTheListAtOnceAllLand) {
    WriteList({{"a", Clsid(1)}});
    std::vector<Outcome> outcomes(8);
    std::vector<std::thread> runs;
    for (int n = 2; n <= 7; ++n)
        runs.emplace_back([&, n] {
            outcomes[n] = Process("block --add n" + std::to_string(n) + " " + Clsid(n));
        });
    for (std::thread& run : runs)
        run.join();
    const std::string list = List();
    for (int n = 1; n <= 7; ++n) {
        EXPECT_TRUE(Contains(list, "=" + Clsid(n) + "\r\n")) << n << ": " << list;
        EXPECT_EQ(0u, outcomes[n].code) << outcomes[n].err;
    }

    // Held by another all the while: nothing is done, and what holds the list is named; a
    // command that only writes kill bits waits for it too, as the dialog's save counts on.
    const std::string lock = m_ini + ".lock";
    EXPECT_FALSE(FileExists(lock));
    HANDLE held = ::CreateFileA(lock.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_FLAG_DELETE_ON_CLOSE, NULL);
    Outcome refused[2];
    std::thread late([&] { refused[0] = Process("block --add late " + Clsid(8)); });
    refused[1] = Process("block " + Clsid(9));
    late.join();
    ::CloseHandle(held);
    for (const Outcome& o : refused)
        EXPECT_TRUE(o.code == 1 && Contains(o.err, lock)) << o.err;
    EXPECT_EQ(list, List());
    EXPECT_EQ("no key", DescribeFlags(Clsid(8)));
    EXPECT_EQ("no key", DescribeFlags(Clsid(9)));
}

TEST_F(Quellctl, ScanShowsEveryControlWithItsMarksKillBitAndListState) {
    RegisterControls();
    const std::string blockedCells = ViewCells("0x00000400", "0x00000400") + ",,,no," +
                                     ViewCells("-", "-") + "," + ViewCells("-", "-");
    const std::string ten = Clsid(10) + ",Ten Control,C:\\q\\ten.ocx," + RegisteredIn("32 64") +
                            ",no,no,yes," + blockedCells + ",no,";
    const std::string eleven = Clsid(11) + ",,C:\\q\\eleven.exe," + RegisteredIn("64") +
                               ",no,no,no," + ViewCells("-", "-") + ",,,no," + ViewCells("-", "-") +
                               "," + ViewCells("-", "-") + ",yes,";
    const std::string twelve = Clsid(12) + "," + kGbkName + ",C:\\q\\twelve.dll," +
                               RegisteredIn("64") + ",yes,yes,no," + ViewCells("0x00000401", "-") +
                               ",,,no," + ViewCells("-", "-") + "," + ViewCells("-", "-") + ",no,";
    std::string longName;
    for (int i = 0; i < 30; ++i)
        longName += "\xB2\xE2";
    const std::string fourteen =
        Clsid(14) + "," + longName + ",C:\\q\\14.dll,32,no,yes,yes," + blockedCells + ",no,";

    Outcome all = Ctl("scan --csv");
    EXPECT_EQ(0u, all.code) << all.err;
    EXPECT_EQ("CLSID,Name,Server,Views,SafeScripting,SafeInit,Blocked," + ViewColumns("Flags") +
                  ",Alternate,AltBlocked,Office," + ViewColumns("OfficeFlags") + "," +
                  ViewColumns("OfficeOverride") + ",Listed,Known",
              Lines(all.out)[0]);
    EXPECT_EQ((std::vector<std::string>{ten, eleven, twelve, fourteen}), OwnRows(all.out));
    EXPECT_EQ((std::vector<std::string>{eleven, twelve}),
              OwnRows(Ctl("scan --unblocked --csv").out));
    EXPECT_EQ((std::vector<std::string>{twelve, fourteen}),
              OwnRows(Ctl("scan --scriptable --csv").out));
    EXPECT_EQ((std::vector<std::string>{twelve}),
              OwnRows(Ctl("scan --csv --scriptable --unblocked").out));
    EXPECT_EQ(0u, Ctl("scan").code);
}

TEST_F(Quellctl, ScanAddListsTheShownControlsAndKeepsTheirKillBits) {
    RegisterControls();
    const bool bTwoViews = HasTwoRegistryViews();
    const std::string flagsBefore = DescribeFlags(Clsid(12)) + ", " + DescribeFlags(Clsid(14));
    Outcome o = Ctl("scan --scriptable --add");
    EXPECT_EQ(0u, o.code) << o.err;
    EXPECT_TRUE(Contains(o.out, bTwoViews ? "added 1 entry" : "added 2 entries")) << o.out;
    // A row holds one state for every view: listing 12 would unblock it where it is blocked.
    // With one view, it is not blocked, and listed.
    EXPECT_EQ(bTwoViews, Contains(o.err, Clsid(12) + " is blocked in some registry views only"))
        << o.err;
    // The 60-byte name cut whole characters short of 50 bytes, as the dialog would take it.
    std::string cutName;
    for (int i = 0; i < 25; ++i)
        cutName += "\xB2\xE2";
    NamedClsids listed = {{"eleven", Clsid(11)}, {kGbkName, Clsid(12)}, {cutName, Clsid(14)}};
    if (bTwoViews)
        listed.erase(listed.begin() + 1);
    EXPECT_EQ(ListFileText(listed), List());
    EXPECT_EQ(flagsBefore, DescribeFlags(Clsid(12)) + ", " + DescribeFlags(Clsid(14)));

    // Nothing more to add: 14 now shows as listed.
    o = Ctl("scan --scriptable --add --csv");
    EXPECT_EQ(0u, o.code);
    std::vector<std::string> rows = OwnRows(o.out);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(bTwoViews ? ",no," : ",yes,", rows[0].substr(rows[0].size() - (bTwoViews ? 4 : 5)));
    EXPECT_EQ(",yes,", rows[1].substr(rows[1].size() - 5));
    EXPECT_FALSE(Contains(List(), "S" + std::to_string(listed.size()) + "="));
}

TEST_F(Quellctl, ListAndScanRowsHoldEveryFieldWithUtf8TextInJson) {
    RegisterControls();
    // Each kind of JSON value of the scan, on the line of its control.
    const std::string json = Ctl("scan --json").out;
    auto line = [&](int n) {
        return json.substr(json.find(Clsid(n)),
                           json.find('}', json.find(Clsid(n))) - json.find(Clsid(n)));
    };
    for (const char* part : {"\"safeForScripting\": true", "\"alternate\": null",
                             "\"alternateBlocked\": null", "\"listed\": false", "\"known\": []"})
        EXPECT_TRUE(Contains(line(12), part)) << part << ": " << line(12);
    EXPECT_TRUE(Contains(line(12), "\"name\": \"" + std::string(kUtf8Name) +
                                       "\", \"server\": \"C:\\\\q\\\\twelve.dll\", \"views\": [" +
                                       RegisteredIn("64") + "]"))
        << line(12);
    EXPECT_TRUE(Contains(line(10), HasTwoRegistryViews() ? "[32,64]" : "[32]")) << line(10);
    EXPECT_TRUE(Contains(line(11), "\"listed\": true")) << line(11);

    const std::string awkward = "a \"b\" \\c\td";
    const CTable listed = ListTable(Entries({{awkward, Clsid(10)}, {kGbkName, Clsid(3)}}));
    ASSERT_EQ(2u, listed.GetRowCount());
    EXPECT_EQ(awkward + "," + Clsid(10) + ",yes," + ViewCells("0x00000400", "0x00000400") +
                  ",,,no," + ViewCells("-", "-") + "," + ViewCells("-", "-") +
                  ",yes,Ten Control,C:\\q\\ten.ocx",
              Cells(listed, 0,
                    "name,clsid,blocked," + ViewColumns("flags") +
                        ",alternate,alternateBlocked,officeBlocked," + ViewColumns("officeFlags") +
                        "," + ViewColumns("officeOverride") + ",registered,className,server"));
    EXPECT_EQ(std::string(kGbkName) + ",no", Cells(listed, 1, "name,registered"));

    m_ini = m_dir.Path("empty.ini");
    EXPECT_EQ("[]\r\n", Ctl("list --json").out);
}

TEST_F(Quellctl, ScanShowsOrSkipsBadRegistryDataAndGoesOn) {
    const REGSAM own = KEY_WOW64_64KEY;
    // Not a CLSID: skipped.
    SetClassKey(kBadClassKey, "Control", own);
    // A name that is not a string, a server value that is not one either.
    SetClassKey(ClassKey(13), "", own, REG_DWORD, "1234");
    SetClassKey(ClassKey(13), "Control", own);
    SetClassKey(ClassKey(13), "InprocServer32", own, REG_BINARY, "C:\\bin");
    SetClassKey(ClassKey(13), "LocalServer32", own, REG_SZ, "C:\\q\\local.exe");
    // A name of 1.5 MB, and a server path left unexpanded.
    SetClassKey(ClassKey(15), "", own, REG_SZ, std::string(1536 * 1024, 'x'));
    SetClassKey(ClassKey(15), kControlCategory, own);
    SetClassKey(ClassKey(15), "InprocServer32", own, REG_EXPAND_SZ, "%SystemRoot%\\x.ocx");

    Outcome o = Ctl("scan --csv");
    EXPECT_EQ(0u, o.code) << o.err;
    const std::string views = HasTwoRegistryViews() ? "64" : "32";
    std::vector<std::string> rows = OwnRows(o.out);
    ASSERT_EQ(2u, rows.size()) << o.out.substr(0, 2000);
    EXPECT_EQ(0u, rows[0].find(Clsid(13) + ",,C:\\q\\local.exe," + views + ",")) << rows[0];
    EXPECT_EQ(0u, rows[1].find(Clsid(15) + "," + std::string(260, 'x') + ",%SystemRoot%\\x.ocx,"))
        << rows[1].substr(0, 400);
}

TEST_F(Quellctl, CheckExitsZeroOnlyWhenEveryControlIsBlockedInEveryView) {
    SetFlags(Clsid(1), 0x401);
    if (HasTwoRegistryViews()) // with one view, 2 is not blocked at all
        SetFlags(Clsid(2), 0x400, KEY_WOW64_32KEY);
    const std::vector<std::string> before = DescribeTestClsidFlags(kGroup, kLastClsid);

    Outcome o = Ctl("check {" + Clsid(1) + "}");
    EXPECT_EQ(0u, o.code) << o.err;
    o = Ctl("check " + Clsid(1) + " 5e5e0005-0000-0000-0000-000000000002 " + Clsid(3));
    EXPECT_EQ(1u, o.code);
    EXPECT_EQ((std::vector<std::string>{"not blocked: " + Clsid(2), "not blocked: " + Clsid(3)}),
              Lines(o.out));

    WriteList({{"one", Clsid(1)}});
    EXPECT_EQ(0u, Ctl("check --all").code);
    WriteList({{"one", Clsid(1)}, {kGbkName, Clsid(2)}});
    o = Ctl("check --all");
    EXPECT_EQ(1u, o.code);
    EXPECT_EQ("not blocked: " + Clsid(2) + "  " + kGbkName + "\r\n", o.out);
    EXPECT_EQ(before, DescribeTestClsidFlags(kGroup, kLastClsid));
}

TEST_F(Quellctl, KnownHoldsEveryRowOfTheCatalogueWithValidClsids) {
    const std::vector<std::vector<std::string>> rows = CatalogueRows();
    const CTable known = KnownTable(KnownOptions());
    const std::string csv = Ctl("known --csv").out;
    const std::regex clsidForm("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    std::set<std::string> documents;
    for (const std::vector<std::string>& row : rows) {
        EXPECT_TRUE(std::regex_match(row[0], clsidForm)) << row[0];
        const size_t nRow = FindRow(known, row[0]);
        ASSERT_LT(nRow, known.GetRowCount()) << row[0];
        // Exact in the JSON, in code page 936 in the table; one name a control in any case.
        const size_t line = csv.find(row[0]);
        EXPECT_TRUE(Contains(Lower(std::string(known.GetCell(nRow, "product"))), Lower(row[1])))
            << row[0];
        EXPECT_TRUE(
            Contains(Lower(csv.substr(line, csv.find('\r', line) - line)), Lower(Ansi(row[1]))))
            << row[0];
        EXPECT_TRUE(Contains(", " + std::string(known.GetCell(nRow, "documents")) + ", ",
                             ", " + row[2] + ", "));
        documents.insert(row[2]);
    }
    EXPECT_EQ(CatalogueClsids().size(), known.GetRowCount()); // and none besides
    printf("The catalogue: %d rows, %d CLSIDs, %d documents\n", static_cast<int>(rows.size()),
           static_cast<int>(known.GetRowCount()), static_cast<int>(documents.size()));
}

TEST_F(Quellctl, CheckKnownFailsUntilBlockKnownSetsEveryKillBitOfThoseInstalledOrOfAll) {
    const std::vector<std::string> clsids = CatalogueClsids();
    ClearedFlags cleared(clsids);
    ASSERT_EQ(1u, Lines(Ctl("known --installed --csv").out).size()) << "catalogued controls here";
    SetClassKey(ClassKey(kKnown[0]), "Control", KEY_WOW64_32KEY);
    SetClassKey(ClassKey(kKnown[1]), kControlCategory, KEY_WOW64_64KEY);
    const std::string ibm =
        Ansi("IBM Endpoint Manager for Remote Control (Version 9.0.1 und h\xC3\xB6her) und IBM "
             "Assist On-site (Version 4.0.0)");

    Outcome o = Ctl("check --known --installed");
    EXPECT_EQ(1u, o.code);
    EXPECT_EQ((std::vector<std::string>{"not blocked: " + kKnown[0] + "  wmm2filt.dll",
                                        "not blocked: " + kKnown[1] + "  " + ibm}),
              Lines(o.out));
    for (int i = 0; i < 2; ++i) {
        o = Ctl("block --known --installed --add");
        EXPECT_EQ(0u, o.code) << o.err;
        EXPECT_EQ(i == 0 ? 4u : 2u, Lines(o.out).size()) << "added once, blocked twice";
    }
    const std::string list = List();
    EXPECT_EQ(ListFileText({{"wmm2filt.dll", kKnown[0]}, {ibm.substr(0, 50), kKnown[1]}}), list);
    DenyKillBitWrites deny(kKnown[0]);
    EXPECT_EQ(0u, Ctl("check --known --installed").code);
    EXPECT_EQ(0u, Ctl("block --known --installed").code);
    const std::string blockedCells = ViewCells("0x00000400", "0x00000400") + ",,,no," +
                                     ViewCells("-", "-") + "," + ViewCells("-", "-");
    EXPECT_EQ((std::vector<std::string>{
                  "CLSID,Product,Documents,Installed,Blocked," + ViewColumns("Flags") +
                      ",Alternate,AltBlocked,Office," + ViewColumns("OfficeFlags") + "," +
                      ViewColumns("OfficeOverride"),
                  kKnown[0] + ",wmm2filt.dll,\"MS05-038, MS06-042\",yes,yes," + blockedCells,
                  kKnown[1] + "," + ibm + ",3118753,yes,yes," + blockedCells}),
              Lines(Ctl("known --installed --csv").out));
    EXPECT_EQ(1u, Lines(Ctl("known --installed --unblocked --csv").out).size());
    // The scan names the documents, and shows only those with --known.
    const std::vector<std::string> scanned = Lines(Ctl("scan --known --csv").out);
    ASSERT_EQ(3u, scanned.size());
    EXPECT_EQ(",\"MS05-038, MS06-042\"", scanned[1].substr(scanned[1].rfind(",\"")));
    EXPECT_EQ(",3118753", scanned[2].substr(scanned[2].rfind(',')));

    // The whole catalogue, one control blocked in one view only, another with a bit besides.
    if (HasTwoRegistryViews()) // with one view, not blocked at all
        SetFlags(clsids[0], 0x400, KEY_WOW64_32KEY);
    SetFlags(clsids[1], 0x1);
    o = Ctl("check --known");
    EXPECT_EQ(1u, o.code);
    EXPECT_EQ(clsids.size() - 2, Lines(o.out).size());
    o = Ctl("block --known");
    EXPECT_EQ(0u, o.code) << o.err;
    EXPECT_EQ(0u, Ctl("check --known").code);
    for (const std::string& clsid : clsids) {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            EXPECT_EQ(0x400u, FlagsIn(clsid, view) & 0x400u) << clsid;
    }
    EXPECT_EQ(0x401u, FlagsIn(clsids[1], KEY_WOW64_64KEY));
    EXPECT_EQ(list, List());
}

TEST_F(Quellctl, OfficeCoversEveryOfficeKeyThatApplies) {
    // Office 15.0 in the 32-bit view; 16.0 without its Common key, and Click-to-Run in the 32-bit
    // view: Office reads neither (but Click-to-Run in the one view there is). Office's common key
    // blocked in one view.
    ScratchKey version(kOfficeKey + "15.0\\Common", KEY_WOW64_32KEY),
        bare(kOfficeKey + "16.0", KEY_WOW64_64KEY),
        c2r32(kOfficeKey + "ClickToRun", KEY_WOW64_32KEY);
    SetFlags(OfficeKey(Clsid(2)), 0x401, KEY_WOW64_64KEY);
    WriteList({{"one", Clsid(1)}, {"two", Clsid(2)}});
    EXPECT_EQ(0u, Ctl("block --all").code);
    EXPECT_EQ(1u, Ctl("check --office --all").code);
    EXPECT_EQ(0u, Ctl("block --office --all").code);
    EXPECT_EQ(0u, Ctl("check --office --all").code);
    // With one view: the common key, 15.0's, Click-to-Run's.
    EXPECT_EQ(HasTwoRegistryViews() ? "yes,0x00000400 0x00000400,0x00000401"
                                    : "yes,0x00000401 0x00000400 0x00000400",
              Cells(ListTable(Entries({{"two", Clsid(2)}})), 0,
                    "officeBlocked," + ViewColumns("officeFlags")));
    // Click-to-Run, in the 64-bit view for Office of either bitness.
    ScratchKey c2r(kOfficeKey + "ClickToRun", KEY_WOW64_64KEY);
    EXPECT_EQ(HasTwoRegistryViews() ? 1u : 0u, Ctl("check --office --all").code);
    EXPECT_EQ(0u, Ctl("block --office --all").code);
    // Exported for a fleet, each key under the path of its view.
    const std::string xml = m_dir.Path("Registry.xml"), c = Clsid(2), wow = "Wow6432Node\\";
    ASSERT_EQ(0u, Ctl("export --gpp --office \"" + xml + "\"").code);
    EXPECT_TRUE(Contains(ReadFileBytes(xml), "COM Compatibility"));
    auto at = [](const std::string& view, const std::string& key, const char* value) {
        return "SOFTWARE\\" + view + key.substr(9) + "=" + value + " ";
    };
    // With one view, a key that every view has goes out under both paths; Click-to-Run's once.
    const std::string office =
        HasTwoRegistryViews()
            ? at(wow, OfficeKey(c), "00000400") + at("", OfficeKey(c), "00000401") +
                  at(wow, OfficeKey(c, "15.0\\Common"), "00000400") +
                  at("", OfficeKey(c, kClickToRun64), "00000400") +
                  at("", OfficeKey(c, kClickToRun32), "00000400")
            : at(wow, OfficeKey(c), "00000401") + at("", OfficeKey(c), "00000401") +
                  at(wow, OfficeKey(c, "15.0\\Common"), "00000400") +
                  at("", OfficeKey(c, "15.0\\Common"), "00000400") +
                  at("", OfficeKey(c, kClickToRun64), "00000400");
    EXPECT_EQ(at(wow, CompatKey(c), "00000400") + at("", CompatKey(c), "00000400") + office,
              Exported({{"two", c}}, READER_ALL).at(0));
    // Office's keys go out as Office holds them, whatever Internet Explorer's are; a control
    // that Office's keys do not hold has none in the file.
    EXPECT_EQ(0u, Ctl("unblock " + c).code);
    WriteList({{"two", c}, {"three", Clsid(3)}});
    const std::vector<std::string> exported =
        Exported({{"two", c}, {"three", Clsid(3)}}, READER_ALL);
    EXPECT_EQ(at(wow, CompatKey(c), "00000000") + at("", CompatKey(c), "00000000") + office,
              exported.at(0));
    EXPECT_EQ(at(wow, CompatKey(Clsid(3)), "00000000") + at("", CompatKey(Clsid(3)), "00000000"),
              exported.at(1));
    {
        DenyKillBitWrites deny(OfficeKey(Clsid(2)));
        EXPECT_EQ(0u, Ctl("block --office " + Clsid(2)).code);
        EXPECT_EQ(1u, Ctl("unblock --office " + Clsid(2)).code);
    }
    EXPECT_EQ(0u, Ctl("unblock --office --all").code);
    EXPECT_EQ(FlagsByView("0x00000000", "0x00000001"), DescribeFlags(OfficeKey(Clsid(2))));
}

// What changes a kill bit's meaning: Office's override, and Internet Explorer's alternate.
TEST_F(Quellctl, OfficeOverridesAndAlternatesAreShownCheckedAndBlocked) {
    const std::string c = Clsid(1), key = OfficeKey(c);
    auto field = [&](const std::string& names) {
        return Cells(ListTable(Entries({{"one", c}})), 0, names);
    };
    auto inEveryView = [](const std::string& value) { return ViewCells(value, value); };
    WriteList({{"one", c}});
    ASSERT_EQ(0u, Ctl("block --office " + c).code);
    EXPECT_EQ(inEveryView("-"), field(ViewColumns("officeOverride")));
    EXPECT_FALSE(Contains(Ctl("list").out, "OfficeOverride"));

    // At 1, Office blocks embedding and linking only: not blocked, until a block clears it.
    const DWORD one = 1;
    SetKillBitValue(key, "ActivationFilterOverride", REG_DWORD, &one, sizeof(one));
    EXPECT_EQ(inEveryView("0x00000001"), field(ViewColumns("officeOverride")));
    Outcome o = Ctl("check --office " + c);
    EXPECT_TRUE(o.code == 1 && Contains(o.out, "embedding and linking only")) << o.out;
    ASSERT_EQ(0u, Ctl("block --office " + c).code);
    EXPECT_EQ(0u, Ctl("check --office " + c).code);
    EXPECT_EQ(inEveryView("0x00000000"), field(ViewColumns("officeOverride")));
    // Exported under both paths of Office's common key.
    EXPECT_EQ(
        2u, Count(Exported({{"one", c}}, READER_ALL).at(0), "\\ActivationFilterOverride=00000000"));
    // Not a REG_DWORD: no override, for Office as here.
    SetKillBitValue(key, "ActivationFilterOverride", REG_SZ, "1", 2);
    EXPECT_EQ(inEveryView("?"), field(ViewColumns("officeOverride")));
    EXPECT_EQ(0u, Ctl("check --office " + c).code);

    // The alternate, as the list writes CLSIDs, and whether it is blocked in every view.
    const std::string alternate = "{" + Lower(Clsid(2)) + "}";
    SetKillBitValue(c, "AlternateCLSID", REG_SZ, alternate.c_str(),
                    static_cast<DWORD>(alternate.size() + 1));
    EXPECT_EQ(Clsid(2) + ",no", field("alternate,alternateBlocked"));
    ASSERT_EQ(0u, Ctl("block " + Clsid(2)).code);
    EXPECT_EQ(Clsid(2) + ",yes", field("alternate,alternateBlocked"));
    EXPECT_EQ(0u, Ctl("check " + c).code);
    SetKillBitValue(c, "AlternateCLSID", REG_DWORD, &one, sizeof(one));
    EXPECT_EQ("?,", field("alternate,alternateBlocked"));
}

// The formats as scripts and Group Policy read them, for one cell of every kind.
TEST(QuellctlFormats, JsonHasEveryKindOfValueInUtf8) {
    CTable table({{"Text", "text", JSON_TEXT},
                  {"Utf8", "utf8", JSON_UTF8},
                  {"Yes", "yes", JSON_YES_NO},
                  {"Numbers", "numbers", JSON_NUMBERS},
                  {"List", "list", JSON_LIST},
                  {"Or", "textOrNull", JSON_TEXT_OR_NULL},
                  {"YesOr", "yesOrNull", JSON_YES_NO_OR_NULL, true}});
    table.AddRow({(kGbkName + std::string("\"\\\t\x01")).c_str(), kUtf8Name, "yes", "32 64",
                  ("MS05-038, " + std::string(kGbkName)).c_str(), "", ""});
    table.AddRow({"a", "", "no", "", "", "x", "no"});
    EXPECT_EQ("[\n{\"text\": \"" + std::string(kUtf8Name) + "\\\"\\\\\\t\\u0001\", \"utf8\": \"" +
                  kUtf8Name +
                  "\", \"yes\": true, \"numbers\": [32,64], \"list\": [\"MS05-038\",\"" +
                  kUtf8Name +
                  "\"], \"textOrNull\": null, \"yesOrNull\": null},\n{\"text\": \"a\", "
                  "\"utf8\": \"\", \"yes\": false, \"numbers\": [], \"list\": [], \"textOrNull\": "
                  "\"x\", \"yesOrNull\": false}\n]\n",
              table.FormatJson());
    // UTF-8 cells in the code page in the table.
    EXPECT_TRUE(Contains(table.FormatCsv(), "," + std::string(kGbkName) + ",yes,32 64,"));
    EXPECT_EQ("[]\n", CTable({}).FormatJson());
}

TEST(QuellctlFormats, RegAndGppFilesCarryEachValueWithStableUids) {
    const std::string name = kGbkName + std::string(" & <\"x\">\t&amp;");
    const std::vector<ExportControl> controls = {
        {name.c_str(),
         {{"SOFTWARE\\Wow6432Node\\K", KILL_BIT_VALUE_NAME, 0x401},
          {"SOFTWARE\\K", KILL_BIT_VALUE_NAME, 0},
          {"SOFTWARE\\K", OVERRIDE_VALUE_NAME, 0}}}};
    std::string reg, xml, later;
    CString strError;
    ASSERT_TRUE(BuildRegFile(controls, &reg, &strError));
    const std::wstring text = Widen("Windows Registry Editor Version 5.00\r\n\r\n; " + name +
                                    "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\K]"
                                    "\r\n\"Compatibility Flags\"=dword:00000401\r\n\r\n; " +
                                    name +
                                    "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n\"Compatibility "
                                    "Flags\"=dword:00000000\r\n\r\n; " +
                                    name +
                                    "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]"
                                    "\r\n\"ActivationFilterOverride\"=dword:00000000\r\n\r\n");
    EXPECT_EQ("\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2),
              reg);

    const SYSTEMTIME changed = {2024, 1, 0, 2, 3, 4, 5, 0}, now = {2025, 12, 0, 31, 23, 59, 58, 0};
    ASSERT_TRUE(BuildGppFile(controls, changed, &xml, &strError));
    ASSERT_TRUE(BuildGppFile(controls, now, &later, &strError));
    // A uid a key and value name, the same in every export; the files differ in their time only.
    static const std::regex uid("uid=\"(\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\})\"");
    std::set<std::string> uids;
    for (std::sregex_iterator u(xml.begin(), xml.end(), uid), end; u != end; ++u)
        uids.insert((*u)[1]);
    EXPECT_EQ(3u, uids.size());
    EXPECT_EQ(xml,
              std::regex_replace(later, std::regex("2025-12-31 23:59:58"), "2024-01-02 03:04:05"));
    auto item = [](const char* key, const char* value, const char* number) {
        return std::string(
                   "    <Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"") +
               value + "\" status=\"" + value +
               "\" image=\"12\" changed=\"2024-01-02 03:04:05\" "
               "uid=\"\">\r\n      <Properties action=\"U\" displayDecimal=\"0\" default=\"0\" "
               "hive=\"HKEY_LOCAL_MACHINE\" key=\"" +
               key + "\" name=\"" + value + "\" type=\"REG_DWORD\" value=\"" + number +
               "\"/>\r\n    </Registry>\r\n";
    };
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings "
              "clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n  <Collection "
              "clsid=\"{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}\" name=\"" +
                  std::string(kUtf8Name) + " &amp; &lt;&quot;x&quot;&gt;&#9;&amp;amp;\">\r\n" +
                  item("SOFTWARE\\Wow6432Node\\K", KILL_BIT_VALUE_NAME, "00000401") +
                  item("SOFTWARE\\K", KILL_BIT_VALUE_NAME, "00000000") +
                  item("SOFTWARE\\K", OVERRIDE_VALUE_NAME, "00000000") +
                  "  </Collection>\r\n</RegistrySettings>\r\n",
              std::regex_replace(xml, uid, "uid=\"\""));

    // XML cannot carry a control character.
    EXPECT_FALSE(BuildGppFile({{"bell\a", {}}}, changed, &xml, &strError));
    EXPECT_STREQ("the name \"bell\a\" holds a control character, which XML cannot carry; rename it "
                 "first",
                 strError);
}

// Answers held and written in whole pieces, each message after the answers before it.
TEST(QuellctlOutput, WritesAtMostOncePerLineAndKeepsTheOrderOfAnswersAndMessages) {
    HANDLE nul = ::CreateFileA("NUL", GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, nul);
    std::string both;
    {
        COutput toNul(nul, nul), toString(&both, &both);
        for (COutput* out : {&toNul, &toString}) {
            for (int nLine = 1; nLine <= 1000; ++nLine) {
                // Two pieces a line: a write for each would be two a line.
                out->Print("line ");
                out->Print(std::to_string(nLine) + "\n");
                if (nLine % 250 == 0)
                    out->PrintError("after %d", nLine);
            }
            EXPECT_EQ(0, out->Finish(0));
            EXPECT_GE(1004, out->GetWriteCount());
        }
        EXPECT_GE(8, toNul.GetWriteCount()); // four messages, and the answers between them
    }
    ::CloseHandle(nul);
    EXPECT_EQ(1004u, Lines(both).size());
    EXPECT_EQ(0u, both.find("line 1\r\nline 2\r\n"));
    EXPECT_TRUE(Contains(both, "line 250\r\nquellctl: after 250\r\nline 251\r\n"));
    EXPECT_TRUE(Contains(both, "line 1000\r\nquellctl: after 1000\r\n"));
}

} // namespace
