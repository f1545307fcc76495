// Prints what loading, saving and showing the block list costs for 100, 1,000 and 10,000
// entries, and what quellctl's commands over the whole list cost for 1,000 and 10,000, beside
// what the same registry and file work costs done the plainest way.
#include "framework/ProfileFile.h"
#include "framework/WinApp.h"
#include "storage/ComRegistration.h"
#include "storage/EntryList.h"
#include "storage/KillBit.h"
#include "storage/KnownKillBits.h"
#include "ui/QuellboxDlg.h"
#include "ui/resource.h"

#include <psapi.h>
#include <stdio.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kFlags[] = "Compatibility Flags";

double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds that work takes.
double Time(const std::function<void()>& work) {
    double start = Now();
    work();
    return Now() - start;
}

// The median of runs, each returning its own milliseconds (so that it can leave its set-up
// untimed, or time only part of itself).
double Median(int runs, const std::function<double()>& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string Clsid(int i) {
    char text[40];
    sprintf(text, "B3B3B3B3-0000-0000-0000-%012d", i);
    return text;
}

CEntryArray MakeEntries(int n) {
    CEntryArray rows;
    for (int i = 0; i < n; ++i) {
        Entry entry;
        char name[40];
        sprintf(name, "ActiveX control number %06d", i);
        entry.strName = name;
        entry.strClsid = Clsid(i).c_str();
        entry.bBlocked = i % 2 == 0;
        rows.m_entries.push_back(entry);
    }
    return rows;
}

// Calls f(key path, view, index) for every entry's key in every view the kill bit lives in.
void ForEachKey(int n, const std::function<void(LPCSTR, REGSAM, int)>& f) {
    for (int i = 0; i < n; ++i) {
        CString path = KillBitKeyPath(Clsid(i).c_str());
        for (REGSAM view : RegistryViews())
            f(path, view, i);
    }
}

void DeleteKeys(int n) {
    ForEachKey(n, [](LPCSTR path, REGSAM view, int) {
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, view, 0);
    });
}

// Exactly the registry calls that loading makes per entry and view: open, query, close. Returns
// how many of the values read have the kill bit, to check what a command left.
int ReadFloor(int n) {
    int nBlocked = 0;
    ForEachKey(n, [&nBlocked](LPCSTR path, REGSAM view, int) {
        HKEY hKey;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &hKey) !=
            ERROR_SUCCESS)
            return;
        DWORD value, size = sizeof(value);
        if (::RegQueryValueExA(hKey, kFlags, NULL, NULL, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            (value & KILL_BIT) != 0)
            ++nBlocked;
        ::RegCloseKey(hKey);
    });
    return nBlocked;
}

// The flags that saving s.rows gives entry i, each flipped by flip.
DWORD SavedFlags(int i, DWORD flip) { return (i % 2 == 0 ? KILL_BIT : 0) ^ flip; }

// And the ones saving makes when a value changes: open or create, query, set, close.
void WriteFloor(int n, DWORD flip) {
    ForEachKey(n, [flip](LPCSTR path, REGSAM view, int i) {
        HKEY hKey;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE | view, NULL, &hKey,
                              NULL) != ERROR_SUCCESS)
            return;
        DWORD value, size = sizeof(value);
        ::RegQueryValueExA(hKey, kFlags, NULL, NULL, reinterpret_cast<BYTE*>(&value), &size);
        value = SavedFlags(i, flip);
        ::RegSetValueExA(hKey, kFlags, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                         sizeof(value));
        ::RegCloseKey(hKey);
    });
}

