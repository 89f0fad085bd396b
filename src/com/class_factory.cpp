#include "com/class_factory.h"

#include "com/phone.h"

namespace veltrane::com {

PhoneFactory& PhoneFactory::Instance() {
    static PhoneFactory factory;
    return factory;
}

HRESULT PhoneFactory::QueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
}

HRESULT PhoneFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept {
    if (object != nullptr) *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return Phone::Create(iid, object);
}

}  // namespace veltrane::com
