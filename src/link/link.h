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
// every new connection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/library.h"

namespace veltrane::cti {

inline constexpr int kReconnectBudget = 10;
inline constexpr std::int32_t kTimerConnInterval = 30000;  // the longest tick
inline constexpr std::int64_t kShortLivedMs = 5000;
inline constexpr std::int64_t kSettledMs = 60000;
inline constexpr std::int32_t kFirstPauseMs = 500;
inline constexpr std::int32_t kLongestPauseMs = 30000;
inline constexpr const char* kLinkCheckUnanswered = "conn|disconnect|link check unanswered|";

// Comma text: entries end at a comma or a blank, quoted entries are taken
// whole, an empty entry between two commas counts.
std::vector<std::string> SplitCommaText(std::string_view text);

// Starts a connection attempt to the next address of CTI_IPs, after the
// pause that the failures before it call for. An attempt already waiting
// out its pause is left to it.
bool ConnectCti(Library& lib);
void SendLinkCheck(Library& lib);

// DLL_START, PC_LOGIN, CERTIFICATION_NO and CERTIFICATION_PC: the next
// attempt goes at once, the budget starts afresh, and a give-up is lifted.
void HostActed(Library& lib);

// Socket and timer events, run on the owner thread.
void CTISocketConnect(Library& lib);
void CTISocketDisconnect(Library& lib);
void CTISocketRead(Library& lib, std::string_view bytes);
void CTISocketError(Library& lib, int errorKind, int& errorCode);
void TimerConnTimer(Library& lib);
// The pause before a new attempt is over: open the socket.
void ConnectPauseTimer(Library& lib);

// TimerConn's interval: short enough for the configured timings.
std::int32_t TimerConnInterval(const TCONFIG_INFO& config);

// Names of the socket error kinds 0..6; empty for others.
std::string ErrorKindName(int errorKind);

}  // namespace veltrane::cti
