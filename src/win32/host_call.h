// Calls into the host's code: its callback, and its window procedure through
// WM_COPYDATA. An exception the host lets out (C++, or on x64 any structured
// exception: an access violation, another compiler's C++ exception, a
// Delphi or .NET exception) ends that call only; the library goes on.
#pragma once

#include <string>

#include "base/outcome.h"

namespace veltrane::win32 {

// Runs function(context). Fails with "<who> threw", or "<who> threw
// exception 0x<code>" for a structured exception.
Outcome CallHost(void (*function)(void*), void* context, const std::string& who);

}  // namespace veltrane::win32
