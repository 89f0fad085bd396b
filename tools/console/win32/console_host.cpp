#include "console/win32/console_host.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <thread>

#include "console/verdict.h"
#include "console/win32/time_stamp.h"
#include "net/socket.h"
#include "winsupport/code_page.h"

namespace veltrane::tools::win32 {

using winsupport::AnsiToUtf8;
using winsupport::Utf8ToAnsi;
using winsupport::Widen;

namespace {

ConsoleHost* g_host = nullptr;
// Guards g_host against the host going away while a thread of the library
// calls back.
std::mutex g_hostMutex;

constexpr std::uint16_t kDefaultCommandServerPort = 12209;

// Cuts an answer at a line equal to `terminator`; false while it has not come.
bool CutAtTerminator(std::string& answer, const std::string& terminator) {
    const std::string marker = "\n" + terminator + "\n";
    if (answer.rfind(terminator + "\n", 0) == 0) {
        answer.clear();
        return true;
    }
    const auto at = answer.find(marker);
    if (at == std::string::npos) return false;
    answer.resize(at + 1);
    return true;
}

}  // namespace

ConsoleHost::ConsoleHost(VeltraneLibrary& library, EventLog& events, StatusPipe* status)
    : library_(library), events_(events), status_(status) {
    std::lock_guard lock(g_hostMutex);
    g_host = this;
}

ConsoleHost::~ConsoleHost() {
    std::lock_guard lock(g_hostMutex);
    g_host = nullptr;
}

bool ConsoleHost::createWindow(const std::wstring& title, HostWindow::LineHandler onLine, std::string& error) {
    return window_.create(
        title, [this](const COPYDATASTRUCT& data) { onCopyData(data); }, std::move(onLine), error);
}

void __stdcall ConsoleHost::OnHostEvent(const char* text) {
    try {
        std::lock_guard lock(g_hostMutex);
        if (g_host != nullptr && text != nullptr) g_host->record(EventChannel::Callback, text, "");
    } catch (...) {
        // Nothing may go back into the library.
    }
}

void ConsoleHost::onCopyData(const COPYDATASTRUCT& data) {
    const char* bytes = static_cast<const char*>(data.lpData);
    const std::size_t size = data.cbData;
    std::string remark;
    std::string_view text;
    if (bytes == nullptr || size == 0) {
        remark = "   !! no data";
    } else {
        // The library sends the text with its NUL, counted in cbData.
        text = std::string_view(bytes, size);
        const auto nul = text.find('\0');
        if (nul != size - 1)
            remark = "   !! cbData " + std::to_string(size) + " does not end with the text's NUL";
        if (nul != std::string_view::npos) text = text.substr(0, nul);
    }
    if (data.dwData != 0) remark += "   !! dwData " + std::to_string(data.dwData);
    record(EventChannel::CopyData, text, remark);
}

void ConsoleHost::record(EventChannel channel, std::string_view ansiText, const std::string& remark) {
    const std::string text = AnsiToUtf8(ansiText);
    print(events_.add(channel, TimeStamp(), text) + remark);
    if (channel == EventChannel::Callback && status_ != nullptr) status_->write(std::string(kEventLinePrefix) + text);
    HostWindow::Wake(window_.handle());  // a waiting pump looks at the events again
}

bool ConsoleHost::callExport(const ExportInfo& info, const std::vector<std::string>& args, std::string& error) {
    return library_.call(info, args, &ConsoleHost::OnHostEvent, error);
}

void ConsoleHost::pump(int ms, const std::function<bool()>& done) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(ms, 0));
    while (true) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if (done && done()) return;
        }
        if (done && done()) return;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool ConsoleHost::exchange(const std::string& host, std::uint16_t port, const std::string& request,
                           const std::string& terminator, int timeoutMs, std::string& answer, std::string& error) {
    // The request runs on a worker while this thread keeps dispatching: the
    // library's command server may need this thread to finish a request.
    struct Outcome {
        std::atomic<bool> done{false};
        bool connected = false;
        std::string answer, error;
    };
    auto outcome = std::make_shared<Outcome>();
    const HWND window = window_.handle();
    std::thread worker([=] {
        net::Socket socket = net::Socket::Connect(host, port, std::min(timeoutMs, 5000), outcome->error);
        if (socket.valid() && socket.sendAll(request)) {
            outcome->connected = true;
            const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
            while (GetTickCount64() < deadline) {
                if (!socket.waitReadable(static_cast<int>(std::min<ULONGLONG>(deadline - GetTickCount64(), 100))))
                    continue;
                if (socket.receive(outcome->answer) != net::Received::Data) break;
                if (!terminator.empty() && CutAtTerminator(outcome->answer, terminator)) break;
            }
        } else if (socket.valid()) {
            outcome->error = "cannot send to " + host + ":" + std::to_string(port);
        }
        outcome->done = true;
        HostWindow::Wake(window);
    });
    // The worker ends by its own time limits; keep dispatching until it has.
    pump(INT_MAX, [&] { return outcome->done.load(); });
    worker.join();
    answer = outcome->answer;
    error = outcome->error;
    return outcome->connected;
}

std::uint16_t ConsoleHost::commandServerPort(const std::string& basePath) {
    std::wstring path = Widen(basePath, CP_UTF8);
    if (path.empty()) path = L"C:\\Orvanta\\";
    if (path.back() != L'\\') path += L'\\';
    path += L"config.ini";
    wchar_t value[32] = L"";
    GetPrivateProfileStringW(L"Connect", L"WEB_PORT", L"", value, 32, path.c_str());
    const std::wstring text = value;
    // The library takes 0x-prefixed values as hexadecimal, and 0 as unset.
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const unsigned long port = text.empty() ? 0 : std::wcstoul(text.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
    return port > 0 && port <= 65535 ? static_cast<std::uint16_t>(port) : kDefaultCommandServerPort;
}

std::string ConsoleHost::toAnsi(const std::string& utf8) { return Utf8ToAnsi(utf8); }

void ConsoleHost::print(const std::string& utf8Line) {
    std::lock_guard lock(printMutex_);
    const std::string line = utf8Line + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void ConsoleHost::finishing(bool expectationsHeld) {
    print(expectationsHeld ? "== expectations held so far; DLL_FINISH ends the process (exit code 1 by design)"
                           : "== an expectation failed before DLL_FINISH");
    if (status_ != nullptr) status_->write(std::string(expectationsHeld ? kFinishingHeldLine : kFinishingFailedLine));
}

}  // namespace veltrane::tools::win32
