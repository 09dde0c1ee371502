#pragma once
// A boundary that nothing crosses: GuardCall runs a body and, whatever it throws (a
// host error, a standard exception, or anything else), describes it, hands the
// description to a reporter and returns a fixed result instead. Used where the
// caller is not ours: COM methods the host calls, exported functions, window
// procedures, and the engine's actions.
#include <exception>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/hresult.h"

namespace mireo {

// What a guard caught: a text for the log and the HRESULT it stands for.
struct CaughtFailure {
    std::string text;
    HRESULT hr = kEUnexpected;
};

// The exception in flight; call only inside a catch block. Copying the text may
// itself run out of memory, so this may throw std::bad_alloc.
inline CaughtFailure DescribeCurrentException() {
    try {
        throw;
    } catch (const HostError& e) {
        return {e.what(), e.Hr()};
    } catch (const std::bad_alloc&) {
        return {"out of memory", kEOutOfMemory};
    } catch (const std::exception& e) {
        return {e.what(), kEFail};
    } catch (...) {
        return {"unknown exception", kEUnexpected};
    }
}

// Runs body(); when it throws, report(failure) is called (its own exceptions are
// swallowed) and `fallback` is returned. Never throws.
template <typename Body, typename Report, typename Result = std::invoke_result_t<Body&>>
    requires(!std::is_void_v<Result>)
Result GuardCall(Body&& body, Result fallback, Report&& report) noexcept {
    try {
        return body();
    } catch (...) {
        try {
            report(DescribeCurrentException());
        } catch (...) {
        }
        return fallback;
    }
}

// The same for a body without a result; true when it returned normally.
template <typename Body, typename Report>
    requires std::is_void_v<std::invoke_result_t<Body&>>
bool GuardCall(Body&& body, Report&& report) noexcept {
    return GuardCall(
        [&] {
            body();
            return true;
        },
        false, std::forward<Report>(report));
}

}  // namespace mireo
