// Veltrane.Phone: the automation object. Its methods are the exports with
// Unicode strings (each calls the export it names, so they behave alike);
// its events are the host events, fired from the object's thread once the
// library is done with each. Dispatch goes through the type library.
#pragma once

#include <ocidl.h>

#include <atomic>

#include "com/event_mailbox.h"
#include "com/event_point.h"
#include "com/veltrane_idl.h"
#include "com/wake_window.h"

namespace veltrane::com {

class Phone final : public IPhone,
                    public IConnectionPointContainer,
                    public ISupportErrorInfo,
                    public IProvideClassInfo2,
                    private WakeTarget {
public:
    // A new object with one reference, or an error (no window on this thread,
    // no type library).
    static HRESULT Create(REFIID iid, void** object) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDispatch, through the type library
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* badArgument) noexcept override;

    // IPhone
    HRESULT STDMETHODCALLTYPE Start(BSTR BasePath, VARIANT WindowTitle) noexcept override;
    HRESULT STDMETHODCALLTYPE Finish() noexcept override;
    HRESULT STDMETHODCALLTYPE Stop() noexcept override;
    HRESULT STDMETHODCALLTYPE RegisterPhone(BSTR Phone) noexcept override;
    HRESULT STDMETHODCALLTYPE ForgetPhone() noexcept override;
    HRESULT STDMETHODCALLTYPE CertifyPC(BSTR Phone, BSTR Number) noexcept override;
    HRESULT STDMETHODCALLTYPE Login(BSTR Phone, BSTR LoginId, BSTR Password) noexcept override;
    HRESULT STDMETHODCALLTYPE Logout() noexcept override;
    HRESULT STDMETHODCALLTYPE Dial(BSTR Number) noexcept override;
    HRESULT STDMETHODCALLTYPE PickUp(BSTR Number) noexcept override;
    HRESULT STDMETHODCALLTYPE HangUp(BSTR Number) noexcept override;
    HRESULT STDMETHODCALLTYPE Redial() noexcept override;
    HRESULT STDMETHODCALLTYPE SendSms(BSTR Number, BSTR Message) noexcept override;
    HRESULT STDMETHODCALLTYPE BookSms(BSTR Number, BSTR Message, BSTR SendTime) noexcept override;
    HRESULT STDMETHODCALLTYPE RecordCall(BSTR Phone) noexcept override;
    HRESULT STDMETHODCALLTYPE OpenWebPage(BSTR PageCode, BSTR Phone, BSTR OtherParty, BSTR SmsText) noexcept override;
    HRESULT STDMETHODCALLTYPE WaitEvent(LONG TimeoutMs, BSTR* Event) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* Version) noexcept override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

    // IProvideClassInfo2: how script hosts and .NET find the event interface
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) noexcept override;

private:
    Phone();
    ~Phone();

    // The wake window's call: fires what the mailbox holds.
    void woken() noexcept override;
    void fireEvent(const std::wstring& text) noexcept;

    std::atomic<ULONG> references_{1};
    win32::ComPtr<ITypeInfo> typeInfo_;
    HRESULT typeInfoResult_ = E_FAIL;
    EventPoint events_;
    EventMailbox mailbox_;
    bool firing_ = false;  // a sink is running: later events wait for it
};

}  // namespace veltrane::com
