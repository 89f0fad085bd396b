// Failures as automation hosts show them: the HRESULT with words in the
// thread's error object (ISupportErrorInfo), and the guard every method of
// the object runs in, so that no exception leaves it.
#pragma once

#include <oaidl.h>

#include <new>

namespace veltrane::com {

// Sets the error object of this thread and returns `result`.
HRESULT Fail(HRESULT result, const wchar_t* description) noexcept;

template <typename Work>
HRESULT Guarded(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return Fail(E_OUTOFMEMORY, L"Veltrane: out of memory");
    } catch (...) {
        return Fail(E_UNEXPECTED, L"Veltrane: unexpected error");
    }
}

}  // namespace veltrane::com
