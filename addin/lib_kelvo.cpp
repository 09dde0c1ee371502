#include "addin/lib_kelvo.h"

namespace mireo {

#if defined(_WIN32)
const char* const kLibKelvoFileName = "LibKelvo.dll";
#else
const char* const kLibKelvoFileName = "LibKelvo.so";
#endif

namespace {

// The host kind LibKelvoInit expects from this add-in.
constexpr std::int32_t kHostKind = 14;

template <typename Fn>
Fn Bind(const IDynamicLibrary& library, const char* name) {
    return reinterpret_cast<Fn>(library.Resolve(name));
}

}  // namespace

CLibKelvo::CLibKelvo() { Load(JoinPath(ModuleDirectory(), kLibKelvoFileName)); }

CLibKelvo::CLibKelvo(const std::string& path) { Load(path); }

CLibKelvo::~CLibKelvo() = default;  // m_library unloads

void CLibKelvo::Load(const std::string& path) {
    // By full path only: a library of that name planted in the current folder or on
    // the search path must never get into the host.
    std::unique_ptr<IDynamicLibrary> library = LoadLibraryFromPath(path);
    if (library == nullptr) return;
    m_init = Bind<FnInit>(*library, "LibKelvoInit");
    m_logMsg = Bind<FnLogMsg>(*library, "LibKelvoLogMsg");
    m_showContextHelp = Bind<FnShowContextHelp>(*library, "LibKelvoShowContextHelp");
    m_addAboutMenu = Bind<FnAddAboutMenu>(*library, "LibKelvoAddAboutMenu");
    m_showAbout = Bind<FnShowAbout>(*library, "LibKelvoShowAbout");
    if (m_init == nullptr || m_logMsg == nullptr || m_showContextHelp == nullptr || m_addAboutMenu == nullptr ||
        m_showAbout == nullptr) {
        // A library missing any of them is not the one we know: unload it at once.
        m_init = nullptr;
        m_logMsg = nullptr;
        m_showContextHelp = nullptr;
        m_addAboutMenu = nullptr;
        m_showAbout = nullptr;
        return;
    }
    m_library = std::move(library);
}

int CLibKelvo::Init(void* moduleHandle, void* hostApp) {
    m_context = reinterpret_cast<std::intptr_t>(moduleHandle);
    if (m_library == nullptr) return kLibKelvoAbsent;
    return m_init(m_context, 0, hostApp, kHostKind, 0);
}

int CLibKelvo::LogMessage(std::string_view text, long code, const char* source, int level, int flags) {
    if (!Callable()) return kLibKelvoAbsent;
    const std::string message(text);  // the export wants it NUL-terminated
    return m_logMsg(m_context, message.c_str(), static_cast<std::int32_t>(code), source != nullptr ? source : "",
                    level, flags);
}

int CLibKelvo::ShowContextHelp(const std::string& topic) {
    if (!Callable()) return kLibKelvoAbsent;
    return m_showContextHelp(m_context, topic.c_str());
}

int CLibKelvo::AddAboutMenu(void* explorer) {
    if (!Callable()) return kLibKelvoAbsent;
    return m_addAboutMenu(m_context, explorer);
}

int CLibKelvo::ShowAbout() {
    if (!Callable()) return kLibKelvoAbsent;
    return m_showAbout(m_context);
}

}  // namespace mireo
