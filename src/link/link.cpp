#include "link/link.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "link/send.h"

namespace veltrane::cti {

namespace {

std::string Budget() { return std::to_string(kReconnectBudget); }

bool HasSocket(LinkState state) {
    return state == LinkState::Connecting || state == LinkState::Retrying || state == LinkState::Connected ||
           state == LinkState::Broken;
}

void RenewSilenceMoment(Link& link) {
    Library& lib = link.lib;
    const std::int64_t moment = SecondsSince1970(lib.os.clock.now()) + lib.config.CTI_SILENCE_SECONDS;
    lib.config.DLL_TIME = static_cast<std::int32_t>(moment);
    link.nextCheckTime = FormatCompact(FromSecondsSince1970(moment));
}

std::int32_t PauseBeforeAttempt(const Link& link) {
    const int failed = link.failures;
    if (failed <= 0) return 0;
    const std::int32_t pause = std::min(kFirstPauseMs << std::min(failed - 1, 6), kLongestPauseMs);
    const double spread = 0.8 + 0.4 * link.lib.os.random.unit();
    return static_cast<std::int32_t>(pause * spread + 0.5);
}

void LogNoAttempt(Library& lib, const std::string& host, std::int32_t port) {
    WriteLog(lib, "except CTI_CONN", "(CTI) CTI Address:" + host + " Port:" + std::to_string(port));
}

void LogTick(Link& link) {
    Library& lib = link.lib;
    const bool finished = link.state == LinkState::Stopped || link.state == LinkState::GaveUp;
    WriteLog(lib, "TimerConn",
             LogText({std::string("isConnect:") + (IsConnected(link) ? "Y" : "F") + " / isFinish:" + (finished ? "Y" : "F"),
                      "[ReConnect:" + std::to_string(link.budgetSpent) + "/" + Budget() + "] Check Time:" +
                          link.nextCheckTime + " / Now time:" + FormatCompact(lib.os.clock.now())},
                     "\r"));
}

// After giving up: a quiet attempt every CTI_RETRY_SECONDS, if set.
void ScheduleRetry(Link& link) {
    link.state = LinkState::GaveUp;
    if (const std::int32_t seconds = link.lib.config.CTI_RETRY_SECONDS; seconds > 0)
        link.lib.os.connectPause.start(seconds * 1000);
}

// Counts one more failure against the budget. False when it is spent: the
// library gives up until the host acts (or a retry finds the server).
bool WithinBudget(Link& link) {
    Library& lib = link.lib;
    const int count = ++link.budgetSpent;
    const std::string progress = "[" + std::to_string(count) + "/" + Budget() + "]";
    if (count <= kReconnectBudget) {
        ShowAlert(lib, "TimerConn", progress + " CTI connect Requst", 5);
        return true;
    }
    WriteLog(lib, "TimerConn Exit",
             "[Check Time:" + link.nextCheckTime + " < Now time:" + FormatCompact(lib.os.clock.now()) +
                 "]Reconnection " + Budget() + "times check");
    link.budgetSpent = 0;
    ScheduleRetry(link);
    NotifyHost(lib, "conn", "fail", {"CTI connection Check" + progress + "Reconnect Over"});
    ShowAlert(lib, "TimerConn Exit", progress + " CTI connection Check!!!", 5);
    return false;
}

// Whether the connection (or attempt) that has just ended failed: it never
// connected, or it ended within seconds. One that stayed up long enough
// ends the run of failures.
bool AttemptFailed(Link& link) {
    if (!link.connectedAt) return true;
    const std::int64_t up = link.lib.os.clock.elapsedMs() - *link.connectedAt;
    if (up >= kSettledMs) link.failures = 0;
    if (up < kShortLivedMs) return true;
    link.budgetSpent = 0;
    return false;
}

void ConnectCti(Link& link, LinkState opening);

// Opens the socket; one that cannot even be opened is a failed attempt.
void Open(Link& link, const std::string& host, std::int32_t port, LinkState opening) {
    Library& lib = link.lib;
    if (lib.os.socket.open(host, port)) {
        link.state = opening;
        return;
    }
    LogNoAttempt(lib, host, port);
    ++link.failures;
    if (opening == LinkState::Retrying) {
        ScheduleRetry(link);
        return;
    }
    link.state = LinkState::Idle;
    if (WithinBudget(link)) ConnectCti(link, LinkState::Connecting);
}

// An attempt at the next address of CTI_IPs, after the pause the failures
// before it call for (none for a quiet retry, whose pause was the wait).
void ConnectCti(Link& link, LinkState opening) {
    Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    const std::vector<std::string> entries = SplitCommaText(c.CTI_IPs);
    const int count = static_cast<int>(entries.size());
    WriteLog(lib, "CTI Connect Request",
             "[CTI_ID:" + std::to_string(link.addressIndex) + "][CtiCnt:" + std::to_string(count) +
                 "]CTI Address:" + c.CTI_IPs);
    if (link.addressIndex > count - 1) link.addressIndex = 0;
    if (count == 0) {
        LogNoAttempt(lib, "", c.CTI_PORT);
        link.state = LinkState::Idle;
        return;
    }
    const std::string host = Trim(entries[static_cast<std::size_t>(link.addressIndex)]);
    WriteLog(lib, "CTI_CONN",
             "[CTI_ID:" + std::to_string(link.addressIndex) + "]CTI Address:" + host +
                 " Port:" + std::to_string(c.CTI_PORT));
    ++link.addressIndex;

    if (opening == LinkState::Connecting) {
        if (const std::int32_t pause = PauseBeforeAttempt(link); pause > 0) {
            link.state = LinkState::Waiting;
            link.pendingHost = host;
            link.pendingPort = c.CTI_PORT;
            lib.os.connectPause.start(pause);
            return;
        }
    }
    Open(link, host, c.CTI_PORT, opening);
}

// Closes whatever is open without a new attempt; the socket's disconnect
// event tells the host. True when a connection was open.
bool CloseForGood(Link& link) {
    Library& lib = link.lib;
    const bool connected = link.state == LinkState::Connected || link.state == LinkState::Broken;
    const bool open = HasSocket(link.state);
    link.state = LinkState::Stopped;
    lib.os.connectPause.stop();
    lib.os.timerConn.stop();
    if (open) lib.os.socket.close();
    return connected;
}

void LogPacket(Library& lib, const ReceivedPacket& packet) {
    if (!packet.frame) {
        WriteLog(lib, "PACKET", packet.text);
        return;
    }
    const ServerFrame& frame = *packet.frame;
    WriteLog(lib, "REAL DATA[" + std::to_string(packet.numberInRead) + "]", packet.text);
    WriteLog(lib, "PACKET",
             LogText({packet.text, "MsgPacket:LINK", "MsgKind:" + frame.kind, "MsgResult:" + frame.result,
                      "MsgSize:" + packet.length, "MsgBody:" + frame.body},
                     "\r"));
}

// Logs each packet received and hands it up, in the order they came: a
// turn's worth, unless `all`. What is left waits for the link's next turn,
// with the socket holding what the server sends meanwhile, so that a flood
// never keeps the host's own messages waiting long.
void HandUpReceived(Link& link, bool all) {
    Library& lib = link.lib;
    if (link.received.empty()) {
        lib.os.socket.holdReading(false);
        return;
    }
    // What the handlers send back (the acknowledgements of received SMS)
    // goes out in one write at the end.
    lib.os.socket.batchSends(true);
    const std::int64_t started = lib.os.clock.elapsedMs();
    for (int handed = 0; !link.received.empty(); ++handed) {
        if (!all && (handed == kPacketsPerTurn || lib.os.clock.elapsedMs() - started >= kMillisecondsPerTurn)) {
            lib.os.socket.holdReading(true);
            lib.os.linkWork.request();
            break;
        }
        ReceivedPacket packet = std::move(link.received.front());
        link.received.pop_front();
        const LogBatch lines(lib);
        LogPacket(lib, packet);
        // A link check's answer only renews the link.
        if (packet.frame && Trim(packet.frame->kind) != "CONNCT") link.events.packet(*packet.frame);
    }
    lib.os.socket.batchSends(false);
    if (link.received.empty()) lib.os.socket.holdReading(false);
}

// Takes what the reader cuts out of the bytes received.
class LinkSink final : public PacketSink {
public:
    explicit LinkSink(Link& link) : link_(link) {}
    void linkAlive() override {
        RenewSilenceMoment(link_);
        link_.lastPacketAt = link_.lib.os.clock.elapsedMs();
        link_.checkSentAt.reset();
    }
    void packet(const Frame& frame) override {
        ReceivedPacket packet;
        packet.frame = ServerFrame{std::string(frame.kind), std::string(frame.result), std::string(frame.body)};
        packet.text = std::string(frame.text);
        packet.length = std::string(frame.length);
        packet.numberInRead = ++packets_;
        link_.received.push_back(std::move(packet));
    }
    void passedOver(const PassedOver& what) override {
        std::string text(what.head);
        switch (what.why) {
        case PassedOver::Why::NoHeader:
            text += " dropped: no kind, result and length within " + std::to_string(CtiReader::kMaxHeader) + " bytes";
            break;
        case PassedOver::Why::LengthNotANumber:
            text += " dropped: the length is not a number of bytes";
            break;
        case PassedOver::Why::BodyTooLong:
            text += " skipped: a body of " + std::string(what.length) + " bytes is over " +
                    std::to_string(CtiReader::kMaxBody);
            break;
        }
        ReceivedPacket note;
        note.text = std::move(text);
        link_.received.push_back(std::move(note));
    }

private:
    Link& link_;
    int packets_ = 0;
};
}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
    auto isBlank = [](char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; };
    const std::size_t end = std::min(text.find('\0'), text.size());
    std::vector<std::string> entries;
    std::size_t at = 0;
    while (at < end && isBlank(text[at])) ++at;
    while (at < end) {
        std::string entry;
        if (text[at] == '"') {
            for (++at; at < end; ++at) {
                if (text[at] == '"') {
                    if (at + 1 < end && text[at + 1] == '"') {
                        entry += '"';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                entry += text[at];
            }
        } else {
            const std::size_t start = at;
            while (at < end && !isBlank(text[at]) && text[at] != ',') ++at;
            entry.assign(text.substr(start, at - start));
        }
        entries.push_back(std::move(entry));
        while (at < end && isBlank(text[at])) ++at;
        if (at < end && text[at] == ',') {
            if (at + 1 == end) entries.emplace_back();
            do ++at;
            while (at < end && isBlank(text[at]));
        }
    }
    return entries;
}

std::string ErrorKindName(int errorKind) {
    static const char* const names[] = {"eeGeneral", "eeSend",   "eeReceive", "eeConnect",
                                        "eeDisconnect", "eeAccept", "eeLookup"};
    return errorKind >= 0 && errorKind < 7 ? names[errorKind] : "";
}

std::int32_t TimerConnInterval(const TCONFIG_INFO& c) {
    const std::int32_t seconds = std::min({kTimerConnInterval / 1000, c.CTI_SILENCE_SECONDS, c.CTI_ANSWER_SECONDS});
    return std::max(seconds, 1) * 1000;
}

// The transitions of the link's state, by what happened.

void StartLink(Link& link) {
    CloseForGood(link);
    link.signedIn = false;
    link.failures = 0;
    link.budgetSpent = 0;
    link.addressIndex = 0;
    ConnectCti(link, LinkState::Connecting);
}

bool StopLink(Link& link) {
    link.signedIn = false;
    return CloseForGood(link);
}

void HostActed(Link& link) {
    link.failures = 0;
    link.budgetSpent = 0;
    if (link.state == LinkState::GaveUp) {
        link.lib.os.connectPause.stop();
        link.state = LinkState::Idle;
    }
    // A quiet attempt under way counts from now on like any other.
    if (link.state == LinkState::Retrying) link.state = LinkState::Connecting;
}

void ConnectNow(Link& link) {
    switch (link.state) {
    case LinkState::Waiting:
        link.lib.os.connectPause.stop();
        Open(link, link.pendingHost, link.pendingPort, LinkState::Connecting);
        return;
    case LinkState::Idle:
    case LinkState::GaveUp:
        ConnectCti(link, LinkState::Connecting);
        return;
    default:
        return;  // stopped, or an attempt or a connection is there
    }
}

void SendFailed(Link& link) {
    if (link.state != LinkState::Connected) return;
    link.state = LinkState::Broken;
    link.lib.os.linkWork.request();
}

void LinkWork(Link& link) {
    if (link.state == LinkState::Broken)
        link.lib.os.socket.close();
    else
        HandUpReceived(link, false);
}

void ConnectPauseTimer(Link& link) {
    link.lib.os.connectPause.stop();
    if (link.state == LinkState::Waiting)
        Open(link, link.pendingHost, link.pendingPort, LinkState::Connecting);
    else if (link.state == LinkState::GaveUp)
        ConnectCti(link, LinkState::Retrying);
}

void CTISocketConnect(Link& link) {
    if (link.state != LinkState::Connecting && link.state != LinkState::Retrying) return;
    Library& lib = link.lib;
    const std::int64_t now = lib.os.clock.elapsedMs();
    link.state = LinkState::Connected;
    link.connectedAt = now;
    link.lastPacketAt = now;
    link.checkSentAt.reset();
    NotifyHost(lib, "conn", "connect", {""});
    ShowAlert(lib, "CTI connect", lib.os.socket.remoteAddress(), 0);
    link.events.connected();  // signs in again, when the user was signed in
    if (IsConnected(link)) lib.os.timerConn.start(TimerConnInterval(lib.config));
    RenewSilenceMoment(link);
    SaveUserSettingsSoon(lib);
}

void CTISocketDisconnect(Link& link) {
    Library& lib = link.lib;
    const LinkState was = link.state;
    if (!HasSocket(was) && was != LinkState::Stopped) return;  // no socket of ours
    // What came before the close is handled before it.
    HandUpReceived(link, true);
    link.reader.reset();
    const bool failed = was != LinkState::Stopped && AttemptFailed(link);
    if (failed) ++link.failures;
    if (was != LinkState::Stopped) link.state = LinkState::Idle;
    link.connectedAt.reset();
    link.checkSentAt.reset();
    const std::int32_t port = lib.os.socket.remotePort();

    NotifyHost(lib, "conn", "disconnect", {""});
    lib.user.CallState.clear();
    lib.os.timerConn.stop();
    if (was == LinkState::Stopped) return;  // closed for good, or for a start afresh
    if (was == LinkState::Retrying) {
        ScheduleRetry(link);  // still no server: quietly, until the next retry
        return;
    }
    WriteLog(lib, "CTI Socket Connect request", "Address:" + lib.config.CTI_IPs + " Port:" + std::to_string(port));
    if (failed && !WithinBudget(link)) return;
    ConnectCti(link, LinkState::Connecting);
}

void CTISocketRead(Link& link, std::string_view bytes) {
    LinkSink sink(link);
    link.reader.read(bytes, sink);
    HandUpReceived(link, false);
}

void CTISocketError(Link& link, int errorKind, int errorCode) {
    NotifyHost(link.lib, "conn", "disconnect",
               {"disconnect(" + std::to_string(errorCode) + ")" + ErrorKindName(errorKind)});
}

void CTISocketTlsFailure(Link& link, std::string_view reason) {
    NotifyHost(link.lib, "conn", "disconnect", {reason});
}

void TimerConnTimer(Link& link) {
    Library& lib = link.lib;
    if (!IsConnected(link)) {
        lib.os.timerConn.stop();
        return;
    }
    const std::int64_t now = lib.os.clock.elapsedMs();
    if (!link.checkSentAt) {
        if (now - link.lastPacketAt < std::int64_t(lib.config.CTI_SILENCE_SECONDS) * 1000) return;
        LogTick(link);
        SendLinkCheck(link);
        if (IsConnected(link)) link.checkSentAt = now;  // a failed send closes the link
        return;
    }
    if (now - *link.checkSentAt < std::int64_t(lib.config.CTI_ANSWER_SECONDS) * 1000) return;
    // Nothing has come back: the link is dead, whatever TCP believes.
    LogTick(link);
    NotifyHost(lib, kLinkCheckUnanswered);
    lib.os.socket.close();
}

void SendLinkCheck(Link& link) {
    SendRequest(link, {.kind = "CONNCT",
                       .marker = "R",
                       .body = "R|" + link.lib.config.PHONE_NO + "|",
                       .offline = HostEvent("conn", "disconnect", {"disconnect"}),
                       .failed = HostEvent("conn", "disconnect")});
}

}  // namespace veltrane::cti
