// Veltrane.Phone given what scripts and careless hosts give it: nothing
// before Start, null, empty and huge strings, numbers and arrays where text
// belongs, calls from other threads, every kind of timeout, and objects
// released from inside their own event.
#include <string>
#include <thread>
#include <vector>

#include "com/phone_fixture.h"
#include "veltrane.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

class PhoneInput : public PhoneTest {};

const std::wstring kBlankDial = L"|SMSG|call|fail||dialing|R|Input dialing Phone Number|";

TEST_F(PhoneInput, CallsBeforeStartDoNothingAndStartStillWorks) {
    struct Call {
        const wchar_t* method;
        std::vector<Value> arguments;
    };
    const Value number = Text(L"0311112222");
    const std::vector<Call> calls = {
        {L"Stop", {}}, {L"RegisterPhone", {number}}, {L"ForgetPhone", {}}, {L"CertifyPC", {number, number}},
        {L"Login", {number, number, number}}, {L"Logout", {}}, {L"Dial", {number}}, {L"PickUp", {number}},
        {L"HangUp", {number}}, {L"Redial", {}}, {L"SendSms", {number, number}},
        {L"BookSms", {number, number, number}}, {L"RecordCall", {number}},
        {L"OpenWebPage", {Text(L"CL"), number, number, number}}, {L"Finish", {}},
    };
    for (const Call& call : calls) EXPECT_EQ(phone->call(call.method, call.arguments).hr, S_OK) << call.method;
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(200)}).value.text(), L"");
    EXPECT_TRUE(sink.hostEvents().empty());

    EXPECT_EQ(phone->get(L"Version").value.text(), Widen(VELTRANE_VERSION_STRING));
    step(L"Start", {Text(base.path())}, L"|SMSG|dllstart|success|certification_no|");
}

TEST_F(PhoneInput, ArgumentsAreConvertedToTextOrRefusedCleanly) {
    startConnected();
    struct Case {
        const char* what;
        const wchar_t* method;
        std::vector<Value> arguments;
        HRESULT hr;
        std::wstring event;  // the HostEvent that follows, if any
    };
    const std::wstring huge(100000, L'7');
    const std::vector<Case> cases = {
        {"null text", L"Dial", {NullText()}, S_OK, kBlankDial},
        {"empty text", L"Dial", {Text(L"")}, S_OK, kBlankDial},
        {"a number", L"Dial", {Number(42)}, S_OK, L"|SMSG|call|success|0212345678|42|dialing|S||"},
        {"100,000 characters", L"Dial", {Text(huge)}, S_OK, L""},
        {"an array", L"Dial", {NumberArray()}, DISP_E_TYPEMISMATCH, L""},
        {"too few", L"Dial", {}, DISP_E_BADPARAMCOUNT, L""},
        {"an array as the title", L"Start", {Text(base.path()), NumberArray()}, DISP_E_EXCEPTION, L""},
        {"no such method", L"Hangup2", {}, DISP_E_UNKNOWNNAME, L""},
    };
    for (const Case& one : cases) {
        const std::size_t mark = sink.hostEvents().size();
        const CallResult result = phone->call(one.method, one.arguments);
        EXPECT_EQ(result.hr, one.hr) << one.what;
        if (!one.event.empty()) {
            EXPECT_TRUE(waitForEvent(one.event, mark)) << one.what << ": " << ToAnsi(sink.hostEvents().back());
        }
        if (one.hr == DISP_E_EXCEPTION) {
            EXPECT_EQ(result.description, L"Veltrane: WindowTitle must be text");
        }
    }
    ASSERT_TRUE(PumpUntil([&] { return server.received().find(std::string(100000, '7')) != std::string::npos; }));
}

TEST_F(PhoneInput, WaitEventTakesEachEventOnceWhateverItsTimeout) {
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(0)}).value.text(), L"");  // from now on events are kept
    startConnected();
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(-1)}).value.text(), L"|SMSG|dllstart|success|certification_no|");
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(0x7fffffff)}).value.text(), L"|SMSG|conn|connect||");
    phone->call(L"Dial", {Text(L"")});
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(-5)}).value.text(), kBlankDial);
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(0)}).value.text(), L"") << "nothing left, yet it returned";
}

