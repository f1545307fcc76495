// Prints what loading, saving and showing the block list costs for 100, 1,000 and 10,000
// entries, beside what the same registry and file work costs done the plainest way.
#include "framework/ProfileFile.h"
#include "framework/WinApp.h"
#include "storage/EntryList.h"
#include "storage/KillBit.h"
#include "ui/QuellboxDlg.h"

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

// Milliseconds, the median of the runs.
double Median(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        double start = Now();
        work();
        times.push_back(Now() - start);
    }
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

// Exactly the registry calls that loading makes per entry and view: open, query, close.
void ReadFloor(int n) {
    ForEachKey(n, [](LPCSTR path, REGSAM view, int) {
        HKEY hKey;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &hKey) !=
            ERROR_SUCCESS)
            return;
        DWORD value, size = sizeof(value);
        ::RegQueryValueExA(hKey, kFlags, NULL, NULL, reinterpret_cast<BYTE*>(&value), &size);
        ::RegCloseKey(hKey);
    });
}

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
        value = (i % 2 == 0 ? KILL_BIT : 0) ^ flip;
        ::RegSetValueExA(hKey, kFlags, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                         sizeof(value));
        ::RegCloseKey(hKey);
    });
}

// The system's own importer setting the same values, started as a child process.
double RegImport(int n, const std::string& dir, DWORD flip) {
    std::string file = dir + "\\bench.reg";
    FILE* f = fopen(file.c_str(), "wb");
    fputs("REGEDIT4\r\n\r\n", f);
    const int nViews = RegistryViews().GetCount();
    for (REGSAM view : RegistryViews()) {
        const char* root = view == KEY_WOW64_32KEY ? "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node"
                                                   : "HKEY_LOCAL_MACHINE\\Software";
        for (int i = 0; i < n; ++i)
            fprintf(f,
                    "[%s\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{%s}]\r\n"
                    "\"Compatibility Flags\"=dword:%08lx\r\n\r\n",
                    root, Clsid(i).c_str(),
                    static_cast<unsigned long>((i % 2 == 0 ? KILL_BIT : 0) ^ flip));
    }
    fclose(f);
    std::string command = "reg.exe import \"" + file + "\" /reg:" + (nViews == 2 ? "64" : "32");
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    double start = Now();
    if (!::CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &si,
                          &pi))
        return -1;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    double elapsed = Now() - start;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
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
        m_nRows = static_cast<int>(::SendDlgItemMessageA(m_hWnd, 1000, LVM_GETITEMCOUNT, 0, 0));
        EndDialog(IDCANCEL);
        return result;
    }
};

struct Figures {
    int n;
    double fileLoad, fileSave, load, save, saveUnchanged, dialog, readFloor, writeFloor, regImport;
    double platformLoad, platformSave;
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

// The program itself showing the list file at path: its peak working set once all rows are in,
// in bytes, or 0 when it could not be measured.
size_t ProgramPeakWorkingSet(const std::string& dir, const std::string& listFile, int n) {
    char self[MAX_PATH];
    ::GetModuleFileNameA(NULL, self, MAX_PATH);
    std::string built = self;
    built = built.substr(0, built.rfind('\\')) + "\\Quellbox.exe";
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
            ::SendDlgItemMessageA(hDlg, 1000, LVM_GETITEMCOUNT, 0, 0) != n)
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

} // namespace

