// The alert popup on the 1024 x 768 screen of Xvfb. A start without a CTI
// address raises the one alert "GET_INI_INFO Fail", whose time is
// (5 + POPUP_SHOW_TIME) tenths of a second.
#include <gtest/gtest.h>

#include <chrono>

#include "harness/test_host.h"
#include "host/host_support.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct PopupSearch {
    DWORD process = ::GetCurrentProcessId();
    HWND found = nullptr;
};

BOOL CALLBACK MatchPopup(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<PopupSearch*>(param);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != search->process || std::wstring(name) != L"VeltraneAlert") return TRUE;
    search->found = window;
    return FALSE;
}

// The popup of this process, shown or not.
HWND FindAlertPopup() {
    PopupSearch search;
    ::EnumWindows(&MatchPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int Alpha(HWND popup) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!::GetLayeredWindowAttributes(popup, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
    return alpha;
}

bool FullyShown(HWND popup) { return ::IsWindowVisible(popup) && Alpha(popup) == 255; }

RECT WindowRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

::testing::AssertionResult RectIs(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    if (r.left == left && r.top == top && r.right == right && r.bottom == bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom
                                         << ")";
}

class AlertPopup : public ::testing::Test {
protected:
    std::wstring title = UniqueTitle();
    TestHost host{title};
    TempFolder base;

    void SetUp() override {
        WriteIni(base.path() + L"config.ini", "Connect", "CTI_IPs", "");
        WriteIni(base.path() + L"config_user.ini", "Connect", "POPUP_SHOW_TIME", "0");
    }
    // Starts, which raises the alert, and returns the popup once fully shown.
    HWND startAndWaitForPopup() {
        host.start(base.path(), title);
        HWND popup = FindAlertPopup();
        if (popup == nullptr || !host.waitFor([&] { return FullyShown(popup); }, 3s)) return nullptr;
        return popup;
    }
};

TEST_F(AlertPopup, FadesInBottomRightOnTopWithoutFocusAndHidesAfterItsTime) {
    ::ShowWindow(host.window(), SW_SHOWNORMAL);
    ::SetForegroundWindow(host.window());
    host.pump(100ms);
    ::SetCursorPos(0, 0);

    host.start(base.path(), title);
    HWND popup = FindAlertPopup();
    ASSERT_NE(popup, nullptr);
    // As soon as the message loop runs it is on screen, still (nearly) transparent.
    ASSERT_TRUE(host.waitFor([&] { return ::IsWindowVisible(popup) != FALSE; }, 2s));
    EXPECT_LT(Alpha(popup), 255);
    const auto shownAt = Clock::now();
    ASSERT_TRUE(host.waitFor([&] { return FullyShown(popup); }, 3s));

    EXPECT_TRUE(RectIs(WindowRect(popup), 784, 648, 1024, 768));
    EXPECT_TRUE(::GetWindowLongW(popup, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(::GetForegroundWindow(), popup);
    EXPECT_NE(::GetActiveWindow(), popup);
    EXPECT_NE(::GetFocus(), popup);
    char header[64] = {};
    ::GetWindowTextA(popup, header, sizeof header);
    EXPECT_STREQ(header, "GET_INI_INFO Fail");

    // 500 ms shown, then ten steps of 100 ms fading out.
    ASSERT_TRUE(host.waitFor([&] { return !::IsWindowVisible(popup); }, 5s));
    EXPECT_GE(Clock::now() - shownAt, 1300ms);
    EXPECT_TRUE(Logged(base.path(), " POPUP_INFO => [Time(ms):500]GET_INI_INFO Fail=>In put CTI Address"));

    // The next start raises it again; with the pointer resting on it, it
    // stays past its time until the pointer leaves. (One test moves the
    // pointer, so that tests running side by side do not disturb it.)
    ASSERT_EQ(startAndWaitForPopup(), popup);
    ::SetCursorPos(900, 700);
    host.pump(2000ms);
    EXPECT_TRUE(FullyShown(popup));
    ::SetCursorPos(0, 0);
    EXPECT_TRUE(host.waitFor([&] { return !::IsWindowVisible(popup); }, 3s));
}

TEST_F(AlertPopup, DurationZeroStaysUntilTheNextAlertReplacesIt) {
    WriteIni(base.path() + L"config_user.ini", "Connect", "POPUP_SHOW_TIME", "-5");
    HWND popup = startAndWaitForPopup();
    ASSERT_NE(popup, nullptr);
    host.pump(1500ms);
    EXPECT_TRUE(FullyShown(popup));
    EXPECT_TRUE(Logged(base.path(), " POPUP_INFO => [Time(ms):0]GET_INI_INFO Fail=>In put CTI Address"));
}

TEST_F(AlertPopup, SwitchedOffShowsNothing) {
    WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
    host.start(base.path(), title);
    EXPECT_EQ(host.callbacks().front(), "conn|disconnect|In put CTI Address(GET_INI_INFO)");
    HWND popup = FindAlertPopup();
    host.pump(300ms);
    EXPECT_TRUE(popup == nullptr || !::IsWindowVisible(popup));
    for (const std::string& line : LogLines(base.path())) EXPECT_EQ(line.find("POPUP_INFO"), std::string::npos);
}

// Sets the work area and puts the old one back at the end.
class WorkArea {
public:
    WorkArea() { ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &original_, 0); }
    ~WorkArea() { ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &original_, 0); }
    bool set(RECT area) {
        RECT now{};
        ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &now, 0);
        return ::EqualRect(&now, &area);
    }

private:
    RECT original_{};
};

TEST_F(AlertPopup, TaskBarMovesThePopupOutOfItsWay) {
    struct Case {
        RECT workArea, popup;
    };
    const Case cases[] = {
        {{0, 0, 1024, 738}, {784, 618, 1024, 738}},   // 30 pixels at the bottom
        {{0, 0, 964, 768}, {724, 648, 964, 768}},     // 60 pixels at the right
        {{60, 0, 1024, 768}, {784, 648, 1024, 768}},  // at the left
        {{0, 30, 1024, 768}, {784, 648, 1024, 768}},  // at the top
    };
    WorkArea workArea;
    for (const Case& one : cases) {
        if (!workArea.set(one.workArea)) GTEST_SKIP() << "the work area cannot be set here";
        HWND popup = startAndWaitForPopup();
        ASSERT_NE(popup, nullptr);
        const RECT& w = one.workArea;
        EXPECT_TRUE(RectIs(WindowRect(popup), one.popup.left, one.popup.top, one.popup.right, one.popup.bottom))
            << "work area " << w.left << "," << w.top << "," << w.right << "," << w.bottom;
    }
}

}  // namespace
}  // namespace veltrane::wine
