#include "core/log.h"

#include "base/text.h"

namespace veltrane {

namespace {
// A flood writes log lines by the ten thousand: each is put together in
// one string, with as few allocations as it takes.
void AppendLogLine(std::string& line, const LocalTime& now, std::string_view phoneNo, std::string_view name,
                   const LogText& text) {
    line.reserve(line.size() + 32 + phoneNo.size() + name.size() + text.escaped().size());
    AppendStamp(line, now);
    if (text.blank()) {
        AppendEscaped(line, name);
    } else {
        AppendEscaped(line, phoneNo);
        line += ' ';
        AppendEscaped(line, name);
        line += " => ";
        line += text.escaped();
    }
}

void AppendLogFileName(std::string& path, const LocalTime& now) {
    AppendZeroPadded(path, now.day, 2);
    path += "_dll.txt";
}

void WritePending(Library& lib) {
    Library::PendingLog& pending = lib.pendingLog;
    if (!pending.lines.empty()) lib.os.files.appendToFile(pending.path, pending.lines);
    pending.lines.clear();
}
}  // namespace

std::string FormatLogLine(const LocalTime& now, std::string_view phoneNo, std::string_view name,
                          const LogText& text) {
    std::string line;
    AppendLogLine(line, now, phoneNo, name, text);
    return line;
}

std::string LogFileName(const LocalTime& now) {
    std::string name;
    AppendLogFileName(name, now);
    return name;
}

void WriteLog(Library& lib, std::string_view name, const LogText& text) {
    try {
        const LocalTime now = lib.os.clock.now();
        std::string path = lib.config.BasePath;
        path.reserve(path.size() + 16);
        path += "LOG\\";
        lib.os.files.createFolders(path);
        AppendLogFileName(path, now);
        Library::PendingLog& pending = lib.pendingLog;
        if (pending.open && path != pending.path) {  // midnight, or another base folder
            WritePending(lib);
            pending.path = path;
        }
        std::string line;
        std::string& out = pending.open ? pending.lines : line;
        AppendLogLine(out, now, lib.config.PHONE_NO, name, text);
        out += "\r\n";
        if (!pending.open) lib.os.files.appendToFile(path, line);
    } catch (...) {
        // A log line is never worth more than the operation that writes it.
    }
}

LogBatch::LogBatch(Library& lib) : lib_(lib), outermost_(!lib.pendingLog.open) { lib_.pendingLog.open = true; }

LogBatch::~LogBatch() {
    if (!outermost_) return;
    lib_.pendingLog.open = false;
    try {
        WritePending(lib_);
    } catch (...) {
    }
}

}  // namespace veltrane
