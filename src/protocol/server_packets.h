// The server's packets, each kind read once into the fields it carries.
// Every body is "|"-separated fields: a sub-kind first, then (for all kinds
// but INFO) the user's phone number, then what the kind adds. The field
// lists below are the protocol's schema.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::cti {

// INFO: a notice of the server; "I" marks an important one.
struct InfoNotice {
    std::string subKind;
    std::string text;
};

// NUMBER, CERTIFY, LOGOUT and RECORD carry this alone; the other kinds add
// their fields to it.
struct Answer {
    std::string result;   // the packet's result code: "F" failed, "R" received, ...
    std::string subKind;  // a status or failure code, in digits for most kinds
    std::string phoneNo;

    bool failed() const { return result == "F"; }
    const char* resultWord() const { return failed() ? "fail" : "success"; }
    // The sub-kind as a number; none when it is not one.
    std::optional<std::int32_t> code() const;
};

struct LoginAnswer : Answer {
    std::string webAddress;  // of the service's pages
};

// CALL: a call's progress; subKind "1" dialing, "2" calling, "3" finished.
struct CallReport : Answer {
    std::string otherParty;
    std::string direction;  // "S" outbound, "R" inbound
};

// SMS and BOOKED: the answer to a request (result "S" or "F") or, for SMS
// with result "R", a message received from `otherParty`.
struct SmsReport : Answer {
    std::string otherParty;
    std::string message;
};

InfoNotice ReadInfo(std::string_view body);
Answer ReadAnswer(std::string_view result, std::string_view body);
LoginAnswer ReadLogin(std::string_view result, std::string_view body);
CallReport ReadCall(std::string_view result, std::string_view body);
SmsReport ReadSms(std::string_view result, std::string_view body);

// The codes 1..N of a detail table row; anything else gives an empty detail.
template <std::size_t N>
std::string DetailFor(std::int32_t code, const char* const (&details)[N]) {
    return code >= 1 && code <= static_cast<std::int32_t>(N) ? details[code - 1] : "";
}

}  // namespace veltrane::cti
