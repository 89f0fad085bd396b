// A test with Veltrane.Phone registered, one object made by its ProgID with
// a sink connected, and a scripted CTI server that answers like a real one.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "com/com_client.h"
#include "commands/cti_server_script.h"
#include "harness/cti_fixture.h"

namespace veltrane::wine {

class PhoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 949u) << "the tests expect the Korean ANSI code page";
        ASSERT_EQ(registration.result(), S_OK);
        server.setResponder(AnswerLikeACtiServer);
        WriteConfig(base.path(), "127.0.0.1", server.port());
        WriteIni(base.path() + L"config.ini", "Connect", "WEB_BROWSER", "IE_ONLY");
        WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
        WriteIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
        Ref<IDispatch> object;
        ASSERT_EQ(CreateByProgId(L"Veltrane.Phone", object), S_OK);
        phone = std::make_unique<Automation>(std::move(object));
        ASSERT_EQ(sink.connect(phone->object()), S_OK);
    }
    void TearDown() override {
        if (phone && phone->object()) sink.disconnect();
    }

    // Waits (running this thread's messages) for a HostEvent equal to `text`
    // among those from index `from` on.
    bool waitForEvent(const std::wstring& text, std::size_t from = 0) {
        return PumpUntil([&] {
            const std::vector<std::wstring> events = sink.hostEvents();
            return events.size() > from &&
                   std::find(events.begin() + static_cast<std::ptrdiff_t>(from), events.end(), text) != events.end();
        });
    }
    // Calls a method and waits for the HostEvent that ends its exchange.
    void step(const wchar_t* method, std::vector<Value> arguments, const std::wstring& lastEvent) {
        const std::size_t mark = sink.hostEvents().size();
        ASSERT_EQ(phone->call(method, std::move(arguments)).hr, S_OK) << method;
        ASSERT_TRUE(waitForEvent(lastEvent, mark)) << method;
    }
    void startConnected() {
        step(L"Start", {Text(base.path())}, L"|SMSG|conn|connect||");
        ASSERT_TRUE(PumpUntil([&] { return server.clientConnected(); }));
    }

    Apartment apartment;
    MachineRegistration registration;
    TempFolder base;
    FakeCtiServer server;
    EventSink sink;
    std::unique_ptr<Automation> phone;
};

}  // namespace veltrane::wine
