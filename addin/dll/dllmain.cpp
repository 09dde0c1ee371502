// Entry of the add-in DLL. The module handle is kept so that the add-in finds the
// files installed beside it (supportedEncodings.txt, the helper library, help pages).
#include <windows.h>

#include "platform/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        mireo::SetOwnModule(instance);
    }
    return TRUE;
}
