#include "cti/link.h"

#include <algorithm>
#include <stdexcept>

#include "account/login.h"
#include "cti/dispatch.h"
#include "cti/packet.h"
#include "host/log.h"
#include "host/notify.h"
#include "host/settings.h"
#include "host/text.h"

namespace veltrane::cti {

namespace {
constexpr std::int32_t kFirstPauseMs = 500;
constexpr std::int32_t kLongestPauseMs = 5000;

std::string Budget() { return std::to_string(kReconnectBudget); }

void RenewSilenceMoment(Library& lib) {
    const std::int64_t moment = SecondsSince1970(lib.os.clock.now()) + kSilenceLimitSeconds;
    lib.config.DLL_TIME = static_cast<std::int32_t>(moment);
    lib.config.NextCheckTime = FormatCompact(FromSecondsSince1970(moment));
}

// While no address accepts connections, attempts are spaced out: 0.5 s,
// 1 s, 2 s, 4 s, then 5 s, until one connects.
std::int32_t PauseBeforeAttempt(int failedAttempts) {
    if (failedAttempts <= 0) return 0;
    const int doublings = std::min(failedAttempts - 1, 4);
    return std::min(kFirstPauseMs << doublings, kLongestPauseMs);
}

// Closes the socket (or the attempt waiting for its pause); either way the
// disconnect event runs, as it does for a real socket.
void CloseSocket(Library& lib) {
    LinkState& link = lib.link;
    if (link.attemptPending) {
        link.attemptPending = false;
        lib.os.connectPause.stop();
        CTISocketDisconnect(lib);
        return;
    }
    lib.os.socket.close();
}

// Closes the socket for an attempt of the caller's own making (or for none):
// the disconnect event this causes must not start an attempt of its own.
void CloseWithoutReconnect(Library& lib) {
    LinkState& link = lib.link;
    link.replacingSocket = true;
    try {
        CloseSocket(lib);
    } catch (...) {
        link.replacingSocket = false;
        throw;
    }
    link.replacingSocket = false;
}

bool OpenSocket(Library& lib, const std::string& host, std::int32_t port) {
    if (lib.os.socket.open(host, port)) return true;
    WriteLog(lib, "except CTI_CONN", "(CTI) CTI Address:" + host + " Port:" + std::to_string(port));
    return false;
}

// Hands what the reader cuts out to the dispatch.
class LinkSink final : public PacketSink {
public:
    explicit LinkSink(Library& lib) : lib_(lib) {}
    void linkAlive() override { RenewSilenceMoment(lib_); }
    void log(std::string_view name, std::string_view text) override { WriteLog(lib_, name, text); }
    bool dispatch(const std::string& kind, const std::string& result, const std::string& body) override {
        return DispatchCtiMessage(lib_, kind, result, body);
    }

private:
    Library& lib_;
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

bool ConnectCti(Library& lib) {
    TCONFIG_INFO& c = lib.config;
    LinkState& link = lib.link;
    std::string host;
    try {
        // The attempt below is the only one.
        if (lib.os.socket.state() != SocketState::Closed || link.attemptPending) CloseWithoutReconnect(lib);
        const std::vector<std::string> entries = SplitCommaText(c.CTI_IPs);
        const int count = static_cast<int>(entries.size());
        WriteLog(lib, "CTI Connect Request",
                 "[CTI_ID:" + std::to_string(c.CtiAddressIndex) + "][CtiCnt:" + std::to_string(count) +
                     "]CTI Address:" + c.CTI_IPs);
        if (c.CtiAddressIndex > count - 1) c.CtiAddressIndex = 0;
        if (count == 0 || c.CtiAddressIndex < 0) throw std::out_of_range("no CTI address");
        host = Trim(entries[static_cast<std::size_t>(c.CtiAddressIndex)]);
        WriteLog(lib, "CTI_CONN",
                 "[CTI_ID:" + std::to_string(c.CtiAddressIndex) + "]CTI Address:" + host +
                     " Port:" + std::to_string(c.CTI_PORT));
        ++c.CtiAddressIndex;

        if (const std::int32_t pause = PauseBeforeAttempt(link.failedAttempts); pause > 0) {
            link.attemptPending = true;
            link.pendingHost = host;
            link.pendingPort = c.CTI_PORT;
            lib.os.connectPause.start(pause);
            return true;
        }
        return OpenSocket(lib, host, c.CTI_PORT);
    } catch (...) {
        WriteLog(lib, "except CTI_CONN", "(CTI) CTI Address:" + host + " Port:" + std::to_string(c.CTI_PORT));
        return false;
    }
}

void ConnectPauseTimer(Library& lib) {
    lib.os.connectPause.stop();
    LinkState& link = lib.link;
    if (!link.attemptPending) return;
    link.attemptPending = false;
    OpenSocket(lib, link.pendingHost, link.pendingPort);
}

void CTISocketConnect(Library& lib) {
    TCONFIG_INFO& c = lib.config;
    lib.link.failedAttempts = 0;
    lib.link.connectedSinceOpen = true;
    NotifyHost(lib, "conn|connect||");
    ShowAlert(lib, "CTI connect", lib.os.socket.remoteAddress(), 0);
    if (lib.ReconnectCount > 0) {
        if (c.PHONE_NO.empty() || c.LoginPassword.empty()) {
            NotifyHost(lib, "conn|fail|input Phone number or login password");
            return;
        }
        account::SendLogin(lib, c.LoginId, c.LoginPassword);
        WriteLog(lib, "CTISocketConnect", "PC_LOGIN");
    }
    if (lib.Finished)
        lib.os.timerConn.stop();
    else
        lib.os.timerConn.start(kTimerConnInterval);
    RenewSilenceMoment(lib);
    SaveUserSettingsLogged(lib);
}

void CTISocketDisconnect(Library& lib) {
    LinkState& link = lib.link;
    link.reader.reset();
    if (!link.connectedSinceOpen && !link.replacingSocket) ++link.failedAttempts;
    link.connectedSinceOpen = false;
    const std::int32_t port = lib.os.socket.remotePort();

    NotifyHost(lib, "conn|disconnect||");
    lib.config.CallState.clear();
    lib.os.timerConn.stop();
    if (lib.Finished || link.replacingSocket) return;
    WriteLog(lib, "CTI Socket Connect request",
             "Address:" + lib.config.CTI_IPs + " Port:" + std::to_string(port));
    ConnectCti(lib);
}

void CTISocketRead(Library& lib, std::string_view bytes) {
    LinkSink sink(lib);
    lib.link.reader.read(bytes, sink);
}

void CTISocketError(Library& lib, int errorKind, int& errorCode) {
    NotifyHost(lib, "conn|disconnect|disconnect(" + std::to_string(errorCode) + ")" + ErrorKindName(errorKind) + "|");
    errorCode = 0;
    lib.os.socket.close();
}

void TimerConnTimer(Library& lib) {
    TCONFIG_INFO& c = lib.config;
    lib.os.timerConn.stop();
    const std::string now = FormatCompact(lib.os.clock.now());
    const bool connected = IsConnected(lib);
    const std::string count = std::to_string(lib.ReconnectCount);
    WriteLog(lib, "TimerConn",
             std::string("isConnect:") + (connected ? "Y" : "F") + " / isFinish:" + (lib.Finished ? "Y" : "F") +
                 "\r[ReConnect:" + count + "/" + Budget() + "] Check Time:" + c.NextCheckTime +
                 " / Now time:" + now);
    if (c.NextCheckTime >= now) return;
    if (connected) {
        SendLinkCheck(lib);
        return;
    }
    // Reconnecting, or giving up, is this tick's decision alone.
    CloseWithoutReconnect(lib);
    ++lib.ReconnectCount;
    const std::string progress = "[" + std::to_string(lib.ReconnectCount) + "/" + Budget() + "]";
    if (lib.ReconnectCount <= kReconnectBudget) {
        ShowAlert(lib, "TimerConn", progress + " CTI connect Requst", 5);
        ConnectCti(lib);
        return;
    }
    WriteLog(lib, "TimerConn Exit",
             "[Check Time:" + c.NextCheckTime + " < Now time:" + now + "]Reconnection " + Budget() + "times check");
    NotifyHost(lib, "conn|fail|CTI connection Check" + progress + "Reconnect Over|");
    ShowAlert(lib, "TimerConn Exit", progress + " CTI connection Check!!!", 5);
    lib.Finished = true;
    lib.ReconnectCount = 0;
}

void SendLinkCheck(Library& lib) {
    if (!IsConnected(lib)) {
        NotifyHost(lib, "conn|disconnect|disconnect|");
        return;
    }
    const std::string result = Trim(SendCtiPacket(lib, BuildPacket("CONNCT", "R", "R|" + lib.config.PHONE_NO + "|")));
    if (!result.empty()) NotifyHost(lib, "conn|disconnect|" + result + "|");
}

}  // namespace veltrane::cti
