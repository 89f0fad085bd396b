// Connection supervision of the CTI link: the rotating address list, the
// socket's events, the supervision timer and the link check.
//
// Pacing. An attempt fails when it does not connect or its connection ends
// within kShortLivedMs. After n failures in a row the next attempt waits
// 0.5 s x 2^(n-1), at most 30 s, each pause spread by +-20 % at random. The
// count goes back to 0 only when a connection has stayed up kSettledMs, or
// the host acts (HostActed). A connection that stays up past kShortLivedMs
// ends the run of failures that counts against kReconnectBudget; the
// failure past the budget gives up ("Reconnect Over") until the host acts.
//
// Dead links. While connected, TimerConn ticks; once CTI_SILENCE_SECONDS
// pass without a packet a "CONNCT" check goes out, and when no packet
// arrives within CTI_ANSWER_SECONDS of it the link is closed with the event
// "conn|disconnect|link check unanswered|" and reopened as after any loss.
//
// Sign-in. A link that was signed in (Library::SignedIn) signs in again on
// every new connection: the session does it when told of the connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/library.h"
#include "protocol/reader.h"

namespace veltrane::cti {

// What the link hands up to the session.
class LinkEvents {
public:
    virtual ~LinkEvents() = default;
    // A connection is up and the host has heard of it.
    virtual void connected() = 0;
    // One server packet: kind as received (padded), result code, trimmed body.
    virtual void packet(const std::string& kind, const std::string& result, const std::string& body) = 0;
};

// The CTI link of one library: what it remembers between events, and where
// it hands up what it receives.
struct Link {
    Link(Library& library, LinkEvents& up) : lib(library), events(up) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    Library& lib;
    LinkEvents& events;
    CtiReader reader;
    // Set while ConnectCti closes the old socket, so that the disconnect
    // event this causes does not start a second attempt.
    bool replacingSocket = false;
    // A connection attempt waiting out its pause (see ConnectCti).
    bool attemptPending = false;
    std::string pendingHost;
    std::int32_t pendingPort = 0;
    // Failed attempts in a row (no connection, or one that ended within
    // seconds): they set the pause before the next attempt.
    int failedAttempts = 0;
    // Set when the reconnection budget ran out; the host acting again lifts it.
    bool gaveUp = false;
    // Clock::elapsedMs of the connection now open; empty while there is none.
    std::optional<std::int64_t> connectedAt;
    // Of the last packet received, or of the connection.
    std::int64_t lastPacketAt = 0;
    // Of the link check that has had no answer yet.
    std::optional<std::int64_t> checkSentAt;
};

inline constexpr int kReconnectBudget = 10;
inline constexpr std::int32_t kTimerConnInterval = 30000;  // the longest tick
inline constexpr std::int64_t kShortLivedMs = 5000;
inline constexpr std::int64_t kSettledMs = 60000;
inline constexpr std::int32_t kFirstPauseMs = 500;
inline constexpr std::int32_t kLongestPauseMs = 30000;
inline constexpr const char* kLinkCheckUnanswered = "conn|disconnect|link check unanswered|";  // a host event

// Comma text: entries end at a comma or a blank, quoted entries are taken
// whole, an empty entry between two commas counts.
std::vector<std::string> SplitCommaText(std::string_view text);

// Starts a connection attempt to the next address of CTI_IPs, after the
// pause that the failures before it call for. An attempt already waiting
// out its pause is left to it.
// Fails (logged) when no attempt could be started.
Outcome ConnectCti(Link& link);
void SendLinkCheck(Link& link);

// DLL_START, PC_LOGIN, CERTIFICATION_NO and CERTIFICATION_PC: the next
// attempt goes at once, the budget starts afresh, and a give-up is lifted.
void HostActed(Link& link);

// Socket and timer events, run on the owner thread.
void CTISocketConnect(Link& link);
void CTISocketDisconnect(Link& link);
void CTISocketRead(Link& link, std::string_view bytes);
void CTISocketError(Link& link, int errorKind, int& errorCode);
void TimerConnTimer(Link& link);
// The pause before a new attempt is over: open the socket.
void ConnectPauseTimer(Link& link);

// TimerConn's interval: short enough for the configured timings.
std::int32_t TimerConnInterval(const TCONFIG_INFO& config);

// Names of the socket error kinds 0..6; empty for others.
std::string ErrorKindName(int errorKind);

}  // namespace veltrane::cti
