#include "quellctl/KillBitColumns.h"

#include <iterator>

namespace {

CString FlagsCell(RawDwordState state, DWORD dwFlags) {
    CString strCell;
    switch (state) {
    case RAW_MISSING:
        strCell = "-";
        break;
    case RAW_NOT_FLAGS:
        strCell = "?";
        break;
    case RAW_DWORD:
        strCell.Format("0x%08lX", static_cast<unsigned long>(dwFlags));
        break;
    }
    return strCell;
}

// Each reader's kill-bit columns: blocked or not, then its raw flags on 32-bit Windows, or in the
// 32-bit and the 64-bit view; then, for Office, the overrides in the same way, which the text
// shows only where some key has one.
struct KillBitColumns {
    unsigned reader;
    CColumn columns[4];
    CColumn overrides[3];
};
const KillBitColumns kKillBitColumns[] = {
    {READER_IE,
     {{"Blocked", "blocked", JSON_YES_NO},
      {"Flags", "flags", JSON_TEXT},
      {"Flags32", "flags32", JSON_TEXT},
      {"Flags64", "flags64", JSON_TEXT}},
     {}},
    {READER_OFFICE,
     {{"Office", "officeBlocked", JSON_YES_NO},
      {"OfficeFlags", "officeFlags", JSON_TEXT},
      {"OfficeFlags32", "officeFlags32", JSON_TEXT},
      {"OfficeFlags64", "officeFlags64", JSON_TEXT}},
     {{"OfficeOverride", "officeOverride", JSON_TEXT, true},
      {"OfficeOverride32", "officeOverride32", JSON_TEXT, true},
      {"OfficeOverride64", "officeOverride64", JSON_TEXT, true}}},
};

// Internet Explorer's alternate for the control, and whether it is blocked in every view.
const CColumn kAlternateColumns[] = {{"Alternate", "alternate", JSON_TEXT_OR_NULL},
                                     {"AltBlocked", "alternateBlocked", JSON_YES_NO_OR_NULL}};

// The column of a view among one, or among a 32-bit and a 64-bit one.
const CColumn& ViewColumn(const CColumn* pOneView32And64, REGSAM samView) {
    return pOneView32And64[RegistryViews().GetCount() == 1 ? 0
                           : samView == KEY_WOW64_32KEY    ? 1
                                                           : 2];
}

} // namespace

void AddKillBitColumns(std::vector<CColumn>* pColumns) {
    for (const KillBitColumns& reader : kKillBitColumns) {
        pColumns->push_back(reader.columns[0]);
        for (REGSAM samView : RegistryViews())
            pColumns->push_back(ViewColumn(reader.columns + 1, samView));
        if (reader.reader == READER_IE)
            pColumns->insert(pColumns->end(), std::begin(kAlternateColumns),
                             std::end(kAlternateColumns));
        if (reader.reader == READER_OFFICE) {
            for (REGSAM samView : RegistryViews())
                pColumns->push_back(ViewColumn(reader.overrides, samView));
        }
    }
}

namespace {

// A view's cell holds a value of each of the reader's keys in that view, blank-separated.
template <class Cell>
CString ViewCell(const KillBitFlags& flags, unsigned reader, REGSAM samView, Cell cell) {
    CString strCell;
    for (const KillBitValue& value : flags.values) {
        if (value.key.pConsumer->reader == reader && value.key.samView == samView)
            strCell += CString(strCell.IsEmpty() ? "" : " ") + cell(value);
    }
    return strCell;
}

} // namespace

void AddKillBitCells(const KillBitFlags& flags, std::vector<CString>* pRow) {
    for (const KillBitColumns& reader : kKillBitColumns) {
        pRow->push_back(flags.IsBlocked(reader.reader) ? "yes" : "no");
        for (REGSAM samView : RegistryViews())
            pRow->push_back(ViewCell(flags, reader.reader, samView, [](const KillBitValue& value) {
                return FlagsCell(value.state, value.value);
            }));
        if (reader.reader == READER_IE) {
            const CString strAlternate = ReadAlternate(flags);
            const bool bKnown = !strAlternate.IsEmpty() && strAlternate.Compare("?") != 0;
            pRow->push_back(strAlternate);
            pRow->push_back(!bKnown                                      ? ""
                            : ReadKillBitFlags(strAlternate).IsBlocked() ? "yes"
                                                                         : "no");
        }
        if (reader.reader == READER_OFFICE) {
            for (REGSAM samView : RegistryViews())
                pRow->push_back(
                    ViewCell(flags, reader.reader, samView, [](const KillBitValue& value) {
                        return FlagsCell(value.overrideState, value.override);
                    }));
        }
    }
}
