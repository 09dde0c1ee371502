#pragma once
// The in-process COM server: the module's lock count, the class factory of the one
// creatable class (the connection object) and its registration. The four exported
// functions of Mireo.dll call these.
#include <windows.h>

namespace mireo {

// {101A5F8A-62D4-468a-A3A9-3477D7DCEFE8}: the connection object.
extern const CLSID CLSID_Connect;
// {02E07A95-713D-48c6-A260-C11F5DCC93D0}: the type library (TYPELIB 1), version 1.0.
extern const GUID LIBID_MireoLib;
constexpr const wchar_t* kProgId = L"Mireo.Connect.1";
constexpr const wchar_t* kVersionIndependentProgId = L"Mireo.Connect";
constexpr const wchar_t* kClassDescription = L"Connect Class";

// Every object and every held factory keeps the module loaded.
void ModuleLock() noexcept;
void ModuleUnlock() noexcept;
long ModuleLockCount() noexcept;

HRESULT ServerGetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT ServerCanUnloadNow();
// Writes the class's keys and registers the type library; unregistration removes what
// registration marks for removal and unregisters the type library. Both run with the
// thread locale set to the system default (LCID 2048) and restore it after.
HRESULT ServerRegister();
HRESULT ServerUnregister();

}  // namespace mireo
