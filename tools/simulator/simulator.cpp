#include "simulator/simulator.h"

#include <algorithm>

#include "common/words.h"
#include "protocol/packet.h"
#include "base/text.h"
#include "base/form_text.h"

namespace veltrane::tools {

namespace {

std::string Field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

bool IsDialable(std::string_view number) {
    if (number.empty()) return false;
    return std::all_of(number.begin(), number.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

// A send time the simulated server takes: YYYYMMDDHHNN with optional
// seconds, digits possibly separated by "-", ":" or blanks.
bool IsSendTime(std::string_view time) {
    std::size_t digits = 0;
    for (char c : time) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c != '-' && c != ':' && c != ' ')
            return false;
    }
    return digits == 12 || digits == 14;
}

// Line breaks inside a value shown as \r and \n, so that it stays one line.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) line += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return line;
}

std::string JoinFrom(const std::vector<std::string>& words, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < words.size(); ++i) {
        if (i > first) text += ' ';
        text += words[i];
    }
    return text;
}

}  // namespace

// Hands the library's reader output to the simulator, one connection's worth.
class Simulator::Sink : public cti::PacketSink {
public:
    Sink(Simulator& simulator, ConnectionId id, Session& session, Millis now)
        : simulator_(simulator), id_(id), session_(session), now_(now) {}
    void linkAlive() override {}
    void log(std::string_view, const LogText&) override {}
    void dispatch(const std::string& kind, const std::string& result, const std::string& body) override {
        simulator_.handle(id_, session_, kind, result, body, now_);
    }

private:
    Simulator& simulator_;
    ConnectionId id_;
    Session& session_;
    Millis now_;
};

void Simulator::connected(ConnectionId id, const std::string& peer) {
    Session& session = sessions_[id] = Session{};
    note(id, "connected from " + peer);
    if (!flapping_) return;
    session.closing = true;
    note(id, "flapping: closed at once");
    out_.close(id);
}

void Simulator::received(ConnectionId id, std::string_view bytes, Millis now) {
    const auto found = sessions_.find(id);
    if (found == sessions_.end()) return;
    Session& session = found->second;
    Sink sink(*this, id, session, now);
    // Whole lines go to the library's own reader one at a time, so answers
    // keep the order of the requests. That reader keeps link checks to
    // itself (a client never hands them on), so they are answered here.
    for (const ReceivedLine& line : session.lines.add(bytes)) {
        out_.log("#" + std::to_string(id) + " <- " + line.text);
        if (!line.problem.empty()) problem(id, line.problem);
        if (std::string_view(line.text).substr(0, 17) == "|LINK|CONNCT    |") {
            answerLinkCheck(id, session, line.text);
            continue;
        }
        session.reader.read(line.text + "\r\n", sink);
    }
}

void Simulator::answerLinkCheck(ConnectionId id, Session& session, const std::string& line) {
    const std::string phone = Trim(Field(SplitBody(PacketBody(line)), 1));
    if (!phone.empty()) session.phone = phone;
    answer(id, "CONNCT", "S", "1|" + ownPhone(session) + "|");
}

void Simulator::disconnected(ConnectionId id) {
    const auto found = sessions_.find(id);
    if (found == sessions_.end()) return;
    const std::string rest = found->second.lines.flush();
    if (!IsBlank(rest)) out_.log("#" + std::to_string(id) + " <- " + rest + "   (no line end)");
    for (const std::string& sender : found->second.unacknowledgedSms)
        problem(id, "the SMS from " + sender + " was never acknowledged");
    sessions_.erase(found);
    note(id, "disconnected");
}

void Simulator::webRequest(const std::string& method, const std::string& target, const std::string& body,
                           const Headers& headers) {
    std::string entry = "web <- " + method + " " + target + (body.empty() ? "" : " " + body);
    if (method == "POST") {
        std::string type;
        for (const auto& [name, value] : headers) {
            entry += "\nheader " + name + ": " + value;
            if (EqualsIgnoringCase(name, "Content-Type")) type = value;
        }
        // What a service page receives: the fields as its form decoding gives them.
        constexpr std::string_view kForm = "application/x-www-form-urlencoded";
        if (type.empty() || EqualsIgnoringCase(std::string_view(type).substr(0, kForm.size()), kForm))
            for (const Parameter& field : ParseFormText(body))
                entry += "\nfield " + field.name + "=" + OneLine(field.value);
    }
    out_.log(entry);
    webPosts_.push_back(body);
}

