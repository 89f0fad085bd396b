#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

#include "support/fake_platform.h"
#include "web/library_sink.h"

namespace veltrane::web {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using Kind = CommandAnswer::Kind;

CommandRequest Get(const std::string& query) { return {"GET", {}, ParseFormText(query)}; }

// The owner thread's message queue: connection threads post, the test runs.
class OwnerQueue {
public:
    bool post(LibrarySink::Work work) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return false;
        work_.push_back(std::move(work));
        posted_.notify_all();
        return true;
    }
    // Waits for `count` posted pieces of work in all.
    bool waitForPosts(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return posted_.wait_for(lock, 5s, [&] { return work_.size() >= count; });
    }
    void runNext() {
        LibrarySink::Work work;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            work = std::move(work_.front());
            work_.pop_front();
        }
        work();
    }
    void close() { closed_ = true; }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<LibrarySink::Work> work_;
    bool closed_ = false;
};

class LibrarySinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.startConnected("0212345678");
        t.lib.config.CallState = "L";
    }
    // Kept by the fixture, which lets go of them in TearDown: a failed test
    // must not leave a thread waiting for the owner for ever.
    std::shared_future<CommandAnswer> HandleOnAnotherThread(const std::string& query) {
        handling.push_back(std::async(std::launch::async, [this, query] { return sink.handle(Get(query)); }).share());
        return handling.back();
    }
    void TearDown() override { sink.serverStopping(); }

    testing::TestLibrary t;
    OwnerQueue owner;
    LibrarySink sink{t.web, [this](LibrarySink::Work work) { return owner.post(std::move(work)); }};
    std::vector<std::shared_future<CommandAnswer>> handling;
};

TEST_F(LibrarySinkTest, HandlesTheRequestWhenTheOwnerRunsIt) {
    auto outcome = HandleOnAnotherThread("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_TRUE(owner.waitForPosts(1));
    EXPECT_EQ(outcome.wait_for(50ms), std::future_status::timeout);  // waits for the owner
    EXPECT_TRUE(t.events().empty());
    owner.runNext();
    EXPECT_EQ(outcome.get().kind, Kind::Ok);
    EXPECT_EQ(t.events(), Lines{"|SMSG|sms|success|0212345678|2|guestphone||"});
}

TEST_F(LibrarySinkTest, AStoppingServerAbandonsWaitingRequests) {
    auto waiting = HandleOnAnotherThread("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_TRUE(owner.waitForPosts(1));
    sink.serverStopping();
    EXPECT_EQ(waiting.get().error, "Server stopping");
    owner.runNext();  // the handed-over work finds it answered
    EXPECT_TRUE(t.events().empty());
    EXPECT_EQ(sink.handle(Get("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2")).error, "Server stopping");

    sink.serverStarted();
    auto again = HandleOnAnotherThread("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_TRUE(owner.waitForPosts(1));
    owner.runNext();
    EXPECT_EQ(again.get().kind, Kind::Ok);
    EXPECT_EQ(t.events().size(), 1u);
}

TEST_F(LibrarySinkTest, WorkThatCannotBeHandedOverIsAnError) {
    owner.close();
    EXPECT_EQ(sink.handle(Get("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2")).kind, Kind::Error);
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(LibrarySinkTest, LogLinesAreWrittenByTheOwner) {
    t.clearRecords();
    sink.log("HTTPServerConnect", "");
    EXPECT_TRUE(t.files.appended.empty());
    ASSERT_TRUE(owner.waitForPosts(1));
    owner.runNext();
    EXPECT_EQ(t.logLines(), Lines{"HTTPServerConnect"});
}

}  // namespace
}  // namespace veltrane::web
