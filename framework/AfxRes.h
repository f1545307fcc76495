// String ids that the framework itself shows; their texts are in the program's string table.
#pragma once

// Shown when DDV_MaxChars refuses a text; its "%d" takes the limit.
#define AFX_IDP_PARSE_STRING_SIZE 0xF113
