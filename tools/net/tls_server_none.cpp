// The simulator built without OpenSSL: no TLS.
#include "net/tls_server.h"

#include <utility>

namespace veltrane::tools::net {

struct TlsServerContext::Native {};
struct TlsServerSession::Native {};

TlsServerContext::TlsServerContext(std::unique_ptr<Native> native) : native_(std::move(native)) {}
TlsServerContext::~TlsServerContext() = default;

std::shared_ptr<TlsServerContext> TlsServerContext::Load(const std::string&, const std::string&, std::string& error) {
    error = "this build of the simulator has no TLS (build it natively, with OpenSSL)";
    return nullptr;
}

TlsServerSession::TlsServerSession(std::shared_ptr<TlsServerContext> context, const Socket&)
    : context_(std::move(context)) {}
TlsServerSession::~TlsServerSession() = default;
TlsServerSession::Handshake TlsServerSession::handshake() { return Handshake::Failed; }
Received TlsServerSession::receive(std::string&) { return Received::Failed; }
bool TlsServerSession::sendAll(std::string_view) { return false; }
void TlsServerSession::closeNotify() {}
std::string TlsServerSession::description() const { return {}; }

}  // namespace veltrane::tools::net
