#include "account/registration.h"

#include "core/lifecycle.h"
#include "support/command_fixture.h"

namespace veltrane::account {
namespace {

using testing::Smsg;
using testing::Wire;
using Vec = std::vector<std::string>;

class Registration : public testing::CommandTest {};

TEST_F(Registration, BlankPhoneIsRefusedWithEventThenAlert) {
    lib.config.REG_PHONE = "0299998888";
    for (const std::string phone : {"", "   ", "\t\r\n"}) {
        t.clearRecords();
        alertsAtEachEvent.clear();
        watchAlertOrder();
        CERTIFICATION_NO(link, phone);
        EXPECT_EQ(t.events(), Vec{Smsg("certification_no|fail|Input phone number|")});
        EXPECT_EQ(t.alerts(), (Vec{"certification_no=>Input phone number", "certification_no Fail=>Input phone number"}));
        EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{0});
        EXPECT_EQ(t.desktop.alerts.back().durationMs, 1000);
        EXPECT_EQ(lib.config.REG_PHONE, "0299998888");
        EXPECT_TRUE(t.ini.writes.empty());
        EXPECT_TRUE(t.socket.packets.empty());
    }
}

TEST_F(Registration, NumberWithLinkDownReconnectsAndStoresNothing) {
    takeLinkDown();
    lib.config.REG_PHONE = "0299998888";
    CERTIFICATION_NO(link, "0212345678");
    EXPECT_EQ(connectAttempts(), 1u);
    EXPECT_EQ(t.events(), Vec{Smsg("certification_no|fail|CTI ReConnecting|")});
    EXPECT_EQ(lib.config.REG_PHONE, "0299998888");
    EXPECT_EQ(lib.config.PHONE_NO, "0212345678");
    EXPECT_TRUE(t.ini.writes.empty());
    EXPECT_TRUE(t.socket.packets.empty());

    // A blank number is refused before the link is looked at.
    t.clearRecords();
    takeLinkDown();
    CERTIFICATION_NO(link, " ");
    EXPECT_EQ(connectAttempts(), 0u);
    EXPECT_EQ(t.events(), Vec{Smsg("certification_no|fail|Input phone number|")});
}

TEST_F(Registration, NumberKeepsItsBlanksInSettingsLogAndPacket) {
    t.call([&] { CERTIFICATION_NO(link, " 0311112222 "); });
    EXPECT_EQ(lib.config.REG_PHONE, " 0311112222 ");
    EXPECT_EQ(lib.config.PHONE_NO, " 0311112222 ");
    EXPECT_EQ(t.ini.value(t.userFile(), "Connect", "REG_PHONE"), " 0311112222 ");
    EXPECT_EQ(t.ini.value(t.userFile(), "MyInfo", "PHONE_NO"), " 0311112222 ");
    const std::string packet = "|LINK|NUMBER    |R|0033|R| 0311112222 |00-1A-2B-3C-4D-5E|";
    EXPECT_EQ(t.socket.packets, Vec{Wire(packet)});
    EXPECT_EQ(commandLog(), (Vec{" 0311112222  CERTIFICATION_NO => [Phone: 0311112222 ]",
                                 " 0311112222  CTI SEND => " + packet}));
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Registration, SendNumberFailuresKeepTheirOwnSpelling) {
    takeLinkDown();
    SendNumber(link, "0311112222", kMac);
    // The second field is the phone, so this one raises no alert.
    EXPECT_EQ(t.events(), Vec{Smsg("Certification_no|0311112222|Fail|disconnect|")});
    EXPECT_TRUE(t.alerts().empty());
    EXPECT_EQ(connectAttempts(), 0u);

    t.startConnected();
    t.socket.refuseSend = true;
    SendNumber(link, "0311112222", kMac);
    EXPECT_EQ(t.events().front(), Smsg("Certification_no|0311112222|fail|Except CTI SEND|"));
}

TEST_F(Registration, PcCheckRemovesDashesFromThePhoneOnly) {
    lib.config.REG_PHONE = "01099998888";
    CERTIFICATION_PC(link, " 010-9999-8888 ", " 123456 ");
    EXPECT_TRUE(t.events().empty());
    // The body carries PHONE_NO, not the phone given for the check.
    const std::string packet = "|LINK|CERTIFY   |R|0038|R|0212345678|00-1A-2B-3C-4D-5E|123456|";
    EXPECT_EQ(t.socket.packets, Vec{Wire(packet)});
    EXPECT_EQ(commandLog(), (Vec{"0212345678 CERTIFICATION_PC Request => Phone( 010-9999-8888 )RegPhone(01099998888)",
                                 "0212345678 CERTIFICATION_PC => [Phone:010-9999-8888]123456",
                                 "0212345678 CTI SEND => " + packet}));
    EXPECT_EQ(lib.config.REG_PHONE, "01099998888");
    EXPECT_TRUE(t.ini.writes.empty());
}

TEST_F(Registration, PcRefusesADifferentPhoneFirst) {
    const std::string refused = Smsg("certification_pc|fail|Difference phone number|");
    const Vec alerts{"certification_pc=>Difference phone number", "certification_pc Fail=>Difference phone number"};

    lib.config.REG_PHONE = "010-9999-8888";  // stored with dashes: never matches
    CERTIFICATION_PC(link, "010-9999-8888", "123456");
    EXPECT_EQ(t.events(), Vec{refused});
    EXPECT_EQ(t.alerts(), alerts);
    EXPECT_EQ(commandLog(), Vec{"0212345678 CERTIFICATION_PC Request => Phone(010-9999-8888)RegPhone(010-9999-8888)"});

    // Wrong phone and blank certification number: the phone is reported.
    t.clearRecords();
    takeLinkDown();
    lib.config.REG_PHONE = "01099998888";
    CERTIFICATION_PC(link, "01011112222", "  ");
    EXPECT_EQ(t.events(), Vec{refused});
    EXPECT_EQ(connectAttempts(), 0u);
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(Registration, PcWithoutRegisteredPhoneReachesTheCertificationNumberCheck) {
    lib.config.REG_PHONE.clear();
    for (const std::string phone : {"", "  ", "-", " -- "}) {
        for (const std::string number : {"", " \t "}) {
            t.clearRecords();
            CERTIFICATION_PC(link, phone, number);
            EXPECT_EQ(t.events(), Vec{Smsg("certification_pc|fail|Input Cretification number|")}) << phone;
            EXPECT_EQ(t.alerts().back(), "certification_pc Fail=>Input Cretification number");
            EXPECT_TRUE(t.socket.packets.empty());
        }
    }
}

TEST_F(Registration, PcWithLinkDownReconnects) {
    takeLinkDown();
    lib.config.REG_PHONE = "0212345678";
    CERTIFICATION_PC(link, "0212345678", "123456");
    EXPECT_EQ(connectAttempts(), 1u);
    EXPECT_EQ(t.events(), Vec{Smsg("certification_pc|fail|CTI ReConnecting|")});
    for (const std::string& line : commandLog()) EXPECT_EQ(line.find(" CERTIFICATION_PC => "), std::string::npos);
}

TEST_F(Registration, SendCertifyFailures) {
    takeLinkDown();
    SendCertify(link, "123456");
    EXPECT_EQ(t.events(), Vec{Smsg("certification_pc|fail|0212345678|disconnect|")});
    EXPECT_EQ(connectAttempts(), 0u);

    t.startConnected();
    t.socket.refuseSend = true;
    SendCertify(link, "123456");
    EXPECT_EQ(t.events().front(), Smsg("certification_pc|fail|0212345678|Except CTI SEND|"));
}

TEST_F(Registration, OtherForgetsTheRegistrationQuietly) {
    lib.config.REG_PHONE = "0212345678";
    lib.config.MAC_ADDR = kMac;
    link.signedIn = true;
    CERTIFICATION_OTHER(link);
    EXPECT_FALSE(link.signedIn);
    EXPECT_TRUE(t.timerConn.running);  // the link itself is still watched
    EXPECT_EQ(t.socket.state(), SocketState::Connected);
    EXPECT_TRUE(t.events().empty());
    EXPECT_TRUE(t.alerts().empty());
    EXPECT_TRUE(t.socket.packets.empty());
    for (const char* key : {"REG_PHONE", "MAC_ADDR"}) EXPECT_EQ(t.ini.value(t.userFile(), "Connect", key), "");
    EXPECT_TRUE(t.ini.has(t.userFile(), "MyInfo", "PHONE_NO"));
    EXPECT_EQ(t.ini.value(t.userFile(), "MyInfo", "PHONE_NO"), "");
    EXPECT_EQ(commandLog(), Vec{" CERTIFICATION_OTHER => [RegPhone:]:00-1A-2B-3C-4D-5E"});

    t.clearRecords();
    t.session.start(testing::TestLibrary::kBase, "Host Window");
    ASSERT_FALSE(t.events().empty());
    EXPECT_EQ(t.events().back(), Smsg("dllstart|success|certification_no|"));
}

TEST_F(Registration, KoreanAndPipeGoOutAsBytes) {
    lib.config.REG_PHONE = "0212345678";
    CERTIFICATION_PC(link, "0212345678", "\xC0\xCE\xC1\xF5|9 ");
    // Four bytes of CP949, the bar and the digit: six bytes of number.
    EXPECT_EQ(t.socket.packets,
              Vec{Wire("|LINK|CERTIFY   |R|0038|R|0212345678|00-1A-2B-3C-4D-5E|\xC0\xCE\xC1\xF5|9|")});
}

}  // namespace
}  // namespace veltrane::account
