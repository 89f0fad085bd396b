#include "web/http_answer.h"

namespace veltrane::web {

namespace {
std::string Answer(std::string_view status, std::string_view contentType, std::string_view body,
                   std::size_t contentLength) {
    std::string answer = "HTTP/1.1 ";
    answer += status;
    answer += "\r\nContent-Type: ";
    answer += contentType;
    answer += "\r\nContent-Length: ";
    answer += std::to_string(contentLength);
    answer += "\r\nConnection: close\r\n\r\n";
    answer += body;
    return answer;
}
}  // namespace

std::string OkAnswer() { return Answer("200 OK", "text/html", {}, 0); }

std::string ErrorAnswer(std::string_view message, bool withBody) {
    // Plain text: the message is never meant to be rendered as a page.
    return Answer("500 Internal Server Error", "text/plain", withBody ? message : std::string_view(),
                  message.size());
}

std::string ForbiddenAnswer() { return Answer("403 Forbidden", "text/html", {}, 0); }

std::string AnswerRequest(const HttpRequest& request, HttpRequestSink& sink) {
    if (std::optional<std::string> host = RefusedHost(request)) {
        sink.log("HTTPServer", "Refused Host:" + *host);
        return ForbiddenAnswer();
    }
    if (std::optional<std::string> error = sink.handle(RequestParameters(request)))
        return ErrorAnswer(*error, request.method != "HEAD");
    return OkAnswer();
}

}  // namespace veltrane::web