// Milliseconds a command takes as a child process, its output to NUL: a character device, as a
// console is, so that the C runtime buffers no more than it would there. -1 when it does not
// start.
double RunTimed(std::string command, DWORD* pdwExitCode = NULL) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hNul =
        ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = hNul;
    PROCESS_INFORMATION pi;
    double start = Now();
    BOOL bStarted = ::CreateProcessA(NULL, &command[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL,
                                     NULL, &si, &pi);
    if (bStarted) {
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        if (pdwExitCode != NULL)
            ::GetExitCodeProcess(pi.hProcess, pdwExitCode);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    double elapsed = Now() - start;
    ::CloseHandle(hNul);
    return bStarted ? elapsed : -1;
}

// The system's own importer setting the values flags(i) in every view, started as a child
// process: a 32-bit reg.exe, told the 64-bit view, reaches both.
double RegImport(int n, const std::string& dir, const std::function<DWORD(int)>& flags) {
    std::string file = dir + "\\bench.reg";
    FILE* f = fopen(file.c_str(), "wb");
    if (f == NULL)
        return -1;
    fputs("REGEDIT4\r\n\r\n", f);
    const int nViews = RegistryViews().GetCount();
    for (REGSAM view : RegistryViews()) {
        const char* root = view == KEY_WOW64_32KEY ? "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node"
                                                   : "HKEY_LOCAL_MACHINE\\Software";
        for (int i = 0; i < n; ++i)
            fprintf(f,
                    "[%s\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{%s}]\r\n"
                    "\"Compatibility Flags\"=dword:%08lx\r\n\r\n",
                    root, Clsid(i).c_str(), static_cast<unsigned long>(flags(i)));
    }
    fclose(f);
    double elapsed =
        RunTimed("reg.exe import \"" + file + "\" /reg:" + (nViews == 2 ? "64" : "32"));
    ::DeleteFileA(file.c_str());
    return elapsed;
}

// The platform's per-key private-profile method.
void PlatformSave(const CEntryArray& rows, const std::string& path) {
    ::WritePrivateProfileStringA("Setting", NULL, NULL, path.c_str());
    for (int i = 0; i < rows.GetEntryCount(); ++i) {
        std::string n = std::to_string(i);
        ::WritePrivateProfileStringA("Setting", ("N" + n).c_str(), rows.m_entries[i].strName,
                                     path.c_str());
        ::WritePrivateProfileStringA("Setting", ("S" + n).c_str(), rows.m_entries[i].strClsid,
                                     path.c_str());
    }
}

void PlatformLoad(const std::string& path) {
    char value[256];
    for (int i = 0;; ++i) {
        std::string n = std::to_string(i);
        if (!::GetPrivateProfileStringA("Setting", ("N" + n).c_str(), "", value, sizeof(value),
                                        path.c_str()) ||
            !::GetPrivateProfileStringA("Setting", ("S" + n).c_str(), "", value, sizeof(value),
                                        path.c_str()))
            return;
    }
}

// The main dialog, timed from the start of its OnInitDialog until every row is in the
// list; it ends before it is ever shown.
class CTimedDlg : public CQuellboxDlg {
public:
    double m_dElapsed = 0;
    int m_nRows = 0;

protected:
    BOOL OnInitDialog() override {
        double start = Now();
        BOOL result = CQuellboxDlg::OnInitDialog();
        m_dElapsed = Now() - start;
        m_nRows = static_cast<int>(::SendDlgItemMessageA(m_hWnd, IDC_LIST, LVM_GETITEMCOUNT, 0, 0));
        EndDialog(IDCANCEL);
        return result;
    }
};

std::string Ms(double ms) {
    char text[32];
    if (ms < 0)
        return "-";
    sprintf(text, ms < 10 ? "%.2f" : ms < 100 ? "%.1f" : "%.0f", ms);
    return text;
}

std::string Ratio(double a, double b) {
    char text[32];
    if (a < 0 || b <= 0)
        return "-";
    sprintf(text, "%.2f", a / b);
    return text;
}

// The folder of this benchmark, where the programs are built too.
std::string ModuleDirectory() {
    char self[MAX_PATH];
    ::GetModuleFileNameA(NULL, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\'));
}

// The program itself showing the list file at path: its peak working set once all rows are in,
// in bytes, or 0 when it could not be measured.
size_t ProgramPeakWorkingSet(const std::string& dir, const std::string& listFile, int n) {
    std::string built = ModuleDirectory() + "\\Quellbox.exe";
    std::string exe = dir + "\\Quellbox.exe";
    if (!::CopyFileA(built.c_str(), exe.c_str(), FALSE) ||
        !::CopyFileA(listFile.c_str(), (dir + "\\Quellbox.ini").c_str(), FALSE))
        return 0;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!::CreateProcessA(exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi))
        return 0;
    size_t peak = 0;
    for (int tries = 0; tries < 600 && peak == 0; ++tries) {
        ::Sleep(100);
        HWND hDlg = ::FindWindowA("#32770", NULL);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hDlg, &pid);
        if (hDlg == NULL || pid != pi.dwProcessId ||
            ::SendDlgItemMessageA(hDlg, IDC_LIST, LVM_GETITEMCOUNT, 0, 0) != n)
            continue;
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        ::GetProcessMemoryInfo(pi.hProcess, &counters, sizeof(counters));
        peak = counters.PeakWorkingSetSize;
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    }
    if (::WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0)
        ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::DeleteFileA(exe.c_str());
    ::DeleteFileA((dir + "\\Quellbox.ini").c_str());
    return peak;
}

