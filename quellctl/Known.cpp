// known, check --known and block --known: the controls of Microsoft's kill-bit catalogue.
#include "quellctl/Commands.h"

#include "quellctl/KillBitColumns.h"
#include "storage/ComRegistration.h"
#include "storage/KnownKillBits.h"

namespace {

// The catalogue's controls, and when asked whether each is installed here, as the scan tells it.
struct KnownRows {
    std::vector<KnownControl> controls;
    std::vector<bool> installed;
};

KnownRows LoadKnownRows(bool bLookUpInstalled) {
    KnownRows rows;
    rows.controls = KnownControls();
    std::vector<CString> clsids;
    for (const KnownControl& control : rows.controls)
        clsids.push_back(control.strClsid);
    if (bLookUpInstalled)
        rows.installed = FindInstalledControls(clsids);
    return rows;
}

// The controls to check or block, named by their products in the ANSI code page.
std::vector<Entry> KnownEntries(bool bInstalledOnly) {
    KnownRows rows = LoadKnownRows(bInstalledOnly);
    std::vector<Entry> entries;
    for (size_t i = 0; i < rows.controls.size(); ++i) {
        if (bInstalledOnly && !rows.installed[i])
            continue;
        const KnownControl& control = rows.controls[i];
        entries.push_back({AnsiFromUtf8(KnownControlProduct(control)), control.strClsid, true});
    }
    return entries;
}

} // namespace

CTable KnownTable(const KnownOptions& options) {
    KnownRows rows = LoadKnownRows(true);
    std::vector<CColumn> columns = {{"CLSID", "clsid", JSON_TEXT},
                                    {"Product", "product", JSON_UTF8},
                                    {"Documents", "documents", JSON_LIST},
                                    {"Installed", "installed", JSON_YES_NO}};
    AddKillBitColumns(&columns);
    CTable table(columns);
    const std::vector<KillBitKey> locations = KillBitLocations(READER_ALL);
    for (size_t i = 0; i < rows.controls.size(); ++i) {
        if (options.bInstalledOnly && !rows.installed[i])
            continue;
        const KnownControl& control = rows.controls[i];
        KillBitFlags flags = ReadKillBitFlags(control.strClsid, locations);
        if (options.bUnblockedOnly && flags.IsBlocked())
            continue;
        std::string product = KnownControlProduct(control);
        std::vector<CString> row = {control.strClsid,
                                    CString(product.data(), static_cast<int>(product.size())),
                                    control.strDocuments, rows.installed[i] ? "yes" : "no"};
        AddKillBitCells(flags, &row);
        table.AddRow(row);
    }
    return table;
}

int KnownCommand(COutput& out, const KnownOptions& options) {
    out.Print(FormatTable(KnownTable(options), options.format));
    return EXIT_OK;
}

// Microsoft killed these for Internet Explorer, which is all they are checked and blocked for.
int CheckKnownCommand(COutput& out, const KnownOptions& options) {
    return CheckEntries(out, KnownEntries(options.bInstalledOnly), READER_IE);
}

int BlockKnownCommand(COutput& out, const KnownOptions& options) {
    std::vector<Entry> entries = KnownEntries(options.bInstalledOnly);
    for (Entry& entry : entries)
        entry.strName = NameToList(entry.strName, entry.strClsid);
    return SetBlockedEntries(out, true, entries, options.bAdd, READER_IE);
}
