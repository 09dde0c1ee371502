#pragma once
// CLibKelvo: the maker's helper library "LibKelvo", loaded from the add-in's own
// folder and only called. Every operation works whether or not the library is there:
// absent, each returns kLibKelvoAbsent without calling anything.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/logger.h"
#include "platform/module.h"
#include "platform/stdcall.h"

namespace mireo {

// Result of every wrapper operation when the library is absent, and (except Init)
// when Init has not given it a context.
constexpr int kLibKelvoAbsent = -200;

// File name of the library beside the add-in.
extern const char* const kLibKelvoFileName;

class CLibKelvo : public ILogger, public IContextHelp {
public:
    using FnInit = std::int32_t(MIREO_STDCALL*)(std::intptr_t, std::int32_t, void*, std::int32_t, std::int32_t);
    using FnLogMsg = std::int32_t(MIREO_STDCALL*)(std::intptr_t, const char*, std::int32_t, const char*,
                                                  std::int32_t, std::int32_t);
    using FnShowContextHelp = std::int32_t(MIREO_STDCALL*)(std::intptr_t, const char*);
    using FnAddAboutMenu = std::int32_t(MIREO_STDCALL*)(std::intptr_t, void*);
    using FnShowAbout = std::int32_t(MIREO_STDCALL*)(std::intptr_t);

    // Loads kLibKelvoFileName from ModuleDirectory(), never through a search path.
    CLibKelvo();
    // Loads the library at exactly this path.
    explicit CLibKelvo(const std::string& path);
    // Unloads the library.
    ~CLibKelvo() override;
    CLibKelvo(const CLibKelvo&) = delete;
    CLibKelvo& operator=(const CLibKelvo&) = delete;

    // True when the library loaded and all five exports were found.
    bool IsPresent() const { return m_library != nullptr; }
    std::intptr_t Context() const { return m_context; }

    // Stores the add-in's module handle as the context (even when the library is
    // absent), then calls LibKelvoInit(context, 0, hostApp, 14, 0).
    int Init(void* moduleHandle, void* hostApp);
    int LogMessage(std::string_view text, long code, const char* source, int level, int flags);
    int ShowContextHelp(const std::string& topic) override;
    int AddAboutMenu(void* explorer);
    int ShowAbout();

    // ILogger: LogMessage with the result dropped (callers ignore it).
    void LogMsg(std::string_view text, long code, const char* source, int level, int flags) override {
        LogMessage(text, code, source, level, flags);
    }

private:
    void Load(const std::string& path);
    bool Callable() const { return m_library != nullptr && m_context != 0; }

    std::intptr_t m_context = 0;
    std::unique_ptr<IDynamicLibrary> m_library;  // null when absent
    FnInit m_init = nullptr;
    FnLogMsg m_logMsg = nullptr;
    FnShowContextHelp m_showContextHelp = nullptr;
    FnAddAboutMenu m_addAboutMenu = nullptr;
    FnShowAbout m_showAbout = nullptr;
};

}  // namespace mireo
