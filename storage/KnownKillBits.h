// Microsoft's own kill bits: every ActiveX control that its security bulletins and advisories
// killed, built in from data/ms-killbits.tsv. The CLSIDs and their documents are small enough
// for the dialog's info tips; the product names, most of the catalogue, are in an object of
// their own that only quellctl links.
#pragma once

#include "framework/String.h"

#include <string>
#include <vector>

struct KnownControl {
    CString strClsid;     // the list's form
    CString strDocuments; // "MS05-038, MS06-042": every document that killed it, in their order
    int nFirstRow;        // its rows in the catalogue, one per document
    int nRowCount;
};

// Every catalogued control once, in CLSID order.
std::vector<KnownControl> KnownControls();
// The documents of the control as KnownControl has them, for a CLSID in any form ParseClsid
// takes; empty when Microsoft issued no kill bit for it.
CString KnownKillBitDocuments(LPCSTR pszClsid);
// The control's product as its documents name it, in UTF-8: each different name once (letter
// case aside), " / " between them; empty when they name none.
std::string KnownControlProduct(const KnownControl& control);
