#include "storage/EntryList.h"

#include "framework/WinApp.h"
#include "storage/ClsidText.h"
#include "storage/KillBit.h"

#include <stdlib.h>

#include <algorithm>

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

CString PositionKey(char chLetter, const std::string& position) {
    char key[2] = {chLetter, '\0'};
    return CString(key) + position.c_str();
}

// Positions as their decimal digits, however many there are: ordered by length, then by digits.
bool IsBeforePosition(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// The positions the section has a key N<i> or S<i> for, ascending: found from its keys alone, so
// that a key such as N999999999 costs no more than any other. Only i as _itoa writes it is one: a
// look-up of "N5" does not find "N05".
std::vector<std::string> ListedPositions(CWinApp* pApp) {
    std::vector<std::string> positions;
    for (const std::string& key : pApp->GetProfileKeys(kSection)) {
        // Keys come upper-cased, as look-ups fold them.
        if (key.size() >= 2 && (key[0] == 'N' || key[0] == 'S') &&
            (key[1] != '0' || key.size() == 2) &&
            key.find_first_not_of("0123456789", 1) == std::string::npos)
            positions.push_back(key.substr(1));
    }
    std::sort(positions.begin(), positions.end(), IsBeforePosition);
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

struct EntryAt {
    std::string position;
    Entry entry; // without its blocked state
};

// The entries of the list file in order. A position without a CLSID is no entry (into *pSkipped);
// one without a name is named by its CLSID, as the list shows it.
std::vector<EntryAt> ReadEntries(CWinApp* pApp, std::vector<std::string>* pSkipped) {
    std::vector<EntryAt> entries;
    for (const std::string& i : ListedPositions(pApp)) {
        EntryAt at = {i, Entry()};
        at.entry.strClsid = pApp->GetProfileString(kSection, PositionKey('S', i), "");
        NormalizeClsid(at.entry.strClsid);
        if (at.entry.strClsid.IsEmpty()) {
            if (pSkipped != NULL)
                pSkipped->push_back(i);
            continue;
        }
        at.entry.strName = pApp->GetProfileString(kSection, PositionKey('N', i), "");
        if (at.entry.strName.IsEmpty())
            at.entry.strName = at.entry.strClsid;
        entries.push_back(at);
    }
    return entries;
}

std::string EntryText(const Entry& entry) {
    return std::string(entry.strName) + '\0' + static_cast<LPCSTR>(entry.strClsid);
}

// The entries of the list file (their indexes in it) that hold one text, in order, and the first
// not looked at yet.
struct Matches {
    std::vector<int> at;
    size_t next = 0;
};
typedef std::unordered_map<std::string, Matches> EntryIndex;

int TakeEntry(EntryIndex& index, const std::string& text, std::vector<bool>& taken) {
    EntryIndex::iterator it = index.find(text);
    while (it != index.end() && it->second.next < it->second.at.size()) {
        int j = it->second.at[it->second.next++];
        if (!taken[j]) {
            taken[j] = true;
            return j;
        }
    }
    return -1;
}

// For each row without one in *pFrom, the entry of the list file (its index in inFile) that it
// was read as: one with the same name and CLSID, else one with the same name. Only through it
// does a name that a Unicode file holds keep the characters the ANSI code page lacks, wherever
// its row moved.
void FindEntriesAsRead(const std::vector<EntryAt>& inFile, const std::vector<Entry>& rows,
                       std::vector<int>* pFrom) {
    EntryIndex byEntry, byName;
    for (int j = 0; j < static_cast<int>(inFile.size()); ++j) {
        byEntry[EntryText(inFile[j].entry)].at.push_back(j);
        byName[static_cast<LPCSTR>(inFile[j].entry.strName)].at.push_back(j);
    }
    std::vector<int>& from = *pFrom;
    std::vector<bool> taken(inFile.size());
    for (int j : from) {
        if (j >= 0)
            taken[j] = true;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (from[i] < 0)
            from[i] = TakeEntry(byEntry, EntryText(rows[i]), taken);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (from[i] < 0)
            from[i] = TakeEntry(byName, static_cast<LPCSTR>(rows[i].strName), taken);
    }
}

// The controls whose kill bits stay as the registry holds them: each of their rows still shows
// the state it was read in, and another program changed the kill bits since.
ClsidSet ChangedElsewhere(const std::vector<Entry>& rows,
                          const std::vector<KillBitKey>& locations) {
    // A control's views as its first row read them.
    std::unordered_map<std::string, size_t> asRead;
    ClsidSet touched;
    for (const Entry& row : rows) {
        const std::string clsid = static_cast<LPCSTR>(row.strClsid);
        if (row.dwViewsAsRead == VIEWS_UNREAD ||
            row.bBlocked != (row.dwViewsAsRead == AllViewsBlocked()))
            touched[clsid] = true;
        else
            asRead.emplace(clsid, row.dwViewsAsRead);
    }
    ClsidSet changed;
    for (const auto& control : asRead) {
        if (touched.count(control.first) == 0 &&
            ReadKillBitFlags(control.first.c_str(), locations).BlockedViews() != control.second)
            changed[control.first] = true;
    }
    return changed;
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

bool EntryList::Load(IEntrySink& sink, ListAsRead* pAsRead, Scope scope) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp->LoadProfile())
        return false;
    ListAsRead asRead;
    const std::vector<KillBitKey> locations = KillBitLocations(READER_IE);
    for (EntryAt& at : ReadEntries(pApp, &asRead.skipped)) {
        at.entry.bBlocked = false;
        if (scope == LIST_AND_FLAGS)
            ReadBlocked(at.entry, locations);
        asRead.clsids[static_cast<LPCSTR>(at.entry.strClsid)] = true;
        sink.AddEntry(at.entry);
    }
    if (pAsRead != NULL)
        *pAsRead = std::move(asRead);
    return true;
}

void EntryList::ReadBlocked(Entry& entry, const std::vector<KillBitKey>& locations) {
    const KillBitFlags flags = ReadKillBitFlags(entry.strClsid, locations);
    entry.dwViewsAsRead = flags.BlockedViews();
    entry.bBlocked = flags.IsBlocked();
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

SaveResult EntryList::Save(const IEntrySource& source, Scope what, const ListAsRead* pAsRead) {
    CWinApp* pApp = AfxGetApp();
    SaveResult result;
    // Re-read first, so that what anyone else wrote since the load survives. A file that cannot
    // be read is not overwritten: its other sections would be lost.
    if (!pApp->LoadProfile()) {
        result.bListFileSaved = false;
        result.dwListFileError = ::GetLastError();
    }

    const int nCount = source.GetEntryCount();
    std::vector<Entry> rows;
    rows.reserve(nCount);
    for (int i = 0; i < nCount; ++i)
        rows.push_back(source.GetEntry(i));
    const std::vector<EntryAt> inFile = ReadEntries(pApp, NULL);
    std::vector<int> from(rows.size(), -1);
    if (pAsRead != NULL) {
        ClsidSet listed;
        for (const Entry& row : rows)
            listed[static_cast<LPCSTR>(row.strClsid)] = true;
        for (int j = 0; j < static_cast<int>(inFile.size()); ++j) {
            const std::string clsid = static_cast<LPCSTR>(inFile[j].entry.strClsid);
            if (pAsRead->clsids.count(clsid) == 0 && listed.emplace(clsid, true).second) {
                rows.push_back(inFile[j].entry);
                from.push_back(j);
                ++result.nKept;
            }
        }
    }
    std::unordered_map<std::string, bool> ticked;
    ClsidSet changedElsewhere;
    const std::vector<KillBitKey> locations = KillBitLocations(READER_IE);
    if (what == LIST_AND_FLAGS) {
        const std::vector<Entry> shown(rows.begin(), rows.begin() + nCount);
        for (const Entry& control : MergeRepeats(shown))
            ticked[static_cast<LPCSTR>(control.strClsid)] = control.bBlocked;
        changedElsewhere = ChangedElsewhere(shown, locations);
    }
    // Only a Unicode file holds names that the rows may not show whole.
    if (pApp->IsProfileUnicode())
        FindEntriesAsRead(inFile, rows, &from);
    pApp->WriteProfileString(kSection, NULL, "");
    for (size_t i = 0; i < rows.size(); ++i) {
        const Entry& entry = rows[i];
        const int nPosition = static_cast<int>(i);
        const CString strAsRead =
            from[i] < 0 ? CString() : PositionKey('N', inFile[from[i]].position);
        if (!pApp->WriteProfileString(kSection, PositionKey('N', nPosition), entry.strName,
                                      from[i] < 0 ? NULL : static_cast<LPCSTR>(strAsRead)) ||
            !pApp->WriteProfileString(kSection, PositionKey('S', nPosition), entry.strClsid)) {
            result.bListFileSaved = false;
            result.dwListFileError = ERROR_INVALID_DATA;
        }
        const std::string clsid = static_cast<LPCSTR>(entry.strClsid);
        if (what == LIST_AND_FLAGS && nPosition < nCount && changedElsewhere.count(clsid) == 0 &&
            !SetBlocked(KillBitKeys(locations, entry.strClsid), ticked[clsid]))
            result.registryFailures.push_back(nPosition);
    }
    if (result.bListFileSaved && !pApp->SaveProfile()) {
        result.bListFileSaved = false;
        result.dwListFileError = ::GetLastError();
    }
    return result;
}
