// One request of the local command server as the owner thread judges and
// serves it, and the answer it decides on.
#pragma once

#include <string>

#include "base/form_text.h"
#include "web/origin_rule.h"

namespace veltrane::web {

struct CommandRequest {
    std::string method;  // "GET", "HEAD", "POST" or "OPTIONS"
    RequestSource source;
    Parameters parameters;
};

struct CommandAnswer {
    enum class Kind {
        Ok,         // 200, empty
        Preflight,  // 204 with the CORS permissions
        Forbidden,  // 403, empty
        Error,      // 500 with `error` as its body
    };
    Kind kind = Kind::Ok;
    std::string allowOrigin;  // not empty: Access-Control-Allow-Origin with it
    std::string error;
};

}  // namespace veltrane::web