TEST_F(PhoneInput, WaitEventKeepsTheNewestEventsWhenFull) {
    // No CTI address: each dial fails at once with its number in the event.
    TempFolder offline;
    // A port of its own: 12209 may be another test's.
    WriteIni(offline.path() + L"config.ini", "Connect", "WEB_PORT", std::to_string(FreeLoopbackPort()));
    WriteIni(offline.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
    WriteIni(offline.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(0)}).value.text(), L"");
    step(L"Start", {Text(offline.path())}, L"|SMSG|dllstart|success|certification_no|");
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(0)}).value.text(), L"conn|disconnect|In put CTI Address(GET_INI_INFO)");
    EXPECT_EQ(phone->call(L"WaitEvent", {Number(0)}).value.text(), L"|SMSG|dllstart|success|certification_no|");
    for (int i = 0; i < 1100; ++i) phone->call(L"Dial", {Number(i)});
    std::vector<std::wstring> taken;
    for (std::wstring text; !(text = phone->call(L"WaitEvent", {Number(0)}).value.text()).empty();)
        taken.push_back(text);
    ASSERT_EQ(taken.size(), 1024u);
    EXPECT_EQ(taken.front(), L"|SMSG|call|fail|0212345678|76|dialing|S|CTI disconnect|");
    EXPECT_EQ(taken.back(), L"|SMSG|call|fail|0212345678|1099|dialing|S|CTI disconnect|");
}

TEST_F(PhoneInput, CallsFromAnotherThreadRunOnTheObjectsThread) {
    startConnected();
    IStream* stream = nullptr;
    ASSERT_EQ(::CoMarshalInterThreadInterfaceInStream(IID_IDispatch, phone->object(), &stream), S_OK);
    std::atomic<HRESULT> called{E_PENDING};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            Ref<IDispatch> proxy;
            if (SUCCEEDED(::CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, proxy.out()))) {
                Automation remote(std::move(proxy));
                called = remote.call(L"Dial", {Text(L"0311112222")}).hr;
            } else {
                called = E_NOINTERFACE;
            }
        }  // the proxy's release is a call to this thread too
        ::CoUninitialize();
        finished = true;
    });
    const bool returned = PumpUntil([&] { return finished.load(); });
    worker.join();
    ASSERT_TRUE(returned);
    EXPECT_EQ(called.load(), S_OK);
    EXPECT_TRUE(waitForEvent(L"|SMSG|call|success|0212345678|0311112222|calling|S||"));
    for (const EventSink::Event& event : sink.events()) EXPECT_EQ(event.thread, ::GetCurrentThreadId());
}

TEST_F(PhoneInput, ReleasingEveryObjectInsideHostEventLeavesTheLibraryRunning) {
    Ref<IDispatch> second;
    ASSERT_EQ(CreateByProgId(L"Veltrane.Phone", second), S_OK);
    EventSink secondSink;
    ASSERT_EQ(secondSink.connect(second.get()), S_OK);
    // As VB does when a WithEvents variable is set to Nothing: disconnect, release.
    bool released = false;
    sink.onEvent = [&](const EventSink::Event&) {
        if (std::exchange(released, true)) return;
        secondSink.disconnect();
        second.reset();
        sink.disconnect();
        phone->release();
    };
    ASSERT_EQ(phone->call(L"Start", {Text(base.path())}).hr, S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !phone->object(); }));
    ASSERT_TRUE(PumpUntil([&] { return server.clientConnected(); }));
    PumpUntil([] { return false; }, 300ms);  // the events of the start, to no one

    // Nothing stopped: a new object drives the same library.
    Ref<IDispatch> third;
    ASSERT_EQ(CreateByProgId(L"Veltrane.Phone", third), S_OK);
    phone = std::make_unique<Automation>(std::move(third));
    EventSink thirdSink;
    ASSERT_EQ(thirdSink.connect(phone->object()), S_OK);
    ASSERT_EQ(phone->call(L"Dial", {Text(L"0311112222")}).hr, S_OK);
    EXPECT_TRUE(PumpUntil([&] {
        const std::vector<std::wstring> events = thirdSink.hostEvents();
        return !events.empty() && events.back() == L"|SMSG|call|success|0212345678|0311112222|calling|S||";
    }));
    thirdSink.disconnect();
}

}  // namespace
}  // namespace veltrane::wine
