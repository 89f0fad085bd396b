// What the local command server answers to a complete request, and the
// interface through which it hands the request to the library.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "web/command_request.h"
#include "web/http_request.h"

namespace veltrane::web {

// The library as the server sees it. The server's thread calls handle()
// and log() and never waits for the library.
class HttpRequestSink {
public:
    using Answered = std::function<void(const CommandAnswer&)>;
    virtual ~HttpRequestSink() = default;
    // Has the request judged and served on the library's owner thread and
    // calls `answered` once with the answer decided there: on the owner
    // thread, or at once on the caller's when it cannot be handed over.
    virtual void handle(const CommandRequest& request, Answered answered) = 0;
    // Writes one diagnostic log line, later, on the owner thread.
    virtual void log(const std::string& name, const std::string& text) = 0;

    // Told by the server on the thread that starts and stops it. From
    // serverStopping() on, requests are answered as errors and not served.
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

// The bytes that answer a request of `method` with what the library decided.
std::string AnswerBytes(const CommandAnswer& answer, std::string_view method);

// Checks the Host, hands the request to the sink and calls `answer` once
// with the bytes to answer with (at once when the Host is refused). The
// answer never tells how a command itself went.
void AnswerRequest(const HttpRequest& request, HttpRequestSink& sink, std::function<void(std::string)> answer);

}  // namespace veltrane::web
