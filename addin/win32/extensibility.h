#pragma once
// The host's add-in connection interface, declared here because no header of the
// host is used. A dual interface: the host calls the vtable, script hosts Invoke
// with the dispatch ids 1 to 5.
#include <windows.h>
#include <oaidl.h>

namespace mireo {

// How the host connects and disconnects an add-in.
enum ext_ConnectMode : int { ext_cm_AfterStartup = 0, ext_cm_Startup = 1, ext_cm_External = 2, ext_cm_CommandLine = 3 };
enum ext_DisconnectMode : int { ext_dm_HostShutdown = 0, ext_dm_UserClosed = 1 };

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
extern const IID IID__IDTExtensibility2;

struct _IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                                                   SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

}  // namespace mireo
