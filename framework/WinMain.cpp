#include "framework/WinApp.h"

namespace {

// The program may run elevated, and its directory may be a download folder: DLLs are loaded
// from the system directory only, never from beside the executable or the working directory.
void RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    const DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFn pfn = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "SetDefaultDllDirectories")));
    // Windows 7 without KB2533623 lacks it; dropping the working directory still helps there.
    if (pfn == NULL || !pfn(kSearchSystem32))
        ::SetDllDirectoryA("");
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    return AfxWinMain(hInstance);
}

#if defined(__GNUC__) && !defined(__clang__)
#include <stdlib.h>
// GCC's C++ run-time library names the exception in a message when a program ends on one. Nothing
// here throws, and the type-name demangler and the printf that message needs are a fifth of the
// program: it ends quietly, as with Microsoft's run-time library.
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
} // namespace __gnu_cxx
#endif
