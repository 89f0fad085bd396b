// The small Win32 services behind the core's platform interfaces.
#pragma once

#include <atomic>
#include <functional>
#include <random>

#include "platform/platform.h"
#include "win32/owner_window.h"
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

class LocalFileSystem final : public FileSystem {
public:
    bool createFolders(const std::string& path) override;
    bool appendToFile(const std::string& path, std::string_view bytes) override;
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
    void callback(const std::string& text) override;
    void copyData(const std::string& text) override;
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

class WindowsSystemInfo final : public SystemInfo {
public:
    // `beforeEnding` runs just before the process is ended.
    explicit WindowsSystemInfo(std::function<void()> beforeEnding) : beforeEnding_(std::move(beforeEnding)) {}
    std::string macAddress() override;
    void endProcess(unsigned exitCode) override;

private:
    std::function<void()> beforeEnding_;
};

}  // namespace veltrane::win32
