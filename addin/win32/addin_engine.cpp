#include "addin/win32/addin_engine.h"

#include <windows.h>

#include "addin/lib_kelvo.h"
#include "addin/stored_choices_ui.h"
#include "addin/win32/standin_dialogs.h"
#include "platform/registry.h"

namespace mireo {

namespace {

// Lets the thread's waiting messages through, as the progress dialog's steps do.
void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

class CAddinEngine final : public IAddinEngine {
public:
    CAddinEngine(IApplication& app, IMapiFactory& mapi, CLibKelvo& kelvo, int hostMajorVersion)
        // The wizards take the stored choices until their dialogs exist.
        : m_ui(kelvo, PumpMessages),
          m_selectView(),
          m_engine(EngineHost{app, mapi, SystemRegistry(), kelvo, &kelvo, m_ui}, hostMajorVersion,
                   {.contactImport = std::make_unique<CvCardImport>(m_ui),
                    .contactExport = std::make_unique<CvCardExport>(m_ui),
                    .eventImport = std::make_unique<CvCalImport>(m_ui)}) {}

    CMireoEngine& Engine() override { return m_engine; }
    ISelectActionView& SelectActionView() override { return m_selectView; }

private:
    CStoredChoicesUi m_ui;
    CStandInSelectActionView m_selectView;
    CMireoEngine m_engine;
};

}  // namespace

std::unique_ptr<IAddinEngine> CreateAddinEngine(IApplication& app, IMapiFactory& mapi, CLibKelvo& kelvo,
                                                int hostMajorVersion) {
    return std::make_unique<CAddinEngine>(app, mapi, kelvo, hostMajorVersion);
}

}  // namespace mireo
