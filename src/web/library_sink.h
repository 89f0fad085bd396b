// Hands the local command server's requests to the library on its owner
// thread, the only thread that touches the library's state.
#pragma once

#include <functional>

#include "host/library.h"
#include "web/http_answer.h"

namespace veltrane::web {

class LibrarySink : public HttpRequestSink {
public:
    using Work = std::function<void()>;
    // `runOnOwner` runs work on the owner thread and returns when it is done;
    // `postToOwner` queues it there and returns at once (false when it could not).
    LibrarySink(Library& lib, std::function<void(const Work&)> runOnOwner, std::function<bool(Work)> postToOwner);

    std::optional<std::string> handle(const Parameters& parameters) override;
    void log(const std::string& name, const std::string& text) override;

private:
    Library& lib_;
    std::function<void(const Work&)> runOnOwner_;
    std::function<bool(Work)> postToOwner_;
};

}  // namespace veltrane::web