void Simulator::handle(ConnectionId id, Session& session, const std::string& kindText, const std::string& marker,
                       const std::string& body, Millis now) {
    const std::string kind = Trim(kindText);
    const std::vector<std::string> fields = SplitBody(body);
    const std::string phone = Trim(Field(fields, 1));
    if (!phone.empty()) session.phone = phone;

    const bool acknowledgement = kind == "SMS" && marker == "S";
    if (marker != "R" && !acknowledgement) problem(id, "marker " + marker + " in a " + kind + " request");

    if (kind == "NUMBER") {
        const std::string mac = Trim(Field(fields, 2));
        if (phone != rules_.phone) {
            note(id, "NUMBER: " + phone + " is not a subscriber");
            answer(id, kind, "F", "1|" + phone + "|");
        } else if (certified_.count({phone, mac})) {
            answer(id, kind, "S", "2|" + phone + "|");
        } else {
            note(id, "NUMBER: certification number " + rules_.certificationNo + " sent to " + phone);
            answer(id, kind, "S", "1|" + phone + "|");
        }
    } else if (kind == "CERTIFY") {
        const std::string mac = Trim(Field(fields, 2));
        if (phone == rules_.phone && Field(fields, 3) == rules_.certificationNo) {
            certified_.insert({phone, mac});
            answer(id, kind, "S", "1|" + phone + "|");
        } else {
            answer(id, kind, "F", "1|" + phone + "|");
        }
    } else if (kind == "LOGIN") {
        const std::string mac = Trim(Field(fields, 2));
        std::string failure;
        if (phone != rules_.phone || (rules_.checkMac && !certified_.count({phone, mac})))
            failure = "1";  // this PC is not certified for the phone
        else if (Field(fields, 3) != rules_.loginId)
            failure = "2";
        else if (Field(fields, 4) != rules_.password)
            failure = "3";
        session.signedIn = failure.empty();
        if (failure.empty())
            answer(id, kind, "S", "1|" + phone + "|" + rules_.webAddress + "|");
        else
            answer(id, kind, "F", failure + "|" + phone + "|");
    } else if (kind == "LOGOUT") {
        const bool wasSignedIn = std::exchange(session.signedIn, false);
        session.call.reset();
        answer(id, kind, wasSignedIn ? "S" : "F", "1|" + phone + "|");
    } else if (kind == "CALL") {
        handleCall(id, session, fields, now);
    } else if (kind == "SMS" || kind == "BOOKED") {
        handleSms(id, session, kind, marker, fields);
    } else if (kind == "RECORD") {
        const bool calling = session.signedIn && session.call && session.call->status == 2;
        if (!calling) note(id, "RECORD: no connected call");
        answer(id, kind, calling ? "S" : "F", "1|" + phone + "|");
    } else {
        problem(id, "unknown request kind \"" + kind + "\", not answered");
    }
}

void Simulator::handleCall(ConnectionId id, Session& session, const std::vector<std::string>& fields, Millis now) {
    const std::string action = Field(fields, 0);
    const std::string phone = Trim(Field(fields, 1));
    const std::string number = Field(fields, 2);
    const auto fail = [&](const std::string& code, const std::string& why) {
        note(id, "CALL " + action + ": " + why);
        answer(id, "CALL", "F", code + "|" + phone + "|" + number + "|S|");
    };
    if (!session.signedIn) return fail("1", "not signed in");

    if (action == "R") {
        if (session.call) return fail("2", "a call is in progress");
        session.call = Call{number, "S", 1, now + rules_.answerAfterMs};
        sendCallStatus(id, session, false);
    } else if (action == "P") {
        if (!session.call || session.call->direction != "R" || session.call->status != 1)
            return fail("1", "no ringing call to pick up");
        session.call->status = 2;
        session.call->due = rules_.callLengthMs > 0 ? now + rules_.callLengthMs : 0;
        sendCallStatus(id, session, false);
    } else if (action == "H") {
        if (!session.call) return fail("1", "no call to hang up");
        session.call->status = 3;
        sendCallStatus(id, session, false);
    } else {
        fail("9", "unknown call action");
    }
}

void Simulator::handleSms(ConnectionId id, Session& session, const std::string& kind, const std::string& marker,
                          const std::vector<std::string>& fields) {
    const std::string phone = Trim(Field(fields, 1));
    const std::string number = Field(fields, 2);
    if (kind == "SMS" && marker == "S") {
        auto& waiting = session.unacknowledgedSms;
        const auto found = std::find(waiting.begin(), waiting.end(), number);
        if (found == waiting.end()) {
            problem(id, "acknowledgement of an SMS from " + number + " that was never delivered");
        } else {
            waiting.erase(found);
            note(id, "SMS from " + number + " acknowledged");
        }
        if (fields.size() != 4 || !fields[3].empty()) problem(id, "acknowledgement is not S|phone|sender||");
        return;
    }

    const std::string message = Field(fields, 3);
    const std::string rest = "|" + phone + "|" + number + "|" + message + "|";
    const auto refuse = [&](const std::string& code, const std::string& why) {
        note(id, kind + " to " + number + ": " + why);
        answer(id, kind, "F", code + rest);
    };
    const auto rule = rules_.smsFailures.find(number);
    if (!session.signedIn) return refuse("1", "not signed in");
    if (rule != rules_.smsFailures.end()) return refuse(std::to_string(rule->second), "refused by rule");
    if (!IsDialable(number)) return refuse("2", "not a phone number");
    if (message.empty()) return refuse("3", "empty message");
    if (kind == "BOOKED" && !IsSendTime(Field(fields, 4))) return refuse("4", "send time is not YYYYMMDDHHNN[SS]");
    answer(id, kind, "S", (kind == "BOOKED" ? std::to_string(++bookings_) : std::string("1")) + rest);
}

