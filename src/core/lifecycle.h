// Starting and finishing the library.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane {

inline constexpr const char* kDefaultBasePath = "C:\\Orvanta\\";

// Everything of DLL_START after COM and the data module exist and the
// callback is in place.
void DLL_START(Library& lib, const std::string& basePath, const std::string& windowTitle);

// Every 30 s while WEB_PORT could not be listened on: tries it again.
void HTTPServerRetryTimer(Library& lib);

// Ends the process through SystemInfo::endProcess(1) when it succeeds.
void DLL_FINISH(Library& lib);

// The start event for this PC: certified for REG_PHONE, or not.
std::string StartEvent(const Library& lib);

}  // namespace veltrane
