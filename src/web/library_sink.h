// Hands the local command server's requests to the library on its owner
// thread, the only thread that touches the library's state.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "web/web.h"
#include "web/http_answer.h"

namespace veltrane::web {

class LibrarySink : public HttpRequestSink {
public:
    using Work = std::function<void()>;
    // `postToOwner` queues work for the owner thread and returns at once;
    // false when it could not.
    LibrarySink(Web& web, std::function<bool(Work)> postToOwner);

    // Queues the request for the owner thread, which serves it and answers.
    void handle(const CommandRequest& request, Answered answered) override;
    void log(const std::string& name, const std::string& text) override;
    void serverStarted() override;
    // Every request still waiting is answered as an error and not served.
    void serverStopping() override;

private:
    struct Request;
    // On the owner thread, which runs handed-over work one piece at a time.
    void run(const std::shared_ptr<Request>& request);
    // Takes the request off the outstanding ones; false when it was not there.
    bool forget(const std::shared_ptr<Request>& request);

    Web& web_;
    std::function<bool(Work)> postToOwner_;

    std::mutex mutex_;  // guards the two below, shared with the server's thread
    std::vector<std::shared_ptr<Request>> outstanding_;
    bool stopping_ = false;
};

}  // namespace veltrane::web
