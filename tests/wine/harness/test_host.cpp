#include "harness/test_host.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace veltrane::wine {

namespace {
TestHost* current = nullptr;
constexpr wchar_t kHostClass[] = L"VeltraneTestHostWindow";

using StartFn = void(__stdcall*)(BSTR, BSTR, void(__stdcall*)(const char*));
using Fn0 = void(__stdcall*)();
using Fn1 = void(__stdcall*)(BSTR);
using Fn2 = void(__stdcall*)(BSTR, BSTR);
using Fn3 = void(__stdcall*)(BSTR, BSTR, BSTR);
using Fn4 = void(__stdcall*)(BSTR, BSTR, BSTR, BSTR);

// GetProcAddress gives a generic function pointer; the exports' own types
// are restored through the one type the compilers accept for that.
template <typename Function>
Function As(FARPROC function) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(function));
}

// Owns the BSTRs of one call.
class Bstrs {
public:
    explicit Bstrs(std::initializer_list<Arg> args) {
        for (const Arg& arg : args)
            values_.push_back(arg.isNull ? nullptr
                                         : ::SysAllocStringLen(arg.text.data(), static_cast<UINT>(arg.text.size())));
    }
    ~Bstrs() {
        for (BSTR value : values_) ::SysFreeString(value);
    }
    BSTR operator[](std::size_t i) const { return values_.at(i); }
    std::size_t size() const { return values_.size(); }

private:
    std::vector<BSTR> values_;
};

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(folder.c_str());
}

std::wstring TestHost::DefaultTitle() { return std::wstring(kTitle) + L" " + std::to_wstring(::GetCurrentProcessId()); }

TestHost::TestHost(const std::wstring& title) {
    current = this;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TestHost::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostClass;
    ::RegisterClassExW(&wc);
    window_ = ::CreateWindowExW(0, kHostClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr, nullptr,
                                wc.hInstance, nullptr);
    dll_ = ::LoadLibraryW((ModuleFolder() + L"veltrane.dll").c_str());
    if (dll_ == nullptr) throw std::runtime_error("veltrane.dll could not be loaded");
}

TestHost::~TestHost() {
    // The DLL stays loaded: its data module lives as long as the process.
    if (window_ != nullptr) ::DestroyWindow(window_);
    current = nullptr;
}

namespace {
// The folder DLL_START makes of its first argument.
std::wstring EffectiveBase(const Arg& basePath) {
    std::wstring path = basePath.isNull ? std::wstring() : basePath.text;
    if (std::all_of(path.begin(), path.end(), [](wchar_t c) { return c <= 32; })) return L"C:\\Orvanta\\";
    if (path.back() != L'\\') path += L'\\';
    return path;
}

// Tests run side by side, and the library of each listens on the WEB_PORT of
// its config.ini, 12209 when it has none. A base folder that exists without
// one is given a free port. A test that leaves the library on 12209 (its
// folder does not exist yet, or it names no usable port) may find the port
// taken, by another test or any other program: it must expect the notice
// of a taken port among its events.
void IsolateWebPort(const Arg& basePath) {
    const std::wstring base = EffectiveBase(basePath);
    const std::wstring config = base + L"config.ini";
    const DWORD attributes = ::GetFileAttributesW(base.c_str());
    const bool folderExists = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folderExists && ReadIni(config, "Connect", "WEB_PORT") == "<missing>")
        WriteIni(config, "Connect", "WEB_PORT", std::to_string(FreeLoopbackPort()));
}
}  // namespace

void TestHost::start(const Arg& basePath, const Arg& title, bool withCallback) {
    IsolateWebPort(basePath);
    auto start = As<StartFn>(::GetProcAddress(dll_, "DLL_START"));
    Bstrs args{basePath, title};
    start(args[0], args[1], withCallback ? &TestHost::Callback : nullptr);
}

void TestHost::finish() { call("DLL_FINISH"); }

void TestHost::call(const char* exportName, std::initializer_list<Arg> list) {
    FARPROC function = ::GetProcAddress(dll_, exportName);
    if (function == nullptr) throw std::runtime_error(std::string("no export ") + exportName);
    Bstrs args(list);
    switch (args.size()) {
    case 0: As<Fn0>(function)(); break;
    case 1: As<Fn1>(function)(args[0]); break;
    case 2: As<Fn2>(function)(args[0], args[1]); break;
    case 3: As<Fn3>(function)(args[0], args[1], args[2]); break;
    case 4: As<Fn4>(function)(args[0], args[1], args[2], args[3]); break;
    default: throw std::runtime_error("too many arguments");
    }
}

