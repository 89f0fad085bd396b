#include "protocol/server_packets.h"

#include "base/text.h"

namespace veltrane::cti {

namespace {
// The fields every kind but INFO starts with; `fields` is left at the next one.
Answer ReadHead(std::string_view result, FieldReader& fields) {
    return {std::string(result), fields.next(), fields.next()};
}
}  // namespace

std::optional<std::int32_t> Answer::code() const { return ParseInt(subKind); }

InfoNotice ReadInfo(std::string_view body) {
    FieldReader fields(body);
    return {fields.next(), fields.next()};
}

Answer ReadAnswer(std::string_view result, std::string_view body) {
    FieldReader fields(body);
    return ReadHead(result, fields);
}

// Braced initialisers are evaluated in order: the fields are read as they stand.

LoginAnswer ReadLogin(std::string_view result, std::string_view body) {
    FieldReader fields(body);
    return {ReadHead(result, fields), fields.next()};
}

CallReport ReadCall(std::string_view result, std::string_view body) {
    FieldReader fields(body);
    return {ReadHead(result, fields), fields.next(), fields.next()};
}

SmsReport ReadSms(std::string_view result, std::string_view body) {
    FieldReader fields(body);
    return {ReadHead(result, fields), fields.next(), fields.next()};
}

}  // namespace veltrane::cti
