#include "storage/KillBit.h"

#include "storage/ClsidText.h"

#include <string.h>

DWORD FlagsWithKillBit(DWORD dwFlags, bool bBlocked) {
    return bBlocked ? (dwFlags | KILL_BIT) : (dwFlags & ~KILL_BIT);
}

namespace {

// Where every reader looks; exports name the 32-bit view by its path in the 64-bit one below it.
const char kSoftware[] = "Software\\";

// Every place where a program reads kill bits, below kSoftware: a new consumer is one more row.
const KillBitConsumer kConsumers[] = {
    // The dialog's key.
    {READER_IE, IN_EVERY_VIEW, NULL, "Microsoft\\Internet Explorer\\ActiveX Compatibility"},
    // Office's common key, MS10-036's, for every version; 32-bit Office reads it in the 32-bit
    // view.
    {READER_OFFICE, IN_EVERY_VIEW, NULL, "Microsoft\\Office\\Common\\COM Compatibility"},
    // Each version's own key.
    {READER_OFFICE, IN_EVERY_VIEW, "Microsoft\\Office\\<N>.0\\Common",
     "Microsoft\\Office\\<N>.0\\Common\\COM Compatibility"},
    // Click-to-Run keeps its virtual registry in the 64-bit view for Office of either bitness;
    // 32-bit Office finds its "Software" under Wow6432Node there, on 64-bit Windows only.
    {READER_OFFICE, IN_NATIVE_VIEW, "Microsoft\\Office\\ClickToRun",
     "Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\"
     "Software\\Microsoft\\Office\\16.0\\Common\\COM Compatibility"},
    {READER_OFFICE, IN_64BIT_VIEW, "Microsoft\\Office\\ClickToRun",
     "Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\"
     "Software\\Wow6432Node\\Microsoft\\Office\\16.0\\Common\\COM Compatibility"},
};
const KillBitConsumer& kInternetExplorer = kConsumers[0];

const char kVersion[] = "<N>.0";

bool InView(KillBitViews views, REGSAM samView) {
    switch (views) {
    case IN_NATIVE_VIEW:
        return samView != KEY_WOW64_32KEY;
    case IN_64BIT_VIEW:
        return samView == KEY_WOW64_64KEY;
    case IN_EVERY_VIEW:
        break;
    }
    return true;
}

// "16.0" and the like: digits, then ".0".
bool IsVersionName(const CString& strName) {
    int nDigits = strName.GetLength() - 2;
    if (nDigits < 1 || strcmp(static_cast<LPCSTR>(strName) + nDigits, ".0") != 0)
        return false;
    for (int i = 0; i < nDigits; ++i) {
        if (strName[i] < '0' || strName[i] > '9')
            return false;
    }
    return true;
}

// The pattern with its "<N>.0" replaced by the version.
CString WithVersion(LPCSTR pszPattern, const CString& strVersion) {
    LPCSTR pszAt = strstr(pszPattern, kVersion);
    if (pszAt == NULL)
        return pszPattern;
    return CString(pszPattern, static_cast<int>(pszAt - pszPattern)) + strVersion +
           (pszAt + strlen(kVersion));
}

// The versions a pattern stands for in one view: each "<N>.0" subkey of the key before its
// "<N>.0"; for a pattern without one, a single empty version.
std::vector<CString> Versions(LPCSTR pszPattern, REGSAM samView) {
    LPCSTR pszAt = pszPattern ? strstr(pszPattern, kVersion) : NULL;
    if (pszAt == NULL)
        return std::vector<CString>(1);
    std::vector<CString> versions;
    CRegKey key;
    CString strParent = kSoftware + CString(pszPattern, static_cast<int>(pszAt - pszPattern) - 1);
    if (key.Open(HKEY_LOCAL_MACHINE, strParent, KEY_ENUMERATE_SUB_KEYS | samView) != ERROR_SUCCESS)
        return versions;
    CString strName;
    for (DWORD dwIndex = 0; key.EnumKey(dwIndex, &strName); ++dwIndex) {
        if (IsVersionName(strName))
            versions.push_back(strName);
    }
    return versions;
}

// Already the wanted state: nothing to write. Where a write is possible, only a REG_DWORD
// counts, so that a four-byte REG_BINARY becomes the type every reader expects.
bool HoldsWanted(const CRegKey& key, bool bBlocked, DWORD* pdwFlags, bool bDwordOnly) {
    DWORD dwType = REG_NONE;
    return key.QueryDword(KILL_BIT_VALUE_NAME, pdwFlags, &dwType) == RAW_DWORD &&
           (dwType == REG_DWORD || !bDwordOnly) &&
           *pdwFlags == FlagsWithKillBit(*pdwFlags, bBlocked);
}

// Only a REG_DWORD holds an override: Office reads no other type.
RawDwordState QueryOverride(const CRegKey& key, DWORD* pdwOverride) {
    DWORD dwType = REG_NONE;
    RawDwordState state = key.QueryDword(OVERRIDE_VALUE_NAME, pdwOverride, &dwType);
    if (state == RAW_DWORD && dwType != REG_DWORD) {
        *pdwOverride = 0;
        return RAW_NOT_FLAGS;
    }
    return state;
}

bool HoldsEmbeddingOnlyOverride(const CRegKey& key) {
    DWORD dwOverride;
    return QueryOverride(key, &dwOverride) == RAW_DWORD && dwOverride == OVERRIDE_EMBEDDING_ONLY;
}

// bFullBlock: a block also clears an override of 1, as the baseline's "Block all activation"
// does; where there is none, none is made, since a missing one blocks all activation already.
bool SetBlockedInView(LPCSTR pszKeyPath, bool bBlocked, REGSAM samView, bool bFullBlock = false) {
    const bool bClearOverride = bBlocked && bFullBlock;
    // One open for both the read and the write, as an administrator has the rights for it; the
    // key is created when missing, so a cleared entry always leaves an explicit value.
    CRegKey key;
    DWORD dwFlags;
    LONG rc = key.Create(HKEY_LOCAL_MACHINE, pszKeyPath, KEY_QUERY_VALUE | KEY_SET_VALUE | samView);
    if (rc == ERROR_SUCCESS)
        return (HoldsWanted(key, bBlocked, &dwFlags, true) ||
                key.SetDword(KILL_BIT_VALUE_NAME, FlagsWithKillBit(dwFlags, bBlocked))) &&
               (!bClearOverride || !HoldsEmbeddingOnlyOverride(key) ||
                key.SetDword(OVERRIDE_VALUE_NAME, 0));
    // Without write access a value that needs no change is still a success; for a control that
    // is to stay unblocked, a missing key or value is as good as a cleared bit.
    if (rc != ERROR_ACCESS_DENIED)
        return false;
    rc = key.Open(HKEY_LOCAL_MACHINE, pszKeyPath, KEY_QUERY_VALUE | samView);
    if (rc == ERROR_FILE_NOT_FOUND)
        return !bBlocked;
    return rc == ERROR_SUCCESS &&
           (HoldsWanted(key, bBlocked, &dwFlags, false) ||
            (!bBlocked && key.QueryDword(KILL_BIT_VALUE_NAME, &dwFlags) == RAW_MISSING)) &&
           (!bClearOverride || !HoldsEmbeddingOnlyOverride(key));
}

} // namespace

