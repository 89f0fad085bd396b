// The type library embedded in veltrane.dll (resource TYPELIB 1), read from
// the DLL's own file: no registration is needed to use it.
#pragma once

#include <oaidl.h>

#include <string>

namespace veltrane::com {

HMODULE ThisModule() noexcept;
// The full path of veltrane.dll; empty when it cannot be had.
std::wstring ModulePath();

// The type information of one of the library's types (IPhone, the coclass),
// loaded once and kept for the life of the process. The caller gets a
// reference of its own.
HRESULT TypeInfoOf(REFGUID type, ITypeInfo** info) noexcept;

}  // namespace veltrane::com
