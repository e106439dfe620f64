#include <windows.h>

// Threads of the host starting and ending have nothing to do with us, so the
// per-thread notifications are turned off; nothing else happens at load.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
