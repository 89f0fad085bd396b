#include "cti/tls_link.h"

#include <string>

#include "host/notify.h"

namespace veltrane::cti {

void CTISocketTlsFailure(Library& lib, std::string_view reason) {
    NotifyHost(lib, "conn|disconnect|" + std::string(reason) + "|");
}

}  // namespace veltrane::cti
