// What the host may do inside its callback: whatever the library was
// handling, the host meets it done. A host that calls an export from the
// first event of a handling gets that export carried out in full and leaves
// the library consistent; one that throws changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "account/login.h"
#include "link/link.h"
#include "support/fake_platform.h"
#include "support/server_packet.h"
#include "telephony/call.h"
#include "web/command_get.h"

namespace veltrane::session {
namespace {

using testing::ServerPacket;
using testing::TestLibrary;
using Strings = std::vector<std::string>;

// One way the owner thread comes to handle something, from where it starts.
struct Handling {
    const char* name;
    std::function<void(TestLibrary&)> setUp;
    std::function<void(TestLibrary&)> run;
};

void SignedIn(TestLibrary& t) {
    t.startConnected("0212345678");
    t.lib.user.CallState = "L";
}

const Handling kHandlings[] = {
    {"socket connect", [](TestLibrary& t) { t.start(); }, [](TestLibrary& t) { t.socket.acceptConnection(); }},
    {"socket read", SignedIn,
     [](TestLibrary& t) {
         t.socket.receive(ServerPacket("CALL", "R", "2|0212345678|0311112222|S|") +
                          ServerPacket("INFO", "R", "N|notice|"));
     }},
    {"socket close", SignedIn,
     [](TestLibrary& t) {
         t.clock.advance(60);
         t.socket.serverCloses();
     }},
    {"socket error", [](TestLibrary& t) { t.start(); }, [](TestLibrary& t) { t.socket.fail(3, 10061); }},
    {"supervision tick",
     [](TestLibrary& t) {
         SignedIn(t);
         t.clock.advance(60);
         t.handle([&] { cti::TimerConnTimer(t.link); });  // the link check goes out
         t.clock.advance(30);
     },
     [](TestLibrary& t) { t.handle([&] { cti::TimerConnTimer(t.link); }); }},
    {"command-server request", SignedIn,
     [](TestLibrary& t) {
         t.handle([&] {
             web::HTTPServerCommandGet(t.web, ParseFormText("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101"));
         });
     }},
    {"export DIAL, blank number", SignedIn, [](TestLibrary& t) { t.call([&] { telephony::DIAL(t.link, " "); }); }},
    {"export DIAL, send fails", SignedIn,
     [](TestLibrary& t) {
         t.clock.advance(60);
         t.socket.refuseSend = true;
         t.call([&] { telephony::DIAL(t.link, "0311112222"); });
         t.socket.refuseSend = false;
     }},
    {"export PC_LOGIN, link down",
     [](TestLibrary& t) {
         t.start();
         t.socket.fail(3, 10061);
     },
     [](TestLibrary& t) { t.call([&] { account::PC_LOGIN(t.link, "0212345678", "agent", "pw"); }); }},
    {"export DLL_START", SignedIn,
     [](TestLibrary& t) { t.call([&] { t.session.start(TestLibrary::kBase, "Host Window"); }); }},
};

bool Contains(const Strings& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& text) { return text.find(part) != std::string::npos; });
}

// What the host does from the first event of the handling, and how to tell
// that it was carried out in full: its request went out, or its event came.
struct Reaction {
    const char* name;
    std::function<void(TestLibrary&)> act;
    std::function<bool(TestLibrary&)> done;
};

const Reaction kReactions[] = {
    {"DIAL", [](TestLibrary& t) { t.call([&] { telephony::DIAL(t.link, "0399998888"); }); },
     [](TestLibrary& t) {
         return Contains(t.socket.packets, "|0399998888|") || Contains(t.events(), "|0399998888|dialing|S|");
     }},
    {"PC_LOGIN", [](TestLibrary& t) { t.call([&] { account::PC_LOGIN(t.link, "0212345678", "agent", "pw"); }); },
     [](TestLibrary& t) { return Contains(t.socket.packets, "|LINK|LOGIN") || Contains(t.events(), "|login|fail|"); }},
    {"DLL_START", [](TestLibrary& t) { t.call([&] { t.session.start(TestLibrary::kBase, "Host Window"); }); },
     [](TestLibrary& t) { return Contains(t.events(), "|dllstart|success|"); }},
};

