#include "core/notify.h"

#include <algorithm>

#include "core/log.h"
#include "base/text.h"

namespace veltrane {

namespace {
void LogFailure(Library& lib, const Outcome& delivered) {
    if (delivered || !lib.outbox.firstFailure(delivered.reason())) return;
    WriteLog(lib, "NotifyHost", delivered.reason());
}
}  // namespace

void NotifyHost(Library& lib, std::string_view text) {
    std::string envelope = HostEventLine(text);
    if (envelope.empty()) return;
    WriteLog(lib, "SEND_MSG", envelope);
    FieldReader fields(envelope);
    fields.next();  // "SMSG"
    const std::string subject = fields.next();
    const std::string result = fields.next();
    const std::string detail = fields.next();
    lib.outbox.add({Delivery::Kind::Event, std::move(envelope), {}});
    if (result == "fail") ShowAlert(lib, subject, detail, 5);
}

void NotifyHost(Library& lib, std::string_view subject, std::string_view result,
                std::initializer_list<std::string_view> details) {
    NotifyHost(lib, HostEvent(subject, result, details));
}

void NotifyCallbackOnly(Library& lib, std::string text) {
    lib.outbox.add({Delivery::Kind::CallbackOnly, std::move(text), {}});
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
    lib.outbox.add({Delivery::Kind::Alert, {}, std::move(alert)});
}

void DeliverHostEvents(Library& lib) {
    while (std::optional<Delivery> next = lib.outbox.take()) {
        try {
            switch (next->kind) {
            case Delivery::Kind::Event:
                LogFailure(lib, lib.os.host.callback(next->text));
                LogFailure(lib, lib.os.host.copyData(next->text));
                break;
            case Delivery::Kind::CallbackOnly:
                LogFailure(lib, lib.os.host.callback(next->text));
                break;
            case Delivery::Kind::Alert:
                lib.os.desktop.showAlert(next->alert);
                break;
            }
        } catch (...) {
            // Out of memory on the way: this one is lost, the next ones go on.
        }
    }
}

}  // namespace veltrane
