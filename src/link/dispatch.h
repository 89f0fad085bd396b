// Turns every server packet into state changes and one host event.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane::cti {

// kind as received (padded), result code, trimmed body. False when the
// packet needed an integer code and had none: its handling ended there.
bool DispatchCtiMessage(Library& lib, const std::string& kind, const std::string& result,
                        const std::string& body);

}  // namespace veltrane::cti