// The link's state, the socket and the timers tell the same story, and
// every socket that closed was told to the host once.
void ExpectConsistent(TestLibrary& t, bool socketOpenBefore) {
    using cti::LinkState;
    const LinkState state = t.link.state;
    const bool connected = state == LinkState::Connected || state == LinkState::Broken;
    const bool opening = state == LinkState::Connecting || state == LinkState::Retrying;
    EXPECT_EQ(t.socket.state() == SocketState::Connected, connected);
    EXPECT_EQ(t.socket.state() == SocketState::Opening, opening);
    EXPECT_EQ(t.connectPause.running, state == LinkState::Waiting);
    if (t.timerConn.running) EXPECT_TRUE(connected);
    const std::size_t closed = t.socket.opens.size() + socketOpenBefore - (connected || opening);
    const Strings& events = t.events();
    EXPECT_EQ(static_cast<std::size_t>(std::count(events.begin(), events.end(), "|SMSG|conn|disconnect||")), closed);
}

// What a host could tell of the library afterwards.
struct Snapshot {
    cti::LinkState state;
    SocketState socket;
    std::size_t opens;
    Strings packets;
    std::string callState, guestPhone;
    bool timerConn, connectPause;
    Strings sortedEvents;
    bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& s, std::ostream* os) {
    *os << "link " << static_cast<int>(s.state) << ", socket " << static_cast<int>(s.socket) << ", opens " << s.opens
        << ", packets " << s.packets.size() << ", CallState '" << s.callState << "', GUEST_PHONE '" << s.guestPhone
        << "', timers " << s.timerConn << s.connectPause << ", events:";
    for (const std::string& event : s.sortedEvents) *os << " " << event;
}

Snapshot Take(TestLibrary& t) {
    Strings events = t.events();
    std::sort(events.begin(), events.end());
    return {t.link.state, t.socket.state(), t.socket.opens.size(), t.socket.packets, t.lib.user.CallState,
            t.lib.config.GUEST_PHONE, t.timerConn.running, t.connectPause.running, events};
}

Snapshot RunAlone(const Handling& handling) {
    TestLibrary t;
    handling.setUp(t);
    t.clearRecords();
    handling.run(t);
    return Take(t);
}

TEST(HostTurns, ExportFromTheCallbackMeetsTheHandlingDone) {
    for (const Handling& handling : kHandlings) {
        for (const Reaction& reaction : kReactions) {
            SCOPED_TRACE(std::string(handling.name) + ", host calls " + reaction.name);
            TestLibrary t;
            handling.setUp(t);
            t.clearRecords();
            const bool socketOpenBefore = t.socket.state() != SocketState::Closed;
            int calls = 0;
            t.host.onCallback = [&](const std::string&) {
                if (calls++ == 0) reaction.act(t);
            };
            handling.run(t);
            ASSERT_GT(calls, 0);
            EXPECT_TRUE(reaction.done(t));
            ExpectConsistent(t, socketOpenBefore);
        }
    }
}

TEST(HostTurns, CallbackThatThrowsChangesNothingAndIsLoggedOnce) {
    for (const Handling& handling : kHandlings) {
        SCOPED_TRACE(handling.name);
        const Snapshot alone = RunAlone(handling);
        ASSERT_FALSE(alone.sortedEvents.empty());

        TestLibrary t;
        handling.setUp(t);
        t.clearRecords();
        t.host.onCallback = [](const std::string&) { throw std::runtime_error("host bug"); };
        handling.run(t);
        EXPECT_EQ(Take(t), alone);
        EXPECT_EQ(t.logTexts("NotifyHost"), Strings{"host callback threw"});
    }
}

// The day's log stays open through a turn and is closed once its events are
// delivered, so other programs can read, move or delete it between turns.
TEST(HostTurns, FilesAreClosedAfterTheTurnsEventsAreDelivered) {
    for (const Handling& handling : kHandlings) {
        SCOPED_TRACE(handling.name);
        TestLibrary t;
        handling.setUp(t);
        t.clearRecords();
        int closesAtLastEvent = -1;
        t.host.onCallback = [&](const std::string&) { closesAtLastEvent = t.files.closes; };
        handling.run(t);
        ASSERT_GE(closesAtLastEvent, 0);
        EXPECT_GT(t.files.closes, closesAtLastEvent);
        EXPECT_EQ(t.files.appendsAtClose, t.files.appended.size());
    }
}

}  // namespace
}  // namespace veltrane::session