size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

// What the measurements of one list size share: the entries, saved to the list file at path
// and to the registry before the first one runs.
struct Setup {
    int n;
    int runs;
    CEntryArray rows;
    std::string dir, path, platformPath;
};

double ListFileLoad(const Setup& s) {
    return Median(s.runs, [&] {
        return Time([&] {
            CProfileFile file;
            file.Read(s.path.c_str());
            for (int i = 0; i < s.n; ++i) {
                std::string k = std::to_string(i);
                file.GetString("Setting", ("N" + k).c_str(), "");
                file.GetString("Setting", ("S" + k).c_str(), "");
            }
        });
    });
}

double ListFileSave(const Setup& s) {
    return Median(s.runs, [&] {
        return Time([&] {
            CProfileFile file;
            file.Read(s.path.c_str());
            file.WriteString("Setting", NULL, "");
            for (int i = 0; i < s.n; ++i) {
                std::string k = std::to_string(i);
                file.WriteString("Setting", ("N" + k).c_str(), s.rows.m_entries[i].strName);
                file.WriteString("Setting", ("S" + k).c_str(), s.rows.m_entries[i].strClsid);
            }
            file.Write(s.path.c_str());
        });
    });
}

double Load(const Setup& s) {
    return Median(s.runs, [] {
        return Time([] {
            CEntryArray loaded;
            EntryList::Load(loaded);
        });
    });
}

double LoadFloor(const Setup& s) {
    return Median(s.runs, [&] { return Time([&] { ReadFloor(s.n); }); });
}

// Every save flips every entry, so that each one really writes; an even number of runs would
// leave the entries flipped, so the last run puts them back untimed.
double Save(const Setup& s) {
    CEntryArray flip = s.rows;
    bool flipped = false;
    auto flipAll = [&] {
        flipped = !flipped;
        for (int i = 0; i < s.n; ++i)
            flip.m_entries[i].bBlocked = s.rows.m_entries[i].bBlocked != flipped;
    };
    double ms = Median(s.runs, [&] {
        flipAll();
        return Time([&] { EntryList::Save(flip); });
    });
    if (flipped)
        EntryList::Save(s.rows);
    return ms;
}

// A save in which no value changes, as after most sessions.
double SaveUnchanged(const Setup& s) {
    return Median(s.runs, [&] { return Time([&] { EntryList::Save(s.rows); }); });
}

double SaveFloor(const Setup& s) {
    DWORD mask = 0;
    double ms = Median(s.runs, [&] {
        mask ^= KILL_BIT;
        return Time([&] { WriteFloor(s.n, mask); });
    });
    if (mask != 0)
        WriteFloor(s.n, 0);
    return ms;
}

