// quellctl.exe run as its own process against the real registry and real list files.
#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Outcome {
    DWORD code;
    std::string out;
    std::string err;
};

DWORD WINAPI Drain(void* param) {
    auto* pipe = static_cast<std::pair<HANDLE, std::string*>*>(param);
    char buffer[4096];
    DWORD n;
    while (::ReadFile(pipe->first, buffer, sizeof(buffer), &n, NULL) && n > 0)
        pipe->second->append(buffer, n);
    return 0;
}

Outcome RunProcess(const std::string& commandLine) {
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
    si.hStdOutput = outWrite;
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

const char kGbkName[] = "\xB2\xE2\xCA\xD4\xBF\xD8\xBC\xFE"; // four double-byte characters
const DWORD kMissing = ~0u;

class Quellctl : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        DeleteTestClsidKeys(kGroup, kLastClsid);
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\{" + Clsid(1) + "}").c_str());
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, ("CLSID\\{" + Clsid(1) + "}").c_str());
    }

    Outcome Ctl(const std::string& args) {
        return RunProcess("\"" + QuellctlExe() + "\" --ini \"" + m_ini + "\" " + args);
    }
    void WriteList(const NamedClsids& entries, const std::string& more = "") {
        WriteFileBytes(m_ini, ListFileText(entries) + more);
    }
    std::string List() { return ReadFileBytes(m_ini); }

    ScratchDir m_dir;
    std::string m_ini = m_dir.Path("list.ini");
};

TEST_F(Quellctl, HelpGoesToStdoutAndExitsZero) {
    for (const char* help : {"/?", "--help"}) {
        Outcome o = RunProcess("\"" + QuellctlExe() + "\" " + help);
        EXPECT_EQ(0u, o.code) << help;
        EXPECT_TRUE(Contains(o.out, "Usage: quellctl")) << help;
        EXPECT_EQ("", o.err) << help;
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
        {"export", "FILE"},
        {"import", "FILE"},
    };
    for (const auto& c : cases) {
        Outcome o = Ctl(c.first);
        EXPECT_EQ(2u, o.code) << c.first;
        EXPECT_TRUE(Contains(o.err, c.second)) << c.first << ": " << o.err;
    }
    // A bad CLSID anywhere stops the command before the first write.
    EXPECT_EQ(2u, Ctl("block " + Clsid(1) + " nonsense").code);
    EXPECT_EQ(kMissing, FlagsIn(Clsid(1), KEY_WOW64_64KEY));
}

TEST_F(Quellctl, BlockAndUnblockKeepOtherBitsInBothViews) {
    SetFlags(Clsid(3), 0x1, KEY_WOW64_32KEY);
    SetFlags(Clsid(3), 0x10400, KEY_WOW64_64KEY);
    // Braces and lower case are the same control.
    Outcome o = Ctl("block {5e5e0005-0000-0000-0000-000000000003} " + Clsid(4));
    EXPECT_EQ(0u, o.code) << o.err;
    EXPECT_TRUE(Contains(o.out, Clsid(3)));
    EXPECT_EQ(0x401u, FlagsIn(Clsid(3), KEY_WOW64_32KEY));
    EXPECT_EQ(0x10400u, FlagsIn(Clsid(3), KEY_WOW64_64KEY));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(4)));

    EXPECT_EQ(0u, Ctl("unblock " + Clsid(3)).code);
    EXPECT_EQ(0x1u, FlagsIn(Clsid(3), KEY_WOW64_32KEY));
    EXPECT_EQ(0x10000u, FlagsIn(Clsid(3), KEY_WOW64_64KEY));
}

TEST_F(Quellctl, AllActsOnEveryListedEntry) {
    WriteList({{"a", Clsid(1)}, {"b", Clsid(2)}});
    SetFlags(Clsid(2), 0x400, KEY_WOW64_64KEY);
    EXPECT_EQ(0u, Ctl("block --all").code);
    for (int n : {1, 2})
        EXPECT_EQ("0x00000400", DescribeFlags(Clsid(n))) << n;
    EXPECT_EQ(0u, Ctl("unblock --all").code);
    EXPECT_EQ(0u, FlagsIn(Clsid(2), KEY_WOW64_64KEY));
}

