#include "web/library_sink.h"

#include <algorithm>
#include <condition_variable>
#include <utility>

#include "core/log.h"
#include "web/command_get.h"

namespace veltrane::web {

namespace {
CommandAnswer ErrorOf(const std::string& message) {
    CommandAnswer answer;
    answer.kind = CommandAnswer::Kind::Error;
    answer.error = message;
    return answer;
}

const std::string kStopping = "Server stopping";
}

struct LibrarySink::Request {
    CommandRequest command;
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    CommandAnswer outcome;

    bool isDone() {
        std::lock_guard<std::mutex> lock(mutex);
        return done;
    }
    // The first answer counts; a later one (after an abandon) is dropped.
    void answer(CommandAnswer result) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (done) return;
            done = true;
            outcome = std::move(result);
        }
        answered.notify_all();
    }
};

LibrarySink::LibrarySink(Web& web, std::function<bool(Work)> postToOwner)
    : web_(web), postToOwner_(std::move(postToOwner)) {}

CommandAnswer LibrarySink::handle(const CommandRequest& command) {
    auto request = std::make_shared<Request>();
    request->command = command;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return ErrorOf(kStopping);
        outstanding_.push_back(request);
    }
    if (!postToOwner_([this, request] { run(request); })) request->answer(ErrorOf("Request not handled"));

    std::unique_lock<std::mutex> wait(request->mutex);
    request->answered.wait(wait, [&] { return request->done; });
    const CommandAnswer outcome = request->outcome;
    wait.unlock();

    std::lock_guard<std::mutex> lock(mutex_);
    outstanding_.erase(std::remove(outstanding_.begin(), outstanding_.end(), request), outstanding_.end());
    return outcome;
}

void LibrarySink::run(const std::shared_ptr<Request>& request) {
    // A request answered already was abandoned by a stopping server.
    if (!request->isDone()) request->answer(ServeCommand(web_, request->command));
}

void LibrarySink::log(const std::string& name, const std::string& text) {
    postToOwner_([this, name, text] { WriteLog(web_.lib, name, text); });
}

void LibrarySink::serverStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

void LibrarySink::serverStopping() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (const auto& request : outstanding_) request->answer(ErrorOf(kStopping));
}

}  // namespace veltrane::web
