// COM classes as this machine registers them: one class looked up for quellctl's list and the
// dialog's tooltips, and every ActiveX control found in one pass for quellctl's scan.
#pragma once

#include "storage/KillBit.h"

#include <vector>

struct ComRegistration {
    CString strClassName; // default value of HKEY_CLASSES_ROOT\CLSID\{CLSID}
    CString strServer;    // default value of its InprocServer32, or else of its LocalServer32
};

// HKEY_CLASSES_ROOT\CLSID\{CLSID} in one registry view. False when the key is missing or cannot
// be opened; missing values then stay empty.
bool ReadComRegistration(LPCSTR pszClsid, REGSAM samView, ComRegistration* pReg);
// The first view that has the class: a 64-bit control is registered here as much as a 32-bit
// one.
bool FindComRegistration(LPCSTR pszClsid, ComRegistration* pReg);
// The server file of an open class key: InprocServer32's default value, else LocalServer32's.
CString ReadComServer(const CRegKey& classKey, REGSAM samView);

// A class that a web page can load as an ActiveX control: its key has a "Control" subkey or the
// controls' category under "Implemented Categories".
struct InstalledControl {
    CString strClsid; // the list's form
    ComRegistration reg;
    unsigned viewMask; // bit i: a control in RegistryViews()'s view i
    bool bSafeForScripting;
    bool bSafeForInitializing;
    KillBitFlags killBit; // Internet Explorer's and Office's
};

// Every control under HKEY_CLASSES_ROOT\CLSID in every registry view, one row per CLSID in CLSID
// order; a class registered in both views takes its values from the first that has them. One
// pass over the keys, none opened twice. A key that cannot be read, a key name that is not a
// CLSID and a value that is not a string are skipped alone.
std::vector<InstalledControl> ScanInstalledControls();
// For each CLSID (the list's form), whether the scan would find it as a control in some view.
// Each class is looked up by its own key: a few hundred cost far less than a scan of them all.
std::vector<bool> FindInstalledControls(const std::vector<CString>& clsids);
