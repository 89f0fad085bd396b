#include "session/dispatch.h"

#include <string_view>

#include "account/answers.h"
#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"
#include "session/session.h"
#include "telephony/reports.h"

namespace veltrane::session {

namespace {
// A notice of the server: the only kind without a phone number.
void OnInfo(Library& lib, const cti::InfoNotice& notice) {
    // The importance stands where other events have their result.
    NotifyHost(lib, "information", notice.subKind == "I" ? "important" : "normal", {notice.text});
}

// What every kind but INFO does first, whatever the library makes of it.
void Received(Library& lib, const cti::ServerFrame& frame, const cti::Answer& head) {
    WriteLog(lib, "CTI READ", LogText({frame.body, "SubKind:" + head.subKind, "PhoneNo:" + head.phoneNo}, "\r"));
    lib.user.CallState.clear();
}

using Route = void (*)(Session&, const cti::ServerFrame&);

// Reads the packet into its kind's fields, then hands it to the feature.
template <typename Packet, Packet (*read)(std::string_view, std::string_view),
          void (*handle)(cti::Link&, const Packet&)>
void Handle(Session& session, const cti::ServerFrame& frame) {
    const Packet packet = read(frame.result, frame.body);
    Received(session.lib, frame, packet);
    handle(session.link, packet);
}

struct Kind {
    std::string_view name;
    Route route;
};

constexpr Kind kKinds[] = {
    {"NUMBER", Handle<cti::Answer, cti::ReadAnswer, account::OnNumber>},
    {"CERTIFY", Handle<cti::Answer, cti::ReadAnswer, account::OnCertify>},
    {"LOGIN", Handle<cti::LoginAnswer, cti::ReadLogin, account::OnLogin>},
    {"LOGOUT", Handle<cti::Answer, cti::ReadAnswer, account::OnLogout>},
    {"CALL", Handle<cti::CallReport, cti::ReadCall, telephony::OnCall>},
    {"SMS", Handle<cti::SmsReport, cti::ReadSms, telephony::OnSms>},
    {"BOOKED", Handle<cti::SmsReport, cti::ReadSms, telephony::OnBooked>},
    {"RECORD", Handle<cti::Answer, cti::ReadAnswer, telephony::OnRecord>},
};
}  // namespace

void DispatchServerPacket(Session& session, const cti::ServerFrame& frame) {
    Library& lib = session.lib;
    // The other party belongs to the last call report only.
    lib.config.GUEST_PHONE.clear();
    const std::string kind = Trim(frame.kind);
    if (kind == "INFO") {
        OnInfo(lib, cti::ReadInfo(frame.body));
        return;
    }
    for (const Kind& known : kKinds) {
        if (known.name == kind) {
            known.route(session, frame);
            return;
        }
    }
    // A kind this library does not know: logged, nothing more.
    Received(lib, frame, cti::ReadAnswer(frame.result, frame.body));
}

}  // namespace veltrane::session
