// The small Win32 services behind the core's platform interfaces.
#pragma once

#include <atomic>
#include <functional>
#include <random>

#include "platform/platform.h"
#include "win32/owner_window.h"
#include "winsupport/unique_handle.h"
#include "veltrane.h"

namespace veltrane::win32 {

class SystemClock final : public Clock {
public:
    LocalTime now() override;
    std::int64_t elapsedMs() override { return static_cast<std::int64_t>(::GetTickCount64()); }
};

// Seeded per process, so libraries on many PCs do not draw the same pauses.
class SeededRandom final : public Random {
public:
    SeededRandom();
    double unit() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }

private:
    std::mt19937 engine_;
};

class ProfileIniStore final : public IniStore {
public:
    std::string read(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    bool write(const std::string& file, const std::string& section, const std::string& key,
               const std::string& value) override;
};

// Keeps the file it last appended to open until closeFiles(): a line then
// costs one write, not an open, a write and a close.
class LocalFileSystem final : public FileSystem {
public:
    bool createFolders(const std::string& path) override;
    bool appendToFile(const std::string& path, std::string_view bytes) override;
    void closeFiles() override;

private:
    std::string openPath_;
    winsupport::UniqueFile open_;
};

// Hears every text the host's callback is handed, whether or not the host
// gave a callback (the COM objects' events). Runs on the owner thread.
class HostEventListener {
public:
    virtual ~HostEventListener() = default;
    virtual void hostEvent(const std::string& text) noexcept = 0;
};

class HostWindowLink final : public HostLink {
public:
    void setCallback(VELTRANE_CALLBACK callback) { callback_ = callback; }
    // Set once, from any thread; the listener lives as long as the process.
    void setListener(HostEventListener* listener) { listener_.store(listener); }
    Outcome callback(const std::string& text) override;
    Outcome copyData(const std::string& text) override;
    void findHostWindow(const std::string& title) override;

private:
    VELTRANE_CALLBACK callback_ = nullptr;
    std::atomic<HostEventListener*> listener_{nullptr};
    HWND window_ = nullptr;
};

// A window-message timer of the owner window.
class WindowTimer final : public Timer, public MessageHandler {
public:
    WindowTimer(OwnerWindow& owner, UINT_PTR id, std::function<void()> onTick);
    void start(std::int32_t milliseconds) override;
    void stop() override;
    bool active() const override { return active_; }
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    OwnerWindow& owner_;
    UINT_PTR id_;
    std::function<void()> onTick_;
    bool active_ = false;
};

// Runs its work in a turn of the owner window's own, through a posted
// message. A posted message is taken before the host's input, painting and
// timers; so when those are waiting, the message is posted only once the
// host's loop has taken the next of them (a message hook sees it go), and
// the work comes right after it. A flood handled a turn at a time then
// never keeps the host's window from answering, and loses no time to it.
class PostedTrigger final : public Trigger, public MessageHandler {
public:
    PostedTrigger(OwnerWindow& owner, UINT message, UINT_PTR timerId, std::function<void()> work);
    ~PostedTrigger() override;
    PostedTrigger(const PostedTrigger&) = delete;
    PostedTrigger& operator=(const PostedTrigger&) = delete;

    void request() override;
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK HostMessageTaken(int code, WPARAM removal, LPARAM message) noexcept;
    void stopWaitingForTheHost();

    OwnerWindow& owner_;
    UINT message_;
    UINT_PTR timerId_;  // in case the hook never sees the host's message
    std::function<void()> work_;
    bool requested_ = false;
    HHOOK hook_ = nullptr;  // while waiting behind the host's messages
};

class WindowsSystemInfo final : public SystemInfo {
public:
    // `beforeEnding` runs just before the process is ended.
    explicit WindowsSystemInfo(std::function<void()> beforeEnding) : beforeEnding_(std::move(beforeEnding)) {}
    std::string macAddress() override;
    std::optional<std::string> ansiToUtf8(std::string_view bytes) override;
    void endProcess(unsigned exitCode) override;

private:
    std::function<void()> beforeEnding_;
};

}  // namespace veltrane::win32
