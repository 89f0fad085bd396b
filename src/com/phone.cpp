#include "com/phone.h"

#include <olectl.h>

#include <array>
#include <new>
#include <string_view>
#include <vector>

#include "com/error_info.h"
#include "com/type_library.h"
#include "dll/object_support.h"
#include "veltrane.h"
#include "winsupport/bstr.h"

namespace veltrane::com {

namespace {
constexpr DISPID kHostEvent = 1;
constexpr DISPID kCallState = 2;

// The fields of "|SMSG|call|success|<phone>|<other>|<state>|<direction>|...":
// phone, other party, state, direction; none for any other event.
std::vector<std::wstring_view> CallStateFields(std::wstring_view text) {
    constexpr std::wstring_view prefix = L"|SMSG|call|success|";
    if (text.substr(0, prefix.size()) != prefix) return {};
    text.remove_prefix(prefix.size());
    std::vector<std::wstring_view> fields;
    for (std::size_t end; fields.size() < 4 && (end = text.find(L'|')) != std::wstring_view::npos;) {
        fields.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    if (fields.size() < 4) return {};
    return fields;
}

// A BSTR for an [out, retval] string.
HRESULT ReturnText(std::wstring_view text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = winsupport::MakeBstr(text).release();
    return *out != nullptr ? S_OK : Fail(E_OUTOFMEMORY, L"Veltrane: out of memory");
}

// Runs an export: they catch everything themselves.
template <typename Call>
HRESULT Export(Call&& call) noexcept {
    return Guarded([&] {
        call();
        return S_OK;
    });
}
}  // namespace

HRESULT Phone::Create(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return Guarded([&] {
        Phone* phone = new Phone();
        HRESULT result = phone->typeInfoResult_;
        if (SUCCEEDED(result) && !phone->mailbox_.ready()) result = HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
        if (SUCCEEDED(result)) result = phone->QueryInterface(iid, object);
        phone->Release();
        return result;
    });
}

Phone::Phone() : events_(*this), mailbox_(*this) { typeInfoResult_ = TypeInfoOf(IID_IPhone, typeInfo_.put()); }

Phone::~Phone() = default;

HRESULT Phone::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPhone)
        *object = static_cast<IPhone*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *object = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_ISupportErrorInfo)
        *object = static_cast<ISupportErrorInfo*>(this);
    else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        *object = static_cast<IProvideClassInfo2*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG Phone::AddRef() noexcept { return ++references_; }

ULONG Phone::Release() noexcept {
    const ULONG left = --references_;
    // The library goes on: only Stop or Finish end it.
    if (left == 0) delete this;
    return left;
}

HRESULT Phone::GetTypeInfoCount(UINT* count) noexcept {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT Phone::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
}

HRESULT Phone::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return typeInfo_->GetIDsOfNames(names, count, ids);
}

HRESULT Phone::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                      EXCEPINFO* exception, UINT* badArgument) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    // Converts the arguments to the declared types (DISP_E_TYPEMISMATCH when
    // they cannot be), fills in the defaults, and calls the vtable method.
    return typeInfo_->Invoke(static_cast<IPhone*>(this), id, flags, parameters, result, exception, badArgument);
}

HRESULT Phone::Start(BSTR BasePath, VARIANT WindowTitle) noexcept {
    return Guarded([&] {
        // Missing, Empty or Null: no window. Anything else as text.
        win32::UniqueVariant title;
        const VARTYPE given = WindowTitle.vt & ~VT_BYREF;
        const bool missing = WindowTitle.vt == VT_ERROR || given == VT_EMPTY || given == VT_NULL;
        if (!missing && (FAILED(::VariantCopyInd(title.get(), &WindowTitle)) ||
                         FAILED(::VariantChangeType(title.get(), title.get(), 0, VT_BSTR))))
            return Fail(DISP_E_TYPEMISMATCH, L"Veltrane: WindowTitle must be text");
        // The events reach the objects through the event hub, not a callback.
        ::DLL_START(BasePath, missing ? nullptr : title.get()->bstrVal, nullptr);
        return S_OK;
    });
}

HRESULT Phone::Finish() noexcept {
    return Export([] { ::DLL_FINISH(); });
}

HRESULT Phone::Stop() noexcept {
    return Export([] { dll::StopLibrary(); });
}

HRESULT Phone::RegisterPhone(BSTR Phone) noexcept {
    return Export([&] { ::CERTIFICATION_NO(Phone); });
}

HRESULT Phone::ForgetPhone() noexcept {
    return Export([] { ::CERTIFICATION_OTHER(); });
}

