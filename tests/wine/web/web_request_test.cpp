// WEB_REQUEST against the browsers of a Wine prefix. Wine's InternetExplorer
// object refuses the bar and size settings, so Internet Explorer always
// fails here: with "IE only" nothing opens and no browser may stay behind;
// by default the page goes on to the default browser, which Wine's browser
// launcher runs as headless Chromium (tools/headless-browser.sh), and the
// form reaches the CTI simulator's web address.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "harness/cti_fixture.h"
#include "harness/fake_cti_server.h"
#include "harness/test_host.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

int ProcessesNamed(std::initializer_list<const wchar_t*> names) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        std::wstring name = entry.szExeFile;
        std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return std::towlower(c); });
        for (const wchar_t* wanted : names) count += name == wanted ? 1 : 0;
    }
    ::CloseHandle(snapshot);
    return count;
}

int BrowserProcesses() { return ProcessesNamed({L"iexplore.exe", L"winebrowser.exe"}); }

// The page files in the user's temporary folder.
std::vector<std::wstring> PageFiles() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((std::wstring(temp, length) + L"veltrane-page-*.html").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do files.push_back(std::wstring(temp, length) + found.cFileName);
    while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

// The prefix's browsers, and the page files in its temporary folder, are
// shared by every test process: one test of this file uses them at a time.
// The lock goes with the process.
void TakeTheBrowsers() {
    static const HANDLE held = [] {
        HANDLE lock = ::CreateMutexW(nullptr, FALSE, L"veltrane-tests-browsers");
        ::WaitForSingleObject(lock, 90000);
        return lock;
    }();
    (void)held;
}

bool HasLineContaining(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

TEST(WebRequest, InternetExplorerOnlyFailsHereAndLeavesNoBrowserBehind) {
    TakeTheBrowsers();
    TestHost host;
    ASSERT_TRUE(host.waitFor([] { return BrowserProcesses() == 0; }, 15s)) << BrowserProcesses();
    TempFolder base;
    FakeCtiServer cti;
    WriteConfig(base.path(), "127.0.0.1", cti.port());
    WriteIni(base.path() + L"config.ini", "Connect", "WEB_BROWSER", "IE_ONLY");
    host.start(base.path());
    ASSERT_TRUE(host.waitFor([&] { return cti.clientConnected(); }));
    host.pump(200ms);
    host.clearEvents();
    const std::size_t pagesBefore = PageFiles().size();

    host.call("WEB_REQUEST", {L"CL", L"0212345678", L"", Arg::Null()});
    const std::vector<std::string> lines = LogLines(base.path());
    EXPECT_TRUE(HasLineContaining(lines, "POST_SEND_POPUP => ?KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG="));
    EXPECT_EQ(LogTexts(base.path(), "POPUP_IE"), std::vector<std::string>{"Except"});
    EXPECT_TRUE(LogTexts(base.path(), "POPUP_DEFAULT_BROWSER").empty());
    EXPECT_TRUE(HasLineContaining(
        lines, "POPUP Data Send Except => Address:?KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG="));
    EXPECT_FALSE(HasLineContaining(lines, "POPUP Data Send END"));
    EXPECT_TRUE(host.callbacks().empty());
    EXPECT_EQ(PageFiles().size(), pagesBefore);

    // The browser process Wine started for the object goes away again.
    EXPECT_TRUE(host.waitFor([] { return BrowserProcesses() == 0; }, 15s)) << BrowserProcesses();
}

// Sets a registry text value for the test's time; the old one comes back.
class RegistryValue {
public:
    RegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) : name_(name) {
        if (::RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr))
            return;
        wchar_t old[2048];
        DWORD size = sizeof old - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key_, name_, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
            type == REG_SZ)
            old_ = std::wstring(old, size / sizeof(wchar_t)).c_str();
        else
            hadNone_ = true;
        set(value);
    }
    ~RegistryValue() {
        if (key_ == nullptr) return;
        if (hadNone_)
            ::RegDeleteValueW(key_, name_);
        else
            set(old_);
        ::RegCloseKey(key_);
    }
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

private:
    void set(const std::wstring& value) {
        ::RegSetValueExW(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    HKEY key_ = nullptr;
    const wchar_t* name_;
    std::wstring old_;
    bool hadNone_ = false;
};

std::wstring TestFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\') + 1);
}

// The CTI simulator (built next to this test) on ports of its own choice,
// its log in a file; ended with the owner.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::wstring& folder) : log_(folder + L"simulator.log") {
        const std::wstring ports = folder + L"ports";
        std::wstring command = L"\"" + TestFolder() + L"cti-simulator.exe\" --port 0 --web-port 0 --no-stdin "
                               L"--no-mac-check --ports-file \"" + ports + L"\"";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out = ::CreateFileW(log_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = out;
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &startup, &process)) {
            ::CloseHandle(process.hThread);
            process_ = process.hProcess;
        }
        ::CloseHandle(out);
        for (int i = 0; i < 200 && process_ != nullptr && ctiPort_ == 0; ++i) {
            ::Sleep(50);
            const std::string text = ReadFileBytes(ports);
            const auto value = [&](const char* name) {
                const std::size_t at = text.find(name);
                return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + std::strlen(name));
            };
            ctiPort_ = value("cti=");
            webPort_ = value("web=");
        }
    }
    ~SimulatorProcess() {
        if (process_ == nullptr) return;
        ::TerminateProcess(process_, 0);
        ::WaitForSingleObject(process_, 10000);
        ::CloseHandle(process_);
    }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    int ctiPort() const { return ctiPort_; }
    int webPort() const { return webPort_; }
    std::string log() const { return ReadFileBytes(log_); }  // UTF-8

