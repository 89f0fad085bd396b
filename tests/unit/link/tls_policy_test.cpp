#include "core/tls_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link.h"
#include "core/settings.h"
#include "support/fake_platform.h"

namespace veltrane::cti {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kUpper = "3C:22:88:7A:C9:58:6A:EC:D0:01:A1:CB:63:C7:8F:41:32:D3:F4:3C:65:F0:51:05:66:A2:D7:29:73:49:09:66";
constexpr const char* kLower = "3c22887ac9586aecd001a1cb63c78f4132d3f43c65f0510566a2d72973490966";

TEST(ParseFingerprint, ReadsSha256HexInAnyCaseWithOrWithoutSeparators) {
    const auto expected = ParseFingerprint(kUpper);
    ASSERT_TRUE(expected);
    EXPECT_EQ((*expected)[0], 0x3C);
    EXPECT_EQ((*expected)[31], 0x66);
    for (const std::string& text : {std::string(kLower), "  " + std::string(kUpper) + " ",
                                   std::string("3c 22 88 7a c9 58 6a ec d0 01 a1 cb 63 c7 8f 41 32 d3 f4 3c 65 f0 51 05 "
                                               "66 a2 d7 29 73 49 09 66")})
        EXPECT_EQ(ParseFingerprint(text), expected) << text;
    EXPECT_EQ(FormatFingerprint(*expected), kUpper);
}

TEST(ParseFingerprint, RefusesWhatIsNotASha256) {
    const std::string lower = kLower;
    for (const std::string& text : {std::string(), lower.substr(1), lower + "0", lower.substr(0, 40),
                                   lower.substr(0, 63) + "g", "sha256 Fingerprint=" + lower})
        EXPECT_FALSE(ParseFingerprint(text)) << text;
}

TEST(TlsPolicyFor, OnlyYTurnsTlsOn) {
    TCONFIG_INFO config;
    for (const char* value : {"", "N", "y", "Yes", "1"}) {
        config.CTI_TLS = value;
        EXPECT_FALSE(TlsPolicyFor(config, "10.0.0.5").enabled) << value;
    }
    config.CTI_TLS = " Y ";
    EXPECT_TRUE(TlsPolicyFor(config, "10.0.0.5").enabled);
}

TEST(TlsPolicyFor, NameIsCtiTlsNameOrElseTheAddressTried) {
    TCONFIG_INFO config;
    config.CTI_TLS = "Y";
    EXPECT_EQ(TlsPolicyFor(config, " cti1.example.com ").serverName, "cti1.example.com");
    config.CTI_TLS_NAME = "  ";
    EXPECT_EQ(TlsPolicyFor(config, "10.0.0.5").serverName, "10.0.0.5");
    config.CTI_TLS_NAME = " cti.example.com";
    EXPECT_EQ(TlsPolicyFor(config, "10.0.0.5").serverName, "cti.example.com");
}

TEST(TlsPolicyFor, FingerprintIsPinnedOrMarkedUnreadable) {
    TCONFIG_INFO config;
    config.CTI_TLS = "Y";
    config.CTI_ANSWER_SECONDS = 7;
    TlsPolicy policy = TlsPolicyFor(config, "h");
    EXPECT_FALSE(policy.fingerprint);
    EXPECT_FALSE(policy.fingerprintUnreadable);
    EXPECT_EQ(policy.handshakeTimeoutMs, 7000);

    config.CTI_TLS_CERT_SHA256 = kUpper;
    policy = TlsPolicyFor(config, "h");
    EXPECT_EQ(policy.fingerprint, ParseFingerprint(kLower));
    EXPECT_FALSE(policy.fingerprintUnreadable);

    // A fingerprint that cannot be read must not fall back to the system's trust.
    config.CTI_TLS_CERT_SHA256 = "3C:22:88";
    policy = TlsPolicyFor(config, "h");
    EXPECT_FALSE(policy.fingerprint);
    EXPECT_TRUE(policy.fingerprintUnreadable);
}

TEST(TlsFailureText, SaysWhatFailed) {
    const std::pair<std::string, std::string> cases[] = {
        {TlsFailureText(TlsFailure::Handshake, kTlsNoAnswer), "TLS handshake failure(no answer)"},
        {TlsFailureText(TlsFailure::Handshake, "0x80090326"), "TLS handshake failure(0x80090326)"},
        {TlsFailureText(TlsFailure::Untrusted), "TLS certificate untrusted"},
        {TlsFailureText(TlsFailure::Expired), "TLS certificate expired"},
        {TlsFailureText(TlsFailure::Revoked), "TLS certificate revoked"},
        {TlsFailureText(TlsFailure::NameMismatch), "TLS certificate name mismatch"},
        {TlsFailureText(TlsFailure::FingerprintMismatch), "TLS certificate fingerprint mismatch"},
        {TlsFailureText(TlsFailure::FingerprintUnreadable), "TLS CTI_TLS_CERT_SHA256 unreadable"},
        {TlsFailureText(TlsFailure::Broken, "0x80090330"), "TLS failure(0x80090330)"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
}

TEST(LooksLikeTls, TellsTlsRecordsFromText) {
    EXPECT_TRUE(LooksLikeTls(std::string("\x16\x03\x03\x00\x7a", 5)));  // a handshake record
    EXPECT_TRUE(LooksLikeTls(std::string("\x15\x03\x01", 3)));          // an alert
    EXPECT_TRUE(LooksLikeTls(std::string("\x16", 1)));                  // too little to tell
    EXPECT_FALSE(LooksLikeTls("|LINK|INFO      |S|0008|I|text|\r\n"));
    EXPECT_FALSE(LooksLikeTls("HTTP/1.1 400 Bad Request\r\n"));
    EXPECT_FALSE(LooksLikeTls(std::string("\x16\x02", 2)));
}

class TlsLink : public ::testing::Test, protected testing::TestLibrary {};

TEST_F(TlsLink, KeysAreReadFromConfigIni) {
    ini.set(configFile(), "Connect", "CTI_IPs", "10.0.0.1");
    ini.set(configFile(), "Connect", "CTI_TLS", "Y");
    ini.set(configFile(), "Connect", "CTI_TLS_CERT_SHA256", kUpper);
    ini.set(configFile(), "Connect", "CTI_TLS_NAME", "cti.example.com");
    lib.config.BasePath = kBase;
    LoadSettings(lib);
    EXPECT_EQ(lib.config.CTI_TLS, "Y");
    EXPECT_EQ(lib.config.CTI_TLS_CERT_SHA256, kUpper);
    EXPECT_EQ(lib.config.CTI_TLS_NAME, "cti.example.com");
}

TEST_F(TlsLink, RefusedConnectionIsReportedAndPacedLikeAnyFailedAttempt) {
    start("10.0.0.1,10.0.0.2");
    handle([&] {
        // What the socket does: closes, tells why, then reports the disconnection.
        socket.current = SocketState::Closed;
        CTISocketTlsFailure(link, TlsFailureText(TlsFailure::Untrusted));
        CTISocketDisconnect(link);
    });
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect|TLS certificate untrusted|", "|SMSG|conn|disconnect||"}));
    EXPECT_EQ(alerts(), (Strings{"TimerConn=>[1/10] CTI connect Requst"}));
    // The next address, after the pause of a first failure.
    EXPECT_TRUE(connectPause.running);
    EXPECT_EQ(connectPause.interval, kFirstPauseMs);
    ConnectPauseTimer(link);
    ASSERT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(socket.opens.back().first, "10.0.0.2");
}

}  // namespace
}  // namespace veltrane::cti
