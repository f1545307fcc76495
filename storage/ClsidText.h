// CLSID text: the form a CLSID is held in by the list, and the form a CLSID given by a user or a
// file must have.
#pragma once

#include "framework/String.h"

// Trims blanks from both ends and upper-cases the letters: the one form a CLSID is held in.
void NormalizeClsid(CString& strClsid);

// True for 32 hexadecimal digits in the 8-4-4-4-12 form, with or without one pair of braces, in
// any case, with blanks around; *pstrClsid then gets the list's form (upper case, no braces).
bool ParseClsid(LPCSTR pszText, CString* pstrClsid);
