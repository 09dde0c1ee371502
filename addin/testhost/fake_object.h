#pragma once
// The building block of the test host: an automation object whose members are
// functions set by the test host, reached by name through IDispatch exactly as the
// add-in reaches the real host, with connection points for its events.
//   - Names are case-insensitive; an unknown name answers DISP_E_UNKNOWNNAME.
//   - A member that throws HostError answers DISP_E_EXCEPTION with EXCEPINFO carrying
//     the HRESULT and the text, as the host reports its errors.
//   - Every call is written to a process-wide journal ("_Items.Restrict",
//     "CommandBarButton.Visible=") from which the tests read what the add-in did.
//   - Objects count themselves, so a test sees every reference given back.
#include <windows.h>
#include <ocidl.h>
// winuser.h's GetProp and SetProp macros would rename the item store's methods of the
// same names (IMapiUtils) in this file only.
#undef GetProp
#undef SetProp

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/win32/com_ptr.h"

namespace mireo::testhost {

// The arguments of one call, first to last, with by-reference ones resolved.
struct CallArgs {
    std::vector<const VARIANT*> args;
    const VARIANT* value = nullptr;  // the value of a put
    bool byRef = false;              // a put by reference

    std::size_t Count() const { return args.size(); }
    // The argument at `i`; null when not given or left out (DISP_E_PARAMNOTFOUND).
    const VARIANT* At(std::size_t i) const;
    long Int(std::size_t i, long fallback = 0) const;
    std::u16string Text(std::size_t i) const;
    IDispatch* Object(std::size_t i) const;
};

class CFakeObject final : public IDispatch, public IConnectionPointContainer {
public:
    using Getter = std::function<CVariant(const CallArgs&)>;
    using Setter = std::function<void(const CallArgs&)>;
    // Answers for names that have no member of their own (an item's properties):
    // true when the name is known.
    using Fallback = std::function<bool(const std::string& name)>;

    static ComPtr<CFakeObject> Create(std::string iface);

    const std::string& Interface() const { return m_iface; }
    // A property (or a method that answers one) and its put.
    CFakeObject& Get(const std::string& name, Getter getter);
    CFakeObject& Put(const std::string& name, Setter setter);
    CFakeObject& Method(const std::string& name, Getter method) { return Get(name, std::move(method)); }
    // A plain property that keeps what is put (a button's Caption, Visible, ...).
    CFakeObject& Stored(const std::string& name, CVariant initial);
    CVariant& StoredValue(const std::string& name);
    void SetFallback(Fallback known, std::function<CVariant(const std::string&, const CallArgs&)> get,
                     std::function<void(const std::string&, const CallArgs&)> put);

    // Events.
    void AddEventSource(REFIID events);
    // Calls every connected sink with the arguments in their natural order.
    void Fire(REFIID events, DISPID id, std::vector<CVariant> args);
    std::size_t SinkCount(REFIID events) const;
    std::size_t SinkCount() const;

    // The next `count` calls of `name` raise `hr`.
    void FailNext(const std::string& name, HRESULT hr, int count = 1);

    ULONG Refs() const { return m_refs; }
    static long LiveObjects();
    // What the test host keeps with the object (the item behind an item object).
    void SetTag(std::shared_ptr<void> tag) { m_tag = std::move(tag); }
    template <typename T>
    std::shared_ptr<T> Tag() const { return std::static_pointer_cast<T>(m_tag); }
    // The fake object behind an interface pointer; null for anyone else's object.
    static CFakeObject* From(IUnknown* object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* argError) override;
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

private:
    class CPoint;
    struct Member {
        std::string name;
        Getter get;
        Setter put;
    };

    explicit CFakeObject(std::string iface);
    ~CFakeObject();
    DISPID IdOf(const std::string& name);

    ULONG m_refs = 1;
    std::string m_iface;
    std::map<std::string, DISPID> m_ids;  // folded name
    std::map<DISPID, Member> m_members;
    std::map<std::string, CVariant> m_stored;
    Fallback m_fallbackKnown;
    std::function<CVariant(const std::string&, const CallArgs&)> m_fallbackGet;
    std::function<void(const std::string&, const CallArgs&)> m_fallbackPut;
    std::map<std::string, std::pair<HRESULT, int>> m_failures;
    std::vector<std::unique_ptr<CPoint>> m_points;
    std::shared_ptr<void> m_tag;
};

// The journal of calls: "Interface.Member" for gets and calls, "Interface.Member="
// for puts, in order.
std::vector<std::string>& Journal();
// Every distinct entry written since the process started.
const std::set<std::string>& JournalEver();

}  // namespace mireo::testhost
