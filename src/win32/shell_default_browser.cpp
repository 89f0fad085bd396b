#include "win32/shell_default_browser.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "winsupport/code_page.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

using winsupport::AnsiToWide;
using winsupport::UniqueFile;
using winsupport::UniqueHandle;
using winsupport::UniqueKernelHandle;

namespace {

struct FindTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { ::FindClose(h); }
};
using UniqueFind = UniqueHandle<FindTraits>;

// The user's temporary folder, ending in "\"; empty when there is none.
std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (length == 0 || length > MAX_PATH + 1) return {};
    return std::wstring(buffer, length);
}

std::string ErrorText(const char* what, unsigned long code) { return std::string(what) + " error " + std::to_string(code); }

// Security attributes whose DACL lets the current user alone in, and does
// not take the entries the folder would pass on.
class UserOnlySecurity {
public:
    bool make() {
        HANDLE rawToken = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return false;
        const UniqueKernelHandle token(rawToken);
        DWORD size = 0;
        ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
        if (size == 0) return false;
        user_.assign(size / sizeof(std::uint64_t) + 1, 0);  // aligned for the pointers inside
        if (!::GetTokenInformation(token.get(), TokenUser, user_.data(), size, &size)) return false;
        const PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;

        const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
        acl_.assign(aclSize / sizeof(DWORD) + 1, 0);
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        return ::InitializeAcl(acl, aclSize, ACL_REVISION) &&
               ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
               ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
               ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
               ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    SECURITY_ATTRIBUTES* attributes() {
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
        return &attributes_;
    }

private:
    std::vector<std::uint64_t> user_;
    std::vector<DWORD> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};
}  // namespace

ShellDefaultBrowser::ShellDefaultBrowser() : next_(::GetTickCount()) {}

unsigned ShellDefaultBrowser::ansiCodePage() { return ::GetACP(); }

std::uint64_t ShellDefaultBrowser::uniqueNumber() {
    // The process id keeps processes apart; the count, started from the
    // clock, keeps this process's pages apart from each other and from
    // those of an earlier process that had the same id.
    return (std::uint64_t{::GetCurrentProcessId()} << 32) | next_++;
}

Outcome ShellDefaultBrowser::writePage(const std::string& name, std::string_view bytes) {
    const std::wstring folder = TempFolder();
    if (folder.empty()) return Outcome::Failure("no temporary folder");
    UserOnlySecurity security;
    if (!security.make()) return Outcome::Failure(ErrorText("security", ::GetLastError()));
    const std::wstring path = folder + AnsiToWide(name);
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, security.attributes(), CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Outcome::Failure(ErrorText("CreateFile", ::GetLastError()));
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
            Outcome failed = Outcome::Failure(ErrorText("WriteFile", ::GetLastError()));
            file.reset();
            ::DeleteFileW(path.c_str());
            return failed;
        }
        bytes.remove_prefix(written);
    }
    return {};
}

Outcome ShellDefaultBrowser::openPage(const std::string& name) {
    const std::wstring path = TempFolder() + AnsiToWide(name);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return {};
    return Outcome::Failure(ErrorText("ShellExecute", static_cast<unsigned long>(result)));
}

void ShellDefaultBrowser::removePage(const std::string& name) {
    const std::wstring folder = TempFolder();
    if (!folder.empty()) ::DeleteFileW((folder + AnsiToWide(name)).c_str());
}

void ShellDefaultBrowser::removePages(const std::string& pattern, std::int32_t minimumAgeSeconds) {
    const std::wstring folder = TempFolder();
    if (folder.empty()) return;
    const auto ticks = [](const FILETIME& time) {  // 100 ns each
        return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    };
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t minimumAge = std::uint64_t(std::max(minimumAgeSeconds, 0)) * 10000000u;
    WIN32_FIND_DATAW found{};
    const UniqueFind search(::FindFirstFileW((folder + AnsiToWide(pattern)).c_str(), &found));
    if (!search) return;
    do {
        const std::uint64_t written = ticks(found.ftLastWriteTime);
        const bool oldEnough = written <= ticks(now) && ticks(now) - written >= minimumAge;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && oldEnough)
            ::DeleteFileW((folder + found.cFileName).c_str());
    } while (::FindNextFileW(search.get(), &found));
}

}  // namespace veltrane::win32
