// COM on the thread that makes this, for as long as it lives: once, on the
// owner thread, which alone uses COM objects.
#pragma once

#include <objbase.h>

#include <string>

#include "base/outcome.h"
#include "base/text.h"

namespace veltrane::win32 {

class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // A thread the host has already given to the multithreaded apartment
    // uses COM as it is.
    Outcome outcome() const {
        if (SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE) return {};
        return Outcome::Failure("COM not initialised (error 0x" + HexText(static_cast<unsigned long>(result_), 8) + ")");
    }

private:
    HRESULT result_;
};

}  // namespace veltrane::win32
