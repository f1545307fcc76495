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
