// What the local command server answers to a complete request, and the
// interface through which it hands the request to the library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "web/form_text.h"
#include "web/http_request.h"

namespace veltrane::web {

// The library as the server's connection threads see it. Both functions are
// called on connection threads and may be called by several at once.
class HttpRequestSink {
public:
    virtual ~HttpRequestSink() = default;
    // Runs HTTPServerCommandGet for the parameters on the library's owner
    // thread and returns when it is done: nothing when it ran to its end,
    // else the message of the error that stopped it (answered with 500).
    virtual std::optional<std::string> handle(const Parameters& parameters) = 0;
    // Writes one diagnostic log line; must not wait for the owner thread.
    virtual void log(const std::string& name, const std::string& text) = 0;

    // Told by the server on the thread that starts and stops it. From
    // serverStopping() on, handle() must return without waiting for the
    // owner thread: the server waits for its connection threads to end, and
    // the owner thread may be the one waiting.
    virtual void serverStarted() {}
    virtual void serverStopping() {}
};

// "HTTP/1.1 200 OK", text/html, no body.
std::string OkAnswer();
// 500 with the error message as a plain-text body (left out for HEAD).
std::string ErrorAnswer(std::string_view message, bool withBody = true);
// 403 for a request from a page that named another host.
std::string ForbiddenAnswer();

// Checks the Host, hands the parameters to the sink and returns the bytes to
// answer with. The answer never tells how the request itself went.
std::string AnswerRequest(const HttpRequest& request, HttpRequestSink& sink);

}  // namespace veltrane::web
