// What the local command server answers to a complete request, and the
// interface through which it hands the request to the library.
#pragma once

#include <string>
#include <string_view>

#include "web/command_request.h"
#include "web/http_request.h"

namespace veltrane::web {

// The library as the server's connection threads see it. Both functions are
// called on connection threads and may be called by several at once.
class HttpRequestSink {
public:
    virtual ~HttpRequestSink() = default;
    // Judges and serves the request on the library's owner thread and
    // returns the answer decided there when it is done.
    virtual CommandAnswer handle(const CommandRequest& request) = 0;
    // Writes one diagnostic log line; must not wait for the owner thread.
    virtual void log(const std::string& name, const std::string& text) = 0;

    // Told by the server on the thread that starts and stops it. From
    // serverStopping() on, handle() must return without waiting for the
    // owner thread: the server waits for its connection threads to end, and
    // the owner thread may be the one waiting.
    virtual void serverStarted() {}
    virtual void serverStopping() {}
};

// "HTTP/1.1 200 OK", text/html, no body; with an origin, the CORS headers
// that let that page's script read the answer.
std::string OkAnswer(std::string_view allowOrigin = {});
// 204 to a CORS preflight of an allowed page.
std::string PreflightAnswer(std::string_view allowOrigin);
// 500 with the error message as a plain-text body (left out for HEAD).
std::string ErrorAnswer(std::string_view message, bool withBody = true);
// 403 for a request from a page that may not use the server.
std::string ForbiddenAnswer();

// The method, the headers that tell where it comes from, and the parameters.
CommandRequest CommandRequestOf(const HttpRequest& request);

// Checks the Host, hands the request to the sink and returns the bytes to
// answer with. The answer never tells how a command itself went.
std::string AnswerRequest(const HttpRequest& request, HttpRequestSink& sink);

}  // namespace veltrane::web
