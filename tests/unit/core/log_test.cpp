#include "core/log.h"

#include <gtest/gtest.h>

#include "core/notify.h"
#include "support/fake_platform.h"

namespace veltrane {
namespace {

using Vec = std::vector<std::string>;

class Log : public ::testing::Test {
protected:
    testing::TestLibrary t;
    Library& lib = t.lib;

    void SetUp() override {
        lib.config.BasePath = testing::TestLibrary::kBase;
        t.clock.time = {2026, 3, 7, 9, 5, 1};
    }
    std::string file(const char* name) const { return std::string("C:\\Base\\LOG\\") + name; }
};

TEST_F(Log, LineCarriesThePhoneNameAndTextOrJustTheName) {
    lib.config.PHONE_NO = "0212345678";
    WriteLog(lib, "DIAL", "01055556666");
    WriteLog(lib, "TimerConn", " \t\r\n");
    WriteLog(lib, "PC_LOGOUT");
    lib.config.PHONE_NO.clear();
    WriteLog(lib, "HTTPServer", "PORT:12209");
    EXPECT_EQ(t.files.contents[file("07_dll.txt")],
              "[2026-03-07 09:05:01]0212345678 DIAL => 01055556666\r\n"
              "[2026-03-07 09:05:01]TimerConn\r\n"
              "[2026-03-07 09:05:01]PC_LOGOUT\r\n"
              "[2026-03-07 09:05:01] HTTPServer => PORT:12209\r\n");
}

TEST_F(Log, NothingWrittenCanStartALineOnlyTheLibrarysOwnLayoutDoes) {
    struct Case {
        LogText text;
        std::string written;
    };
    const Case cases[] = {
        // Untrimmed; every control character escaped, CP949 and "\" as they are.
        {" a\r\n[2099-01-01 00:00:00]forged\t", " a\\r\\n[2099-01-01 00:00:00]forged\\t"},
        {std::string("\0\x1B[2J\x7F\x1F", 7), "\\x00\\x1B[2J\\x7F\\x1F"},
        {"\xB0\xA1\xC7\xD1 C:\\Base\\ \x80\xFF", "\xB0\xA1\xC7\xD1 C:\\Base\\ \x80\xFF"},
        // Parts joined by the library's own separator, each escaped.
        {LogText({"isConnect:Y", "[ReConnect:0/10]\r\n"}, "\r"), "isConnect:Y\r[ReConnect:0/10]\\r\\n"},
        {LogText(std::vector<std::string>{"KIND=CS", "PHONE_NO=1\r\n2", ""}, "\r\n"), "KIND=CS\r\nPHONE_NO=1\\r\\n2\r\n"},
    };
    lib.config.PHONE_NO = "0212\r\n[x]";
    for (const Case& one : cases) {
        t.files.appended.clear();
        WriteLog(lib, "HTTP\nREAD", one.text);
        EXPECT_EQ(t.files.appended, Vec{"[2026-03-07 09:05:01]0212\\r\\n[x] HTTP\\nREAD => " + one.written + "\r\n"});
    }
    // Blank parts make a blank text: the name alone.
    t.files.appended.clear();
    WriteLog(lib, "TimerConn", LogText({" ", "\t"}, "\r\n"));
    EXPECT_EQ(t.files.appended, Vec{"[2026-03-07 09:05:01]TimerConn\r\n"});
}

TEST_F(Log, OneFilePerDayOfTheMonth) {
    t.clock.time = {2026, 3, 7, 23, 59, 59};
    WriteLog(lib, "A", "before midnight");
    t.clock.advance(1);
    WriteLog(lib, "B", "after midnight");
    EXPECT_EQ(t.files.appendOrder, (Vec{file("07_dll.txt"), file("08_dll.txt")}));
    EXPECT_EQ(t.files.contents[file("08_dll.txt")], "[2026-03-08 00:00:00] B => after midnight\r\n");

    t.clock.time = {2026, 12, 31, 12, 0, 0};
    WriteLog(lib, "C");
    EXPECT_EQ(t.files.appendOrder.back(), file("31_dll.txt"));
}

TEST_F(Log, SameDayOfAnotherMonthAppendsToTheSameFile) {
    WriteLog(lib, "March", "first");
    t.clock.time = {2026, 4, 7, 8, 0, 0};
    WriteLog(lib, "April", "second");
    EXPECT_EQ(t.files.contents[file("07_dll.txt")],
              "[2026-03-07 09:05:01] March => first\r\n"
              "[2026-04-07 08:00:00] April => second\r\n");
}

TEST_F(Log, BatchWritesItsLinesInOneAppendPerFileWhenTheOutermostEnds) {
    t.clock.time = {2026, 3, 7, 23, 59, 59};
    {
        const LogBatch outer(lib);
        WriteLog(lib, "A");
        {
            const LogBatch inner(lib);
            WriteLog(lib, "B");
        }
        EXPECT_TRUE(t.files.appended.empty());
        t.clock.advance(1);
        WriteLog(lib, "C");
    }
    EXPECT_EQ(t.files.appended, (Vec{"[2026-03-07 23:59:59]A\r\n[2026-03-07 23:59:59]B\r\n",
                                     "[2026-03-08 00:00:00]C\r\n"}));
    EXPECT_EQ(t.files.appendOrder, (Vec{file("07_dll.txt"), file("08_dll.txt")}));
    WriteLog(lib, "D");  // no batch: at once
    EXPECT_EQ(t.files.appended.size(), 3u);
}

TEST_F(Log, FolderIsCreatedAgainForEachLine) {
    WriteLog(lib, "A");
    EXPECT_TRUE(t.files.folders.count("C:\\Base\\LOG\\"));
    t.files.folders.clear();  // someone deleted it
    WriteLog(lib, "B");
    EXPECT_TRUE(t.files.folders.count("C:\\Base\\LOG\\"));
    EXPECT_EQ(t.files.appended.size(), 2u);
}

TEST_F(Log, LineThatCannotBeWrittenIsLostAndTheCallerGoesOn) {
    t.files.failAppends = true;
    EXPECT_NO_THROW(WriteLog(lib, "A", "lost"));
    t.files.failAppends = false;
    WriteLog(lib, "B", "kept");
    EXPECT_EQ(t.files.appended, Vec{"[2026-03-07 09:05:01] B => kept\r\n"});
}

TEST_F(Log, ThrowingFileSystemDoesNotEscape) {
    struct Throwing : testing::FakeFiles {
        bool appendToFile(const std::string&, std::string_view) override { throw std::runtime_error("disk"); }
    } throwing;
    testing::Fakes f;
    Platform platform{f.clock,  f.ini,        throwing,          f.host,    f.desktop,        f.timerConn,
                      f.connectPause, f.linkWork, f.socket, f.httpServer, f.httpServerRetry, f.browser,
                      f.defaultBrowser, f.pageCleanup, f.system, f.random};
    Library other(platform);
    EXPECT_NO_THROW(WriteLog(other, "A", "text"));
    EXPECT_NO_THROW(NotifyHost(other, "x|success|"));
    DeliverHostEvents(other);
    EXPECT_EQ(f.host.callbacks, Vec{"|SMSG|x|success|"});
}

}  // namespace
}  // namespace veltrane
