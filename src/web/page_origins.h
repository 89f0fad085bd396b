// The pages that may use the local command server, as the library's
// settings name them.
#pragma once

#include "core/library.h"
#include "web/origin_rule.h"

namespace veltrane::web {

// From the login's web address and config.ini's WEB_ORIGINS.
PageOrigins PageOriginsOf(Library& lib);

// Names in one log line the WEB_ORIGINS entries that name no page origin,
// so that a mistyped entry does not go unnoticed; writes nothing when all do.
void LogUnusableOrigins(Library& lib);

}  // namespace veltrane::web