double RegImportTime(const Setup& s) {
    DWORD mask = 0;
    double ms = Median(s.n < 10000 ? 5 : 3, [&] {
        mask ^= KILL_BIT;
        return RegImport(s.n, s.dir, [mask](int i) { return SavedFlags(i, mask); });
    });
    if (mask != 0)
        RegImport(s.n, s.dir, [](int i) { return SavedFlags(i, 0); });
    return ms;
}

// OnInitDialog's own time, not the window's creation around it.
double Dialog(const Setup& s) {
    return Median(s.runs, [&] {
        CTimedDlg dlg;
        dlg.DoModal();
        if (dlg.m_nRows != s.n)
            fprintf(stderr, "the dialog showed %d rows of %d\n", dlg.m_nRows, s.n);
        return dlg.m_dElapsed;
    });
}

// The per-key method is quadratic: beyond 1,000 entries it would take minutes.
double PlatformSaveTime(const Setup& s) {
    if (s.n > 1000)
        return -1;
    return Median(3, [&] { return Time([&] { PlatformSave(s.rows, s.platformPath); }); });
}

double PlatformLoadTime(const Setup& s) {
    if (s.n > 1000)
        return -1;
    return Median(3, [&] { return Time([&] { PlatformLoad(s.platformPath); }); });
}

struct Figures {
    int n;
    double fileLoad, fileSave, load, save, saveUnchanged, dialog, readFloor, writeFloor, regImport;
    double platformLoad, platformSave;
};

Figures Measure(const Setup& s) {
    Figures f = {};
    f.n = s.n;
    f.fileLoad = ListFileLoad(s);
    f.fileSave = ListFileSave(s);
    f.load = Load(s);
    f.readFloor = LoadFloor(s);
    f.save = Save(s);
    f.saveUnchanged = SaveUnchanged(s);
    f.writeFloor = SaveFloor(s);
    f.regImport = RegImportTime(s);
    f.dialog = Dialog(s);
    f.platformSave = PlatformSaveTime(s);
    f.platformLoad = PlatformLoadTime(s);
    return f;
}

// A Markdown table: the headings, then one line per row of cells.
void PrintMarkdown(const std::vector<std::string>& headings,
                   const std::vector<std::vector<std::string>>& rows) {
    std::string head = "|", rule = "|";
    for (const std::string& heading : headings) {
        head += " " + heading + " |";
        rule += "---|";
    }
    printf("%s\n%s\n", head.c_str(), rule.c_str());
    for (const std::vector<std::string>& cells : rows) {
        std::string row = "|";
        for (const std::string& cell : cells)
            row += " " + cell + " |";
        printf("%s\n", row.c_str());
    }
}

void PrintTable(const std::vector<Figures>& table) {
    const std::vector<std::string> headings = {"N",
                                               "list file load",
                                               "list file save",
                                               "Load",
                                               "Load floor",
                                               "Load / floor",
                                               "Save",
                                               "Save floor",
                                               "Save / floor",
                                               "Save unchanged",
                                               "reg import",
                                               "Save / reg import",
                                               "dialog",
                                               "dialog / read floor",
                                               "platform load",
                                               "platform save",
                                               "list file save / platform"};
    std::vector<std::vector<std::string>> rows;
    for (const Figures& f : table) {
        rows.push_back({std::to_string(f.n), Ms(f.fileLoad), Ms(f.fileSave), Ms(f.load),
                        Ms(f.readFloor), Ratio(f.load, f.readFloor), Ms(f.save), Ms(f.writeFloor),
                        Ratio(f.save, f.writeFloor), Ms(f.saveUnchanged), Ms(f.regImport),
                        Ratio(f.save, f.regImport), Ms(f.dialog), Ratio(f.dialog, f.readFloor),
                        Ms(f.platformLoad), Ms(f.platformSave), Ratio(f.fileSave, f.platformSave)});
    }
    PrintMarkdown(headings, rows);
}

// The size of a program built beside this benchmark, as "123 KB", or "-" when it is missing.
std::string ProgramSize(LPCSTR pszName) {
    std::string path = ModuleDirectory() + "\\" + pszName;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return "-";
    char text[32];
    sprintf(text, "%lu KB", static_cast<unsigned long>((data.nFileSizeLow + 1023) / 1024));
    return text;
}

