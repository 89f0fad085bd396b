// The module (DLL or program) this code was linked into.
#pragma once

#include <windows.h>

namespace veltrane::winsupport {

HMODULE ThisModule();
// Keeps this module loaded until the process ends, whatever FreeLibrary
// calls follow: for windows, timers and threads that outlive their caller.
void PinThisModule();

}  // namespace veltrane::winsupport