void Simulator::sendCallStatus(ConnectionId id, Session& session, bool byOperator) {
    const Call& call = *session.call;
    const std::string body = std::to_string(call.status) + "|" + ownPhone(session) + "|" + call.other + "|" +
                             call.direction + "|";
    if (byOperator)
        push(id, "CALL", "S", body);
    else
        answer(id, "CALL", "S", body);
    if (call.status == 3) session.call.reset();
}

void Simulator::advance(Millis now) {
    for (auto& [id, session] : sessions_) {
        if (session.closing || !session.call || session.call->due == 0 || session.call->due > now) continue;
        Call& call = *session.call;
        if (call.status == 1) {
            call.status = 2;
            call.due = rules_.callLengthMs > 0 ? now + rules_.callLengthMs : 0;
        } else {
            call.status = 3;
        }
        sendCallStatus(id, session, false);
    }
}

std::optional<Millis> Simulator::nextDue() const {
    std::optional<Millis> next;
    for (const auto& [id, session] : sessions_)
        if (!session.closing && session.call && session.call->due != 0)
            next = next ? std::min(*next, session.call->due) : session.call->due;
    return next;
}

void Simulator::answer(ConnectionId id, std::string_view kind, std::string_view marker, const std::string& body) {
    const std::string packet = cti::BuildPacket(kind, marker, body);
    if (silent_) {
        note(id, "silent, not sent: " + packet);
        return;
    }
    sendLine(id, packet);
}

void Simulator::push(ConnectionId id, std::string_view kind, std::string_view marker, const std::string& body) {
    sendLine(id, cti::BuildPacket(kind, marker, body));
}

void Simulator::sendLine(ConnectionId id, const std::string& line) {
    const auto found = sessions_.find(id);
    if (found == sessions_.end() || found->second.closing) return;
    out_.log("#" + std::to_string(id) + " -> " + line);
    out_.send(id, line + "\r\n");
}

void Simulator::note(ConnectionId id, const std::string& text) { out_.log("#" + std::to_string(id) + " ** " + text); }

void Simulator::problem(ConnectionId id, const std::string& text) {
    out_.log("#" + std::to_string(id) + " !! " + text);
}

std::string Simulator::ownPhone(const Session& session) const {
    return session.phone.empty() ? rules_.phone : session.phone;
}

std::vector<ConnectionId> Simulator::liveSessions() const {
    std::vector<ConnectionId> ids;
    for (const auto& [id, session] : sessions_)
        if (!session.closing) ids.push_back(id);
    return ids;
}

std::string Simulator::CommandHelp() {
    return "Commands (also on the control port, one a line; quote text with \"...\"):\n"
           "  info LEVEL TEXT      push an INFO notice; LEVEL I is important, any other normal\n"
           "  sms FROM TEXT        push a received SMS (marker R); the library must acknowledge it\n"
           "  ring FROM            push an inbound call (status 1, R); PICK_UP connects it\n"
           "  hangup               the other party ends the call (status 3)\n"
           "  packet KIND MARKER BODY   push any packet, framed with its length\n"
           "  raw TEXT             push TEXT as it stands, plus CR LF\n"
           "  drop                 close every client connection now (a server restart)\n"
           "  half-reset           send half of an INFO packet to every client, then reset the\n"
           "                       connection (RST)\n"
           "  flap [on|off]        close (or stop closing) every new connection as soon as it\n"
           "                       is accepted\n"
           "  silent [on|off]      stop (or resume) answering requests, link checks included\n"
           "  refuse [on|off]      stop (or resume) listening: new connections are refused\n"
           "                       (the current one stays; drop closes it)\n"
           "  expect-post PATTERN  ok when a body posted to the web address matches PATTERN (* and ?)\n"
           "  expect-acks          ok when every pushed SMS has been acknowledged\n"
           "  status               clients, sign-in and call state\n"
           "  quit                 end the simulator\n";
}

