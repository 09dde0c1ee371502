#pragma once
// The item store interface (engine/item_store.h) over the host's own objects, reached
// by late binding: every operation is a member called by name through IDispatch, and
// every failure a HostError with the HRESULT and the interface ("_Items",
// "_ContactItem", "SafeContactItem", ...). Each wrapper holds one reference to its
// host object and gives it back when it goes.
#include <windows.h>

#include <memory>

#include "addin/win32/dispatch.h"
#include "engine/item_store.h"

namespace mireo {

// The host's application object.
class CDispApplication : public IApplication {
public:
    explicit CDispApplication(ComPtr<IDispatch> app) : m_app(std::move(app), "_Application") {}

    std::u16string Version() override;
    std::unique_ptr<IExplorer> ActiveExplorer() override;
    std::unique_ptr<INamespace> GetNamespace() override;
    std::unique_ptr<IItem> CreateItem(ItemType type) override;
    std::unique_ptr<IMailItem> CreateMailItem() override;

    const CDispatch& Object() const { return m_app; }

private:
    CDispatch m_app;
};

// An explorer window of the host (the command bars work on it directly).
std::unique_ptr<IExplorer> WrapExplorer(ComPtr<IDispatch> explorer);
// A folder of the host.
std::unique_ptr<IFolder> WrapFolder(ComPtr<IDispatch> folder);

// The outside MAPI library's objects, created by ProgID ("Redemption.SafeContactItem",
// "Redemption.SafeAppointmentItem", "Redemption.MAPIUtils").
class CDispMapiFactory : public IMapiFactory {
public:
    std::unique_ptr<ISafeItem> CreateSafeContactItem() override;
    std::unique_ptr<ISafeItem> CreateSafeAppointmentItem() override;
    std::unique_ptr<IMapiUtils> CreateMapiUtils() override;
};

// An object created by ProgID (CLSCTX_ALL, IDispatch); HostError(hr, iface) when it
// cannot be.
ComPtr<IDispatch> CreateByProgId(const wchar_t* progId, const char* iface);

// The host object behind an item of this adapter; E_POINTER (named iface) for an item
// of another implementation.
IDispatch* DispatchOf(IItem& item, const char* iface);

}  // namespace mireo