CString KillBitKeyPath(LPCSTR pszClsid) {
    return kSoftware + CString(kInternetExplorer.pszParent) + "\\{" + pszClsid + "}";
}

namespace {

// Internet Explorer's key at a path of the caller's, in every view.
std::vector<KillBitKey> KeysAt(LPCSTR pszKeyPath) {
    std::vector<KillBitKey> keys;
    for (REGSAM samView : RegistryViews())
        keys.push_back({&kInternetExplorer, samView, CString(), pszKeyPath, NULL, CString()});
    return keys;
}

KillBitFlags ReadFlags(const std::vector<KillBitKey>& keys) {
    KillBitFlags flags;
    for (const KillBitKey& key : keys) {
        KillBitValue value = {key, RAW_MISSING, 0, RAW_MISSING, 0};
        CRegKey regKey;
        const REGSAM samQuery = KEY_QUERY_VALUE | key.samView;
        LONG rc = !key.pParent   ? regKey.Open(HKEY_LOCAL_MACHINE, key.strKeyPath, samQuery)
                  : *key.pParent ? regKey.Open(*key.pParent, key.strName, samQuery)
                                 : ERROR_FILE_NOT_FOUND;
        if (rc == ERROR_SUCCESS) {
            value.state = regKey.QueryDword(KILL_BIT_VALUE_NAME, &value.value);
            if (key.pConsumer->reader == READER_OFFICE)
                value.overrideState = QueryOverride(regKey, &value.override);
        }
        flags.values.push_back(value);
    }
    return flags;
}

} // namespace

bool IsBlocked(LPCSTR pszKeyPath) { return ReadFlags(KeysAt(pszKeyPath)).IsBlocked(); }

bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked) {
    return SetBlocked(KeysAt(pszKeyPath), bBlocked);
}

