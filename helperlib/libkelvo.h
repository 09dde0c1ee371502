#pragma once
// Exports of the helper library "LibKelvo". Every export takes the context value
// handed to LibKelvoInit first (the add-in's module handle) and returns a 32-bit
// result: 0 on success, negative on failure. stdcall on Windows, listed undecorated
// in LibKelvo.def.
#include <cstdint>

#include "platform/stdcall.h"

#if defined(_WIN32)
#define LIBKELVO_API
#else
#define LIBKELVO_API __attribute__((visibility("default")))
#endif

extern "C" {

// (add-in module handle, 0, host application object, 14, 0)
LIBKELVO_API std::int32_t MIREO_STDCALL LibKelvoInit(std::intptr_t context, std::int32_t reserved, void* hostApp,
                                                     std::int32_t hostKind, std::int32_t options);
// Appends one line to the log. level: 1 trace, 2 warning, 3 error. Texts are UTF-8.
LIBKELVO_API std::int32_t MIREO_STDCALL LibKelvoLogMsg(std::intptr_t context, const char* message, std::int32_t code,
                                                       const char* function, std::int32_t level, std::int32_t flags);
// Opens a page of the "help" folder beside the library; topic is a bare file name.
LIBKELVO_API std::int32_t MIREO_STDCALL LibKelvoShowContextHelp(std::intptr_t context, const char* topic);
LIBKELVO_API std::int32_t MIREO_STDCALL LibKelvoAddAboutMenu(std::intptr_t context, void* explorer);
LIBKELVO_API std::int32_t MIREO_STDCALL LibKelvoShowAbout(std::intptr_t context);

}  // extern "C"
