#include "web/library_sink.h"

#include <algorithm>
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
    Answered answered;
};

LibrarySink::LibrarySink(Web& web, std::function<bool(Work)> postToOwner)
    : web_(web), postToOwner_(std::move(postToOwner)) {}

void LibrarySink::handle(const CommandRequest& command, Answered answered) {
    auto request = std::make_shared<Request>(Request{command, std::move(answered)});
    bool stopping = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping = stopping_;
        if (!stopping) outstanding_.push_back(request);
    }
    if (stopping) {
        request->answered(ErrorOf(kStopping));
        return;
    }
    if (postToOwner_([this, request] { run(request); })) return;
    // Not forgotten already: then a stopping server has answered it.
    if (forget(request)) request->answered(ErrorOf("Request not handled"));
}

bool LibrarySink::forget(const std::shared_ptr<Request>& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::find(outstanding_.begin(), outstanding_.end(), request);
    if (found == outstanding_.end()) return false;
    outstanding_.erase(found);
    return true;
}

void LibrarySink::run(const std::shared_ptr<Request>& request) {
    // A request no longer outstanding was answered by a stopping server.
    if (forget(request)) request->answered(ServeCommand(web_, request->command));
}

void LibrarySink::log(const std::string& name, const std::string& text) {
    postToOwner_([this, name, text] { WriteLog(web_.lib, name, text); });
}

void LibrarySink::serverStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

void LibrarySink::serverStopping() {
    std::vector<std::shared_ptr<Request>> abandoned;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        abandoned.swap(outstanding_);
    }
    for (const auto& request : abandoned) request->answered(ErrorOf(kStopping));
}

}  // namespace veltrane::web
