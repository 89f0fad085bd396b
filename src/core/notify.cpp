#include "core/notify.h"

#include <algorithm>

#include "core/log.h"
#include "base/text.h"

namespace veltrane {

void NotifyHost(Library& lib, std::string_view text) {
    const std::string envelope = HostEventLine(text);
    if (envelope.empty()) return;
    WriteLog(lib, "SEND_MSG", envelope);
    lib.os.host.callback(envelope);
    lib.os.host.copyData(envelope);

    FieldReader fields(envelope);
    fields.next();  // "SMSG"
    const std::string subject = fields.next();
    const std::string result = fields.next();
    const std::string detail = fields.next();
    if (result == "fail") ShowAlert(lib, subject, detail, 5);
}

void NotifyHost(Library& lib, std::string_view subject, std::string_view result,
                std::initializer_list<std::string_view> details) {
    NotifyHost(lib, HostEvent(subject, result, details));
}

void ShowAlert(Library& lib, const std::string& header, const std::string& message,
               std::int32_t durationFigure) {
    if (lib.config.IS_POPUP_SHOW == "N") return;
    const long long durationMs = (static_cast<long long>(durationFigure) + lib.config.POPUP_SHOW_TIME) * 100;
    WriteLog(lib, "POPUP_INFO", "[Time(ms):" + std::to_string(durationMs) + "]" + header + "=>" + message);

    AlertContent alert;
    alert.header = header;
    alert.message = "\r\r" + message + "\r\r\r" + FormatStamp(lib.os.clock.now());
    // A negative sum (a negative POPUP_SHOW_TIME) is treated like 0: no fade-out.
    alert.durationMs = durationMs > 0 ? static_cast<std::int32_t>(std::min(durationMs, 0x7fffffffLL)) : 0;
    alert.tall = Contains(header, "SMS Recive");
    lib.os.desktop.showAlert(alert);
}

}  // namespace veltrane
