// A server packet as the feature that handles its kind reads it, and the
// interface through which the session hands it over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text.h"

namespace veltrane::cti {

// One server packet. The body's fields are read one after another; the
// sub-kind and the phone number are read before the handler sees it.
struct ServerMessage {
    explicit ServerMessage(const std::string& body) : fields(body) {}

    bool failed = false;  // MsgResult "F"
    std::string result;   // MsgResult as received
    std::string subKind;
    std::string phoneNo;
    FieldReader fields;  // what follows the fields read so far

    std::string resultWord() const { return failed ? "fail" : "success"; }
};

// The codes 1..N of a detail table row; anything else gives an empty detail.
template <std::size_t N>
std::string DetailFor(std::int32_t code, const char* const (&details)[N]) {
    return code >= 1 && code <= static_cast<std::int32_t>(N) ? details[code - 1] : "";
}

// What a feature does with the server packets of its kinds.
class ServerPacketHandler {
public:
    enum class Handled {
        NotMine,  // a kind of another feature
        Done,
        // The packet needed an integer code and had none: its handling
        // ended there, with the steps before it in effect.
        CodeMissing,
    };

    virtual ~ServerPacketHandler() = default;
    // `kind` is trimmed.
    virtual Handled handle(const std::string& kind, ServerMessage& message) = 0;
};

}  // namespace veltrane::cti
