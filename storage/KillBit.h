// The Internet Explorer kill bit: bit 0x400 of a control's "Compatibility Flags" value under
// HKEY_LOCAL_MACHINE. This is the only code that touches the registry.
#pragma once

#include "framework/String.h"

const DWORD KILL_BIT = 0x00000400;
const char KILL_BIT_VALUE_NAME[] = "Compatibility Flags";

// The value as a 32-bit number; 0 when the key or the value is missing, unreadable, or not
// exactly four bytes long. samView is 0 (the process's own view), KEY_WOW64_32KEY or
// KEY_WOW64_64KEY.
DWORD ReadRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, REGSAM samView = 0);
// Stores a REG_DWORD, creating the key and its parents when missing.
bool WriteRegDword(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName, DWORD dwValue,
                   REGSAM samView = 0);

// "Software\...\ActiveX Compatibility\{CLSID}" for a CLSID text as held in the list.
CString KillBitKeyPath(LPCSTR pszClsid);

// The registry views that Internet Explorer may read: on 64-bit Windows the 32-bit and the
// 64-bit one, else just the one there is (0).
int GetKillBitViews(REGSAM* pViews); // fills at most two, returns how many

// True when the control's flags have the kill bit in every view, whatever other bits they
// have: a control blocked in one view only can still load in the other.
bool IsBlocked(LPCSTR pszKeyPath);
// Sets or clears the kill bit alone in every view and keeps the other flags; a missing value
// counts as 0. True when every view now holds the wanted state.
bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked);