TEST_F(Quellctl, AddListsAnUnlistedEntryAtTheEndOnly) {
    WriteList({{"a", Clsid(1)}}, "[Other]\r\nkeep=me\r\n");
    Outcome o = Ctl("block --add " + std::string(kGbkName) + " " + Clsid(2));
    EXPECT_EQ(0u, o.code) << o.err;
    std::string list = List();
    EXPECT_TRUE(Contains(list, "N1=" + std::string(kGbkName) + "\r\nS1=" + Clsid(2)));
    EXPECT_TRUE(Contains(list, "[Other]\r\nkeep=me"));
    EXPECT_EQ(0x400u, FlagsIn(Clsid(2), KEY_WOW64_32KEY));

    // Listed already, in another case: only the flag changes.
    EXPECT_EQ(0u, Ctl("unblock --add other {5e5e0005-0000-0000-0000-000000000002}").code);
    EXPECT_EQ(list, List());
    EXPECT_EQ(0u, FlagsIn(Clsid(2), KEY_WOW64_64KEY));
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
    EXPECT_EQ("Name,CLSID,Blocked,Flags32,Flags64,Registered,Class,Server\r\n" +
                  std::string(kGbkName) + "," + Clsid(1) +
                  ",yes,0x00000400,0x00000400,yes,Test Class,C:\\q\\t.dll\r\n"
                  "\"x, \"\"y\"\"\"," +
                  Clsid(2) + ",no,0x00000401,?,no,,\r\n",
              csv.out);

    std::vector<std::string> rows = Lines(Ctl("list").out);
    ASSERT_EQ(3u, rows.size());
    // Columns line up under the header, the double-byte name taking two columns a character.
    EXPECT_EQ(rows[0].find("CLSID"), rows[1].find(Clsid(1)));
    EXPECT_EQ(rows[0].find("CLSID"), rows[2].find(Clsid(2)));
    EXPECT_EQ(rows[0].find("Server"), rows[1].find("C:\\q\\t.dll"));
    EXPECT_EQ(rows[0].find("Flags64"), rows[2].find("?"));
    EXPECT_EQ(rows[2].size(), rows[0].find("Server") + 1); // the missing server as "-"
}

TEST_F(Quellctl, ExportedRegFileRestoresTheFlagsThroughRegImport) {
    WriteList({{kGbkName, Clsid(4)}, {"five", Clsid(5)}});
    SetFlags(Clsid(4), 0x401, KEY_WOW64_32KEY);
    SetFlags(Clsid(4), 0x400, KEY_WOW64_64KEY);
    SetFlags(Clsid(5), 0x2, KEY_WOW64_32KEY);
    std::string before = Ctl("list --csv").out;
    std::string reg = m_dir.Path("out.reg");
    EXPECT_EQ(0u, Ctl("export \"" + reg + "\"").code);
    std::string bytes = ReadFileBytes(reg);
    EXPECT_EQ(std::string("\xFF\xFEW\0i\0", 6), bytes.substr(0, 6));
    EXPECT_TRUE(Contains(bytes, std::string("0\0\r\0\n\0", 6)));

    DeleteCompatKey(Clsid(4));
    DeleteCompatKey(Clsid(5));
    Outcome imported = RunProcess("reg.exe import \"" + reg + "\" /reg:64");
    EXPECT_EQ(0u, imported.code) << imported.err;
    EXPECT_EQ(0x401u, FlagsIn(Clsid(4), KEY_WOW64_32KEY));
    EXPECT_EQ(0x2u, FlagsIn(Clsid(5), KEY_WOW64_32KEY));
    // The missing value went out as what it counted as.
    std::string expected = before;
    expected.replace(expected.rfind(",-,"), 3, ",0x00000000,");
    EXPECT_EQ(expected, Ctl("list --csv").out);

    // The same file lists the controls again, by name, once each.
    m_ini = m_dir.Path("fresh.ini");
    Outcome back = Ctl("import \"" + reg + "\"");
    EXPECT_EQ(0u, back.code);
    EXPECT_EQ("", back.err);
    EXPECT_EQ("[Setting]\r\nN0=" + std::string(kGbkName) + "\r\nS0=" + Clsid(4) +
                  "\r\nN1=five\r\nS1=" + Clsid(5) + "\r\n",
              List());
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
}

TEST_F(Quellctl, FailedWritesExitOneAndTheRestIsStillDone) {
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
    EXPECT_EQ(0x400u, FlagsIn(Clsid(9), KEY_WOW64_64KEY));
}

} // namespace
