// Hands the local command server's requests to the library on its owner
// thread, the only thread that touches the library's state.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "host/library.h"
#include "web/http_answer.h"

namespace veltrane::web {

class LibrarySink : public HttpRequestSink {
public:
    using Work = std::function<void()>;
    // `postToOwner` queues work for the owner thread and returns at once;
    // false when it could not.
    LibrarySink(Library& lib, std::function<bool(Work)> postToOwner);

    // Queues the request for the owner thread and waits until it has been
    // served there, or until the server stops.
    CommandAnswer handle(const CommandRequest& request) override;
    void log(const std::string& name, const std::string& text) override;
    void serverStarted() override;
    // Every request still waiting is answered as an error and not handled.
    void serverStopping() override;

private:
    struct Request;
    // On the owner thread. Requests run one after another, never one inside
    // another: the alert of a request lets queued messages run, and a
    // request arriving then waits until the one before it is done.
    void runInTurn(const std::shared_ptr<Request>& request);

    Library& lib_;
    std::function<bool(Work)> postToOwner_;

    std::mutex mutex_;  // guards the two below, shared with connection threads
    std::vector<std::shared_ptr<Request>> outstanding_;
    bool stopping_ = false;

    // Owner thread only.
    std::deque<std::shared_ptr<Request>> queue_;
    bool running_ = false;
};

}  // namespace veltrane::web
