// CLSID text: the form a CLSID is held in by the list, the input dialog's check of one typed, and
// the form a CLSID given on a command line or in a file must have.
#pragma once

#include "framework/String.h"

// Trims blanks from both ends and upper-cases the letters: the one form a CLSID is held in.
void NormalizeClsid(CString& strClsid);

// The registry form's length, without braces: 8-4-4-4-12.
const int CLSID_TEXT_LENGTH = 36;

enum TypedClsid { CLSID_TYPED_OK, CLSID_WRONG_LENGTH, CLSID_HYPHEN_MISSING };
// The input dialog's check of a CLSID as typed, before any trimming: its length in bytes, then
// its four hyphens; the other characters are not looked at.
TypedClsid CheckTypedClsid(const CString& strClsid);

// True for 32 hexadecimal digits in the 8-4-4-4-12 form, with or without one pair of braces, in
// any case, with blanks around; *pstrClsid then gets the list's form (upper case, no braces).
bool ParseClsid(LPCSTR pszText, CString* pstrClsid);
