#include "com/com_client.h"

#include <algorithm>

namespace veltrane::wine {

std::wstring Value::text() const {
    if (value_.vt != VT_BSTR || value_.bstrVal == nullptr) return {};
    return std::wstring(value_.bstrVal, ::SysStringLen(value_.bstrVal));
}

Value Text(const std::wstring& text) {
    Value value;
    value.get()->vt = VT_BSTR;
    value.get()->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

Value NullText() {
    Value value;
    value.get()->vt = VT_BSTR;
    value.get()->bstrVal = nullptr;
    return value;
}

Value Number(long number) {
    Value value;
    value.get()->vt = VT_I4;
    value.get()->lVal = number;
    return value;
}

Value Missing() {
    Value value;
    value.get()->vt = VT_ERROR;
    value.get()->scode = DISP_E_PARAMNOTFOUND;
    return value;
}

Value NumberArray() {
    Value value;
    value.get()->vt = VT_ARRAY | VT_I4;
    value.get()->parray = ::SafeArrayCreateVector(VT_I4, 0, 2);
    return value;
}

CallResult Automation::call(const wchar_t* name, std::vector<Value> arguments, WORD flags) const {
    CallResult result;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    result.hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result.hr)) return result;
    // Invoke takes the arguments last first.
    std::vector<VARIANT> reversed;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(**it);
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception{};
    UINT badArgument = 0;
    result.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result.value.get(),
                                &exception, &badArgument);
    if (exception.bstrDescription != nullptr) result.description = exception.bstrDescription;
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return result;
}

HRESULT CreateByProgId(const wchar_t* progId, Ref<IDispatch>& object) {
    CLSID clsid{};
    if (const HRESULT hr = ::CLSIDFromProgID(progId, &clsid); FAILED(hr)) return hr;
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.out());
}

HRESULT EventSink::connect(IDispatch* object) {
    Ref<IProvideClassInfo2> classInfo;
    if (HRESULT hr = object->QueryInterface(IID_IProvideClassInfo2, classInfo.out()); FAILED(hr)) return hr;
    if (HRESULT hr = classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source_); FAILED(hr)) return hr;
    Ref<IConnectionPointContainer> container;
    if (HRESULT hr = object->QueryInterface(IID_IConnectionPointContainer, container.out()); FAILED(hr)) return hr;
    if (HRESULT hr = container->FindConnectionPoint(source_, reinterpret_cast<IConnectionPoint**>(point_.out()));
        FAILED(hr))
        return hr;
    return point_->Advise(static_cast<IDispatch*>(this), &cookie_);
}

HRESULT EventSink::disconnect() {
    if (!point_) return S_FALSE;
    const HRESULT hr = point_->Unadvise(cookie_);
    point_.reset();
    return hr;
}

std::vector<std::wstring> EventSink::hostEvents() const {
    std::vector<std::wstring> texts;
    for (const Event& event : events_)
        if (event.id == 1 && event.texts.size() == 1) texts.push_back(event.texts[0]);
    return texts;
}

HRESULT EventSink::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || (iid == source_ && iid != IID_NULL)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*, UINT*) {
    Event event{id, {}, ::GetCurrentThreadId()};
    for (UINT i = parameters->cArgs; i-- > 0;) {
        const VARIANT& argument = parameters->rgvarg[i];
        event.texts.push_back(argument.vt == VT_BSTR && argument.bstrVal != nullptr
                                  ? std::wstring(argument.bstrVal, ::SysStringLen(argument.bstrVal))
                                  : L"<not text>");
    }
    events_.push_back(event);
    if (onEvent) onEvent(event);
    return S_OK;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
            if (done()) return true;
        }
        if (done()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left.count(), 20)),
                                    QS_ALLINPUT);
    }
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

namespace {
HRESULT CallEntry(const char* name) {
    HMODULE dll = ::LoadLibraryW((ProgramFolder() + L"veltrane.dll").c_str());
    if (dll == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
    using Entry = HRESULT(__stdcall*)();
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(::GetProcAddress(dll, name)));
    return entry != nullptr ? entry() : E_NOINTERFACE;
}
}  // namespace

MachineRegistration::MachineRegistration() : result_(CallEntry("DllRegisterServer")) {}

MachineRegistration::~MachineRegistration() { CallEntry("DllUnregisterServer"); }

}  // namespace veltrane::wine
