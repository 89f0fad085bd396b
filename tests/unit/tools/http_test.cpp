#include <gtest/gtest.h>

#include "net/http.h"

namespace veltrane::tools::net {
namespace {

TEST(ParseHttpRequest, WaitsForTheHeadAndTheWholeBody) {
    const std::string post = "POST /crm/ HTTP/1.1\r\nHost: x\r\ncontent-length: 11\r\n"
                             "Content-Type: application/x-www-form-urlencoded\r\n\r\nKIND=CL&A=1";
    HttpRequest request;
    EXPECT_EQ(ParseHttpRequest(post.substr(0, 30), request), HttpParse::Incomplete);
    EXPECT_EQ(ParseHttpRequest(post.substr(0, post.size() - 1), request), HttpParse::Incomplete);
    ASSERT_EQ(ParseHttpRequest(post, request), HttpParse::Complete);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/crm/");
    EXPECT_EQ(request.body, "KIND=CL&A=1");
    EXPECT_EQ(request.header("CONTENT-TYPE"), "application/x-www-form-urlencoded");
}

TEST(ParseHttpRequest, RejectsWhatIsNoRequest) {
    HttpRequest request;
    EXPECT_EQ(ParseHttpRequest("hello\r\n\r\n", request), HttpParse::Malformed);
    EXPECT_EQ(ParseHttpRequest("GET / HTTP/1.1\r\nno colon\r\n\r\n", request), HttpParse::Malformed);
    EXPECT_EQ(ParseHttpRequest("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", request), HttpParse::Malformed);
    EXPECT_EQ(ParseHttpRequest("GET /?KIND=CS HTTP/1.1\n\n", request), HttpParse::Complete);
}

TEST(FormatHttpRequest, PostsCarryTheirLengthAndFormType) {
    EXPECT_EQ(FormatHttpRequest("POST", "/", "127.0.0.1:12209", "KIND=SS"),
              "POST / HTTP/1.1\r\nHost: 127.0.0.1:12209\r\nConnection: close\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n\r\nKIND=SS");
    EXPECT_EQ(StatusLine("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"), "HTTP/1.1 200 OK");
    EXPECT_EQ(StatusLine(""), "");
}

}  // namespace
}  // namespace veltrane::tools::net
