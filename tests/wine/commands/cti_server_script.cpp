#include "cti_server_script.h"

#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {

namespace {
std::vector<std::string> Fields(const std::string& body) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (std::size_t end; (end = body.find('|', at)) != std::string::npos; at = end + 1)
        fields.push_back(body.substr(at, end - at));
    return fields;
}

std::string Kind(const std::string& request) {
    std::string kind = request.substr(6, 10);
    return kind.substr(0, kind.find(' '));
}
}  // namespace

std::string AnswerLikeACtiServer(const std::string& request) {
    if (request.size() < 24 || request.rfind("|LINK|", 0) != 0) return {};
    const std::string kind = Kind(request);
    const std::string marker = request.substr(17, 1);
    std::vector<std::string> f = Fields(request.substr(24));
    f.resize(6);
    const std::string& phone = f[1];
    if (kind == "NUMBER")
        return ServerPacket("NUMBER", "S", "1|" + phone + "|") + ServerPacket("NUMBER", "S", "2|" + phone + "|");
    if (kind == "CERTIFY" || kind == "LOGOUT" || kind == "RECORD") return ServerPacket(kind, "S", "1|" + phone + "|");
    if (kind == "LOGIN") return ServerPacket("LOGIN", "S", "1|" + phone + "|" + kWebAddress + "|");
    if (kind == "CALL") {
        const std::string other = f[2];
        auto progress = [&](const char* status, const char* direction) {
            return ServerPacket("CALL", "S", std::string(status) + "|" + phone + "|" + other + "|" + direction + "|");
        };
        if (f[0] == "R") return progress("1", "S") + progress("2", "S");
        if (f[0] == "P") return progress("2", "R");
        if (f[0] == "H") return progress("3", "S");
        return {};
    }
    if (kind == "SMS" && marker == "R") return ServerPacket("SMS", "S", "1|" + phone + "|" + f[2] + "|" + f[3] + "|");
    if (kind == "BOOKED") return ServerPacket("BOOKED", "S", "1|" + phone + "|" + f[2] + "|" + f[3] + "|");
    return {};
}

}  // namespace veltrane::wine
