// COM on the thread that makes this, for as long as it lives: once, on the
// owner thread, which alone uses COM objects.
#pragma once

#include <objbase.h>

#include <cstdio>
#include <string>

#include "base/outcome.h"

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
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result_));
        return Outcome::Failure(std::string("COM not initialised (error ") + code + ")");
    }

private:
    HRESULT result_;
};

}  // namespace veltrane::win32
