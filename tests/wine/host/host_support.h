// Helpers of the host frame's Windows tests.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness/test_host.h"

namespace veltrane::wine {

// Tests run side by side, each with its own host window; a title of its own
// keeps another test's DLL from finding this test's window.
inline std::wstring UniqueTitle(const std::wstring& stem = TestHost::kTitle) {
    return stem + L" " + std::to_wstring(::GetCurrentProcessId());
}

// The host events whose subject is `subject` ("|SMSG|" + subject + "|...").
inline std::vector<std::string> EventsAbout(const TestHost& host, const std::string& subject) {
    std::vector<std::string> events;
    for (const std::string& event : host.callbacks())
        if (event.rfind("|SMSG|" + subject + "|", 0) == 0) events.push_back(event);
    return events;
}

// The texts without the notice of a taken WEB_PORT. A test that leaves the
// library on the default port cannot know whether something else holds it.
inline std::vector<std::string> WithoutPortNotice(std::vector<std::string> texts) {
    texts.erase(std::remove_if(texts.begin(), texts.end(),
                               [](const std::string& text) { return text.rfind("|SMSG|httpserver|fail|", 0) == 0; }),
                texts.end());
    return texts;
}

// The texts of the WM_COPYDATA messages the host window received.
inline std::vector<std::string> CopyTexts(const TestHost& host) {
    std::vector<std::string> texts;
    for (const CopyData& copy : host.copies()) texts.push_back(copy.text);
    return texts;
}

// The address text of the first network adapter as the system reports it.
std::string FirstAdapterMac();

// True when a file or folder exists at the path.
bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// The log line with this name and text, without its stamp, is in today's log.
bool Logged(const std::wstring& basePath, const std::string& line);

// Holds a file open for reading while sharing no writing, so that nothing
// else can write to it for as long as it lives.
class FileWriteLock {
public:
    explicit FileWriteLock(const std::wstring& path);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;
    bool held() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_;
};

}  // namespace veltrane::wine
