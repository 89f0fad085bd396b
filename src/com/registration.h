// The registry entries that make Veltrane.Phone and its type library known,
// under Software\Classes of HKEY_CURRENT_USER (this user, no administrator
// needed) or HKEY_LOCAL_MACHINE (every user).
#pragma once

#include <windows.h>

namespace veltrane::com {

// Writes every entry, naming this DLL's file; on failure removes what it wrote.
HRESULT RegisterServer(HKEY root) noexcept;
// Removes every entry, and the folders CLSID, Interface and TypeLib when
// nothing else is left in them.
HRESULT UnregisterServer(HKEY root) noexcept;

}  // namespace veltrane::com
