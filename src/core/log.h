// The daily diagnostic log: BasePath + "LOG\DD_dll.txt", one line a call.
#pragma once

#include <string>
#include <string_view>

#include "base/log_text.h"
#include "core/library.h"

namespace veltrane {

// Appends one line. A line that cannot be written is lost; the caller goes on.
// The name, the phone number in front and the text are written with their
// control characters escaped (see LogText): only the line end is the log's own.
void WriteLog(Library& lib, std::string_view name, const LogText& text = {});

// The line as WriteLog writes it, without its CR LF.
std::string FormatLogLine(const LocalTime& now, std::string_view phoneNo, std::string_view name,
                          const LogText& text);

// "DD_dll.txt" for the day of the month.
std::string LogFileName(const LocalTime& now);

// The lines logged while this lives go to the file together, in one write,
// when it ends: one write for the handling of a received packet instead of
// one per line, which is most of what a flood costs. What a batch holds is
// written before anything the handling raised reaches the host.
class LogBatch {
public:
    explicit LogBatch(Library& lib);
    ~LogBatch();
    LogBatch(const LogBatch&) = delete;
    LogBatch& operator=(const LogBatch&) = delete;

private:
    Library& lib_;
    bool outermost_;
};

}  // namespace veltrane