HRESULT Phone::CertifyPC(BSTR Phone, BSTR Number) noexcept {
    return Export([&] { ::CERTIFICATION_PC(Phone, Number); });
}

HRESULT Phone::Login(BSTR Phone, BSTR LoginId, BSTR Password) noexcept {
    return Export([&] { ::PC_LOGIN(Phone, LoginId, Password); });
}

HRESULT Phone::Logout() noexcept {
    return Export([] { ::PC_LOGOUT(); });
}

HRESULT Phone::Dial(BSTR Number) noexcept {
    return Export([&] { ::DIAL(Number); });
}

HRESULT Phone::PickUp(BSTR Number) noexcept {
    return Export([&] { ::PICK_UP(Number); });
}

HRESULT Phone::HangUp(BSTR Number) noexcept {
    return Export([&] { ::HANG_UP(Number); });
}

HRESULT Phone::Redial() noexcept {
    return Export([] { ::RE_DIAL(); });
}

HRESULT Phone::SendSms(BSTR Number, BSTR Message) noexcept {
    return Export([&] { ::SMS_INSTANT(Number, Message); });
}

HRESULT Phone::BookSms(BSTR Number, BSTR Message, BSTR SendTime) noexcept {
    return Export([&] { ::SMS_BOOKED(Number, Message, SendTime); });
}

HRESULT Phone::RecordCall(BSTR Phone) noexcept {
    return Export([&] { ::CALL_RECORD(Phone); });
}

HRESULT Phone::OpenWebPage(BSTR PageCode, BSTR Phone, BSTR OtherParty, BSTR SmsText) noexcept {
    return Export([&] { ::WEB_REQUEST(PageCode, Phone, OtherParty, SmsText); });
}

HRESULT Phone::WaitEvent(LONG TimeoutMs, BSTR* Event) noexcept {
    if (Event == nullptr) return E_POINTER;
    *Event = nullptr;
    return Guarded([&] {
        // The messages run while waiting may release the caller's last reference.
        AddRef();
        const std::optional<std::wstring> text = mailbox_.wait(TimeoutMs);
        const HRESULT result = ReturnText(text.value_or(L""), Event);
        Release();
        return result;
    });
}

HRESULT Phone::get_Version(BSTR* Version) noexcept {
    return Guarded([&] { return ReturnText(L"" VELTRANE_VERSION_STRING, Version); });
}

HRESULT Phone::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
    if (points != nullptr) *points = nullptr;
    return E_NOTIMPL;
}

HRESULT Phone::FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (iid != DIID_IPhoneEvents) return CONNECT_E_NOCONNECTION;
    events_.AddRef();
    *point = &events_;
    return S_OK;
}

HRESULT Phone::InterfaceSupportsErrorInfo(REFIID iid) noexcept {
    return iid == IID_IPhone ? S_OK : S_FALSE;
}

HRESULT Phone::GetClassInfo(ITypeInfo** info) noexcept { return TypeInfoOf(CLSID_Phone, info); }

HRESULT Phone::GetGUID(DWORD kind, GUID* guid) noexcept {
    if (guid == nullptr) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID_IPhoneEvents;
    return S_OK;
}

void Phone::woken() noexcept {
    // One event at a time: one that arrives while a sink runs (a message box
    // in the host's handler runs the message loop) waits for it to return.
    if (firing_) return;
    firing_ = true;
    AddRef();  // a sink may release the last reference
    while (std::optional<std::wstring> text = mailbox_.nextToFire()) fireEvent(*text);
    firing_ = false;
    Release();
}

void Phone::fireEvent(const std::wstring& text) noexcept {
    try {
        winsupport::UniqueBstr hostEvent = winsupport::MakeBstr(text);
        VARIANT argument{};
        argument.vt = VT_BSTR;
        argument.bstrVal = hostEvent.get();
        events_.fire(kHostEvent, {&argument, 1});

        const std::vector<std::wstring_view> fields = CallStateFields(text);
        if (fields.empty()) return;
        std::array<winsupport::UniqueBstr, 4> texts;
        std::array<VARIANT, 4> arguments{};
        for (std::size_t i = 0; i < 4; ++i) {
            texts[i] = winsupport::MakeBstr(fields[i]);
            arguments[i].vt = VT_BSTR;
            arguments[i].bstrVal = texts[i].get();
        }
        events_.fire(kCallState, arguments);
    } catch (...) {
        // Out of memory: the sinks miss this event.
    }
}

}  // namespace veltrane::com
