#include "win32/platform_services.h"

#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/text.h"
#include "win32/host_call.h"
#include "winsupport/code_page.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

using winsupport::UniqueFile;

LocalTime SystemClock::now() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

SeededRandom::SeededRandom() {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    std::seed_seq seed{static_cast<std::uint32_t>(counter.QuadPart), static_cast<std::uint32_t>(counter.QuadPart >> 32),
                       static_cast<std::uint32_t>(::GetCurrentProcessId())};
    engine_.seed(seed);
}

std::string ProfileIniStore::read(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& fallback) {
    char value[2048];  // a text value is read up to 2047 characters
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), value,
                                                    sizeof value, file.c_str());
    return std::string(value, length);
}

bool ProfileIniStore::write(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& value) {
    // The profile functions carry each string on as a counted UTF-16 string.
    // One of 32767 characters or more is not written, and Wine then reports
    // success with the key gone; refuse it here so the caller hears of it.
    constexpr std::size_t kLongestProfileString = 32766;
    for (const std::string* text : {&section, &key, &value})
        if (text->size() > kLongestProfileString) return false;
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool LocalFileSystem::createFolders(const std::string& path) {
    if (path.empty() || path.size() >= 32767) return false;
    if (open_ && openPath_.compare(0, path.size(), path) == 0) return true;  // the open file is in it
    auto isFolder = [](const std::string& p) {
        const DWORD attributes = ::GetFileAttributesA(p.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    if (isFolder(path)) return true;
    // Each parent in turn, from the root down; a loop, not recursion, so a
    // path of many thousand parts cannot exhaust the stack.
    for (std::size_t at = path.find_first_of("\\/", 1); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1)) {
        const std::string parent = path.substr(0, at);
        if (parent.back() != ':' && !isFolder(parent)) ::CreateDirectoryA(parent.c_str(), nullptr);
    }
    ::CreateDirectoryA(path.c_str(), nullptr);
    return isFolder(path);
}

bool LocalFileSystem::appendToFile(const std::string& path, std::string_view bytes) {
    if (!open_ || path != openPath_) {
        closeFiles();
        // Others may read, write, rename and delete it while it is open.
        open_.reset(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!open_) return false;
        openPath_ = path;
    }
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(open_.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
            closeFiles();  // the next line tries afresh
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

void LocalFileSystem::closeFiles() {
    open_.reset();
    openPath_.clear();
}

namespace {
struct CallbackCall {
    VELTRANE_CALLBACK callback;
    const char* text;
};

struct CopyDataCall {
    HWND window;
    COPYDATASTRUCT data;
};
}  // namespace

Outcome HostWindowLink::callback(const std::string& text) {
    // The listener only takes note, so it hears the events in the order they
    // are delivered even when the callback calls an export that has one of its own.
    if (HostEventListener* listener = listener_.load()) listener->hostEvent(text);
    if (callback_ == nullptr) return {};
    CallbackCall call{callback_, text.c_str()};
    return CallHost([](void* c) { static_cast<CallbackCall*>(c)->callback(static_cast<CallbackCall*>(c)->text); },
                    &call, "host callback");
}

Outcome HostWindowLink::copyData(const std::string& text) {
    if (window_ == nullptr) return {};
    CopyDataCall call{window_, {}};
    call.data.dwData = 0;
    call.data.cbData = static_cast<DWORD>(text.size() + 1);  // the NUL travels too
    call.data.lpData = const_cast<char*>(text.c_str());
    return CallHost(
        [](void* c) {
            auto* call = static_cast<CopyDataCall*>(c);
            ::SendMessageA(call->window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&call->data));
        },
        &call, "host window");
}

void HostWindowLink::findHostWindow(const std::string& title) {
    // An empty title would match any untitled window of any program.
    window_ = title.empty() ? nullptr : ::FindWindowA(nullptr, title.c_str());
}

WindowTimer::WindowTimer(OwnerWindow& owner, UINT_PTR id, std::function<void()> onTick)
    : owner_(owner), id_(id), onTick_(std::move(onTick)) {
    owner_.addHandler(*this);
}

void WindowTimer::start(std::int32_t milliseconds) {
    active_ = ::SetTimer(owner_.handle(), id_, static_cast<UINT>(std::max(milliseconds, 1)), nullptr) != 0;
}

void WindowTimer::stop() {
    if (active_) ::KillTimer(owner_.handle(), id_);
    active_ = false;
}

bool WindowTimer::handleMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_TIMER || wParam != id_) return false;
    if (active_) onTick_();  // a tick that was already queued when stopped is ignored
    return true;
}

namespace {
// The trigger waiting behind the host's messages: there is one, and the
// hook runs on its thread, the owner thread.
PostedTrigger* waitingForTheHost = nullptr;
}  // namespace

PostedTrigger::PostedTrigger(OwnerWindow& owner, UINT message, UINT_PTR timerId, std::function<void()> work)
    : owner_(owner), message_(message), timerId_(timerId), work_(std::move(work)) {
    owner_.addHandler(*this);
}

PostedTrigger::~PostedTrigger() { stopWaitingForTheHost(); }

void PostedTrigger::request() {
    if (requested_) return;
    // What the host's own loop has waiting, posted messages aside: those
    // keep their order with ours.
    const bool hostWaits = HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER | QS_HOTKEY)) != 0;
    if (hostWaits && waitingForTheHost == nullptr) {
        hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &PostedTrigger::HostMessageTaken, nullptr, ::GetCurrentThreadId());
        if (hook_ != nullptr && ::SetTimer(owner_.handle(), timerId_, USER_TIMER_MINIMUM, nullptr) != 0) {
            waitingForTheHost = this;
            requested_ = true;
            return;
        }
        stopWaitingForTheHost();
    }
    requested_ = ::PostMessageW(owner_.handle(), message_, 0, 0) != FALSE;
}