std::string Simulator::command(std::string_view line) {
    const auto parsed = SplitWords(line);
    if (!parsed) return "error unterminated quote";
    const std::vector<std::string>& words = *parsed;
    if (words.empty()) return "ok";
    const std::string& name = words[0];
    const auto onOff = [&](bool& flag) -> bool {
        const std::string value = words.size() > 1 ? words[1] : "on";
        if (value != "on" && value != "off") return false;
        flag = value == "on";
        return true;
    };
    const std::vector<ConnectionId> clients = liveSessions();
    const bool needsClient = name == "info" || name == "sms" || name == "ring" || name == "hangup" ||
                             name == "packet" || name == "raw" || name == "drop" || name == "half-reset";
    if (needsClient && clients.empty()) return "error no client connected";

    if (name == "help") return "ok\n" + CommandHelp();
    if (name == "info" && words.size() >= 3) {
        for (ConnectionId id : clients) push(id, "INFO", "S", words[1] + "|" + JoinFrom(words, 2) + "|");
        return "ok";
    }
    if (name == "sms" && words.size() >= 3) {
        for (ConnectionId id : clients) {
            Session& session = sessions_[id];
            session.unacknowledgedSms.push_back(words[1]);
            push(id, "SMS", "R", "1|" + ownPhone(session) + "|" + words[1] + "|" + JoinFrom(words, 2) + "|");
        }
        return "ok";
    }
    if (name == "ring" && words.size() == 2) {
        for (ConnectionId id : clients)
            if (sessions_[id].call) return "error a call is in progress";
        for (ConnectionId id : clients) {
            sessions_[id].call = Call{words[1], "R", 1, 0};
            sendCallStatus(id, sessions_[id], true);
        }
        return "ok";
    }
    if (name == "hangup" && words.size() == 1) {
        int ended = 0;
        for (ConnectionId id : clients) {
            Session& session = sessions_[id];
            if (!session.call) continue;
            session.call->status = 3;
            sendCallStatus(id, session, true);
            ++ended;
        }
        return ended ? "ok" : "error no call in progress";
    }
    if (name == "packet" && words.size() == 4) {
        for (ConnectionId id : clients) push(id, words[1], words[2], words[3]);
        return "ok";
    }
    if (name == "raw" && words.size() >= 2) {
        for (ConnectionId id : clients) sendLine(id, std::string(RestAfterWords(line, 1)));
        return "ok";
    }
    if (name == "drop" && words.size() == 1) {
        for (ConnectionId id : clients) {
            sessions_[id].closing = true;
            note(id, "dropping the connection");
            out_.close(id);
        }
        return "ok";
    }
    if (name == "half-reset" && words.size() == 1) {
        const std::string packet = cti::BuildPacket("INFO", "S", "N|this notice is cut off by a reset|");
        const std::string half = packet.substr(0, packet.size() / 2);
        for (ConnectionId id : clients) {
            out_.log("#" + std::to_string(id) + " -> " + half + "   (half a packet, then a reset)");
            out_.send(id, half);
            sessions_[id].closing = true;
            out_.reset(id);
        }
        return "ok";
    }
    if (name == "flap" && words.size() <= 2 && onOff(flapping_)) return flapping_ ? "ok flapping" : "ok accepting";
    if (name == "silent" && words.size() <= 2 && onOff(silent_)) return silent_ ? "ok silent" : "ok answering";
    if (name == "refuse" && words.size() <= 2 && onOff(refusing_)) {
        out_.refuse(refusing_);
        return refusing_ ? "ok refusing" : "ok listening";
    }
    if (name == "expect-post" && words.size() == 2) {
        for (const std::string& body : webPosts_)
            if (MatchesPattern(words[1], body)) return "ok " + body;
        return "error no posted body matches";
    }
    if (name == "expect-acks" && words.size() == 1) {
        std::size_t waiting = 0;
        for (ConnectionId id : clients) waiting += sessions_[id].unacknowledgedSms.size();
        return waiting == 0 ? "ok" : "error " + std::to_string(waiting) + " SMS not acknowledged";
    }
    if (name == "status" && words.size() == 1) {
        std::string text = "ok clients=" + std::to_string(clients.size()) + (silent_ ? " silent" : "") +
                           (flapping_ ? " flapping" : "") + (refusing_ ? " refusing" : "");
        for (ConnectionId id : clients) {
            const Session& session = sessions_[id];
            text += "\n#" + std::to_string(id) + " phone=" + session.phone +
                    (session.signedIn ? " signed-in" : " signed-out");
            if (session.call)
                text += " call=" + session.call->other + "/" + session.call->direction + "/" +
                        std::to_string(session.call->status);
        }
        return text;
    }
    if (name == "quit" && words.size() == 1) {
        out_.quit();
        return "ok bye";
    }
    return "error unknown command or wrong arguments: " + name + " (try help)";
}

}  // namespace veltrane::tools
