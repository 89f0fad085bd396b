// What the COM objects (src/com) need of the library beside the exports.
#pragma once

#include "win32/platform_services.h"

namespace veltrane::dll {

// From now on every host event the callback would be handed also goes to
// `listener`, whoever started the library and whether or not it gave a
// callback. The listener must live as long as the process.
void AttachHostEventListener(win32::HostEventListener& listener) noexcept;

// StopLibrary on the owner thread; does nothing before the first DLL_START,
// like the exports.
void StopLibrary() noexcept;

}  // namespace veltrane::dll
