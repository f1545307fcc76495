// list and scan: the listed controls, and the controls installed here.
#include "quellctl/Commands.h"

#include "quellctl/KillBitColumns.h"
#include "quellctl/ListFile.h"
#include "storage/ComRegistration.h"
#include "storage/KnownKillBits.h"

#include <set>

namespace {

// Longer names and server paths are bad data: shown cut, so that one cannot widen every line.
const int kMaxShownBytes = 260;

// "32 64": the views a control is registered in, by their bitness.
CString ViewsCell(unsigned viewMask) {
    CString strViews;
    unsigned viewBit = 1;
    for (REGSAM samView : RegistryViews()) {
        if (viewMask & viewBit)
            strViews +=
                CString(strViews.IsEmpty() ? "" : " ") + (samView == KEY_WOW64_64KEY ? "64" : "32");
        viewBit <<= 1;
    }
    return strViews;
}

} // namespace

CTable ListTable(const std::vector<Entry>& entries) {
    std::vector<CColumn> columns = {{"Name", "name", JSON_TEXT}, {"CLSID", "clsid", JSON_TEXT}};
    AddKillBitColumns(&columns);
    columns.insert(columns.end(), {{"Registered", "registered", JSON_YES_NO},
                                   {"Class", "className", JSON_TEXT},
                                   {"Server", "server", JSON_TEXT}});
    CTable table(columns);
    const std::vector<KillBitKey> locations = KillBitLocations(READER_ALL);
    for (const Entry& entry : entries) {
        std::vector<CString> row = {entry.strName, entry.strClsid};
        AddKillBitCells(ReadKillBitFlags(entry.strClsid, locations), &row);
        ComRegistration reg;
        bool bRegistered = FindComRegistration(entry.strClsid, &reg);
        row.insert(row.end(), {bRegistered ? "yes" : "no", reg.strClassName, reg.strServer});
        table.AddRow(row);
    }
    return table;
}

int ListCommand(COutput& out, OutputFormat format) {
    CEntryArray entries;
    if (!LoadList(out, &entries))
        return EXIT_FAILED;
    out.Print(FormatTable(ListTable(entries.m_entries), format));
    return EXIT_OK;
}

int ScanCommand(COutput& out, const ScanOptions& options) {
    std::unique_ptr<CListForChange> pList;
    CEntryArray read;
    if (options.bAdd ? !(pList = CListForChange::Open(out)) : !LoadList(out, &read))
        return EXIT_FAILED;
    std::vector<Entry>& entries = pList ? pList->Entries() : read.m_entries;
    std::set<std::string> listed = ListedClsids(entries);

    std::vector<InstalledControl> controls = ScanInstalledControls();
    std::vector<const InstalledControl*> shown;
    for (const InstalledControl& control : controls) {
        if (options.bUnblockedOnly && control.killBit.IsBlocked())
            continue;
        if (options.bScriptableOnly && !control.bSafeForScripting && !control.bSafeForInitializing)
            continue;
        if (options.bKnownOnly && KnownKillBitDocuments(control.strClsid).IsEmpty())
            continue;
        shown.push_back(&control);
    }
    // Only the list is saved: every kill bit stays as it is, for the administrator to review. A
    // control blocked in some views only is left out: its row would unblock it at the dialog's
    // next OK.
    int nAdded = 0;
    bool bSaved = true;
    if (pList) {
        std::vector<std::string> added;
        for (const InstalledControl* pControl : shown) {
            const std::string clsid = static_cast<LPCSTR>(pControl->strClsid);
            if (listed.count(clsid) != 0)
                continue;
            if (pControl->killBit.IsPartlyBlocked()) {
                out.PrintError("not listed: %s %s", clsid.c_str(), PARTLY_BLOCKED);
                continue;
            }
            entries.push_back({NameToList(pControl->reg.strClassName, pControl->strClsid),
                               pControl->strClsid, pControl->killBit.IsBlocked()});
            added.push_back(clsid);
        }
        nAdded = static_cast<int>(added.size());
        bSaved = nAdded == 0 || pList->Save(out);
        if (bSaved)
            listed.insert(added.begin(), added.end());
    }

    std::vector<CColumn> columns = {{"CLSID", "clsid", JSON_TEXT},
                                    {"Name", "name", JSON_TEXT},
                                    {"Server", "server", JSON_TEXT},
                                    {"Views", "views", JSON_NUMBERS},
                                    {"SafeScripting", "safeForScripting", JSON_YES_NO},
                                    {"SafeInit", "safeForInitializing", JSON_YES_NO}};
    AddKillBitColumns(&columns);
    columns.push_back({"Listed", "listed", JSON_YES_NO});
    columns.push_back({"Known", "known", JSON_LIST});
    CTable table(columns);
    for (const InstalledControl* pControl : shown) {
        std::vector<CString> row = {pControl->strClsid,
                                    LeftWholeChars(pControl->reg.strClassName, kMaxShownBytes),
                                    LeftWholeChars(pControl->reg.strServer, kMaxShownBytes),
                                    ViewsCell(pControl->viewMask),
                                    pControl->bSafeForScripting ? "yes" : "no",
                                    pControl->bSafeForInitializing ? "yes" : "no"};
        AddKillBitCells(pControl->killBit, &row);
        row.push_back(listed.count(static_cast<LPCSTR>(pControl->strClsid)) ? "yes" : "no");
        row.push_back(KnownKillBitDocuments(pControl->strClsid));
        table.AddRow(row);
    }
    out.Print(FormatTable(table, options.format));
    if (options.bAdd && bSaved && options.format == FORMAT_TEXT)
        out.Print("added " + Count(nAdded, "entry", "entries") + " to " + ListFile() + "\n");
    return bSaved ? EXIT_OK : EXIT_FAILED;
}
