// The simulated CTI server: the server side of the protocol, without
// sockets. The program around it feeds it connections, received bytes,
// commands and the passing of time, and carries out what it asks through
// SimulatorOutput. All text is in the wire's code page.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/reader.h"
#include "simulator/request_frame.h"
#include "simulator/rules.h"

namespace veltrane::tools {

using Millis = std::int64_t;
using ConnectionId = int;

class SimulatorOutput {
public:
    virtual ~SimulatorOutput() = default;
    // Neither may call back into the simulator: the program reports a failed
    // send or a finished close later, through Simulator::disconnected.
    virtual void send(ConnectionId id, const std::string& bytes) = 0;
    virtual void close(ConnectionId id) = 0;
    // Closes with a reset (RST) instead of an orderly end.
    virtual void reset(ConnectionId id) = 0;
    virtual void refuse(bool refusing) = 0;  // stop or resume listening
    virtual void quit() = 0;
    virtual void log(const std::string& line) = 0;  // one transcript line
};

class Simulator {
public:
    Simulator(ServerRules rules, SimulatorOutput& out)
        : rules_(std::move(rules)), out_(out), silent_(rules_.silent), flapping_(rules_.flapping) {}

    void connected(ConnectionId id, const std::string& peer);
    void received(ConnectionId id, std::string_view bytes, Millis now);
    void disconnected(ConnectionId id);
    // A form post (or any request) that reached the web address. A POST is
    // logged with its headers and, when form-encoded, its decoded fields.
    using Headers = std::vector<std::pair<std::string, std::string>>;
    void webRequest(const std::string& method, const std::string& target, const std::string& body,
                    const Headers& headers = {});

    // One command line; the answer starts with "ok" or "error".
    std::string command(std::string_view line);
    static std::string CommandHelp();

    // Sends the call progress that is due by `now`.
    void advance(Millis now);
    std::optional<Millis> nextDue() const;

private:
    struct Call {
        std::string other;
        std::string direction;  // "S" outbound, "R" inbound
        int status = 0;         // 1 dialing or ringing, 2 calling
        Millis due = 0;         // when the next status goes out; 0: not by time
    };
    struct Session {
        cti::CtiReader reader;
        LineCutter lines;
        std::string phone;  // own number of the last request
        bool signedIn = false;
        bool closing = false;
        std::optional<Call> call;
        std::vector<std::string> unacknowledgedSms;  // senders
    };
    class Sink;

    void handle(ConnectionId id, Session& session, const std::string& kind, const std::string& marker,
                const std::string& body, Millis now);
    void answerLinkCheck(ConnectionId id, Session& session, const std::string& line);
    void handleCall(ConnectionId id, Session& session, const std::vector<std::string>& fields, Millis now);
    void handleSms(ConnectionId id, Session& session, const std::string& kind, const std::string& marker,
                   const std::vector<std::string>& fields);

    // An answer: left out while the server is silent.
    void answer(ConnectionId id, std::string_view kind, std::string_view marker, const std::string& body);
    // A packet the operator asked for: sent even while silent.
    void push(ConnectionId id, std::string_view kind, std::string_view marker, const std::string& body);
    void sendLine(ConnectionId id, const std::string& line);
    void sendCallStatus(ConnectionId id, Session& session, bool byOperator);
    void note(ConnectionId id, const std::string& text);
    // Something the library sent that a real server would not expect.
    void problem(ConnectionId id, const std::string& text);
    std::string ownPhone(const Session& session) const;
    std::vector<ConnectionId> liveSessions() const;

    ServerRules rules_;
    SimulatorOutput& out_;
    std::map<ConnectionId, Session> sessions_;
    std::set<std::pair<std::string, std::string>> certified_;  // phone, MAC
    std::vector<std::string> webPosts_;
    bool silent_ = false;
    bool flapping_ = false;
    bool refusing_ = false;
    int bookings_ = 0;
};

}  // namespace veltrane::tools
