// What the script runner needs from Windows: the loaded library, the host
// window with its message loop, the host events as they arrive, and
// requests to the simulator and the library's command server.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "console/event_log.h"
#include "console/script_runner.h"
#include "console/win32/host_window.h"
#include "console/win32/status_pipe.h"
#include "console/win32/veltrane_library.h"

namespace veltrane::tools::win32 {

class ConsoleHost : public ScriptHost {
public:
    // One console host a process: the library's callback has no context
    // argument, so it reaches the host through a process-wide pointer.
    ConsoleHost(VeltraneLibrary& library, EventLog& events, StatusPipe* status);
    ~ConsoleHost() override;
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    bool createWindow(const std::wstring& title, HostWindow::LineHandler onLine, std::string& error);
    HWND window() const { return window_.handle(); }

    bool callExport(const ExportInfo& info, const std::vector<std::string>& args, std::string& error) override;
    void pump(int ms, const std::function<bool()>& done) override;
    bool exchange(const std::string& host, std::uint16_t port, const std::string& request,
                  const std::string& terminator, int timeoutMs, std::string& answer, std::string& error) override;
    std::uint16_t commandServerPort(const std::string& basePath) override;
    std::string toAnsi(const std::string& utf8) override;
    void print(const std::string& utf8Line) override;
    void finishing(bool expectationsHeld) override;

private:
    static void __stdcall OnHostEvent(const char* text);
    void onCopyData(const COPYDATASTRUCT& data);
    void record(EventChannel channel, std::string_view ansiText, const std::string& remark);

    VeltraneLibrary& library_;
    EventLog& events_;
    StatusPipe* status_;
    HostWindow window_;
    std::mutex printMutex_;
};

}  // namespace veltrane::tools::win32