// quellctl's scan of every registered class, with 2,000 and then 20,000 classes of this
// benchmark's own in HKEY_CLASSES_ROOT\CLSID (one in 20 a control, as on a busy machine), against
// a floor that only enumerates the class keys of every view and opens each once.
void PrintScanFigures() {
    auto classKey = [](int i) {
        char text[64];
        sprintf(text, "CLSID\\{B4B4B4B4-0000-0000-0000-%012d}", i);
        return std::string(text);
    };
    auto setKey = [](const std::string& path, LPCSTR pszValue) {
        HKEY hKey;
        if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL,
                              &hKey, NULL) != ERROR_SUCCESS)
            return;
        if (pszValue)
            ::RegSetValueExA(hKey, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                             static_cast<DWORD>(strlen(pszValue) + 1));
        ::RegCloseKey(hKey);
    };
    // The class keys it opened.
    auto floor = [] {
        int nKeys = 0;
        for (REGSAM view : RegistryViews()) {
            HKEY hClsid;
            if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ENUMERATE_SUB_KEYS | view,
                                &hClsid) != ERROR_SUCCESS)
                continue;
            char name[256];
            DWORD cchName = sizeof(name);
            for (DWORD i = 0; ::RegEnumKeyExA(hClsid, i, name, &cchName, NULL, NULL, NULL, NULL) ==
                              ERROR_SUCCESS;
                 ++i, cchName = sizeof(name)) {
                HKEY hKey;
                if (::RegOpenKeyExA(hClsid, name, 0, KEY_QUERY_VALUE | view, &hKey) ==
                    ERROR_SUCCESS) {
                    ::RegCloseKey(hKey);
                    ++nKeys;
                }
            }
            ::RegCloseKey(hClsid);
        }
        return nKeys;
    };

    double scanMs[2], floorMs[2];
    int nRegistered = 0;
    const int sizes[2] = {2000, 20000};
    for (int k = 0; k < 2; ++k) {
        for (; nRegistered < sizes[k]; ++nRegistered) {
            std::string key = classKey(nRegistered);
            bool bControl = nRegistered % 20 == 0;
            setKey(key, bControl ? "Benchmark Control" : "Benchmark Class");
            setKey(key + "\\InprocServer32", "C:\\Windows\\System32\\benchmark.dll");
            if (bControl) {
                setKey(key + "\\Control", NULL);
                setKey(key + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                       NULL);
            }
        }
        size_t nControls = 0;
        scanMs[k] =
            Median(5, [&] { return Time([&] { nControls = ScanInstalledControls().size(); }); });
        int nKeys = 0;
        floorMs[k] = Median(5, [&] { return Time([&] { nKeys = floor(); }); });
        printf("Scan with %d classes of the benchmark's own (%d class keys in all views, %d "
               "controls found): scan %s ms, floor %s ms, scan / floor %s\n",
               sizes[k], nKeys, static_cast<int>(nControls), Ms(scanMs[k]).c_str(),
               Ms(floorMs[k]).c_str(), Ratio(scanMs[k], floorMs[k]).c_str());
    }
    printf("Growth of the scan from 2,000 to 20,000 classes (10 is linear): %.1f (floor %.1f)\n",
           scanMs[1] / scanMs[0], floorMs[1] / floorMs[0]);
    for (int i = 0; i < nRegistered; ++i)
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey(i).c_str());
}