int main() {
    const size_t peakAtStart = PeakWorkingSet();
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "qbxbench" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(dir.c_str(), NULL);
    std::string path = dir + "\\Quellbox.ini";
    std::string platformPath = dir + "\\platform.ini";

    CWinApp app;
    app.m_pszProfileName = _strdup(path.c_str());
    const int nViews = RegistryViews().GetCount();

    std::vector<Figures> table;
    size_t peakAt10000 = 0;
    size_t programPeak = 0;
    ::CreateDirectoryA((dir + "\\program").c_str(), NULL);
    for (int n : {100, 1000, 10000}) {
        const int runs = n < 10000 ? 7 : 5;
        Figures f = {};
        f.n = n;
        CEntryArray rows = MakeEntries(n);
        DeleteKeys(n);
        EntryList::Save(rows); // the file and the keys exist from here on

        f.fileLoad = Median(
            runs, [] {},
            [&] {
                CProfileFile file;
                file.Read(path.c_str());
                for (int i = 0; i < n; ++i) {
                    std::string k = std::to_string(i);
                    file.GetString("Setting", ("N" + k).c_str(), "");
                    file.GetString("Setting", ("S" + k).c_str(), "");
                }
            });
        f.fileSave = Median(
            runs, [] {},
            [&] {
                CProfileFile file;
                file.Read(path.c_str());
                file.WriteString("Setting", NULL, "");
                for (int i = 0; i < n; ++i) {
                    std::string k = std::to_string(i);
                    file.WriteString("Setting", ("N" + k).c_str(), rows.m_entries[i].strName);
                    file.WriteString("Setting", ("S" + k).c_str(), rows.m_entries[i].strClsid);
                }
                file.Write(path.c_str());
            });
        f.load = Median(
            runs, [] {},
            [&] {
                CEntryArray loaded;
                EntryList::Load(loaded);
            });
        f.readFloor = Median(
            runs, [] {}, [&] { ReadFloor(n); });
        // Every save flips every entry, so that each one really writes.
        bool flipped = false;
        CEntryArray flip = rows;
        f.save = Median(
            runs,
            [&] {
                flipped = !flipped;
                for (int i = 0; i < n; ++i)
                    flip.m_entries[i].bBlocked = rows.m_entries[i].bBlocked != flipped;
            },
            [&] { EntryList::Save(flip); });
        // A save in which no value changes, as after most sessions.
        f.saveUnchanged = Median(
            runs, [] {}, [&] { EntryList::Save(flip); });
        DWORD mask = 0;
        f.writeFloor = Median(
            runs, [&] { mask ^= KILL_BIT; }, [&] { WriteFloor(n, mask); });
        std::vector<double> imports;
        for (int i = 0; i < (n < 10000 ? 5 : 3); ++i)
            imports.push_back(RegImport(n, dir, (i % 2) ? KILL_BIT : 0));
        std::sort(imports.begin(), imports.end());
        f.regImport = imports[imports.size() / 2];
        {
            // OnInitDialog's own time, not the window's creation around it.
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                CTimedDlg dlg;
                dlg.DoModal();
                if (dlg.m_nRows != n)
                    fprintf(stderr, "the dialog showed %d rows of %d\n", dlg.m_nRows, n);
                times.push_back(dlg.m_dElapsed);
            }
            std::sort(times.begin(), times.end());
            f.dialog = times[times.size() / 2];
        }
        f.platformLoad = f.platformSave = -1;
        if (n <= 1000) {
            f.platformSave = Median(
                3, [] {}, [&] { PlatformSave(rows, platformPath); });
            f.platformLoad = Median(
                3, [] {}, [&] { PlatformLoad(platformPath); });
        }
        if (n == 10000) {
            peakAt10000 = PeakWorkingSet();
            programPeak = ProgramPeakWorkingSet(dir + "\\program", path, n);
        }
        DeleteKeys(n);
        table.push_back(f);
        fprintf(stderr, "N = %d done\n", n);
    }
    ::DeleteFileA(path.c_str());
    ::DeleteFileA(platformPath.c_str());
    ::RemoveDirectoryA((dir + "\\program").c_str());
    ::RemoveDirectoryA(dir.c_str());

    printf("Registry views written per entry: %d. Registry calls per entry and view: Load 3 "
           "(open, query, close), Save 4 (create, query, set, close; 3 when the value is "
           "already right). Times in milliseconds, each the median of several runs.\n\n",
           nViews);
    const char* const headings[] = {"N",
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
    std::string head = "|", rule = "|";
    for (const char* heading : headings) {
        head += std::string(" ") + heading + " |";
        rule += "---|";
    }
    printf("%s\n%s\n", head.c_str(), rule.c_str());
    for (const Figures& f : table) {
        const std::string cells[] = {std::to_string(f.n),
                                     Ms(f.fileLoad),
                                     Ms(f.fileSave),
                                     Ms(f.load),
                                     Ms(f.readFloor),
                                     Ratio(f.load, f.readFloor),
                                     Ms(f.save),
                                     Ms(f.writeFloor),
                                     Ratio(f.save, f.writeFloor),
                                     Ms(f.saveUnchanged),
                                     Ms(f.regImport),
                                     Ratio(f.save, f.regImport),
                                     Ms(f.dialog),
                                     Ratio(f.dialog, f.readFloor),
                                     Ms(f.platformLoad),
                                     Ms(f.platformSave),
                                     Ratio(f.fileSave, f.platformSave)};
        std::string row = "|";
        for (const std::string& cell : cells)
            row += " " + cell + " |";
        printf("%s\n", row.c_str());
    }
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
    return 0;
}