bool TestHost::waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // One message at a time: while a server floods the link there is
        // always another one, and the wait must still end.
        MSG msg;
        const bool handled = ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        if (handled) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0)) return false;
        if (handled) continue;
        const auto wait = std::min<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count(), 10);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait), QS_ALLINPUT);
    }
}

bool TestHost::waitForEvent(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] {
            for (const std::string& event : callbacks_)
                if (event == text) return true;
            return false;
        },
        timeout);
}

void TestHost::pump(std::chrono::milliseconds duration) {
    waitFor([] { return false; }, duration);
}

void TestHost::clearEvents() {
    callbacks_.clear();
    copies_.clear();
}

void __stdcall TestHost::Callback(const char* text) {
    if (current == nullptr) return;
    const std::string event = text != nullptr ? text : "<null>";
    current->callbacks_.push_back(event);
    if (current->onCallback) current->onCallback(event);
}

LRESULT CALLBACK TestHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && current != nullptr) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        CopyData copy;
        copy.bytes = data->cbData;
        copy.dwData = data->dwData;
        copy.wParam = wParam;
        if (data->lpData != nullptr && data->cbData > 0)
            copy.text.assign(static_cast<const char*>(data->lpData), ::strnlen(static_cast<const char*>(data->lpData), data->cbData));
        current->copies_.push_back(copy);
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TempFolder::TempFolder(const std::wstring& leaf) {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    // A folder left by an earlier process with the same id (one that ended
    // inside DLL_FINISH removes nothing) is not reused: its files would leak
    // into this test.
    for (int tries = 0; tries < 1000; ++tries) {
        path_ = std::wstring(temp) + L"veltrane-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter) + L"\\";
        if (::CreateDirectoryW(path_.c_str(), nullptr) || ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    if (!leaf.empty()) {
        path_ += leaf + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
}

TempFolder::~TempFolder() {
    // Remove from the top folder this object created.
    std::wstring top = path_;
    const std::wstring marker = L"veltrane-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    const std::size_t at = top.find(marker);
    if (at != std::wstring::npos) top = top.substr(0, top.find(L'\\', at) + 1);
    RemoveTree(top);
}

std::string TempFolder::ansiPath() const { return ToAnsi(path_); }

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    ::CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write test file");
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string ReadIni(const std::wstring& file, const char* section, const char* key, const char* fallback) {
    char value[4096];
    const DWORD length =
        ::GetPrivateProfileStringA(section, key, fallback, value, sizeof value, ToAnsi(file).c_str());
    return std::string(value, length);
}

void WriteIni(const std::wstring& file, const char* section, const char* key, const std::string& value) {
    ::WritePrivateProfileStringA(section, key, value.c_str(), ToAnsi(file).c_str());
}

std::wstring TodayLogFile(const std::wstring& basePath) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t name[32];
    std::swprintf(name, 32, L"LOG\\%02u_dll.txt", now.wDay);
    return basePath + name;
}

std::vector<std::string> LogLines(const std::wstring& basePath) {
    std::vector<std::string> lines;
    const std::string bytes = ReadFileBytes(TodayLogFile(basePath));
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        if (line.size() >= 21 && line[0] == '[') line.erase(0, 21);
        lines.push_back(line);
        at = end + 2;
    }
    return lines;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), n, nullptr, nullptr);
    return ansi;
}

namespace {
// Whether [::1] has `port` free (or there is no IPv6 to listen on).
bool FreeOnIpv6Loopback(int port) {
    SOCKET probe = ::socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    if (probe == INVALID_SOCKET) return true;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = ::htons(static_cast<u_short>(port));
    address.sin6_addr = in6addr_loopback;
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int error = ::WSAGetLastError();
    ::closesocket(probe);
    return bound || error == WSAEADDRNOTAVAIL;
}
}  // namespace

int FreeLoopbackPort() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    // The library listens on both loopback addresses: a port free on both.
    for (int attempt = 0;; ++attempt) {
        SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        ::closesocket(probe);
        const int port = ::ntohs(address.sin_port);
        if (attempt == 20 || FreeOnIpv6Loopback(port)) return port;
    }
}

void WriteConfig(const std::wstring& basePath, const std::string& ctiAddresses, int ctiPort, int webPort) {
    const std::wstring file = basePath + L"config.ini";
    WriteIni(file, "Connect", "CTI_IPs", ctiAddresses);
    WriteIni(file, "Connect", "CTI_PORT", std::to_string(ctiPort));
    WriteIni(file, "Connect", "WEB_PORT", std::to_string(webPort != 0 ? webPort : FreeLoopbackPort()));
}

}  // namespace veltrane::wine
