// Whether a COM class is registered on this machine, and as what: for quellctl's list and the
// dialog's tooltips.
#pragma once

#include "storage/Registry.h"

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
