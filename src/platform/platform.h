// The operating system as the portable layers see it. The Win32 layer
// implements these for the DLL; tests implement them with fakes. A call that
// fails with a reason returns an Outcome; one whose failure has no words
// beyond "it failed" returns false, and its caller says what failed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/local_time.h"
#include "base/outcome.h"

namespace veltrane {

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
    // Milliseconds from an arbitrary start, never set back: for measuring
    // spans, which the wall clock cannot do across a change of the time.
    virtual std::int64_t elapsedMs() = 0;
};

// Spreads out the pauses of many libraries that lost the same server.
class Random {
public:
    virtual ~Random() = default;
    // A number in [0, 1).
    virtual double unit() = 0;
};

// Private-profile INI files.
class IniStore {
public:
    virtual ~IniStore() = default;
    virtual std::string read(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& fallback) = 0;
    // Replaces one key's line, creating the file when missing. False on failure.
    virtual bool write(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates a folder and its missing parents; true when it exists afterwards.
    virtual bool createFolders(const std::string& path) = 0;
    // Appends to the file, creating it when missing: the bytes are the
    // file's at once, nothing is kept back in the process. The file may stay
    // open for more until closeFiles(). False when nothing could be written.
    virtual bool appendToFile(const std::string& path, std::string_view bytes) = 0;
    // Closes what appendToFile kept open. Called at the end of every turn of
    // the owner thread, so that between turns other programs can read, move
    // or delete the files as if each line had been written alone.
    virtual void closeFiles() = 0;
};

// The host program: its callback and its window. Both calls fail, with the
// kind of exception, when the host's code threw instead of returning; the
// library goes on all the same.
class HostLink {
public:
    virtual ~HostLink() = default;
    // Calls the host's callback; does nothing when the host gave none.
    virtual Outcome callback(const std::string& text) = 0;
    // WM_COPYDATA to the host window, when there is one.
    virtual Outcome copyData(const std::string& text) = 0;
    virtual void findHostWindow(const std::string& title) = 0;
};

struct AlertContent {
    std::string header;
    std::string message;
    std::int32_t durationMs = 0;  // 0: stays until closed or replaced
    bool tall = false;            // 200 pixels high instead of 120
};

// The owner thread's user interface.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Shows the alert popup, replacing the one on screen; returns at once
    // (it paints when the owner thread's message loop next runs).
    virtual void showAlert(const AlertContent& alert) = 0;
};

// A window-message timer: ticks every `milliseconds` until stopped.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void start(std::int32_t milliseconds) = 0;
    virtual void stop() = 0;
    virtual bool active() const = 0;
};

// Work the owner thread does in a turn of its own, soon after the one that
// asks for it, and after what the host's own message loop has waiting
// (its input, painting and timers). Asking again before it has run asks for
// one run only.
class Trigger {
public:
    virtual ~Trigger() = default;
    virtual void request() = 0;
};

enum class SocketState { Closed, Opening, Connected };

// The CTI client socket. Its events (connect, disconnect, read, error)
// reach the link's handlers on the owner thread, each as the last thing
// the socket does in its own handling; an error is followed by the
// disconnect event. From inside the connect, read and error events the
// socket is neither closed nor opened again: only the disconnect event
// and turns of their own do that.
class CtiSocket {
public:
    virtual ~CtiSocket() = default;
    // Starts connecting in the background. False when the attempt cannot be
    // started at all; the socket is closed then and no event follows.
    virtual bool open(const std::string& host, std::int32_t port) = 0;
    // Closes an open or opening socket and runs the disconnect event before
    // returning. Does nothing when already closed.
    virtual void close() = 0;
    virtual SocketState state() const = 0;
    // Hands bytes to the socket in order; what cannot be written now is sent
    // when the socket can write again. False when they were not taken: the
    // connection is then of no further use, and no event says so.
    virtual bool send(std::string_view bytes) = 0;
    // While held, what the server sends stays with the socket (TCP slows the
    // server down) and a close by the server is not reported; letting go
    // reads on and reports it, each in a turn of its own.
    virtual void holdReading(bool hold) = 0;
    // While batching, what is sent waits, whole packets in order, and goes
    // out in one write when batching ends; a failure of that write is
    // reported as an error event, in a turn of its own.
    virtual void batchSends(bool batch) = 0;
    virtual std::string remoteAddress() const = 0;  // dotted decimal
    virtual std::int32_t remotePort() const = 0;    // 0 when unknown
};

// The local HTTP command server; requests reach web::HTTPServerCommandGet.
class CommandServer {
public:
    virtual ~CommandServer() = default;
    virtual bool listening() const = 0;
    virtual Outcome listen(std::int32_t port) = 0;
    virtual void stop() = 0;
};

// A browser window that posts a form (Internet Explorer's automation).
class Browser {
public:
    virtual ~Browser() = default;
    // Opens a window and posts `body` to `url`; false when any step failed.
    virtual bool post(const std::string& url, const std::string& body) = 0;
};

// The user's default browser, reached through page files in the user's
// temporary folder. Files are named by the core; names are ASCII.
class DefaultBrowser {
public:
    virtual ~DefaultBrowser() = default;
    // The code page of the library's 8-bit text.
    virtual unsigned ansiCodePage() = 0;
    // A number not handed out before by this process, nor by another one
    // running at the same time.
    virtual std::uint64_t uniqueNumber() = 0;
    // Creates the file `name`, readable by the current user only; fails when
    // it exists already.
    virtual Outcome writePage(const std::string& name, std::string_view bytes) = 0;
    // Hands the file to the shell to open.
    virtual Outcome openPage(const std::string& name) = 0;
    virtual void removePage(const std::string& name) = 0;
    // Removes every file of the folder whose name matches `pattern` ("*"
    // stands for any characters) and that was last written at least
    // `minimumAgeSeconds` ago.
    virtual void removePages(const std::string& pattern, std::int32_t minimumAgeSeconds) = 0;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // MAC address text of the first adapter, or the system's error text.
    virtual std::string macAddress() = 0;
    // The bytes read as text of the system's ANSI code page, in UTF-8;
    // nothing when they are not text of it: a lead byte without its trail
    // byte, a trail byte the code page does not have, a byte it does not map.
    virtual std::optional<std::string> ansiToUtf8(std::string_view bytes) = 0;
    // Ends the host process at once; does not return in the DLL.
    virtual void endProcess(unsigned exitCode) = 0;
};

struct Platform {
    Clock& clock;
    IniStore& ini;
    FileSystem& files;
    HostLink& host;
    Desktop& desktop;
    Timer& timerConn;
    Timer& connectPause;  // the pause before a new CTI attempt
    Trigger& linkWork;    // the CTI link's work after the turn that found it
    CtiSocket& socket;
    CommandServer& httpServer;
    Timer& httpServerRetry;  // listens again while WEB_PORT is taken
    Browser& browser;
    DefaultBrowser& defaultBrowser;
    Timer& pageCleanup;  // deletes the page files the default browser has had time to load
    SystemInfo& system;
    Random& random;
};

}  // namespace veltrane
