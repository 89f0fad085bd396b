#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "support/fake_platform.h"
#include "web/library_sink.h"

namespace veltrane::web {
namespace {

using Lines = std::vector<std::string>;
using Kind = CommandAnswer::Kind;

CommandRequest Get(const std::string& query) { return {"GET", {}, ParseFormText(query)}; }

// The owner thread's message queue: the server's thread posts, the test runs.
class OwnerQueue {
public:
    bool post(LibrarySink::Work work) {
        if (closed_) return false;
        work_.push_back(std::move(work));
        return true;
    }
    std::size_t waiting() const { return work_.size(); }
    void runNext() {
        LibrarySink::Work work = std::move(work_.front());
        work_.pop_front();
        work();
    }
    void close() { closed_ = true; }

private:
    std::deque<LibrarySink::Work> work_;
    bool closed_ = false;
};

class LibrarySinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.startConnected("0212345678");
        t.lib.user.CallState = "L";
    }
    // Hands the request over; the answers it gets are kept in `answers`.
    void Handle(const std::string& query) {
        sink.handle(Get(query), [this](const CommandAnswer& answer) { answers.push_back(answer); });
    }

    testing::TestLibrary t;
    OwnerQueue owner;
    LibrarySink sink{t.web, [this](LibrarySink::Work work) { return owner.post(std::move(work)); }};
    std::vector<CommandAnswer> answers;
};

TEST_F(LibrarySinkTest, HandlesTheRequestWhenTheOwnerRunsIt) {
    Handle("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_EQ(owner.waiting(), 1u);
    EXPECT_TRUE(answers.empty());  // waits for the owner
    EXPECT_TRUE(t.events().empty());
    owner.runNext();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].kind, Kind::Ok);
    EXPECT_EQ(t.events(), Lines{"|SMSG|sms|success|0212345678|2|guestphone||"});
}

TEST_F(LibrarySinkTest, AStoppingServerAbandonsWaitingRequests) {
    Handle("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_EQ(owner.waiting(), 1u);
    sink.serverStopping();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].error, "Server stopping");
    owner.runNext();  // the handed-over work finds it answered
    EXPECT_EQ(answers.size(), 1u);
    EXPECT_TRUE(t.events().empty());
    Handle("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    EXPECT_EQ(owner.waiting(), 0u);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].error, "Server stopping");

    sink.serverStarted();
    Handle("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_EQ(owner.waiting(), 1u);
    owner.runNext();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[2].kind, Kind::Ok);
    EXPECT_EQ(t.events().size(), 1u);
}

TEST_F(LibrarySinkTest, WorkThatCannotBeHandedOverIsAnError) {
    owner.close();
    Handle("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].kind, Kind::Error);
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(LibrarySinkTest, LogLinesAreWrittenByTheOwner) {
    t.clearRecords();
    sink.log("HTTPServerConnect", "");
    EXPECT_TRUE(t.files.appended.empty());
    ASSERT_EQ(owner.waiting(), 1u);
    owner.runNext();
    EXPECT_EQ(t.logLines(), Lines{"HTTPServerConnect"});
}

}  // namespace
}  // namespace veltrane::web
