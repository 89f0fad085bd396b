#include "core/log.h"

#include "base/text.h"

namespace veltrane {

std::string FormatLogLine(const LocalTime& now, std::string_view phoneNo, std::string_view name,
                          const LogText& text) {
    std::string line = FormatStamp(now);
    if (text.blank()) {
        line += EscapeControlCharacters(name);
    } else {
        line += EscapeControlCharacters(phoneNo);
        line += ' ';
        line += EscapeControlCharacters(name);
        line += " => ";
        line += text.escaped();
    }
    return line;
}

std::string LogFileName(const LocalTime& now) { return ZeroPadded(now.day, 2) + "_dll.txt"; }

void WriteLog(Library& lib, std::string_view name, const LogText& text) {
    try {
        const LocalTime now = lib.os.clock.now();
        const std::string folder = lib.config.BasePath + "LOG\\";
        lib.os.files.createFolders(folder);
        lib.os.files.appendToFile(folder + LogFileName(now),
                                  FormatLogLine(now, lib.config.PHONE_NO, name, text) + "\r\n");
    } catch (...) {
        // A log line is never worth more than the operation that writes it.
    }
}

}  // namespace veltrane
