#include <gtest/gtest.h>

#include "common/encoding.h"
#include "console/options.h"
#include "simulator/options.h"

namespace veltrane::tools {
namespace {

TEST(WireEncoding, Cp949RoundTripAndInvalidBytes) {
    const auto cp949 = WireEncoding::Named("CP949");
    ASSERT_TRUE(cp949);
    EXPECT_EQ(cp949->toWire("안녕 ok"), "\xBE\xC8\xB3\xE7 ok");
    EXPECT_EQ(cp949->fromWire("\xBE\xC8\xB3\xE7 ok"), "안녕 ok");
    // A cut-off character is marked, and the text after it survives.
    EXPECT_EQ(cp949->fromWire("a\xBE|LINK|"), "a?|LINK|");
    EXPECT_EQ(WireEncoding::Named("utf-8")->toWire("안녕"), "안녕");
    EXPECT_FALSE(WireEncoding::Named("latin1"));
}

TEST(SimulatorOptions, ValuesBothWaysAndRepeatedSmsRules) {
    std::string error;
    const auto options = ParseSimulatorOptions(
        {"--port=0", "--control-port", "7001", "--sms-fail", "0109999", "--sms-fail=0108888:2", "--no-mac-check",
         "--call-length", "0", "--flap", "--silent"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, 0);
    EXPECT_EQ(options->controlPort, 7001);
    EXPECT_EQ(options->rules.smsFailures, (std::map<std::string, int>{{"0109999", 9}, {"0108888", 2}}));
    EXPECT_FALSE(options->rules.checkMac);
    EXPECT_EQ(options->rules.callLengthMs, 0);
    EXPECT_TRUE(options->rules.flapping);
    EXPECT_TRUE(options->rules.silent);
}

TEST(SimulatorOptions, RejectsUnusableValues) {
    std::string error;
    EXPECT_FALSE(ParseSimulatorOptions({"--port", "70000"}, error));
    EXPECT_FALSE(ParseSimulatorOptions({"--answer-after", "-5"}, error));
    EXPECT_FALSE(ParseSimulatorOptions({"--sms-fail", "0109999:"}, error));
    EXPECT_FALSE(ParseSimulatorOptions({"--phone"}, error));
    EXPECT_EQ(error, "--phone needs a value");
    EXPECT_FALSE(ParseSimulatorOptions({"--bogus"}, error));
}

TEST(SimulatorOptions, TlsNeedsCertificateAndKey) {
    std::string error;
    const auto options = ParseSimulatorOptions({"--tls-cert", "server.pem", "--tls-key=server.key"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->tlsCertificate, "server.pem");
    EXPECT_EQ(options->tlsKey, "server.key");
    EXPECT_FALSE(ParseSimulatorOptions({"--tls-cert", "server.pem"}, error));
    EXPECT_EQ(error, "--tls-cert and --tls-key go together");
    EXPECT_FALSE(ParseSimulatorOptions({"--tls-key", "server.key"}, error));
}

TEST(ConsoleOptions, ScriptSimulatorAndChildHandle) {
    std::string error;
    const auto options = ParseConsoleOptions(
        {"demo.vts", "--sim", "127.0.0.1:7001", "--base", "Z:\\tmp\\base", "--child-status", "140"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->script, "demo.vts");
    EXPECT_EQ(options->runner.simHost, "127.0.0.1");
    EXPECT_EQ(options->runner.simPort, 7001);
    EXPECT_EQ(options->runner.basePath, "Z:\\tmp\\base");
    EXPECT_EQ(options->childStatus, 140u);
    EXPECT_FALSE(ParseConsoleOptions({"--sim", "host:"}, error));
    EXPECT_FALSE(ParseConsoleOptions({"a.vts", "b.vts"}, error));
}

}  // namespace
}  // namespace veltrane::tools
