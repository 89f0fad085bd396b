// The local command server's requests: click-to-call and the SMS requests a
// web page hands to the host.
#pragma once

#include <string>

#include "web/command_request.h"
#include "web/web.h"
#include "base/form_text.h"

namespace veltrane::web {

// The log label of a request code ("CS", "SS", "SI"); empty for others.
std::string CommandLabel(const std::string& kind);

// Handles one request's parameters. Runs on the owner thread; an error it
// does not catch leaves it at that point.
void HTTPServerCommandGet(Web& web, const Parameters& parameters);

// HTTPServerCommandGet with its errors caught: fails with the error's
// message, for the 500 answer, when it did not run to its end.
Outcome RunCommandGet(Web& web, const Parameters& parameters);

// One whole request on the owner thread: refuses pages that may not use the
// server (403, one log line, nothing else), answers CORS preflights, and
// runs HTTPServerCommandGet for the rest. Never throws.
CommandAnswer ServeCommand(Web& web, const CommandRequest& request);

}  // namespace veltrane::web
