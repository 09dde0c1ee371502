#pragma once
// The one place where the add-in builds its engine and the user interface of its
// runs: when the engine's construction changes, only this file follows.
#include <memory>

#include "engine/mireo_engine.h"

namespace mireo {

class CLibKelvo;
class ISelectActionView;

class IAddinEngine {
public:
    virtual ~IAddinEngine() = default;
    virtual CMireoEngine& Engine() = 0;
    // The view of the select-action dialog.
    virtual ISelectActionView& SelectActionView() = 0;
};

// The engine on the host's application and the outside MAPI library, logging and help
// through the helper library. Everything handed in must outlive the result.
std::unique_ptr<IAddinEngine> CreateAddinEngine(IApplication& app, IMapiFactory& mapi, CLibKelvo& kelvo,
                                                int hostMajorVersion);

}  // namespace mireo
