// Kill bits: bit 0x400 of a control's "Compatibility Flags" value under HKEY_LOCAL_MACHINE, in
// every registry view and under every key where a program that honours them reads them:
// Internet Explorer's key, and Office's keys.
#pragma once

#include "storage/Registry.h"

#include <memory>
#include <vector>

const DWORD KILL_BIT = 0x00000400;
const char KILL_BIT_VALUE_NAME[] = "Compatibility Flags";
// Beside Internet Explorer's flags: the CLSID ("{...}") that a page asking for the killed control
// gets instead, the "Phoenix bit".
const char ALTERNATE_VALUE_NAME[] = "AlternateCLSID";
// Beside Office's flags: at 1, the kill bit stops only embedding and linking, and the control
// can still be loaded into Office through another object; missing or 0, all activation stops.
const char OVERRIDE_VALUE_NAME[] = "ActivationFilterOverride";
const DWORD OVERRIDE_EMBEDDING_ONLY = 1;

// "Software\...\ActiveX Compatibility\{CLSID}" for a CLSID text as held in the list.
CString KillBitKeyPath(LPCSTR pszClsid);

// The flags with the kill bit set or cleared and every other bit kept.
DWORD FlagsWithKillBit(DWORD dwFlags, bool bBlocked);

// Internet Explorer's kill bit at a key path, in every view: KillBitFlags's rule (below) for
// that one key. True when the flags have the kill bit in every view, whatever other bits they
// have: a control blocked in one view only can still load in the other.
bool IsBlocked(LPCSTR pszKeyPath);
// Sets or clears the kill bit alone in every view and keeps the other flags; a missing value
// counts as 0. True when every view now holds the wanted state. A value that already holds it
// needs no write access, nor does a missing one that is to stay clear, so a standard user's save
// of an unchanged list succeeds.
bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked);

// The programs that read kill bits; quellctl covers Office on request.
enum KillBitReader { READER_IE = 1, READER_OFFICE = 2 };
const unsigned READER_ALL = READER_IE | READER_OFFICE;

// Which of RegistryViews() a consumer's keys live in.
enum KillBitViews {
    IN_EVERY_VIEW,
    IN_NATIVE_VIEW, // the 64-bit view, or the only one of 32-bit Windows
    IN_64BIT_VIEW,  // the 64-bit view; none on 32-bit Windows
};

// One row of the table of places where kill bits are read (KillBit.cpp): a consumer whose
// "{CLSID}" keys hold the flags.
struct KillBitConsumer {
    KillBitReader reader;
    KillBitViews views;
    // Under HKEY_LOCAL_MACHINE\Software, where every reader looks: the key that must exist in a
    // view for the row to apply there (NULL: it always applies), and the parent of the "{CLSID}"
    // keys. A component "<N>.0" stands for each Office version that has the key: "16.0", ...
    LPCSTR pszAppliesIf;
    LPCSTR pszParent;
};

// A key that holds kill bits, in one registry view: a "{CLSID}" key, or where such keys are.
struct KillBitKey {
    const KillBitConsumer* pConsumer;
    REGSAM samView;
    CString strBelowSoftware; // under HKEY_LOCAL_MACHINE\Software: what exports name it by
    CString strKeyPath;       // under HKEY_LOCAL_MACHINE
    // Where the "{CLSID}" keys are, opened once for reading many controls below it; not open
    // when it is missing, and so is every key below it; none where it could not be looked at.
    std::shared_ptr<CRegKey> pParent;
    CString strName; // of a "{CLSID}" key below pParent
};

// Where the readers (KillBitReader bits) look on this machine now: the parents of the "{CLSID}"
// keys, in the table's order, each row in RegistryViews()'s order. Worked out once for many
// controls.
std::vector<KillBitKey> KillBitLocations(unsigned readers);
// The control's "{CLSID}" keys at those locations.
std::vector<KillBitKey> KillBitKeys(const std::vector<KillBitKey>& locations, LPCSTR pszClsid);
inline std::vector<KillBitKey> KillBitKeys(LPCSTR pszClsid, unsigned readers) {
    return KillBitKeys(KillBitLocations(readers), pszClsid);
}
// SetBlocked's rule, key by key; true when every key now holds the wanted state. Blocking an
// Office key also turns an override of 1 into 0, so that the block covers all activation.
bool SetBlocked(const std::vector<KillBitKey>& keys, bool bBlocked);

// One key's "Compatibility Flags", and what changes their meaning there, as read.
struct KillBitValue {
    KillBitKey key;
    RawDwordState state;
    DWORD value; // 0 unless RAW_DWORD
    // Office's keys: ActivationFilterOverride; only a REG_DWORD holds one. RAW_MISSING elsewhere.
    RawDwordState overrideState;
    DWORD override; // 0 unless RAW_DWORD

    bool IsEmbeddingOnly() const {
        return overrideState == RAW_DWORD && override == OVERRIDE_EMBEDDING_ONLY;
    }
};

// A control's "Compatibility Flags" under each of its kill-bit keys, each read once.
struct KillBitFlags {
    std::vector<KillBitValue> values;

    // The kill bit under every key of the readers (KillBitReader bits), as IsBlocked tells it;
    // for Office, with no key's override at 1: Office then blocks embedding and linking only.
    bool IsBlocked(unsigned readers = READER_IE) const;
    // Every Office key holds the kill bit, but an override leaves other activation open.
    bool IsBlockedForEmbeddingOnly() const;
    // The views whose Internet Explorer key has the kill bit: bit i for RegistryViews()'s view i.
    // IsBlocked is AllViewsBlocked().
    DWORD BlockedViews() const;
    // Internet Explorer's kill bit in some views but not in all: a list row, with its one check
    // box, would unblock such a control at the dialog's next OK.
    bool IsPartlyBlocked() const;
};
// BlockedViews of a control blocked in every view.
DWORD AllViewsBlocked();
// At the locations of KillBitLocations(), or at Internet Explorer's alone.
KillBitFlags ReadKillBitFlags(LPCSTR pszClsid, const std::vector<KillBitKey>& locations);
KillBitFlags ReadKillBitFlags(LPCSTR pszClsid);
// The control that Internet Explorer loads in place of this one, from its first key that names
// one: its CLSID in the list's form, "?" for a value that holds no CLSID in braces, else empty.
// Read apart from the flags, since only what a person reads shows it.
CString ReadAlternate(const KillBitFlags& flags);
