// Turns every server packet into state changes and host events: what all
// kinds share here, the rest in the handler of the feature the kind
// belongs to, found in one table.
#pragma once

#include "link/link.h"

namespace veltrane::session {

class Session;

// One server packet as the link hands it up.
void DispatchServerPacket(Session& session, const cti::ServerFrame& frame);

}  // namespace veltrane::session
