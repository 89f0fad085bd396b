// Shared by the tests of the account and telephony commands: a library
// started with a connected link, and readers of what it recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace veltrane::testing {

class CommandTest : public ::testing::Test {
protected:
    static constexpr const char* kMac = "00-1A-2B-3C-4D-5E";  // FakeSystem's

    TestLibrary t;
    Library& lib = t.lib;
    cti::Link& link = t.link;

    void SetUp() override { t.startConnected("0212345678"); }

    // The server closes a link that had been up for a minute, and the
    // reconnection attempt cannot even start, so the socket stays closed
    // with no attempt pending.
    void takeLinkDown() {
        t.clock.advance(60);
        t.socket.refuseOpen = true;
        t.socket.serverCloses();
        t.socket.refuseOpen = false;
        ASSERT_EQ(t.socket.state(), SocketState::Closed);
        t.clearRecords();
    }

    // Connection attempts started since the records were last cleared.
    std::size_t connectAttempts() const { return t.socket.opens.size(); }

    // Log lines of the commands themselves, without host-event and alert lines.
    std::vector<std::string> commandLog() const {
        std::vector<std::string> lines;
        for (const std::string& line : t.logLines())
            if (line.find("SEND_MSG => ") == std::string::npos && line.find("POPUP_INFO => ") == std::string::npos)
                lines.push_back(line);
        return lines;
    }

    // Counts the alerts already shown whenever the host receives an event,
    // to tell whether an alert came before or after it.
    std::vector<std::size_t> alertsAtEachEvent;
    void watchAlertOrder() {
        t.host.onCallback = [this](const std::string&) { alertsAtEachEvent.push_back(t.desktop.alerts.size()); };
    }
};

inline std::string Smsg(const std::string& event) { return "|SMSG|" + event; }
inline std::string Wire(const std::string& packet) { return packet + "\r\n"; }

}  // namespace veltrane::testing
