// Turns every server packet into state changes and one host event: what all
// kinds share here, the rest in the handler of the feature the kind belongs to.
#pragma once

#include <span>
#include <string>

#include "core/library.h"
#include "link/server_message.h"

namespace veltrane::session {

// kind as received (padded), result code, trimmed body. The handlers are
// asked in turn. False when the packet needed an integer code and had none:
// its handling ended there.
bool DispatchCtiMessage(Library& lib, std::span<cti::ServerPacketHandler* const> handlers, const std::string& kind,
                        const std::string& result, const std::string& body);

}  // namespace veltrane::session
