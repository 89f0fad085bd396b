#include "web/library_sink.h"

#include <utility>

#include "host/log.h"
#include "web/command_get.h"

namespace veltrane::web {

LibrarySink::LibrarySink(Library& lib, std::function<void(const Work&)> runOnOwner,
                         std::function<bool(Work)> postToOwner)
    : lib_(lib), runOnOwner_(std::move(runOnOwner)), postToOwner_(std::move(postToOwner)) {}

std::optional<std::string> LibrarySink::handle(const Parameters& parameters) {
    // Stays so when the owner thread never ran the work (it is gone).
    std::optional<std::string> outcome = std::string("Request not handled");
    runOnOwner_([&] { outcome = RunCommandGet(lib_, parameters); });
    return outcome;
}

void LibrarySink::log(const std::string& name, const std::string& text) {
    postToOwner_([this, name, text] { WriteLog(lib_, name, text); });
}

}  // namespace veltrane::web
