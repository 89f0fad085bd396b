#include "link/tls_link.h"

#include "core/notify.h"

namespace veltrane::cti {

void CTISocketTlsFailure(Link& link, std::string_view reason) {
    NotifyHost(link.lib, "conn", "disconnect", {reason});
}

}  // namespace veltrane::cti
