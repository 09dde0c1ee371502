// Entry of the add-in DLL: its module handle, kept so that the add-in finds the files
// installed beside it (supportedEncodings.txt, the helper library, help pages), and
// the four exports of an in-process COM server (mireo.def).
#include <windows.h>

#include "addin/win32/com_server.h"
#include "platform/module.h"
#include "platform/win32/com_guard.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        mireo::SetOwnModule(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return mireo::GuardComEntry([&] { return mireo::ServerGetClassObject(clsid, iid, out); },
                                mireo::DebugOutputReport("DllGetClassObject"));
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return mireo::ServerCanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return mireo::GuardComEntry([] { return mireo::ServerRegister(); }, mireo::DebugOutputReport("DllRegisterServer"));
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return mireo::GuardComEntry([] { return mireo::ServerUnregister(); },
                                mireo::DebugOutputReport("DllUnregisterServer"));
}
