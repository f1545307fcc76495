// Registry reads beyond the kill bit's yes or no: whether a COM class is registered on this
// machine, and the raw flags value, which the dialog never has to tell apart from a missing one.
#pragma once

#include "storage/KillBit.h"

struct ComRegistration {
    CString strClassName; // default value of HKEY_CLASSES_ROOT\CLSID\{CLSID}
    CString strServer;    // default value of its InprocServer32, or else of its LocalServer32
};

// HKEY_CLASSES_ROOT\CLSID\{CLSID} in one registry view (0: the process's own). False when the
// key is missing or cannot be opened; missing values then stay empty.
bool ReadComRegistration(LPCSTR pszClsid, REGSAM samView, ComRegistration* pReg);
// The first of the views GetKillBitViews gives that has the class: a 64-bit control is
// registered here as much as a 32-bit one.
bool FindComRegistration(LPCSTR pszClsid, ComRegistration* pReg);

// A string value (REG_SZ or REG_EXPAND_SZ, not expanded); NULL or "" reads the default value.
bool ReadRegString(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                   CString* pstrValue);

enum RawDwordState {
    RAW_MISSING,  // no key or no value
    RAW_DWORD,    // four bytes, whatever the type
    RAW_NOT_FOUR, // present but of another length: it counts as 0
};
RawDwordState ReadRawRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView,
                              DWORD* pdwValue);

// True when every view holds a kill-bit value in the wanted state, as SetBlocked leaves it; a
// missing value fails, so a key that could not be created is caught too.
bool HoldsKillBitState(LPCSTR pszKeyPath, bool bBlocked);
