// The Internet Explorer kill bit: bit 0x400 of a control's "Compatibility Flags" value under
// HKEY_LOCAL_MACHINE, in every registry view that Internet Explorer may read.
#pragma once

#include "storage/Registry.h"

const DWORD KILL_BIT = 0x00000400;
const char KILL_BIT_VALUE_NAME[] = "Compatibility Flags";

// "Software\...\ActiveX Compatibility\{CLSID}" for a CLSID text as held in the list.
CString KillBitKeyPath(LPCSTR pszClsid);

// The flags with the kill bit set or cleared and every other bit kept.
DWORD FlagsWithKillBit(DWORD dwFlags, bool bBlocked);

// True when the control's flags have the kill bit in every view, whatever other bits they
// have: a control blocked in one view only can still load in the other.
bool IsBlocked(LPCSTR pszKeyPath);
// Sets or clears the kill bit alone in every view and keeps the other flags; a missing value
// counts as 0. True when every view now holds the wanted state. A value that already holds it
// needs no write access, nor does a missing one that is to stay clear, so a standard user's save
// of an unchanged list succeeds.
bool SetBlocked(LPCSTR pszKeyPath, bool bBlocked);
