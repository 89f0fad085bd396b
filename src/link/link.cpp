#include "link/link.h"

#include <algorithm>
#include <utility>

#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "base/text.h"

namespace veltrane::cti {

namespace {

std::string Budget() { return std::to_string(kReconnectBudget); }

void RenewSilenceMoment(Library& lib) {
    const std::int64_t moment = SecondsSince1970(lib.os.clock.now()) + lib.config.CTI_SILENCE_SECONDS;
    lib.config.DLL_TIME = static_cast<std::int32_t>(moment);
    lib.config.NextCheckTime = FormatCompact(FromSecondsSince1970(moment));
}

std::int32_t PauseBeforeAttempt(Link& link) {
    Library& lib = link.lib;
    const int failed = link.failedAttempts;
    if (failed <= 0) return 0;
    const std::int32_t pause = std::min(kFirstPauseMs << std::min(failed - 1, 6), kLongestPauseMs);
    const double spread = 0.8 + 0.4 * lib.os.random.unit();
    return static_cast<std::int32_t>(pause * spread + 0.5);
}

// Closes the socket (or the attempt waiting for its pause); either way the
// disconnect event runs, as it does for a real socket.
void CloseSocket(Link& link) {
    if (link.attemptPending) {
        link.attemptPending = false;
        link.lib.os.connectPause.stop();
        CTISocketDisconnect(link);
        return;
    }
    link.lib.os.socket.close();
}

// Closes the socket for an attempt of the caller's own making: the
// disconnect event this causes must not start an attempt of its own.
void CloseWithoutReconnect(Link& link) {
    link.replacingSocket = true;
    try {
        CloseSocket(link);
    } catch (...) {
        link.replacingSocket = false;
        throw;
    }
    link.replacingSocket = false;
}

// Logs why no attempt could start.
Outcome ConnectFailure(Library& lib, const std::string& host, std::int32_t port, std::string reason) {
    WriteLog(lib, "except CTI_CONN", "(CTI) CTI Address:" + host + " Port:" + std::to_string(port));
    return Outcome::Failure(std::move(reason));
}

Outcome OpenSocket(Library& lib, const std::string& host, std::int32_t port) {
    if (lib.os.socket.open(host, port)) return {};
    return ConnectFailure(lib, host, port, "the socket did not open");
}

// Whether the attempt that has just ended failed: it never connected, or
// its connection ended within seconds. One that stayed up long enough
// ends the run of failures.
bool AttemptFailed(Link& link) {
    if (!link.connectedAt) return true;
    const std::int64_t up = link.lib.os.clock.elapsedMs() - *link.connectedAt;
    if (up >= kSettledMs) link.failedAttempts = 0;
    if (up < kShortLivedMs) return true;
    link.lib.ReconnectCount = 0;
    return false;
}

// Counts one more failure against the budget. False when it is spent: the
// library gives up until the host acts.
bool WithinBudget(Link& link) {
    Library& lib = link.lib;
    const std::int32_t count = ++lib.ReconnectCount;
    const std::string progress = "[" + std::to_string(count) + "/" + Budget() + "]";
    if (count <= kReconnectBudget) {
        ShowAlert(lib, "TimerConn", progress + " CTI connect Requst", 5);
        return true;
    }
    WriteLog(lib, "TimerConn Exit",
             "[Check Time:" + lib.config.NextCheckTime + " < Now time:" + FormatCompact(lib.os.clock.now()) +
                 "]Reconnection " + Budget() + "times check");
    // Settled before the host hears of it: its callback may act at once.
    lib.Finished = true;
    link.gaveUp = true;
    lib.ReconnectCount = 0;
    NotifyHost(lib, "conn", "fail", {"CTI connection Check" + progress + "Reconnect Over"});
    ShowAlert(lib, "TimerConn Exit", progress + " CTI connection Check!!!", 5);
    return false;
}

void LogTick(Link& link) {
    Library& lib = link.lib;
    WriteLog(lib, "TimerConn",
             LogText({std::string("isConnect:") + (IsConnected(link) ? "Y" : "F") + " / isFinish:" +
                          (lib.Finished ? "Y" : "F"),
                      "[ReConnect:" + std::to_string(lib.ReconnectCount) + "/" + Budget() +
                          "] Check Time:" + lib.config.NextCheckTime + " / Now time:" + FormatCompact(lib.os.clock.now())},
                     "\r"));
}

// Hands what the reader cuts out up to the session.
class LinkSink final : public PacketSink {
public:
    explicit LinkSink(Link& link) : link_(link) {}
    void linkAlive() override {
        RenewSilenceMoment(link_.lib);
        link_.lastPacketAt = link_.lib.os.clock.elapsedMs();
        link_.checkSentAt.reset();
    }
    void log(std::string_view name, const LogText& text) override { WriteLog(link_.lib, name, text); }
    void dispatch(const std::string& kind, const std::string& result, const std::string& body) override {
        link_.events.packet(kind, result, body);
    }

private:
    Link& link_;
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

Outcome ConnectCti(Link& link) {
    Library& lib = link.lib;
    TCONFIG_INFO& c = lib.config;
    // Calling again does not cut a pause short: only the host's acting does.
    if (link.attemptPending && link.failedAttempts > 0) return {};
    std::string host;
    try {
        // The attempt below is the only one.
        if (lib.os.socket.state() != SocketState::Closed || link.attemptPending) CloseWithoutReconnect(link);
        const std::vector<std::string> entries = SplitCommaText(c.CTI_IPs);
        const int count = static_cast<int>(entries.size());
        WriteLog(lib, "CTI Connect Request",
                 "[CTI_ID:" + std::to_string(c.CtiAddressIndex) + "][CtiCnt:" + std::to_string(count) +
                     "]CTI Address:" + c.CTI_IPs);
        if (c.CtiAddressIndex > count - 1) c.CtiAddressIndex = 0;
        if (count == 0 || c.CtiAddressIndex < 0) return ConnectFailure(lib, host, c.CTI_PORT, "no CTI address");
        host = Trim(entries[static_cast<std::size_t>(c.CtiAddressIndex)]);
        WriteLog(lib, "CTI_CONN",
                 "[CTI_ID:" + std::to_string(c.CtiAddressIndex) + "]CTI Address:" + host +
                     " Port:" + std::to_string(c.CTI_PORT));
        ++c.CtiAddressIndex;

        if (const std::int32_t pause = PauseBeforeAttempt(link); pause > 0) {
            link.attemptPending = true;
            link.pendingHost = host;
            link.pendingPort = c.CTI_PORT;
            lib.os.connectPause.start(pause);
            return {};
        }
        return OpenSocket(lib, host, c.CTI_PORT);
    } catch (...) {
        return ConnectFailure(lib, host, c.CTI_PORT, "unexpected error");
    }
}

void HostActed(Link& link) {
    link.failedAttempts = 0;
    link.lib.ReconnectCount = 0;
    if (std::exchange(link.gaveUp, false)) link.lib.Finished = false;
}

void ConnectPauseTimer(Link& link) {
    link.lib.os.connectPause.stop();
    if (!link.attemptPending) return;
    link.attemptPending = false;
    // A failure is logged; the next attempt waits for the host or a timer.
    OpenSocket(link.lib, link.pendingHost, link.pendingPort);
}

std::int32_t TimerConnInterval(const TCONFIG_INFO& c) {
    const std::int32_t seconds = std::min({kTimerConnInterval / 1000, c.CTI_SILENCE_SECONDS, c.CTI_ANSWER_SECONDS});
    return std::max(seconds, 1) * 1000;
}

void CTISocketConnect(Link& link) {
    Library& lib = link.lib;
    TCONFIG_INFO& c = lib.config;
    const std::int64_t now = lib.os.clock.elapsedMs();
    link.connectedAt = now;
    link.lastPacketAt = now;
    link.checkSentAt.reset();
    NotifyHost(lib, "conn", "connect", {""});
    ShowAlert(lib, "CTI connect", lib.os.socket.remoteAddress(), 0);
    // The host's callback may have closed or replaced this connection.
    if (!IsConnected(link)) return;
    link.events.connected();  // signs in again, when the user was signed in
    if (!IsConnected(link)) return;
    if (lib.Finished)
        lib.os.timerConn.stop();
    else
        lib.os.timerConn.start(TimerConnInterval(c));
    RenewSilenceMoment(lib);
    SaveUserSettingsLogged(lib);
}

void CTISocketDisconnect(Link& link) {
    Library& lib = link.lib;
    link.reader.reset();
    const bool failed = !link.replacingSocket && AttemptFailed(link);
    if (failed) ++link.failedAttempts;
    link.connectedAt.reset();
    link.checkSentAt.reset();
    const std::int32_t port = lib.os.socket.remotePort();

    NotifyHost(lib, "conn", "disconnect", {""});
    lib.config.CallState.clear();
    lib.os.timerConn.stop();
    if (lib.Finished || link.replacingSocket) return;
    // The host may have started an attempt of its own from its callback.
    if (lib.os.socket.state() != SocketState::Closed || link.attemptPending) return;
    WriteLog(lib, "CTI Socket Connect request",
             "Address:" + lib.config.CTI_IPs + " Port:" + std::to_string(port));
    if (failed && !WithinBudget(link)) return;
    ConnectCti(link);
}

void CTISocketRead(Link& link, std::string_view bytes) {
    LinkSink sink(link);
    link.reader.read(bytes, sink);
}

void CTISocketError(Link& link, int errorKind, int& errorCode) {
    Library& lib = link.lib;
    NotifyHost(lib, "conn", "disconnect", {"disconnect(" + std::to_string(errorCode) + ")" + ErrorKindName(errorKind)});
    errorCode = 0;
    lib.os.socket.close();
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
        if (IsConnected(link)) link.checkSentAt = now;  // a failed send has reconnected
        return;
    }
    if (now - *link.checkSentAt < std::int64_t(lib.config.CTI_ANSWER_SECONDS) * 1000) return;
    // Nothing has come back: the link is dead, whatever TCP believes.
    LogTick(link);
    NotifyHost(lib, kLinkCheckUnanswered);
    if (IsConnected(link)) lib.os.socket.close();
}

void SendLinkCheck(Link& link) {
    SendRequest(link, {.kind = "CONNCT",
                       .marker = "R",
                       .body = "R|" + link.lib.config.PHONE_NO + "|",
                       .offline = HostEvent("conn", "disconnect", {"disconnect"}),
                       .failed = HostEvent("conn", "disconnect")});
}

}  // namespace veltrane::cti
