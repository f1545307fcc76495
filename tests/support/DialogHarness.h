// For the dialog tests: one of the program's dialogs run modally in this process while another
// thread works it, and the program's own texts to compare what it shows with.
#pragma once

#include "framework/Dialog.h"

#include <windows.h>

#include <functional>
#include <string>

// Runs dlg.DoModal() on this thread while drive() works the dialog from another one. Whatever
// drive leaves open is cancelled until DoModal has returned, so that a failing case cannot hang.
// pszMissing is the failure when no dialog appears.
INT_PTR RunModal(CDialog& dlg, const char* pszMissing, const std::function<void(HWND hDlg)>& drive);

// A string of the program's string table.
std::string LoadText(UINT nID);
