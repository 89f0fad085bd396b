// The test host: a small Windows program's view of veltrane.dll. It loads
// the DLL with LoadLibrary, owns a top-level window with a given title, runs
// the message loop while it waits, and records every callback text and
// every WM_COPYDATA it receives.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace veltrane::wine {

// One export argument: a BSTR made from the text, or a null BSTR.
struct Arg {
    Arg(const wchar_t* text) : text(text) {}
    Arg(std::wstring text) : text(std::move(text)) {}
    static Arg Null() {
        Arg arg(L"");
        arg.isNull = true;
        return arg;
    }
    std::wstring text;
    bool isNull = false;
};

struct CopyData {
    std::string text;  // lpData up to its NUL
    DWORD bytes = 0;   // cbData
    ULONG_PTR dwData = 0;
    WPARAM wParam = 0;
};

class TestHost {
public:
    static constexpr const wchar_t* kTitle = L"Veltrane Test Host";

    explicit TestHost(const std::wstring& title = kTitle);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    HWND window() const { return window_; }
    HMODULE dll() const { return dll_; }

    void start(const Arg& basePath, const Arg& title = Arg(kTitle), bool withCallback = true);
    void finish();
    // Any other export, by name, with its BSTR arguments.
    void call(const char* exportName, std::initializer_list<Arg> args = {});

    // Runs the message loop until `done` holds or the time is up.
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Waits until an event equal to `text` ("|SMSG|..." included) has arrived.
    bool waitForEvent(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void pump(std::chrono::milliseconds duration);

    const std::vector<std::string>& callbacks() const { return callbacks_; }
    const std::vector<CopyData>& copies() const { return copies_; }
    void clearEvents();
    // Runs inside the callback, after the text is recorded.
    std::function<void(const std::string&)> onCallback;

private:
    static void __stdcall Callback(const char* text);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HMODULE dll_ = nullptr;
    HWND window_ = nullptr;
    std::vector<std::string> callbacks_;
    std::vector<CopyData> copies_;
};

// A new empty folder under %TEMP%, removed with its contents at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& leaf = L"");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }  // ends in "\"
    std::string ansiPath() const;

private:
    std::wstring path_;
};

// Removes a folder ("\" at its end) with everything in it.
void RemoveTree(const std::wstring& folder);

// Files as the host sees them.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadIni(const std::wstring& file, const char* section, const char* key, const char* fallback = "<missing>");
void WriteIni(const std::wstring& file, const char* section, const char* key, const std::string& value);
// The lines of today's log file, without their "[YYYY-MM-DD HH:NN:SS]" stamp.
std::vector<std::string> LogLines(const std::wstring& basePath);
// Today's log file name under basePath.
std::wstring TodayLogFile(const std::wstring& basePath);

std::wstring Widen(const std::string& utf8);
std::string ToAnsi(const std::wstring& text);

// A free TCP port on 127.0.0.1, for WEB_PORT.
int FreeLoopbackPort();

// Writes config.ini for a test: CTI address list, CTI port and a free WEB_PORT.
void WriteConfig(const std::wstring& basePath, const std::string& ctiAddresses, int ctiPort, int webPort = 0);

}  // namespace veltrane::wine
