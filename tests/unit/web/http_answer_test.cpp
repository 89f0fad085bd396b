#include <gtest/gtest.h>

#include <vector>

#include "web/http_answer.h"

namespace veltrane::web {
namespace {

class RecordingSink : public HttpRequestSink {
public:
    std::vector<Parameters> handled;
    std::vector<std::string> logs;
    std::optional<std::string> error;

    std::optional<std::string> handle(const Parameters& parameters) override {
        handled.push_back(parameters);
        return error;
    }
    void log(const std::string& name, const std::string& text) override { logs.push_back(name + "/" + text); }
};

HttpRequest Parse(const std::string& bytes) {
    HttpRequestParser parser;
    EXPECT_EQ(parser.feed(bytes), HttpRequestParser::Status::Complete);
    return parser.request();
}

TEST(Answers, AreTheExactBytes) {
    EXPECT_EQ(OkAnswer(),
              "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ForbiddenAnswer(),
              "HTTP/1.1 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ErrorAnswer("bad_alloc"),
              "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
              "Connection: close\r\n\r\nbad_alloc");
    EXPECT_EQ(ErrorAnswer("bad_alloc", false),
              "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
              "Connection: close\r\n\r\n");
}

TEST(AnswerRequest, HandsTheParametersOverAndAnswersOkWhateverTheyAsk) {
    RecordingSink sink;
    EXPECT_EQ(AnswerRequest(Parse("GET /?KIND=CS&x HTTP/1.1\r\nHost: 127.0.0.1:12209\r\n\r\n"), sink), OkAnswer());
    ASSERT_EQ(sink.handled.size(), 1u);
    ASSERT_EQ(sink.handled[0].size(), 2u);
    EXPECT_EQ(sink.handled[0][1].name, "x");
    // A request without parameters is handed over too; the handler decides.
    EXPECT_EQ(AnswerRequest(Parse("HEAD / HTTP/1.1\r\n\r\n"), sink), OkAnswer());
    EXPECT_EQ(sink.handled.size(), 2u);
    EXPECT_TRUE(sink.logs.empty());
}

TEST(AnswerRequest, AHandlerErrorGives500WithItsMessage) {
    RecordingSink sink;
    sink.error = "Access violation";
    EXPECT_EQ(AnswerRequest(Parse("GET /?KIND=CS HTTP/1.1\r\n\r\n"), sink), ErrorAnswer("Access violation"));
    EXPECT_EQ(AnswerRequest(Parse("HEAD /?KIND=CS HTTP/1.1\r\n\r\n"), sink), ErrorAnswer("Access violation", false));
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
