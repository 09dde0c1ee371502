#pragma once
// The calling convention of functions that cross into outside Windows libraries:
// stdcall on Windows (it matters on i686 only), the default elsewhere.
#if defined(_WIN32)
#define MIREO_STDCALL __stdcall
#else
#define MIREO_STDCALL
#endif
