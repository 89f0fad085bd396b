#include "web/http_answer.h"

namespace veltrane::web {

namespace {
std::string Head(std::string_view status, std::string_view allowOrigin) {
    std::string head = "HTTP/1.1 ";
    head += status;
    head += "\r\n";
    if (!allowOrigin.empty()) {
        head += "Access-Control-Allow-Origin: ";
        head += allowOrigin;
        head += "\r\nVary: Origin\r\n";
    }
    return head;
}

std::string Answer(std::string_view status, std::string_view contentType, std::string_view body,
                   std::size_t contentLength, std::string_view allowOrigin = {}) {
    std::string answer = Head(status, allowOrigin);
    answer += "Content-Type: ";
    answer += contentType;
    answer += "\r\nContent-Length: ";
    answer += std::to_string(contentLength);
    answer += "\r\nConnection: close\r\n\r\n";
    answer += body;
    return answer;
}

std::optional<std::string> Header(const HttpRequest& request, std::string_view name) {
    if (const std::string* value = request.header(name)) return *value;
    return std::nullopt;
}
}  // namespace

std::string OkAnswer(std::string_view allowOrigin) { return Answer("200 OK", "text/html", {}, 0, allowOrigin); }

std::string PreflightAnswer(std::string_view allowOrigin) {
    // A 204 has no body and so no Content-Length.
    return Head("204 No Content", allowOrigin) +
           "Access-Control-Allow-Methods: GET, HEAD, POST\r\n"
           "Access-Control-Allow-Headers: Content-Type\r\n"
           "Access-Control-Allow-Private-Network: true\r\n"
           "Connection: close\r\n\r\n";
}

std::string ErrorAnswer(std::string_view message, bool withBody) {
    // Plain text: the message is never meant to be rendered as a page.
    return Answer("500 Internal Server Error", "text/plain", withBody ? message : std::string_view(),
                  message.size());
}

std::string ForbiddenAnswer() { return Answer("403 Forbidden", "text/html", {}, 0); }

CommandRequest CommandRequestOf(const HttpRequest& request) {
    CommandRequest command;
    command.method = request.method;
    command.source.origin = Header(request, "Origin");
    command.source.referer = Header(request, "Referer");
    command.source.fetchSite = Header(request, "Sec-Fetch-Site");
    if (request.method != "OPTIONS") command.parameters = RequestParameters(request);
    return command;
}

std::string AnswerBytes(const CommandAnswer& answer, std::string_view method) {
    switch (answer.kind) {
    case CommandAnswer::Kind::Ok: return OkAnswer(answer.allowOrigin);
    case CommandAnswer::Kind::Preflight: return PreflightAnswer(answer.allowOrigin);
    case CommandAnswer::Kind::Forbidden: return ForbiddenAnswer();
    case CommandAnswer::Kind::Error: break;
    }
    return ErrorAnswer(answer.error, method != "HEAD");
}

void AnswerRequest(const HttpRequest& request, HttpRequestSink& sink, std::function<void(std::string)> answer) {
    if (std::optional<std::string> host = RefusedHost(request)) {
        sink.log("HTTPServer", "Refused Host:" + *host);
        answer(ForbiddenAnswer());
        return;
    }
    sink.handle(CommandRequestOf(request),
                [method = request.method, answer = std::move(answer)](const CommandAnswer& decided) {
                    answer(AnswerBytes(decided, method));
                });
}

}  // namespace veltrane::web
