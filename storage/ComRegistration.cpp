#include "storage/ComRegistration.h"

#include "storage/ClsidText.h"

#include <map>
#include <string>

namespace {

const char kControlCategory[] = "{40FC6ED4-2438-11CF-A3DB-080036F12502}";
const char kSafeForScriptingCategory[] = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const char kSafeForInitializingCategory[] = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

// Whether the class of a key name under HKEY_CLASSES_ROOT\CLSID is a control in one view: it
// has a "Control" subkey or the controls' category. The subkeys are opened by their path from
// the CLSID key, so a plain class (nearly all of them) costs two failed opens and its own key
// is never opened at all. *pCategories is left open when the class has categories.
bool IsControlClass(const CRegKey& clsidKey, const CString& strKeyName, REGSAM samView,
                    CRegKey* pCategories) {
    bool bCategories = pCategories->Open(clsidKey, strKeyName + "\\Implemented Categories",
                                         KEY_QUERY_VALUE | samView) == ERROR_SUCCESS;
    return RegKeyExists(clsidKey, strKeyName + "\\Control", samView) ||
           (bCategories && RegKeyExists(*pCategories, kControlCategory, samView));
}

// The control behind one key name of HKEY_CLASSES_ROOT\CLSID in one view; false when the name
// is no CLSID or the class is no control.
bool ReadInstalledControl(const CRegKey& clsidKey, const CString& strKeyName, REGSAM samView,
                          InstalledControl* pControl) {
    int nLength = strKeyName.GetLength();
    if (nLength != 38 || strKeyName[0] != '{' || !ParseClsid(strKeyName, &pControl->strClsid))
        return false;
    CRegKey categories;
    if (!IsControlClass(clsidKey, strKeyName, samView, &categories))
        return false;
    bool bCategories = categories != NULL;
    pControl->bSafeForScripting =
        bCategories && RegKeyExists(categories, kSafeForScriptingCategory, samView);
    pControl->bSafeForInitializing =
        bCategories && RegKeyExists(categories, kSafeForInitializingCategory, samView);
    // A class key the user may not read still names a control: it is shown without its values.
    CRegKey classKey;
    if (classKey.Open(clsidKey, strKeyName, KEY_QUERY_VALUE | samView) == ERROR_SUCCESS) {
        classKey.QueryString("", &pControl->reg.strClassName);
        pControl->reg.strServer = ReadComServer(classKey, samView);
    }
    return true;
}

// Another view's registration of the same control: what the first view left empty, and either
// view's marks.
void MergeInstalledControl(const InstalledControl& other, InstalledControl* pControl) {
    if (pControl->reg.strClassName.IsEmpty())
        pControl->reg.strClassName = other.reg.strClassName;
    if (pControl->reg.strServer.IsEmpty())
        pControl->reg.strServer = other.reg.strServer;
    pControl->viewMask |= other.viewMask;
    pControl->bSafeForScripting = pControl->bSafeForScripting || other.bSafeForScripting;
    pControl->bSafeForInitializing = pControl->bSafeForInitializing || other.bSafeForInitializing;
}

} // namespace

CString ReadComServer(const CRegKey& classKey, REGSAM samView) {
    static const char* const kServerKeys[] = {"InprocServer32", "LocalServer32"};
    for (const char* pszServerKey : kServerKeys) {
        CString strServer;
        if (ReadRegString(classKey, pszServerKey, "", samView, &strServer) && !strServer.IsEmpty())
            return strServer;
    }
    return CString();
}

bool ReadComRegistration(LPCSTR pszClsid, REGSAM samView, ComRegistration* pReg) {
    *pReg = ComRegistration();
    CRegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, CString("CLSID\\{") + pszClsid + "}",
                 KEY_QUERY_VALUE | samView) != ERROR_SUCCESS)
        return false;
    key.QueryString("", &pReg->strClassName);
    pReg->strServer = ReadComServer(key, samView);
    return true;
}

bool FindComRegistration(LPCSTR pszClsid, ComRegistration* pReg) {
    for (REGSAM samView : RegistryViews()) {
        if (ReadComRegistration(pszClsid, samView, pReg))
            return true;
    }
    return false;
}

std::vector<InstalledControl> ScanInstalledControls() {
    std::map<std::string, InstalledControl> found; // by CLSID, which orders them
    unsigned viewBit = 1;
    for (REGSAM samView : RegistryViews()) {
        CRegKey clsidKey;
        if (clsidKey.Open(HKEY_CLASSES_ROOT, "CLSID", KEY_ENUMERATE_SUB_KEYS | samView) ==
            ERROR_SUCCESS) {
            CString strKeyName;
            for (DWORD dwIndex = 0; clsidKey.EnumKey(dwIndex, &strKeyName); ++dwIndex) {
                InstalledControl control = InstalledControl();
                if (!ReadInstalledControl(clsidKey, strKeyName, samView, &control))
                    continue;
                control.viewMask = viewBit;
                auto inserted = found.insert(std::make_pair(
                    std::string(control.strClsid, control.strClsid.GetLength()), control));
                if (!inserted.second)
                    MergeInstalledControl(control, &inserted.first->second);
            }
        }
        viewBit <<= 1;
    }
    std::vector<InstalledControl> controls;
    controls.reserve(found.size());
    const std::vector<KillBitKey> locations = KillBitLocations(READER_IE | READER_OFFICE);
    for (auto& item : found) {
        item.second.killBit = ReadKillBitFlags(item.second.strClsid, locations);
        controls.push_back(item.second);
    }
    return controls;
}

std::vector<bool> FindInstalledControls(const std::vector<CString>& clsids) {
    std::vector<bool> installed(clsids.size(), false);
    for (REGSAM samView : RegistryViews()) {
        CRegKey clsidKey;
        if (clsidKey.Open(HKEY_CLASSES_ROOT, "CLSID", KEY_QUERY_VALUE | samView) != ERROR_SUCCESS)
            continue;
        for (size_t i = 0; i < clsids.size(); ++i) {
            CRegKey categories;
            installed[i] = installed[i] || IsControlClass(clsidKey, CString("{") + clsids[i] + "}",
                                                          samView, &categories);
        }
    }
    return installed;
}
