// Test double of the helper library. Built twice: fake_kelvo with all five exports,
// partial_kelvo without LibKelvoShowAbout (the wrapper must then treat the library as
// absent and call nothing).
#include "helperlib/testing/fake_kelvo.h"

#include <cstring>

#include "platform/stdcall.h"

#if defined(_WIN32)
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

FakeKelvoState g_state;

void Copy(char* to, std::size_t size, const char* from) {
    std::strncpy(to, from != nullptr ? from : "(null)", size - 1);
    to[size - 1] = '\0';
}

void Called(const char* name) {
    ++g_state.calls;
    Copy(g_state.lastExport, sizeof g_state.lastExport, name);
}

}  // namespace

extern "C" {

FAKE_EXPORT FakeKelvoState* FakeKelvoGetState() { return &g_state; }

FAKE_EXPORT std::int32_t MIREO_STDCALL LibKelvoInit(std::intptr_t context, std::int32_t reserved, void* hostApp,
                                                    std::int32_t hostKind, std::int32_t options) {
    Called("LibKelvoInit");
    g_state.context = context;
    g_state.reserved = reserved;
    g_state.hostApp = hostApp;
    g_state.hostKind = hostKind;
    g_state.options = options;
    return kFakeInitResult;
}

FAKE_EXPORT std::int32_t MIREO_STDCALL LibKelvoLogMsg(std::intptr_t context, const char* message, std::int32_t code,
                                                      const char* function, std::int32_t level, std::int32_t flags) {
    Called("LibKelvoLogMsg");
    g_state.context = context;
    Copy(g_state.message, sizeof g_state.message, message);
    g_state.code = code;
    Copy(g_state.function, sizeof g_state.function, function);
    g_state.level = level;
    g_state.flags = flags;
    return kFakeLogMsgResult;
}

FAKE_EXPORT std::int32_t MIREO_STDCALL LibKelvoShowContextHelp(std::intptr_t context, const char* topic) {
    Called("LibKelvoShowContextHelp");
    g_state.context = context;
    Copy(g_state.topic, sizeof g_state.topic, topic);
    return kFakeShowContextHelpResult;
}

FAKE_EXPORT std::int32_t MIREO_STDCALL LibKelvoAddAboutMenu(std::intptr_t context, void* explorer) {
    Called("LibKelvoAddAboutMenu");
    g_state.context = context;
    g_state.explorer = explorer;
    return kFakeAddAboutMenuResult;
}

#if !defined(FAKE_KELVO_PARTIAL)
FAKE_EXPORT std::int32_t MIREO_STDCALL LibKelvoShowAbout(std::intptr_t context) {
    Called("LibKelvoShowAbout");
    g_state.context = context;
    return kFakeShowAboutResult;
}
#endif

}  // extern "C"