private:
    std::wstring log_;
    HANDLE process_ = nullptr;
    int ctiPort_ = 0, webPort_ = 0;
};

// Nobody but the current user may open the page's file. Wine keeps no DACL
// of a file's own: it shows the Unix permissions as entries for the owner
// and SYSTEM, and for Everyone too on a file made without the library's DACL.
void ExpectOnlyTheUserMayOpen(const std::wstring& file) {
    DWORD size = 0;
    ::GetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<std::uint64_t> descriptor(size / sizeof(std::uint64_t) + 1);
    ASSERT_TRUE(::GetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size));
    BOOL present = FALSE, defaulted = FALSE;
    ACL* dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl != nullptr);

    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    std::vector<std::uint64_t> user(64);
    DWORD userSize = static_cast<DWORD>(user.size() * sizeof(std::uint64_t));
    const BOOL gotUser = ::GetTokenInformation(token, TokenUser, user.data(), userSize, &userSize);
    ::CloseHandle(token);
    ASSERT_TRUE(gotUser);
    const PSID self = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::vector<std::uint64_t> system(SECURITY_MAX_SID_SIZE / sizeof(std::uint64_t) + 1);
    DWORD systemSize = SECURITY_MAX_SID_SIZE;
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system.data(), &systemSize));

    bool selfAllowed = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        const PSID sid = &ace->SidStart;
        selfAllowed = selfAllowed || ::EqualSid(sid, self);
        EXPECT_TRUE(::EqualSid(sid, self) || ::EqualSid(sid, system.data())) << "another account may open it";
    }
    EXPECT_TRUE(selfAllowed);
}

TEST(WebRequest, ByDefaultTheServiceReceivesTheFormFromTheDefaultBrowser) {
    ASSERT_NE(::GetFileAttributesW(L"Z:\\usr\\bin\\chromium"), INVALID_FILE_ATTRIBUTES)
        << "chromium is missing: run tools/setup-debian.sh";
    TakeTheBrowsers();
    // This prefix's default browser: Wine's launcher, for HTML files too,
    // running the repository's headless Chromium.
    const RegistryValue html(HKEY_CLASSES_ROOT, L".html", nullptr, L"htmlfile");
    const RegistryValue browsers(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers",
                                 Widen(VELTRANE_HEADLESS_BROWSER));
    TempFolder work;
    SimulatorProcess simulator(work.path());
    ASSERT_NE(simulator.ctiPort(), 0) << simulator.log();
    ASSERT_NE(simulator.webPort(), 0) << simulator.log();

    TestHost host;
    TempFolder base;
    WriteConfig(base.path(), "127.0.0.1", simulator.ctiPort());
    WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("conn|connect||"), 10s));
    host.call("PC_LOGIN", {L"0212345678", L"agent", L"secret"});
    const std::string address = "http://127.0.0.1:" + std::to_string(simulator.webPort()) + "/veltrane/";
    ASSERT_TRUE(host.waitForEvent(Event("login|success|0212345678|" + address + "|"), 10s)) << simulator.log();

    const std::string message = "안녕하세요, 100% 확인 & 감사 + 환영";
    const std::vector<std::wstring> pagesBefore = PageFiles();
    host.call("WEB_REQUEST", {L"SS", L"0212345678", L"010+1234&5678", Widen(message)});
    EXPECT_EQ(LogTexts(base.path(), "POPUP_IE"), std::vector<std::string>{"Except"});
    const std::vector<std::string> opened = LogTexts(base.path(), "POPUP_DEFAULT_BROWSER");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("END:veltrane-page-", 0), 0u) << opened[0];
    EXPECT_EQ(LogTexts(base.path(), "POPUP Data Send END").size(), 1u);
    std::vector<std::wstring> pages = PageFiles();
    pages.erase(std::remove_if(pages.begin(), pages.end(),
                               [&](const std::wstring& page) {
                                   return std::count(pagesBefore.begin(), pagesBefore.end(), page) > 0;
                               }),
                pages.end());
    ASSERT_EQ(pages.size(), 1u);
    ExpectOnlyTheUserMayOpen(pages[0]);

    // What the service's page receives, as the simulator decodes it.
    ASSERT_TRUE(host.waitFor([&] { return simulator.log().find("field SMS_MSG=") != std::string::npos; }, 75s))
        << simulator.log();
    const std::string log = simulator.log();
    const std::string lines[] = {"header Content-Type: application/x-www-form-urlencoded", "field KIND=SS",
                                 "field PHONE_NO=0212345678", "field GUEST_PHONE=010+1234&5678",
                                 "field SMS_MSG=" + message};
    for (const std::string& line : lines) {
        const std::size_t at = log.find(line);
        const char after = at == std::string::npos ? '?' : log[at + line.size()];
        EXPECT_TRUE(after == '\r' || after == '\n') << line << "\n" << log;
    }

    // The next start removes the page.
    host.start(base.path());
    EXPECT_EQ(::GetFileAttributesW(pages[0].c_str()), INVALID_FILE_ATTRIBUTES);
    // Wine's launcher is gone at once, and the Internet Explorer that was
    // tried first is closed.
    EXPECT_TRUE(host.waitFor([] { return BrowserProcesses() == 0; }, 15s)) << BrowserProcesses();
}

}  // namespace
}  // namespace veltrane::wine