LRESULT CALLBACK PostedTrigger::HostMessageTaken(int code, WPARAM removal, LPARAM message) noexcept {
    PostedTrigger* self = waitingForTheHost;
    if (code == HC_ACTION && removal == PM_REMOVE && self != nullptr) {
        const MSG* taken = reinterpret_cast<const MSG*>(message);
        // The host's message is being taken: ours comes next.
        if (taken->hwnd != self->owner_.handle()) {
            waitingForTheHost = nullptr;
            ::PostMessageW(self->owner_.handle(), self->message_, 0, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, removal, message);
}

void PostedTrigger::stopWaitingForTheHost() {
    if (waitingForTheHost == this) waitingForTheHost = nullptr;
    if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    ::KillTimer(owner_.handle(), timerId_);
}

bool PostedTrigger::handleMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != message_ && !(message == WM_TIMER && wParam == timerId_)) return false;
    stopWaitingForTheHost();
    if (!requested_) return true;  // the second way of a request already served
    requested_ = false;
    work_();
    return true;
}

namespace {
std::string SystemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 ? Trim(std::string_view(text, length)) : "System error " + std::to_string(code);
    if (text != nullptr) ::LocalFree(text);
    return result;
}
}  // namespace

std::string WindowsSystemInfo::macAddress() {
    ULONG size = sizeof(IP_ADAPTER_INFO);
    std::vector<IP_ADAPTER_INFO> adapters(1);
    DWORD result = ::GetAdaptersInfo(adapters.data(), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        adapters.resize(size / sizeof(IP_ADAPTER_INFO) + 1);
        size = static_cast<ULONG>(adapters.size() * sizeof(IP_ADAPTER_INFO));
        result = ::GetAdaptersInfo(adapters.data(), &size);
    }
    if (result != NO_ERROR) return SystemErrorText(result);

    const IP_ADAPTER_INFO& first = adapters.front();
    if (first.AddressLength == 0) return "00-00-00-00-00-00";
    std::string mac;
    const UINT length = std::min<UINT>(first.AddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    for (UINT i = 0; i < length; ++i) {
        if (i > 0) mac += '-';
        mac += HexText(first.Address[i], 2);
    }
    return mac;
}

std::optional<std::string> WindowsSystemInfo::ansiToUtf8(std::string_view bytes) {
    const std::optional<std::wstring> wide = winsupport::WidenStrictly(bytes, CP_ACP);
    if (!wide) return std::nullopt;
    return winsupport::Narrow(*wide, CP_UTF8);
}

void WindowsSystemInfo::endProcess(unsigned exitCode) {
    if (beforeEnding_) beforeEnding_();
    ::TerminateProcess(::GetCurrentProcess(), exitCode);
}

}  // namespace veltrane::win32
