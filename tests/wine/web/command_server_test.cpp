// Real HTTP requests against the local command server of veltrane.dll.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <iterator>
#include <vector>

#include "harness/child_process.h"
#include "harness/fake_cti_server.h"
#include "harness/test_host.h"
#include "http_client.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

// CP949 "전화번호없음" and "한글".
const std::string kNoPhoneNumber = "\xC0\xFC\xC8\xAD\xB9\xF8\xC8\xA3\xBE\xF8\xC0\xBD";
const std::string kHangul = "\xC7\xD1\xB1\xDB";

bool HasLineContaining(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

std::size_t CountLinesContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// A started library with its CTI link up and a call request sent, so that
// the user counts as signed in (CallState "1") with the number of the
// settings file. One page origin is listed in config.ini.
class CommandServer : public ::testing::Test {
protected:
    void SetUp() override {
        webPort = FreeLoopbackPort();
        WriteConfig(base.path(), "127.0.0.1", cti.port(), webPort);
        // The second: "한국.kr" in CP949, which browsers send as xn--3e0b707e.kr.
        WriteIni(base.path() + L"config.ini", "Connect", "WEB_ORIGINS", kServicePage + " https://\xC7\xD1\xB1\xB9.kr");
        WriteIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
        host.start(base.path());
        ASSERT_TRUE(host.waitFor([&] { return cti.clientConnected(); }));
        host.call("DIAL", {L"0100000000"});
        ASSERT_TRUE(host.waitFor([&] { return HasLineContaining(cti.receivedLines(), "|LINK|CALL"); }));
        cti.clearReceived();
        host.clearEvents();
    }

    std::string Request(const std::string& bytes, const ClientOptions& options = {}) {
        return Exchange(host, webPort, bytes, options);
    }
    std::string Get(const std::string& target, const std::string& hostHeader = "127.0.0.1") {
        return Request("GET " + target + " HTTP/1.1\r\nHost: " + hostHeader + ":" + std::to_string(webPort) +
                       "\r\n\r\n");
    }
    std::vector<std::string> Log() { return LogLines(base.path()); }
    // Every test ends with this: whatever came before, the server still answers.
    void ExpectStillAnswering() { EXPECT_EQ(Get("/"), kOkAnswer); }
    // Waits for the CALL packets the CTI server should have by now, and a little longer.
    std::vector<std::string> CallPackets(std::size_t expected) {
        host.waitFor([&] { return CountLinesContaining(cti.receivedLines(), "|LINK|CALL") >= expected; }, 3s);
        host.pump(100ms);
        std::vector<std::string> calls;
        for (const std::string& line : cti.receivedLines())
            if (line.find("|LINK|CALL") != std::string::npos) calls.push_back(line);
        return calls;
    }

    const std::string kServicePage = "https://crm.example.com";
    TestHost host;
    TempFolder base;
    FakeCtiServer cti;
    int webPort = 0;
};

TEST_F(CommandServer, PlainGetOfTheRootIsAnsweredAndChangesNothing) {
    EXPECT_EQ(Get("/"), kOkAnswer);
    EXPECT_EQ(Request("HEAD / HTTP/1.0\r\n\r\n"), kOkAnswer);
    host.pump(200ms);
    EXPECT_FALSE(HasLineContaining(Log(), "HTTP READ"));
    EXPECT_TRUE(HasLineContaining(Log(), "HTTPServerConnect"));
    EXPECT_TRUE(host.callbacks().empty());
}

TEST_F(CommandServer, ClickToCallReachesTheCtiServerIntact) {
    EXPECT_EQ(Get("/call?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=01098765432"), kOkAnswer);
    EXPECT_EQ(CallPackets(1), std::vector<std::string>{"|LINK|CALL      |R|0025|R|0212345678|01098765432|"});
    EXPECT_TRUE(host.waitForEvent("|SMSG|call|success|0212345678|01098765432|guestphone|S||"));
    EXPECT_TRUE(HasLineContaining(Log(), "HTTP READ => [CS:CALL SEND Request]PHONE_NO:0212345678"));
    // Over IPv6 loopback too, where the system has it.
    const std::string v6 = Exchange(host, webPort, "GET /?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101 HTTP/1.1\r\n\r\n",
                                    {"::1"});
    if (v6 != "<connect failed>") {
        EXPECT_EQ(v6, kOkAnswer);
        EXPECT_EQ(CallPackets(2).back(), "|LINK|CALL      |R|0018|R|0212345678|0101|");
    }
    ExpectStillAnswering();
}

TEST_F(CommandServer, KindInLowerCaseIsOnlyLogged) {
    EXPECT_EQ(Get("/?KIND=cs&PHONE_NO=0212345678&GUEST_PHONE=0101"), kOkAnswer);
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_TRUE(host.callbacks().empty());
    EXPECT_TRUE(HasLineContaining(Log(), "HTTP READ => [cs:]PHONE_NO:0212345678 / GUEST_PHONE:0101 / SMS_MSG:"));
    ExpectStillAnswering();
}

TEST_F(CommandServer, GuestPhoneOfThreeSpacesIsRefused) {
    EXPECT_EQ(Get("/?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=%20+%20"), kOkAnswer);
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_TRUE(HasLineContaining(Log(), "HTTP Fail=>" + kNoPhoneNumber));
    EXPECT_TRUE(host.callbacks().empty());
    ExpectStillAnswering();
}

TEST_F(CommandServer, BadEscapesAndALonePlusArriveAsSent) {
    EXPECT_EQ(Get("/?KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=2&SMS_MSG=a%25b%c%zz+%4"), kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|information|a%b%c%zz %4|"));
    EXPECT_EQ(Get("/?KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=2&SMS_MSG=%"), kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|information|%|"));
    EXPECT_EQ(Get("/?KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=2&SMS_MSG=%4"), kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|information|%4|"));
    ExpectStillAnswering();
}

TEST_F(CommandServer, NamesWithoutValuesAndRepeatedNames) {
    EXPECT_EQ(Get("/?FLAG&KIND=SI&PHONE_NO=0212345678&phone_no=9&GUEST_PHONE=2&SMS_MSG=x&sms_msg=y"), kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|information|x|"));
    // A name without "=" is present with an empty value, and counts first.
    EXPECT_EQ(Get("/?KIND=SS&PHONE_NO&PHONE_NO=0212345678&GUEST_PHONE=2"), kOkAnswer);
    host.pump(200ms);
    EXPECT_EQ(host.callbacks().size(), 1u);
    ExpectStillAnswering();
}

TEST_F(CommandServer, PostedFormIsHandledLikeTheQueryWithNamesInAnyCase) {
    const std::string body = "kind=SS&Phone_No=0212345678&GUEST_PHONE=0101";
    EXPECT_EQ(Request("POST /any HTTP/1.1\r\nContent-Type: Application/X-WWW-Form-Urlencoded\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n" + body),
              kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|0101|guestphone||"));
    ExpectStillAnswering();
}

TEST_F(CommandServer, BodyShorterThanDeclaredGetsNoAnswer) {
    ClientOptions halfClosed;
    halfClosed.halfClose = true;
    EXPECT_EQ(Request("POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 50"
                      "\r\n\r\nKIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2",
                      halfClosed),
              "");
    host.pump(200ms);
    EXPECT_TRUE(host.callbacks().empty());
    ExpectStillAnswering();
}

TEST_F(CommandServer, BodyLongerThanDeclaredIsCutAtItsLength) {
    const std::string form = "KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2";
    EXPECT_EQ(Request("POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                      std::to_string(form.size()) + "\r\n\r\n" + form + "99&KIND=CS"),
              kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|guestphone||"));
    EXPECT_TRUE(CallPackets(0).empty());
    ExpectStillAnswering();
}

TEST_F(CommandServer, OtherMethodsGetNoAnswer) {
    EXPECT_EQ(Request("PUT /?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2 HTTP/1.1\r\nContent-Length: 0\r\n\r\n"), "");
    EXPECT_EQ(Request("DELETE /?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2 HTTP/1.1\r\n\r\n"), "");
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_FALSE(HasLineContaining(Log(), "HTTP READ"));
    ExpectStillAnswering();
}

TEST_F(CommandServer, TheServicePageGetsCorsAnswersAndOtherPagesAre403) {
    const std::string forbidden =
        "HTTP/1.1 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    const std::string form = "KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101";
    auto post = [&](const std::string& origin) {
        return Request("POST / HTTP/1.1\r\nOrigin: " + origin +
                       "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                       std::to_string(form.size()) + "\r\n\r\n" + form);
    };
    EXPECT_EQ(Request("OPTIONS / HTTP/1.1\r\nOrigin: " + kServicePage +
                      "\r\nAccess-Control-Request-Method: POST\r\n"
                      "Access-Control-Request-Private-Network: true\r\n\r\n"),
              "HTTP/1.1 204 No Content\r\nAccess-Control-Allow-Origin: https://crm.example.com\r\nVary: Origin\r\n"
              "Access-Control-Allow-Methods: GET, HEAD, POST\r\nAccess-Control-Allow-Headers: Content-Type\r\n"
              "Access-Control-Allow-Private-Network: true\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(post(kServicePage), "HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: https://crm.example.com\r\n"
                                  "Vary: Origin\r\nContent-Type: text/html\r\nContent-Length: 0\r\n"
                                  "Connection: close\r\n\r\n");
    EXPECT_EQ(CallPackets(1), std::vector<std::string>{"|LINK|CALL      |R|0018|R|0212345678|0101|"});
    EXPECT_EQ(post("https://xn--3e0b707e.kr"), "HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: https://xn--3e0b707e.kr\r\n"
                                               "Vary: Origin\r\nContent-Type: text/html\r\nContent-Length: 0\r\n"
                                               "Connection: close\r\n\r\n");
    EXPECT_EQ(CallPackets(2).size(), 2u);

    cti.clearReceived();
    host.clearEvents();
    EXPECT_EQ(post("https://evil.example"), forbidden);
    EXPECT_EQ(Request("OPTIONS * HTTP/1.1\r\n\r\n"), forbidden);
    EXPECT_TRUE(host.waitFor([&] { return HasLineContaining(Log(), "HTTPServer => Refused OPTIONS"); }));
    EXPECT_TRUE(HasLineContaining(Log(), "HTTPServer => Refused Origin:https://evil.example"));
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_TRUE(host.callbacks().empty());
    ExpectStillAnswering();
}

TEST_F(CommandServer, ALinkOpenedFromOutsideTheBrowserIsRefusedAProgramServed) {
    const std::string forbidden =
        "HTTP/1.1 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    struct Case {
        std::string headers;  // besides Host
        std::string guest;
        bool served;
    };
    const Case cases[] = {
        // What Chromium sends for a link a mail client opens, a bookmark, a typed address.
        {"Sec-Fetch-Site: none\r\nSec-Fetch-Mode: navigate\r\nSec-Fetch-User: ?1\r\n", "0101000001", false},
        {"", "0101000002", true},  // curl, a desktop program
    };
    for (const Case& one : cases) {
        const std::string answer = Request("GET /?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=" + one.guest +
                                           " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + one.headers + "\r\n");
        EXPECT_EQ(answer, one.served ? kOkAnswer : forbidden) << one.guest;
        EXPECT_EQ(HasLineContaining(CallPackets(one.served ? 1 : 0), one.guest), one.served) << one.guest;
        cti.clearReceived();
    }
    EXPECT_TRUE(host.waitFor([&] { return HasLineContaining(Log(), "HTTPServer => Refused Sec-Fetch-Site:none"); }));
    EXPECT_FALSE(HasLineContaining(host.callbacks(), "0101000001"));
    ExpectStillAnswering();
}

TEST_F(CommandServer, WhatAPageCannotSendIsRefusedWithNothingSent) {
    struct Case {
        std::string form;
        std::string refusal;
    };
    const Case cases[] = {
        // A lone CP949 lead byte would take the "|" after it as its trail byte.
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0832700000%B0", "Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=010abc", "Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=" + std::string(60000, '1'), "Invalid Phone Number"},
        {"KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=%B0", "Invalid SMS Message"},
        {"KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=%B0%7Cguestphone", "Invalid SMS Message"},
    };
    for (const Case& one : cases) {
        EXPECT_EQ(Request("POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                          std::to_string(one.form.size()) + "\r\n\r\n" + one.form),
                  kOkAnswer);
    }
    EXPECT_TRUE(host.waitFor([&] { return CountLinesContaining(Log(), "]Refused:") == std::size(cases); }));
    for (const Case& one : cases) EXPECT_TRUE(HasLineContaining(Log(), "]Refused:" + one.refusal));
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_TRUE(host.callbacks().empty());
    // Korean text of the code page still goes through.
    EXPECT_EQ(Get("/?KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=2&SMS_MSG=%C7%D1%B1%DB"), kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|information|" + kHangul + "|"));
    ExpectStillAnswering();
}

TEST_F(CommandServer, LineEndsInParametersCannotForgeLogLines) {
    const std::string forged = "%0D%0A[2099-01-01+00:00:00]0212345678+HTTP+READ+=>+forged";
    EXPECT_EQ(Get("/?KIND" + forged + "=CS" + forged + "&PHONE_NO=0212345678&GUEST_PHONE=0101" + forged), kOkAnswer);
    EXPECT_TRUE(host.waitFor([&] { return HasLineContaining(Log(), "]Refused:Invalid Phone Number"); }));
    const std::string log = ReadFileBytes(TodayLogFile(base.path()));
    EXPECT_EQ(log.find("\n[2099"), std::string::npos);
    EXPECT_NE(log.find("KIND\\r\\n[2099-01-01 00:00:00]0212345678 HTTP READ => forged=CS\\r\\n[2099"),
              std::string::npos);
    ExpectStillAnswering();
}

TEST_F(CommandServer, SixtyFourIdleConnectionsDoNotKeepAClickToCallOut) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    std::vector<SOCKET> idle;
    for (int i = 0; i < 64; ++i) {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = ::htons(static_cast<u_short>(webPort));
        a.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        idle.push_back(s);
    }
    // Every place is taken before the page's request comes.
    ASSERT_TRUE(host.waitFor([&] { return CountLinesContaining(Log(), "HTTPServerConnect") >= 64; }, 20s));

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Get("/?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101"), kOkAnswer);
    const auto served = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    std::printf("click-to-call beside 64 idle connections: answered in %lld ms\n",
                static_cast<long long>(served.count()));
    EXPECT_LT(served, 1000ms);
    EXPECT_EQ(CallPackets(1), std::vector<std::string>{"|LINK|CALL      |R|0018|R|0212345678|0101|"});
    for (SOCKET s : idle) ::closesocket(s);
    ExpectStillAnswering();
}

TEST_F(CommandServer, AHeadThatNeverEndsIsClosedAfterTheReadTimeout) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Request("GET /?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2 HTTP/1.1\r\nHost: 127.0.0.1"), "");
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, 4s);
    EXPECT_LT(waited, 9s);
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_TRUE(host.waitFor([&] { return HasLineContaining(Log(), "HTTPServer => Exception"); }));
    ExpectStillAnswering();
}

TEST_F(CommandServer, TwoHundredConnectionsAtOnce) {
    auto results = std::async(std::launch::async, [port = webPort] {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        std::vector<SOCKET> sockets;
        for (int i = 0; i < 200; ++i) {
            SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = ::htons(static_cast<u_short>(port));
            a.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
            if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                const DWORD timeout = 10000;
                ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
                sockets.push_back(s);
            } else {
                ::closesocket(s);
            }
        }
        const std::string request = "GET /?KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2 HTTP/1.1\r\n\r\n";
        for (SOCKET s : sockets) ::send(s, request.data(), static_cast<int>(request.size()), 0);
        std::vector<std::string> answers;
        for (SOCKET s : sockets) {
            std::string answer;
            char buffer[512];
            for (int n; (n = ::recv(s, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
            answers.push_back(answer);
            ::closesocket(s);
        }
        return answers;
    });
    ASSERT_TRUE(host.waitFor([&] { return results.wait_for(0s) == std::future_status::ready; }, 60s));
    const std::vector<std::string> answers = results.get();
    std::size_t answered = 0;
    for (const std::string& answer : answers) {
        if (answer.empty()) continue;  // over the cap: closed at once
        EXPECT_EQ(answer, kOkAnswer);
        ++answered;
    }
    EXPECT_GE(answered, 1u);
    host.pump(300ms);
    // Every answered request was handled once, and only those.
    EXPECT_EQ(host.callbacks().size(), answered);
    ExpectStillAnswering();
}

TEST_F(CommandServer, OneMebibyteBodyIsRefusedUnanswered) {
    const std::string request = "POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                "Content-Length: 1048576\r\n\r\n" +
                                std::string(1048576, 'x');
    EXPECT_EQ(Request(request), "");
    EXPECT_TRUE(host.callbacks().empty());
    ExpectStillAnswering();
}

TEST_F(CommandServer, KoreanBytesPassUnconverted) {
    // Escaped, and as raw CP949 bytes in the query.
    EXPECT_EQ(Get("/?KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=2&SMS_MSG=%C7%D1%B1%DB"), kOkAnswer);
    EXPECT_TRUE(host.waitForEvent("|SMSG|sms|success|0212345678|2|information|" + kHangul + "|"));
    EXPECT_EQ(Get("/?KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=2&SMS_MSG=" + kHangul), kOkAnswer);
    EXPECT_EQ(host.callbacks().size(), 2u);
    EXPECT_EQ(host.callbacks().back(), "|SMSG|sms|success|0212345678|2|information|" + kHangul + "|");
    EXPECT_TRUE(HasLineContaining(Log(), "SMS_MSG:" + kHangul));
    ExpectStillAnswering();
}

TEST_F(CommandServer, AnotherHostNameIsRefusedWith403) {
    const std::string forbidden =
        "HTTP/1.1 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(Get("/?KIND=CS&PHONE_NO=0299999999&GUEST_PHONE=0101", "evil.example"), forbidden);
    EXPECT_TRUE(CallPackets(0).empty());
    EXPECT_TRUE(host.callbacks().empty());
    EXPECT_TRUE(host.waitFor([&] { return HasLineContaining(Log(), "HTTPServer => Refused Host:evil.example:"); }));
    EXPECT_FALSE(HasLineContaining(Log(), "0299999999"));
    EXPECT_EQ(Get("/?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2", "localhost"), kOkAnswer);
    ExpectStillAnswering();
}

TEST_F(CommandServer, ASecondStartKeepsThePort) {
    WriteConfig(base.path(), "127.0.0.1", cti.port(), FreeLoopbackPort());
    host.start(base.path());
    EXPECT_TRUE(HasLineContaining(Log(), "HTTPServer => PORT:"));
    EXPECT_TRUE(HasLineContaining(Log(), " / Status Check : Active"));
    ExpectStillAnswering();
}

// Another program listening on WEB_PORT at one loopback address, as
// another user's session could.
class HeldPort {
public:
    explicit HeldPort(int family) {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_storage address{};
        int length = 0;
        if (family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
            length = sizeof *v4;
        } else {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_loopback;
            length = sizeof *v6;
        }
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(socket_, 1) != 0) return;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ::ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                                          : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    }
    ~HeldPort() { ::closesocket(socket_); }
    int port() const { return port_; }  // 0 when the address could not be had

private:
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

// Either loopback address held by another program: reported alike, and the
// server listens on neither (a page naming "localhost" reaches [::1] first).
class CommandServerPort : public ::testing::TestWithParam<int> {};

TEST_P(CommandServerPort, ATakenPortLeavesTelephonyWorkingAndTellsTheHostOnce) {
    const bool v6 = GetParam() == AF_INET6;
    TestHost host;
    TempFolder base;
    FakeCtiServer cti;
    HeldPort held(GetParam());
    if (held.port() == 0) GTEST_SKIP() << "no IPv6 loopback here";
    WriteConfig(base.path(), "127.0.0.1", cti.port(), held.port());
    host.start(base.path());
    const std::string port = "PORT:" + std::to_string(held.port());
    ASSERT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
    EXPECT_EQ(std::count(host.callbacks().begin(), host.callbacks().end(),
                         "|SMSG|httpserver|fail|" + port + " unavailable|"),
              1);
    EXPECT_TRUE(HasLineContaining(host.callbacks(), "|SMSG|dllstart|success|"));
    EXPECT_TRUE(HasLineContaining(LogLines(base.path()), "HTTPServer => " + port + " / Request : bind " +
                                                             (v6 ? "[::1]:" : "127.0.0.1:")));
    if (v6) {
        EXPECT_EQ(ExchangeBlocking(held.port(), "GET / HTTP/1.0\r\n\r\n"), "<connect failed>");
    }
    host.call("DIAL", {L"0101"});
    EXPECT_TRUE(host.waitFor([&] { return HasLineContaining(cti.receivedLines(), "|LINK|CALL"); }));
}

INSTANTIATE_TEST_SUITE_P(Loopback, CommandServerPort, ::testing::Values(AF_INET, AF_INET6),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == AF_INET ? "Ipv4" : "Ipv6");
                         });

// DLL_FINISH stops the server while a client is half-way through a request.
VELTRANE_CHILD_SCENARIO(FinishWithAConnectionOpen) {
    TestHost host;
    TempFolder base;
    FakeCtiServer cti;
    const int webPort = FreeLoopbackPort();
    WriteConfig(base.path(), "127.0.0.1", cti.port(), webPort);
    host.start(base.path());
    if (!host.waitFor([&] { return cti.clientConnected(); })) return 10;
    auto pending = std::async(std::launch::async, [=] {
        return ExchangeBlocking(webPort, "GET /?KIND=CS HTTP/1.1\r\nHost: loc");
    });
    host.pump(300ms);
    host.finish();  // ends the process with exit code 1 when it gets through
    return 11;
}

TEST(CommandServerStop, FinishWithAConnectionOpenEndsTheProcess) {
    EXPECT_EQ(RunChild("FinishWithAConnectionOpen", {}, 20000), 1);
}

}  // namespace
}  // namespace veltrane::wine
