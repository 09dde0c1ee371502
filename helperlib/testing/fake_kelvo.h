#pragma once
// What the test doubles of the helper library saw: each export records its arguments
// and returns 40 + its number, so a test can tell the export's result from the
// wrapper's own -200. Read through the extra export "FakeKelvoGetState".
#include <cstdint>

struct FakeKelvoState {
    int calls;                 // all exports together
    char lastExport[32];
    std::intptr_t context;
    std::int32_t reserved;
    void* hostApp;
    std::int32_t hostKind;
    std::int32_t options;
    char message[256];
    std::int32_t code;
    char function[128];
    std::int32_t level;
    std::int32_t flags;
    char topic[128];
    void* explorer;
};

using FakeKelvoStateFn = FakeKelvoState* (*)();

constexpr std::int32_t kFakeInitResult = 41;
constexpr std::int32_t kFakeLogMsgResult = 42;
constexpr std::int32_t kFakeShowContextHelpResult = 43;
constexpr std::int32_t kFakeAddAboutMenuResult = 44;
constexpr std::int32_t kFakeShowAboutResult = 45;
