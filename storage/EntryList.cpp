#include "storage/EntryList.h"

#include "framework/WinApp.h"
#include "storage/KillBit.h"

#include <stdlib.h>

namespace {

const char kSection[] = "Setting";

CString PositionKey(char chLetter, int nIndex) {
    char digits[16];
    _itoa(nIndex, digits, 10);
    char key[2] = {chLetter, '\0'};
    return CString(key) + digits;
}

} // namespace

CString EntryList::ListFilePathFor(const CString& strModuleFileName) {
    CString strPath;
    if (!strModuleFileName.IsEmpty()) {
        strPath = strModuleFileName.Left(strModuleFileName.ReverseFind('\\') + 1);
        strPath += "Quellbox.ini";
    }
    if (strPath.IsEmpty())
        strPath = ".\\Quellbox.ini";
    return strPath;
}

int EntryList::FindClsid(const IEntrySource& source, const CString& strClsid) {
    for (int i = 0; i < source.GetEntryCount(); ++i) {
        if (source.GetEntry(i).strClsid.Compare(strClsid) == 0)
            return i;
    }
    return -1;
}

void EntryList::NormalizeClsid(CString& strClsid) {
    strClsid.TrimLeft();
    strClsid.TrimRight();
    strClsid.MakeUpper();
}

bool EntryList::Load(IEntrySink& sink) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp->LoadProfile())
        return false;
    for (int i = 0;; ++i) {
        Entry entry;
        entry.strName = pApp->GetProfileString(kSection, PositionKey('N', i), "");
        if (entry.strName.IsEmpty())
            return true;
        entry.strClsid = pApp->GetProfileString(kSection, PositionKey('S', i), "");
        if (entry.strClsid.IsEmpty())
            return true;
        NormalizeClsid(entry.strClsid);
        entry.bBlocked = IsBlocked(KillBitKeyPath(entry.strClsid));
        sink.AddEntry(entry);
    }
}

SaveResult EntryList::Save(const IEntrySource& source, SaveWhat what) {
    CWinApp* pApp = AfxGetApp();
    SaveResult result;
    // Re-read first, so that sections written by anyone else since the load survive. A file
    // that exists but cannot be read is not overwritten: its other sections would be lost.
    if (!pApp->LoadProfile()) {
        result.bListFileSaved = false;
        result.dwListFileError = ::GetLastError();
    }

    const int nCount = source.GetEntryCount();
    pApp->WriteProfileString(kSection, NULL, "");
    for (int i = 0; i < nCount; ++i) {
        Entry entry = source.GetEntry(i);
        if (!pApp->WriteProfileString(kSection, PositionKey('N', i), entry.strName) ||
            !pApp->WriteProfileString(kSection, PositionKey('S', i), entry.strClsid)) {
            result.bListFileSaved = false;
            result.dwListFileError = ERROR_INVALID_DATA;
        }
        if (what == LIST_AND_FLAGS && !SetBlocked(KillBitKeyPath(entry.strClsid), entry.bBlocked))
            result.registryFailures.push_back(i);
    }
    if (result.bListFileSaved && !pApp->SaveProfile()) {
        result.bListFileSaved = false;
        result.dwListFileError = ::GetLastError();
    }
    return result;
}
