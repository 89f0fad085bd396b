// A COM client as VBScript and VB6 are: it knows the object by its ProgID,
// calls it through IDispatch with VARIANT arguments, and receives its events
// with a sink that implements the event interface through IDispatch::Invoke,
// as WithEvents does. Written from the automation documentation, not from
// the library.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace veltrane::wine {

// One reference to a COM object.
template <typename Interface>
class Ref {
public:
    Ref() = default;
    explicit Ref(Interface* adopted) : pointer_(adopted) {}
    Ref(Ref&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { reset(); }
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    void** out() {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void reset() {
        if (Interface* old = std::exchange(pointer_, nullptr)) old->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// A VARIANT argument or result, cleared with its owner.
class Value {
public:
    Value() { ::VariantInit(&value_); }
    Value(const Value& other) {
        ::VariantInit(&value_);
        ::VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
    }
    Value& operator=(const Value&) = delete;
    ~Value() { ::VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    // The text of a VT_BSTR value ("" for others).
    std::wstring text() const;

private:
    VARIANT value_;
};

Value Text(const std::wstring& text);
Value NullText();  // a VT_BSTR holding a null BSTR
Value Number(long number);
Value Missing();   // an optional argument left out
Value NumberArray();  // something no string can be made of

struct CallResult {
    HRESULT hr = E_FAIL;
    Value value;
    std::wstring description;  // EXCEPINFO's, when the call failed with one
};

// The object as a script sees it: names looked up, arguments in order.
class Automation {
public:
    explicit Automation(Ref<IDispatch> object) : object_(std::move(object)) {}
    CallResult call(const wchar_t* name, std::vector<Value> arguments = {}, WORD flags = DISPATCH_METHOD) const;
    CallResult get(const wchar_t* name) const { return call(name, {}, DISPATCH_PROPERTYGET); }
    IDispatch* object() const { return object_.get(); }
    void release() { object_.reset(); }

private:
    Ref<IDispatch> object_;
};

// CLSIDFromProgID, then CoCreateInstance for IDispatch.
HRESULT CreateByProgId(const wchar_t* progId, Ref<IDispatch>& object);

// Receives the object's events, by dispatch id, on the thread that runs
// the messages of the object's thread. Connects with the interface the
// object names as its default source (IProvideClassInfo2), as script hosts
// find it.
class EventSink final : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::vector<std::wstring> texts;  // the arguments, in order
        DWORD thread;
    };

    EventSink() = default;
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    HRESULT connect(IDispatch* object);
    HRESULT disconnect();

    // The HostEvent texts, in order.
    std::vector<std::wstring> hostEvents() const;
    const std::vector<Event>& events() const { return events_; }
    // Runs inside Invoke, after the event is recorded.
    std::function<void(const Event&)> onEvent;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

private:
    std::atomic<ULONG> references_{0};
    IID source_{};
    Ref<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    std::vector<Event> events_;
};

// Runs this thread's messages until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// COM on this thread for the owner's lifetime (a single-threaded apartment,
// as VB and the script hosts have).
class Apartment {
public:
    Apartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { ::CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// veltrane.dll beside the test program, registered for every user (Wine's
// COM reads HKEY_LOCAL_MACHINE only) for the owner's lifetime.
class MachineRegistration {
public:
    MachineRegistration();
    ~MachineRegistration();
    HRESULT result() const { return result_; }

private:
    HRESULT result_ = E_FAIL;
};

// The folder of the test program, ending in "\".
std::wstring ProgramFolder();

}  // namespace veltrane::wine
