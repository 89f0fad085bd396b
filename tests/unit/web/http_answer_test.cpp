#include <gtest/gtest.h>

#include <vector>

#include "web/http_answer.h"

namespace veltrane::web {
namespace {

using Kind = CommandAnswer::Kind;

class RecordingSink : public HttpRequestSink {
public:
    std::vector<CommandRequest> handled;
    std::vector<std::string> logs;
    CommandAnswer answer;

    void handle(const CommandRequest& request, Answered answered) override {
        handled.push_back(request);
        answered(answer);
    }
    void log(const std::string& name, const std::string& text) override { logs.push_back(name + "/" + text); }
};

// The answer of a sink that answers at once.
std::string AnswerRequest(const HttpRequest& request, HttpRequestSink& sink) {
    std::vector<std::string> answers;
    web::AnswerRequest(request, sink, [&](std::string bytes) { answers.push_back(std::move(bytes)); });
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? std::string() : answers[0];
}

HttpRequest Parse(const std::string& bytes) {
    HttpRequestParser parser;
    EXPECT_EQ(parser.feed(bytes), HttpRequestParser::Status::Complete);
    return parser.request();
}

TEST(Answers, AreTheExactBytes) {
    EXPECT_EQ(OkAnswer(),
              "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(OkAnswer("https://crm.example.com"),
              "HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: https://crm.example.com\r\nVary: Origin\r\n"
              "Content-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(PreflightAnswer("https://crm.example.com"),
              "HTTP/1.1 204 No Content\r\nAccess-Control-Allow-Origin: https://crm.example.com\r\nVary: Origin\r\n"
              "Access-Control-Allow-Methods: GET, HEAD, POST\r\nAccess-Control-Allow-Headers: Content-Type\r\n"
              "Access-Control-Allow-Private-Network: true\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ForbiddenAnswer(),
              "HTTP/1.1 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ErrorAnswer("bad_alloc"),
              "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
              "Connection: close\r\n\r\nbad_alloc");
    EXPECT_EQ(ErrorAnswer("bad_alloc", false),
              "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
              "Connection: close\r\n\r\n");
}

TEST(AnswerRequest, HandsOverTheMethodTheSourceHeadersAndTheParameters) {
    RecordingSink sink;
    EXPECT_EQ(AnswerRequest(Parse("POST /?KIND=CS&x HTTP/1.1\r\nHost: 127.0.0.1:12209\r\norigin: https://a.example\r\n"
                                  "Referer: https://a.example/page\r\nSec-Fetch-Site: cross-site\r\n\r\n"),
                            sink),
              OkAnswer());
    ASSERT_EQ(sink.handled.size(), 1u);
    const CommandRequest& request = sink.handled[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.source.origin, "https://a.example");
    EXPECT_EQ(request.source.referer, "https://a.example/page");
    EXPECT_EQ(request.source.fetchSite, "cross-site");
    ASSERT_EQ(request.parameters.size(), 2u);
    EXPECT_EQ(request.parameters[1].name, "x");

    // A program's request carries none of them; without parameters it is handed over too.
    EXPECT_EQ(AnswerRequest(Parse("HEAD / HTTP/1.1\r\n\r\n"), sink), OkAnswer());
    ASSERT_EQ(sink.handled.size(), 2u);
    EXPECT_FALSE(sink.handled[1].source.origin || sink.handled[1].source.referer || sink.handled[1].source.fetchSite);
    EXPECT_TRUE(sink.handled[1].parameters.empty());
    EXPECT_TRUE(sink.logs.empty());
}

TEST(AnswerRequest, AnOptionsRequestCarriesNoParameters) {
    RecordingSink sink;
    AnswerRequest(Parse("OPTIONS /?KIND=CS HTTP/1.1\r\nOrigin: https://a.example\r\n\r\n"), sink);
    ASSERT_EQ(sink.handled.size(), 1u);
    EXPECT_EQ(sink.handled[0].method, "OPTIONS");
    EXPECT_TRUE(sink.handled[0].parameters.empty());
}

TEST(AnswerRequest, AnswersWhatTheLibraryDecided) {
    struct Case {
        CommandAnswer answer;
        const char* method;
        std::string expected;
    };
    const Case cases[] = {
        {{Kind::Ok, "https://a.example", ""}, "GET", OkAnswer("https://a.example")},
        {{Kind::Preflight, "https://a.example", ""}, "OPTIONS", PreflightAnswer("https://a.example")},
        {{Kind::Forbidden, "", ""}, "POST", ForbiddenAnswer()},
        {{Kind::Error, "", "Access violation"}, "GET", ErrorAnswer("Access violation")},
        {{Kind::Error, "", "Access violation"}, "HEAD", ErrorAnswer("Access violation", false)},
    };
    for (const Case& one : cases) {
        RecordingSink sink;
        sink.answer = one.answer;
        EXPECT_EQ(AnswerRequest(Parse(std::string(one.method) + " /?KIND=CS HTTP/1.1\r\n\r\n"), sink), one.expected)
            << one.method;
    }
}

TEST(AnswerRequest, AnotherHostIsRefusedWithoutHandling) {
    RecordingSink sink;
    EXPECT_EQ(AnswerRequest(Parse("GET /?KIND=CS HTTP/1.1\r\nHost: evil.example:12209\r\n\r\n"), sink),
              ForbiddenAnswer());
    EXPECT_TRUE(sink.handled.empty());
    EXPECT_EQ(sink.logs, std::vector<std::string>{"HTTPServer/Refused Host:evil.example:12209"});
}

}  // namespace
}  // namespace veltrane::web