std::vector<KillBitKey> KillBitLocations(unsigned readers) {
    std::vector<KillBitKey> locations;
    for (const KillBitConsumer& row : kConsumers) {
        if ((row.reader & readers) == 0)
            continue;
        for (REGSAM samView : RegistryViews()) {
            if (!InView(row.views, samView))
                continue;
            for (const CString& strVersion : Versions(row.pszAppliesIf, samView)) {
                if (row.pszAppliesIf != NULL &&
                    !RegKeyExists(HKEY_LOCAL_MACHINE,
                                  kSoftware + WithVersion(row.pszAppliesIf, strVersion), samView))
                    continue;
                const CString strParent = WithVersion(row.pszParent, strVersion);
                KillBitKey location = {&row,
                                       samView,
                                       strParent,
                                       kSoftware + strParent,
                                       std::make_shared<CRegKey>(),
                                       CString()};
                LONG rc = location.pParent->Open(HKEY_LOCAL_MACHINE, location.strKeyPath,
                                                 KEY_QUERY_VALUE | samView);
                if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                    location.pParent.reset();
                locations.push_back(location);
            }
        }
    }
    return locations;
}

std::vector<KillBitKey> KillBitKeys(const std::vector<KillBitKey>& locations, LPCSTR pszClsid) {
    std::vector<KillBitKey> keys = locations;
    const CString strName = CString("{") + pszClsid + "}";
    for (KillBitKey& key : keys) {
        key.strBelowSoftware += "\\" + strName;
        key.strKeyPath += "\\" + strName;
        key.strName = strName;
    }
    return keys;
}

bool SetBlocked(const std::vector<KillBitKey>& keys, bool bBlocked) {
    bool bAll = true;
    for (const KillBitKey& key : keys)
        bAll = SetBlockedInView(key.strKeyPath, bBlocked, key.samView,
                                key.pConsumer->reader == READER_OFFICE) &&
               bAll;
    return bAll;
}

bool KillBitFlags::IsBlocked(unsigned readers) const {
    // No key read for a reader is no answer for it, and so no pass.
    bool bAnyKey = false;
    for (const KillBitValue& value : values) {
        if ((value.key.pConsumer->reader & readers) == 0)
            continue;
        if ((value.value & KILL_BIT) == 0 || value.IsEmbeddingOnly())
            return false;
        bAnyKey = true;
    }
    return bAnyKey;
}

bool KillBitFlags::IsBlockedForEmbeddingOnly() const {
    KillBitFlags withoutOverrides = *this;
    bool bAny = false;
    for (KillBitValue& value : withoutOverrides.values) {
        bAny = bAny || value.IsEmbeddingOnly();
        value.overrideState = RAW_MISSING;
    }
    return bAny && withoutOverrides.IsBlocked(READER_OFFICE);
}

DWORD KillBitFlags::BlockedViews() const {
    DWORD dwViews = 0;
    for (const KillBitValue& value : values) {
        DWORD dwViewBit = 1;
        for (REGSAM samView : RegistryViews()) {
            if (value.key.pConsumer->reader == READER_IE && value.key.samView == samView &&
                (value.value & KILL_BIT) != 0)
                dwViews |= dwViewBit;
            dwViewBit <<= 1;
        }
    }
    return dwViews;
}

DWORD AllViewsBlocked() { return (1u << RegistryViews().GetCount()) - 1; }

bool KillBitFlags::IsPartlyBlocked() const {
    for (const KillBitValue& value : values) {
        if (value.key.pConsumer->reader == READER_IE && (value.value & KILL_BIT) != 0)
            return !IsBlocked();
    }
    return false;
}

KillBitFlags ReadKillBitFlags(LPCSTR pszClsid, const std::vector<KillBitKey>& locations) {
    return ReadFlags(KillBitKeys(locations, pszClsid));
}

KillBitFlags ReadKillBitFlags(LPCSTR pszClsid) {
    return ReadKillBitFlags(pszClsid, KillBitLocations(READER_IE));
}

CString ReadAlternate(const KillBitFlags& flags) {
    for (const KillBitValue& value : flags.values) {
        CRegKey key;
        CString strText, strClsid;
        if (value.key.pConsumer->reader != READER_IE ||
            key.Open(HKEY_LOCAL_MACHINE, value.key.strKeyPath,
                     KEY_QUERY_VALUE | value.key.samView) != ERROR_SUCCESS ||
            !key.HasValue(ALTERNATE_VALUE_NAME))
            continue;
        // Internet Explorer takes it in braces only.
        if (key.QueryString(ALTERNATE_VALUE_NAME, &strText) && !strText.IsEmpty() &&
            strText[0] == '{' && ParseClsid(strText, &strClsid))
            return strClsid;
        return "?";
    }
    return CString();
}
