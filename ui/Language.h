// The one choice of the interface's language.
#pragma once

#include <windows.h>

// Every text goes through the ANSI functions, so the interface is in a language the ANSI code
// page can show: Simplified Chinese in code page 936, English in any other, where each Chinese
// character would come out as '?'.
inline LANGID ChooseInterfaceLanguage(UINT nAnsiCodePage) {
    return nAnsiCodePage == 936 ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
                                : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}
