// The one CLSID syntax quellctl accepts, on the command line and in imported files.
#pragma once

#include "framework/String.h"

// True for 32 hexadecimal digits in the 8-4-4-4-12 form, with or without one pair of braces, in
// any case, with blanks around; *pstrClsid then gets the list's form (upper case, no braces).
bool ParseClsid(LPCSTR pszText, CString* pstrClsid);
