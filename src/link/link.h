// The CTI link: one connection at a time to the addresses of CTI_IPs in
// turn, supervised, and every transition of its state in one place
// (link.cpp).
//
// States. Stopped before DLL_START and after DLL_FINISH; Idle when there is
// no address to try; Waiting out the pause before an attempt; Connecting
// (name lookup, TCP, TLS handshake); Connected; Broken when a send failed
// (closed in the link's next turn); GaveUp when the reconnection budget is
// spent; Retrying while an attempt made after giving up is under way.
//
// Pacing. An attempt fails when it does not connect or its connection ends
// within kShortLivedMs. After n failures in a row the next attempt waits
// 0.5 s x 2^(n-1), at most 30 s, each pause spread by +-20 % at random. The
// count goes back to 0 only when a connection has stayed up kSettledMs, or
// the host acts (HostActed). A connection that stays up past kShortLivedMs
// ends the run of failures that counts against kReconnectBudget; the
// failure past the budget gives up ("Reconnect Over") until the host acts,
// or, when CTI_RETRY_SECONDS is set, until a quiet attempt every that many
// seconds finds the server again.
//
// Dead links. While connected, TimerConn ticks; once CTI_SILENCE_SECONDS
// pass without a packet a "CONNCT" check goes out, and when no packet
// arrives within CTI_ANSWER_SECONDS of it the link is closed with the event
// "conn|disconnect|link check unanswered|" and reopened as after any loss.
//
// Sign-in. A link that was signed in signs in again on every new
// connection: the session does it when told of the connection.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/library.h"
#include "protocol/reader.h"

namespace veltrane::cti {

// One server packet as the link hands it up.
struct ServerFrame {
    std::string kind;    // as received, padding included
    std::string result;
    std::string body;    // without blanks around it
};

// What the link hands up to the session.
class LinkEvents {
public:
    virtual ~LinkEvents() = default;
    // A connection is up and the host has been told.
    virtual void connected() = 0;
    virtual void packet(const ServerFrame& frame) = 0;
};

enum class LinkState { Stopped, Idle, Waiting, Connecting, Connected, Broken, GaveUp, Retrying };

// What the reader cut out, waiting for its turn to be logged and handed
// up: a packet, or (without a frame) what the reader passed over.
struct ReceivedPacket {
    std::optional<ServerFrame> frame;
    std::string text;    // the packet as received; or what the log says of what was passed over
    std::string length;  // the packet's length field as received
    int numberInRead = 0;
};

struct Link {
    Link(Library& library, LinkEvents& up) : lib(library), events(up) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    Library& lib;
    LinkEvents& events;
    CtiReader reader;

    LinkState state = LinkState::Stopped;
    // The server accepted this user's LOGIN and no logout has followed.
    bool signedIn = false;
    // The entry of CTI_IPs the next attempt goes to.
    int addressIndex = 0;
    // Failed attempts since the link last stayed up kSettledMs or the host
    // acted: they set the pause before the next attempt.
    int failures = 0;
    // Failed attempts since a connection last stayed up kShortLivedMs, the
    // host acted or the library gave up: they count against the budget.
    int budgetSpent = 0;
    // Waiting: where the attempt goes once its pause is over.
    std::string pendingHost;
    std::int32_t pendingPort = 0;
    // Clock::elapsedMs of the connection now open; empty while there is none.
    std::optional<std::int64_t> connectedAt;
    // Of the last packet received, or of the connection.
    std::int64_t lastPacketAt = 0;
    // Of the link check that has had no answer yet.
    std::optional<std::int64_t> checkSentAt;
    // The silence moment (DLL_TIME) as "YYYYMMDDHHNNSS", for the log.
    std::string nextCheckTime;
    // Cut out of the bytes received, not yet handed up.
    std::deque<ReceivedPacket> received;
};

inline constexpr int kReconnectBudget = 10;
inline constexpr std::int32_t kTimerConnInterval = 30000;  // the longest tick
inline constexpr std::int64_t kShortLivedMs = 5000;
inline constexpr std::int64_t kSettledMs = 60000;
inline constexpr std::int32_t kFirstPauseMs = 500;
inline constexpr std::int32_t kLongestPauseMs = 30000;
inline constexpr const char* kLinkCheckUnanswered = "conn|disconnect|link check unanswered|";  // a host event
// What one turn of the owner thread hands up of the packets received, at
// most; the rest waits for the link's next turn (Platform::linkWork).
inline constexpr int kPacketsPerTurn = 256;
inline constexpr std::int64_t kMillisecondsPerTurn = 8;

inline bool IsConnected(const Link& link) { return link.state == LinkState::Connected; }

// Comma text: entries end at a comma or a blank, quoted entries are taken
// whole, an empty entry between two commas counts.
std::vector<std::string> SplitCommaText(std::string_view text);

// DLL_START: whatever was open is closed, nobody is signed in any more, and
// the first address is tried at once.
void StartLink(Link& link);
// DLL_FINISH: the link is closed for good. True when a connection was open.
bool StopLink(Link& link);

// DLL_START, PC_LOGIN, CERTIFICATION_NO and CERTIFICATION_PC: the budget and
// the pauses start afresh, and a give-up is lifted.
void HostActed(Link& link);
// The host wants the link now (its request found it down): a pause is cut
// short, and a link that gave up or has no attempt under way tries the next
// address at once. An attempt under way is left to go on.
void ConnectNow(Link& link);

// A request could not be sent: the connection is closed in the link's next
// turn, and a new one made as after any loss.
void SendFailed(Link& link);

// Socket and timer events, run on the owner thread.
void CTISocketConnect(Link& link);
void CTISocketDisconnect(Link& link);
void CTISocketRead(Link& link, std::string_view bytes);
// Told before the socket's disconnect event.
void CTISocketError(Link& link, int errorKind, int errorCode);
void CTISocketTlsFailure(Link& link, std::string_view reason);
void TimerConnTimer(Link& link);
// The pause before a new attempt (or a retry after giving up) is over.
void ConnectPauseTimer(Link& link);
// The link's own turn (Platform::linkWork): closes a connection a send
// broke, or hands up the next turn's worth of packets.
void LinkWork(Link& link);

void SendLinkCheck(Link& link);

// TimerConn's interval: short enough for the configured timings.
std::int32_t TimerConnInterval(const TCONFIG_INFO& config);

// Names of the socket error kinds 0..6; empty for others.
std::string ErrorKindName(int errorKind);

}  // namespace veltrane::cti
