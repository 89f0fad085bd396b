// Connection supervision of the CTI link: the rotating address list, the
// socket's events, the supervision timer and the link check.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/library.h"

namespace veltrane::cti {

inline constexpr int kReconnectBudget = 10;
inline constexpr std::int32_t kTimerConnInterval = 30000;
inline constexpr int kSilenceLimitSeconds = 60;

// Comma text: entries end at a comma or a blank, quoted entries are taken
// whole, an empty entry between two commas counts.
std::vector<std::string> SplitCommaText(std::string_view text);

// Starts a connection attempt to the next address of CTI_IPs.
bool ConnectCti(Library& lib);
void SendLinkCheck(Library& lib);

// Socket and timer events, run on the owner thread.
void CTISocketConnect(Library& lib);
void CTISocketDisconnect(Library& lib);
void CTISocketRead(Library& lib, std::string_view bytes);
void CTISocketError(Library& lib, int errorKind, int& errorCode);
void TimerConnTimer(Library& lib);
// The pause before a new attempt is over: open the socket.
void ConnectPauseTimer(Library& lib);

// Names of the socket error kinds 0..6; empty for others.
std::string ErrorKindName(int errorKind);

}  // namespace veltrane::cti