// check --known: the kill bits of every catalogued control in every view, read as the command
// reads them, and the look-ups --installed adds; then quellctl.exe doing it, start-up included.
void PrintKnownCheckFigures() {
    std::vector<CString> clsids;
    for (const KnownControl& control : KnownControls())
        clsids.push_back(control.strClsid);
    double readMs = Median(5, [&] {
        return Time([&] {
            const std::vector<KillBitKey> locations = KillBitLocations(READER_IE);
            for (const CString& strClsid : clsids)
                ReadKillBitFlags(strClsid, locations).IsBlocked();
        });
    });
    double installedMs = Median(5, [&] { return Time([&] { FindInstalledControls(clsids); }); });
    const std::string quellctl = "\"" + ModuleDirectory() + "\\quellctl.exe\" ";
    double checkMs = Median(9, [&] { return RunTimed(quellctl + "check --known"); });
    double startMs = Median(9, [&] { return RunTimed(quellctl + "/?"); });
    printf("check --known over the %d catalogued CLSIDs in %d registry views: kill bits %s ms, "
           "--installed's look-ups %s ms more; quellctl check --known as a process %s ms, quellctl "
           "/? (a process that does next to nothing) %s ms\n",
           static_cast<int>(clsids.size()), RegistryViews().GetCount(), Ms(readMs).c_str(),
           Ms(installedMs).c_str(), Ms(checkMs).c_str(), Ms(startMs).c_str());
}

// quellctl's commands over the whole list of s.n entries, each a whole process (start-up
// included) with its output to NUL, beside the same registry work done the plainest way.
struct CommandFigures {
    int n;
    double block, regImport, check, readFloor, list, exportGpp;
};

CommandFigures MeasureCommands(const Setup& s) {
    const int runs = s.n < 10000 ? 5 : 3;
    const int nValues = s.n * RegistryViews().GetCount();
    const std::string quellctl =
        "\"" + ModuleDirectory() + "\\quellctl.exe\" --ini \"" + s.path + "\" ";
    auto command = [&](const std::string& arguments) {
        DWORD dwExitCode = 0;
        double ms = RunTimed(quellctl + arguments, &dwExitCode);
        if (dwExitCode != 0)
            fprintf(stderr, "quellctl %s exited with %lu\n", arguments.c_str(),
                    static_cast<unsigned long>(dwExitCode));
        return ms;
    };
    // Every value set where there was no key, as on a machine that never blocked these, the same
    // values both ways: the kill bit alone, in every view.
    auto fromNothing = [&](LPCSTR pszWhat, const std::function<double()>& run) {
        return Median(runs, [&] {
            DeleteKeys(s.n);
            double ms = run();
            int nBlocked = ReadFloor(s.n);
            if (nBlocked != nValues)
                fprintf(stderr, "%s set the kill bit in %d of %d values\n", pszWhat, nBlocked,
                        nValues);
            return ms;
        });
    };
    CommandFigures f = {};
    f.n = s.n;
    f.regImport = fromNothing("reg import",
                              [&] { return RegImport(s.n, s.dir, [](int) { return KILL_BIT; }); });
    f.block = fromNothing("block --all", [&] { return command("block --all"); });
    // Every control is blocked from here on, so check --all passes, as on a managed machine.
    f.check = Median(runs, [&] { return command("check --all"); });
    f.readFloor = Median(runs, [&] { return Time([&] { ReadFloor(s.n); }); });
    f.list = Median(runs, [&] { return command("list --json"); });
    const std::string xml = s.dir + "\\Registry.xml";
    f.exportGpp = Median(runs, [&] { return command("export --gpp \"" + xml + "\""); });
    ::DeleteFileA(xml.c_str());
    return f;
}

