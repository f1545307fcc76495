// The kill-bit columns that list, scan and known show for each control: for each reader, blocked
// or not and the raw flags of each registry view, with Internet Explorer's alternate and Office's
// overrides.
#pragma once

#include "quellctl/Table.h"
#include "storage/KillBit.h"

#include <vector>

void AddKillBitColumns(std::vector<CColumn>* pColumns);
// The cells of one row, for the columns above.
void AddKillBitCells(const KillBitFlags& flags, std::vector<CString>* pRow);
