#include "storage/EntryList.h"

#include "framework/WinApp.h"
#include "storage/KillBit.h"

#include <stdlib.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace {

const char kSection[] = "Setting";

CString PositionKey(char chLetter, int nIndex) {
    char digits[16];
    _itoa(nIndex, digits, 10);
    char key[2] = {chLetter, '\0'};
    return CString(key) + digits;
}

// Entry i of the list file without its blocked state; false at the first position whose name or
// CLSID is missing or empty.
bool ReadEntry(CWinApp* pApp, int i, Entry* pEntry) {
    pEntry->strName = pApp->GetProfileString(kSection, PositionKey('N', i), "");
    if (pEntry->strName.IsEmpty())
        return false;
    pEntry->strClsid = pApp->GetProfileString(kSection, PositionKey('S', i), "");
    if (pEntry->strClsid.IsEmpty())
        return false;
    EntryList::NormalizeClsid(pEntry->strClsid);
    return true;
}

std::string EntryText(const Entry& entry) {
    return std::string(entry.strName) + '\0' + static_cast<LPCSTR>(entry.strClsid);
}

// The positions in the list file that hold one text, in order, and the first not looked at yet.
struct Positions {
    std::vector<int> at;
    size_t next = 0;
};
typedef std::unordered_map<std::string, Positions> PositionIndex;

int TakePosition(PositionIndex& index, const std::string& text, std::vector<bool>& taken) {
    PositionIndex::iterator it = index.find(text);
    while (it != index.end() && it->second.next < it->second.at.size()) {
        int j = it->second.at[it->second.next++];
        if (!taken[j]) {
            taken[j] = true;
            return j;
        }
    }
    return -1;
}

// For each row, the position of the entry in the list file that it was read as, or -1: one with
// the same name and CLSID, else one with the same name. Only through it does a name that a
// Unicode file holds keep the characters the ANSI code page lacks, wherever its row moved.
std::vector<int> PositionsAsRead(CWinApp* pApp, const std::vector<Entry>& rows) {
    PositionIndex byEntry, byName;
    Entry entry;
    int nRead = 0;
    for (; ReadEntry(pApp, nRead, &entry); ++nRead) {
        byEntry[EntryText(entry)].at.push_back(nRead);
        byName[static_cast<LPCSTR>(entry.strName)].at.push_back(nRead);
    }
    std::vector<bool> taken(nRead);
    std::vector<int> from(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        from[i] = TakePosition(byEntry, EntryText(rows[i]), taken);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (from[i] < 0)
            from[i] = TakePosition(byName, static_cast<LPCSTR>(rows[i].strName), taken);
    }
    return from;
}

} // namespace

CString EntryList::ListFilePathFor(const CString& strModuleFileName) {
    CString strPath;
    if (!strModuleFileName.IsEmpty()) {
        strPath = strModuleFileName.Left(strModuleFileName.ReverseFind('\\') + 1);
        strPath += "Quellbox.ini";
    }
    if (strPath.IsEmpty())
        strPath = ".\\Quellbox.ini";
    return strPath;
}

int EntryList::FindClsid(const IEntrySource& source, const CString& strClsid) {
    for (int i = 0; i < source.GetEntryCount(); ++i) {
        if (source.GetEntry(i).strClsid.Compare(strClsid) == 0)
            return i;
    }
    return -1;
}

void EntryList::NormalizeClsid(CString& strClsid) {
    strClsid.TrimLeft();
    strClsid.TrimRight();
    strClsid.MakeUpper();
}

bool EntryList::Load(IEntrySink& sink) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp->LoadProfile())
        return false;
    Entry entry;
    for (int i = 0; ReadEntry(pApp, i, &entry); ++i) {
        entry.bBlocked = IsBlocked(KillBitKeyPath(entry.strClsid));
        sink.AddEntry(entry);
    }
    return true;
}

std::vector<Entry> EntryList::MergeRepeats(const std::vector<Entry>& rows) {
    std::vector<Entry> controls;
    std::unordered_map<std::string, size_t> positions;
    for (const Entry& row : rows) {
        auto found = positions.emplace(static_cast<LPCSTR>(row.strClsid), controls.size());
        if (found.second)
            controls.push_back(row);
        else if (row.bBlocked)
            controls[found.first->second].bBlocked = true;
    }
    return controls;
}

SaveResult EntryList::Save(const IEntrySource& source, SaveWhat what) {
    CWinApp* pApp = AfxGetApp();
    SaveResult result;
    // Re-read first, so that sections written by anyone else since the load survive. A file
    // that exists but cannot be read is not overwritten: its other sections would be lost.
    if (!pApp->LoadProfile()) {
        result.bListFileSaved = false;
        result.dwListFileError = ::GetLastError();
    }

    const int nCount = source.GetEntryCount();
    std::vector<Entry> rows;
    rows.reserve(nCount);
    for (int i = 0; i < nCount; ++i)
        rows.push_back(source.GetEntry(i));
    std::unordered_map<std::string, bool> ticked;
    if (what == LIST_AND_FLAGS) {
        for (const Entry& control : MergeRepeats(rows))
            ticked[static_cast<LPCSTR>(control.strClsid)] = control.bBlocked;
    }
    // Only a Unicode file holds names that the rows may not show whole.
    const std::vector<int> from =
        pApp->IsProfileUnicode() ? PositionsAsRead(pApp, rows) : std::vector<int>(rows.size(), -1);
    pApp->WriteProfileString(kSection, NULL, "");
    for (int i = 0; i < nCount; ++i) {
        const Entry& entry = rows[i];
        const CString strAsRead = from[i] < 0 ? CString() : PositionKey('N', from[i]);
        if (!pApp->WriteProfileString(kSection, PositionKey('N', i), entry.strName,
                                      from[i] < 0 ? NULL : static_cast<LPCSTR>(strAsRead)) ||
            !pApp->WriteProfileString(kSection, PositionKey('S', i), entry.strClsid)) {
            result.bListFileSaved = false;
            result.dwListFileError = ERROR_INVALID_DATA;
        }
        if (what == LIST_AND_FLAGS && !SetBlocked(KillBitKeyPath(entry.strClsid),
                                                  ticked[static_cast<LPCSTR>(entry.strClsid)]))
            result.registryFailures.push_back(i);
    }
    if (result.bListFileSaved && !pApp->SaveProfile()) {
        result.bListFileSaved = false;
        result.dwListFileError = ::GetLastError();
    }
    return result;
}