void PrintCommandTable(const std::vector<CommandFigures>& table) {
    printf("\nquellctl over the whole list, each command a whole process (start-up included) with "
           "its output to NUL, a character device as a console is; \"reg import\" sets the same "
           "values (the kill bit in every view) from a .reg file; the read pass is the open, "
           "query and close of every entry's key in every view in this process. block --all and "
           "reg import start from deleted keys each run. Times in milliseconds, medians.\n\n");
    std::vector<std::vector<std::string>> rows;
    for (const CommandFigures& f : table)
        rows.push_back({std::to_string(f.n), Ms(f.block), Ms(f.regImport),
                        Ratio(f.block, f.regImport), Ms(f.check), Ms(f.readFloor),
                        Ratio(f.check, f.readFloor), Ms(f.list), Ratio(f.list, f.readFloor),
                        Ms(f.exportGpp), Ratio(f.exportGpp, f.readFloor)});
    PrintMarkdown({"N", "block --all", "reg import", "block / reg import", "check --all",
                   "read pass", "check / read pass", "list --json", "list / read pass",
                   "export --gpp", "export / read pass"},
                  rows);
    const CommandFigures& a = table.front();
    const CommandFigures& b = table.back();
    printf("\nGrowth from %d to %d entries (%.0f is linear): block --all %.1f, reg import %.1f, "
           "check --all %.1f, read pass %.1f, list --json %.1f, export --gpp %.1f\n",
           a.n, b.n, static_cast<double>(b.n) / a.n, b.block / a.block, b.regImport / a.regImport,
           b.check / a.check, b.readFloor / a.readFloor, b.list / a.list,
           b.exportGpp / a.exportGpp);
}

} // namespace

int main() {
    const size_t peakAtStart = PeakWorkingSet();
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    Setup s = {};
    s.dir = std::string(temp) + "qbxbench" + std::to_string(::GetCurrentProcessId());
    s.path = s.dir + "\\Quellbox.ini";
    s.platformPath = s.dir + "\\platform.ini";
    ::CreateDirectoryA(s.dir.c_str(), NULL);
    ::CreateDirectoryA((s.dir + "\\program").c_str(), NULL);

    CWinApp app;
    app.m_pszProfileName = _strdup(s.path.c_str());

    std::vector<Figures> table;
    size_t peakAt10000 = 0;
    size_t programPeak = 0;
    std::vector<CommandFigures> commands;
    for (int n : {100, 1000, 10000}) {
        s.n = n;
        s.runs = n < 10000 ? 7 : 5;
        s.rows = MakeEntries(n);
        DeleteKeys(n);
        EntryList::Save(s.rows); // the file and the keys exist from here on
        table.push_back(Measure(s));
        if (n == 10000) {
            peakAt10000 = PeakWorkingSet();
            programPeak = ProgramPeakWorkingSet(s.dir + "\\program", s.path, n);
        }
        if (n >= 1000)
            commands.push_back(MeasureCommands(s));
        DeleteKeys(n);
        fprintf(stderr, "N = %d done\n", n);
    }
    ::DeleteFileA(s.path.c_str());
    ::DeleteFileA(s.platformPath.c_str());
    ::RemoveDirectoryA((s.dir + "\\program").c_str());
    ::RemoveDirectoryA(s.dir.c_str());

    printf("Registry views written per entry: %d. Registry calls per entry and view: Load 3 "
           "(open, query, close), Save 4 (create, query, set, close; 3 when the value is "
           "already right). Times in milliseconds, each the median of several runs.\n\n",
           RegistryViews().GetCount());
    PrintTable(table);
    printf("\nGrowth from 1,000 to 10,000 entries (10 is linear):");
    const Figures& a = table[1];
    const Figures& b = table[2];
    printf(" list file load %.1f, list file save %.1f, Load %.1f, Save %.1f, dialog %.1f\n",
           b.fileLoad / a.fileLoad, b.fileSave / a.fileSave, b.load / a.load, b.save / a.save,
           b.dialog / a.dialog);
    const double kMB = 1024.0 * 1024.0;
    printf("Peak working set of Quellbox.exe showing 10,000 entries: %.1f MB\n",
           static_cast<double>(programPeak) / kMB);
    printf("Peak working set of this benchmark after 10,000 entries: %.1f MB (%.1f MB at its "
           "start)\n",
           static_cast<double>(peakAt10000) / kMB, static_cast<double>(peakAtStart) / kMB);
    printf("Program sizes: Quellbox.exe %s, quellctl.exe %s\n", ProgramSize("Quellbox.exe").c_str(),
           ProgramSize("quellctl.exe").c_str());
    PrintScanFigures();
    PrintKnownCheckFigures();
    PrintCommandTable(commands);
    return 0;
}
