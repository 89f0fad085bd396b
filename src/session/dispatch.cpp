#include "session/dispatch.h"

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"

namespace veltrane::session {

namespace {
// A notice of the server: the only kind without a phone number.
void HandleInfo(Library& lib, cti::ServerMessage& m) {
    const std::string text = m.fields.next();
    // The importance stands where other events have their result.
    NotifyHost(lib, "information", m.subKind == "I" ? "important" : "normal", {text});
}
}  // namespace

bool DispatchCtiMessage(Library& lib, std::span<cti::ServerPacketHandler* const> handlers, const std::string& kind,
                        const std::string& result, const std::string& body) {
    TCONFIG_INFO& c = lib.config;
    const std::string trimmedBody = Trim(body);
    const std::string trimmedKind = Trim(kind);
    cti::ServerMessage m(trimmedBody);
    m.failed = result == "F";
    m.result = result;
    m.subKind = m.fields.next();

    // The other party belongs to the last call report only.
    c.GUEST_PHONE.clear();
    if (trimmedKind == "INFO") {
        HandleInfo(lib, m);
        return true;
    }

    m.phoneNo = m.fields.next();
    WriteLog(lib, "CTI READ", LogText({trimmedBody, "SubKind:" + m.subKind, "PhoneNo:" + m.phoneNo}, "\r"));
    c.CallState.clear();

    for (cti::ServerPacketHandler* handler : handlers) {
        switch (handler->handle(trimmedKind, m)) {
        case cti::ServerPacketHandler::Handled::NotMine: continue;
        case cti::ServerPacketHandler::Handled::Done: return true;
        case cti::ServerPacketHandler::Handled::CodeMissing: return false;
        }
    }
    return true;  // a kind this library does not know: logged, nothing more
}

}  // namespace veltrane::session
