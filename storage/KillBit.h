// The Internet Explorer kill bit: bit 0x400 of a control's "Compatibility Flags" value under
// HKEY_LOCAL_MACHINE. This is the only code that touches the registry.
#pragma once

#include "framework/String.h"

const DWORD KILL_BIT = 0x00000400;

// The value as a 32-bit number; 0 when the key or the value is missing, unreadable, or not
// exactly four bytes long.
DWORD ReadRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName);
// Stores a REG_DWORD, creating the key and its parents when missing.
bool WriteRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, DWORD dwValue);

// "Software\...\ActiveX Compatibility\{CLSID}" for a CLSID text as held in the list.
CString KillBitKeyPath(LPCSTR pszClsid);

// True when the control's flags have the kill bit, whatever other bits they have.
bool IsBlocked(LPCSTR pszKeyPath);
// Sets or clears the kill bit alone and keeps the other flags; a missing value counts as 0.
bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked);
