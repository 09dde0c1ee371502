#include "addin/win32/addin_engine.h"

#include "addin/lib_kelvo.h"
#include "addin/win32/dialog_ui.h"
#include "addin/win32/shared_dialogs.h"
#include "platform/registry.h"

namespace mireo {

namespace {

class CAddinEngine final : public IAddinEngine {
public:
    CAddinEngine(IApplication& app, IMapiFactory& mapi, CLibKelvo& kelvo, int hostMajorVersion)
        : m_engine(EngineHost{app, mapi, SystemRegistry(), kelvo, &kelvo, m_ui}, hostMajorVersion,
                   {.contactImport = std::make_unique<CvCardImport>(m_ui),
                    .contactExport = std::make_unique<CvCardExport>(m_ui),
                    .eventImport = std::make_unique<CvCalImport>(m_ui),
                    .eventExport = std::make_unique<CvCalExport>(m_ui)}) {}

    CMireoEngine& Engine() override { return m_engine; }
    ISelectActionView& SelectActionView() override { return m_selectView; }

private:
    // The wizards, the progress dialog and the finish pages from the module's templates.
    CDialogUi m_ui;
    CSelectActionDialogView m_selectView;
    CMireoEngine m_engine;
};

}  // namespace

std::unique_ptr<IAddinEngine> CreateAddinEngine(IApplication& app, IMapiFactory& mapi, CLibKelvo& kelvo,
                                                int hostMajorVersion) {
    return std::make_unique<CAddinEngine>(app, mapi, kelvo, hostMajorVersion);
}

}  // namespace mireo
