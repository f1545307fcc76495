// The catalogue's product names: an object of its own, so that a program that never asks for
// them (the dialog) does not carry them.
#include "storage/KnownKillBits.h"

#include <string.h>

namespace {

#include "KnownKillBitNames.inc"

} // namespace

std::string KnownControlProduct(const KnownControl& control) {
    std::string product;
    std::vector<const char*> taken;
    for (int nRow = control.nFirstRow; nRow < control.nFirstRow + control.nRowCount; ++nRow) {
        const char* pszName = kNames[nRow];
        bool bTaken = pszName[0] == '\0';
        for (const char* pszTaken : taken)
            bTaken = bTaken || _stricmp(pszName, pszTaken) == 0;
        if (bTaken)
            continue;
        product += (taken.empty() ? "" : " / ") + std::string(pszName);
        taken.push_back(pszName);
    }
    return product;
}
