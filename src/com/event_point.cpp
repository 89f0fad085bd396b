#include "com/event_point.h"

#include <olectl.h>

#include <algorithm>

#include "com/veltrane_idl.h"

namespace veltrane::com {

HRESULT EventPoint::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT EventPoint::GetConnectionInterface(IID* iid) noexcept {
    if (iid == nullptr) return E_POINTER;
    *iid = DIID_IPhoneEvents;
    return S_OK;
}

HRESULT EventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) noexcept {
    if (container == nullptr) return E_POINTER;
    container_.AddRef();
    *container = &container_;
    return S_OK;
}

HRESULT EventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (cookie == nullptr) return E_POINTER;
    *cookie = 0;
    if (sink == nullptr) return E_POINTER;
    // A sink that knows the event interface by name, or any IDispatch (the
    // script hosts' sinks answer only that).
    win32::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID_IPhoneEvents, dispatch.putVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.putVoid())))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({lastCookie_ + 1, std::move(dispatch)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = ++lastCookie_;
    return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie) noexcept {
    const auto found =
        std::find_if(sinks_.begin(), sinks_.end(), [cookie](const Sink& sink) { return sink.cookie == cookie; });
    if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
    // Released after leaving the list: its release may call back into us.
    win32::ComPtr<IDispatch> leaving = std::move(found->dispatch);
    sinks_.erase(found);
    return S_OK;
}

HRESULT EventPoint::EnumConnections(IEnumConnections** connections) noexcept {
    if (connections != nullptr) *connections = nullptr;
    return E_NOTIMPL;
}

void EventPoint::fire(DISPID id, std::span<VARIANT> arguments) noexcept {
    try {
        // The sinks of this moment, kept alive: a sink may disconnect itself
        // or others, or release the object, while it runs.
        std::vector<win32::ComPtr<IDispatch>> now;
        for (const Sink& sink : sinks_) now.push_back(sink.dispatch.share());
        // Invoke takes the arguments last first.
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        for (const win32::ComPtr<IDispatch>& sink : now) {
            try {
                sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                             nullptr);
            } catch (...) {
                // A sink that throws does nothing to the others.
            }
        }
    } catch (...) {
        // Out of memory: the sinks miss this event.
    }
}

}  // namespace veltrane::com
