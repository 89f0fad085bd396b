// The connection point of IPhoneEvents: the sinks connected to one object,
// and the firing of an event to each of them through IDispatch::Invoke, as
// VB's WithEvents and the script hosts receive it. Part of its object: it
// shares the object's reference count.
#pragma once

#include <ocidl.h>

#include <cstddef>
#include <span>
#include <vector>

#include "win32/com_objects.h"

namespace veltrane::com {

class EventPoint final : public IConnectionPoint {
public:
    explicit EventPoint(IConnectionPointContainer& container) : container_(container) {}
    EventPoint(const EventPoint&) = delete;
    EventPoint& operator=(const EventPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return container_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return container_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) noexcept override;

    std::size_t sinkCount() const { return sinks_.size(); }
    // Calls `id` on every sink connected now; `arguments` in the order of the
    // event's parameters. A sink's failure is its own.
    void fire(DISPID id, std::span<VARIANT> arguments) noexcept;

private:
    struct Sink {
        DWORD cookie;
        win32::ComPtr<IDispatch> dispatch;
    };

    IConnectionPointContainer& container_;
    std::vector<Sink> sinks_;
    DWORD lastCookie_ = 0;
};

}  // namespace veltrane::com
