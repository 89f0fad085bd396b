#include <gtest/gtest.h>

#include <string>

#include "web/http_request.h"

namespace veltrane::web {
namespace {

using Status = HttpRequestParser::Status;

Status FeedAll(HttpRequestParser& parser, const std::string& bytes) { return parser.feed(bytes); }

Status FeedByteByByte(HttpRequestParser& parser, const std::string& bytes) {
    Status status = Status::NeedMore;
    for (char c : bytes) status = parser.feed(std::string_view(&c, 1));
    return status;
}

TEST(HttpRequestParser, ReadsAGetWhetherFedWholeOrByteByByte) {
    const std::string bytes = "GET /call?KIND=CS HTTP/1.1\r\nHost: localhost:12209\r\nX-Empty:\r\n\r\n";
    for (auto feed : {FeedAll, FeedByteByByte}) {
        HttpRequestParser parser;
        ASSERT_EQ(feed(parser, bytes), Status::Complete);
        const HttpRequest& r = parser.request();
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.target, "/call?KIND=CS");
        ASSERT_NE(r.header("host"), nullptr);
        EXPECT_EQ(*r.header("HOST"), "localhost:12209");
        ASSERT_NE(r.header("x-empty"), nullptr);
        EXPECT_EQ(*r.header("x-empty"), "");
        EXPECT_EQ(r.header("Content-Length"), nullptr);
        EXPECT_EQ(r.body, "");
    }
}

TEST(HttpRequestParser, WaitsForTheBlankLineAndAcceptsBareLineFeeds) {
    HttpRequestParser parser;
    EXPECT_EQ(parser.feed("HEAD / HTTP/1.0\r\n"), Status::NeedMore);
    EXPECT_EQ(parser.feed("Host: x\r"), Status::NeedMore);
    EXPECT_EQ(parser.feed("\n\r"), Status::NeedMore);
    EXPECT_EQ(parser.feed("\n"), Status::Complete);

    HttpRequestParser bare;
    EXPECT_EQ(bare.feed("GET /?a=1 HTTP/1.1\nHost: localhost\n\n"), Status::Complete);
    EXPECT_EQ(*bare.request().header("Host"), "localhost");
}

TEST(HttpRequestParser, RefusesOtherMethodsAsSoonAsTheWordIsKnown) {
    HttpRequestParser put;
    EXPECT_EQ(put.feed("PU"), Status::UnknownMethod);
    EXPECT_EQ(put.feed(" / HTTP/1.1\r\n\r\n"), Status::UnknownMethod);  // stays refused

    HttpRequestParser longWord;
    EXPECT_EQ(longWord.feed("DELETE"), Status::UnknownMethod);
    HttpRequestParser lowerCase;
    EXPECT_EQ(lowerCase.feed("get / HTTP/1.1\r\n\r\n"), Status::UnknownMethod);
    HttpRequestParser blankLineFirst;
    EXPECT_EQ(blankLineFirst.feed("\r\nGET / HTTP/1.1\r\n\r\n"), Status::UnknownMethod);

    HttpRequestParser optionsAndMore;
    EXPECT_EQ(optionsAndMore.feed("OPTIONSX"), Status::UnknownMethod);

    HttpRequestParser prefix;
    EXPECT_EQ(prefix.feed("POS"), Status::NeedMore);
    EXPECT_EQ(prefix.feed("T / HTTP/1.1\r\n\r\n"), Status::Complete);
    HttpRequestParser options;
    EXPECT_EQ(options.feed("OPTIO"), Status::NeedMore);
    EXPECT_EQ(options.feed("NS * HTTP/1.1\r\n\r\n"), Status::Complete);
}

TEST(HttpRequestParser, RefusesWhatIsNotARequest) {
    for (const char* bytes : {"GET /\r\n\r\n", "GET  / HTTP/1.1\r\n\r\n", "GET / FTP/1\r\n\r\n",
                              "GET / HTTP/1.1 extra\r\n\r\n", "GET / HTTP/1.1\r\nNoColon\r\n\r\n",
                              "GET / HTTP/1.1\r\n: empty name\r\n\r\n", "GET / HTTP/1.1\r\nHost : x\r\n\r\n",
                              "GET / HTTP/1.1\r\nA: 1\r\n folded: x\r\n\r\n"}) {
        HttpRequestParser parser;
        EXPECT_EQ(parser.feed(bytes), Status::Malformed) << bytes;
    }
}

TEST(HttpRequestParser, ReadsExactlyTheDeclaredBody) {
    HttpRequestParser parser;
    EXPECT_EQ(parser.feed("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nKIND="), Status::NeedMore);
    EXPECT_EQ(parser.feed("CS"), Status::NeedMore);
    EXPECT_EQ(parser.feed("&A=1&B=2 and more"), Status::Complete);
    EXPECT_EQ(parser.request().body, "KIND=CS&A=");
    EXPECT_EQ(parser.feed("ignored"), Status::Complete);
    EXPECT_EQ(parser.request().body, "KIND=CS&A=");
}

TEST(HttpRequestParser, ABodyShorterThanDeclaredNeverCompletes) {
    HttpRequestParser parser;
    EXPECT_EQ(parser.feed("POST / HTTP/1.1\r\nContent-Length: 20\r\n\r\nKIND=CS"), Status::NeedMore);
}

TEST(HttpRequestParser, ChecksContentLength) {
    auto parse = [](const std::string& headers) {
        HttpRequestParser parser;
        return parser.feed("POST / HTTP/1.1\r\n" + headers + "\r\n");
    };
    EXPECT_EQ(parse("Content-Length: 0\r\n"), Status::Complete);
    EXPECT_EQ(parse("Content-Length: 000\r\n"), Status::Complete);
    EXPECT_EQ(parse("Content-Length: -1\r\n"), Status::Malformed);
    EXPECT_EQ(parse("Content-Length: 1e3\r\n"), Status::Malformed);
    EXPECT_EQ(parse("Content-Length:\r\n"), Status::Malformed);
    EXPECT_EQ(parse("Content-Length: 0\r\nContent-Length: 1\r\n"), Status::Malformed);
    EXPECT_EQ(parse("Content-Length: 0\r\nContent-Length: 0\r\n"), Status::Complete);
    EXPECT_EQ(parse("Transfer-Encoding: chunked\r\n"), Status::Malformed);
    EXPECT_EQ(parse("Content-Length: 65537\r\n"), Status::BodyTooLarge);
    EXPECT_EQ(parse("Content-Length: 99999999999999999999999\r\n"), Status::BodyTooLarge);
    EXPECT_EQ(parse("Content-Length: 65536\r\n"), Status::NeedMore);  // the limit itself is allowed
}

TEST(HttpRequestParser, BodyOfTheLimitIsRead) {
    HttpRequestParser parser;
    parser.feed("POST / HTTP/1.1\r\nContent-Length: 65536\r\n\r\n");
    EXPECT_EQ(parser.feed(std::string(kMaxBodyBytes, 'x')), Status::Complete);
    EXPECT_EQ(parser.request().body.size(), kMaxBodyBytes);
}

TEST(HttpRequestParser, LimitsTheHead) {
    const std::string start = "GET / HTTP/1.1\r\nX: ";
    const std::string end = "\r\n\r\n";
    const std::string fits = start + std::string(kMaxHeadBytes - start.size() - end.size(), 'a') + end;
    HttpRequestParser atLimit;
    EXPECT_EQ(atLimit.feed(fits), Status::Complete);

    const std::string over = start + std::string(kMaxHeadBytes - start.size() - end.size() + 1, 'a') + end;
    HttpRequestParser whole;
    EXPECT_EQ(whole.feed(over), Status::HeadTooLarge);
    HttpRequestParser byteByByte;
    EXPECT_EQ(FeedByteByByte(byteByByte, over), Status::HeadTooLarge);

    // A head that never ends is refused once it passes the limit.
    HttpRequestParser endless;
    EXPECT_EQ(endless.feed(start + std::string(kMaxHeadBytes, 'a')), Status::HeadTooLarge);
}

TEST(RequestParameters, ComeFromTheQueryString) {
    HttpRequestParser parser;
    parser.feed("GET /any/path?KIND=CS&GUEST_PHONE=010+1234#frag HTTP/1.1\r\n\r\n");
    Parameters p = RequestParameters(parser.request());
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(ParameterValue(p, "guest_phone"), "010 1234");

    HttpRequestParser noQuery;
    noQuery.feed("GET / HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(RequestParameters(noQuery.request()).empty());
}

TEST(RequestParameters, ComeFromAFormBodyWhateverTheCaseOrCharsetOfItsType) {
    for (const char* type : {"application/x-www-form-urlencoded", "Application/X-WWW-Form-URLEncoded",
                             "application/x-www-form-urlencoded; charset=UTF-8"}) {
        HttpRequestParser parser;
        parser.feed(std::string("POST /?KIND=SS HTTP/1.1\r\nContent-Type: ") + type +
                    "\r\nContent-Length: 7\r\n\r\nKIND=CS");
        EXPECT_EQ(ParameterValue(RequestParameters(parser.request()), "KIND"), "CS") << type;
    }
}

TEST(RequestParameters, OtherBodiesLeaveTheQueryString) {
    HttpRequestParser text;
    text.feed("POST /?KIND=SS HTTP/1.1\r\nContent-Type: text/plain\r\nContent-Length: 7\r\n\r\nKIND=CS");
    EXPECT_EQ(ParameterValue(RequestParameters(text.request()), "KIND"), "SS");
    HttpRequestParser untyped;
    untyped.feed("POST /?KIND=SS HTTP/1.1\r\nContent-Length: 7\r\n\r\nKIND=CS");
    EXPECT_EQ(ParameterValue(RequestParameters(untyped.request()), "KIND"), "SS");
    // A GET's form body is not a form.
    HttpRequestParser get;
    get.feed("GET /?KIND=SS HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
             "Content-Length: 7\r\n\r\nKIND=CS");
    EXPECT_EQ(ParameterValue(RequestParameters(get.request()), "KIND"), "SS");
}

std::optional<std::string> Refused(const std::string& hostHeaders) {
    HttpRequestParser parser;
    parser.feed("GET / HTTP/1.1\r\n" + hostHeaders + "\r\n");
    EXPECT_EQ(parser.status(), Status::Complete);
    return RefusedHost(parser.request());
}

TEST(RefusedHost, AcceptsOnlyThisMachine) {
    for (const char* host : {"localhost", "LocalHost:12209", "127.0.0.1", "127.0.0.1:80", "[::1]", "[::1]:12209"})
        EXPECT_EQ(Refused(std::string("Host: ") + host + "\r\n"), std::nullopt) << host;
    EXPECT_EQ(Refused(""), std::nullopt);          // no Host at all
    EXPECT_EQ(Refused("Host:\r\n"), std::nullopt);  // names nothing
}

TEST(RefusedHost, RefusesEveryOtherName) {
    for (const char* host : {"evil.example", "evil.example:12209", "localhost.evil.example", "127.0.0.2",
                             "localhost:", "localhost:12a", "localhost:1234567", "[::2]", "[::1", "::1",
                             "127.0.0.1.", "0.0.0.0"})
        EXPECT_EQ(Refused(std::string("Host: ") + host + "\r\n"), host) << host;
    // A second Host cannot slip another name in behind an allowed one.
    EXPECT_EQ(Refused("Host: localhost\r\nHost: evil.example\r\n"), "evil.example");
}

}  // namespace
}  // namespace veltrane::web
