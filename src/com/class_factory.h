// The class factory of Veltrane.Phone, handed out by DllGetClassObject. One
// static object: the DLL never unloads.
#pragma once

#include <unknwn.h>

namespace veltrane::com {

class PhoneFactory final : public IClassFactory {
public:
    static PhoneFactory& Instance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }
};

}  // namespace veltrane::com
