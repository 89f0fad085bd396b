// The link's side of TLS: the socket's TLS layer refused a connection.
#pragma once

#include <string_view>

#include "link/link.h"

namespace veltrane::cti {

// Tells the host why, as "conn|disconnect|<reason>|" (reason from
// TlsFailureText). The socket closes the connection afterwards, unless the
// host's callback has already replaced it; its disconnect event then counts
// the attempt as failed, so the rotation and the pauses go on as for a
// refused connection.
void CTISocketTlsFailure(Link& link, std::string_view reason);

}  // namespace veltrane::cti
