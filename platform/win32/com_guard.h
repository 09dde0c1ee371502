#pragma once
// The two guards of the COM boundary. Nothing may leave a COM method or an exported
// function as an exception: the caller is the host or the COM runtime, compiled by
// someone else, and an exception unwinding through its frames ends the host.
//   GuardHostMethod: methods the host calls (events, the connection interface). They
//     answer S_OK whatever happened inside; the failure is reported (logged).
//   GuardComEntry: exported functions and the class factory. They answer what the
//     body answers, or the HRESULT of the failure (a host error's own, E_OUTOFMEMORY,
//     E_FAIL for other standard exceptions, E_UNEXPECTED for anything else).
// A reporter is called as report(const CaughtFailure&); its own exceptions are
// swallowed.
#include <windows.h>

#include <string>

#include "platform/call_guard.h"

namespace mireo {

template <typename Body, typename Report>
HRESULT GuardHostMethod(Body&& body, Report&& report) noexcept {
    return GuardCall(
        [&]() -> HRESULT {
            body();
            return S_OK;
        },
        HRESULT(S_OK), std::forward<Report>(report));
}

template <typename Body, typename Report>
HRESULT GuardComEntry(Body&& body, Report&& report) noexcept {
    try {
        return body();
    } catch (...) {
        HRESULT hr = E_UNEXPECTED;
        try {
            const CaughtFailure failure = DescribeCurrentException();
            if (FAILED(failure.hr)) hr = failure.hr;
            report(failure);
        } catch (...) {
        }
        return hr;
    }
}

// A reporter for code that runs before there is a log (registration, the class
// factory): the debugger's output.
inline auto DebugOutputReport(const char* source) {
    return [source](const CaughtFailure& f) {
        const std::string line = std::string(source) + ": " + f.text + "\n";
        ::OutputDebugStringA(line.c_str());
    };
}

}  // namespace mireo
