// The host programs that link veltrane.dll through the kit's import libraries,
// each run against the CTI simulator: the session ends in DLL_FINISH, so the
// program's exit code is 1 and its last line the "dllfinish" event.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "harness/test_host.h"

namespace veltrane::wine {
namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

class Process {
public:
    // Starts `commandLine` with its output in `outputFile` (or discarded).
    Process(const std::wstring& commandLine, const std::wstring& outputFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        output_ = ::CreateFileW(outputFile.empty() ? L"NUL" : outputFile.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = output_;
        startup.hStdError = output_;
        std::wstring line = commandLine;
        if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, ProgramFolder().c_str(),
                             &startup, &info_))
            ::CloseHandle(info_.hThread);
        else
            info_.hProcess = nullptr;
    }
    ~Process() {
        if (info_.hProcess != nullptr) {
            ::TerminateProcess(info_.hProcess, 99);
            ::WaitForSingleObject(info_.hProcess, 5000);
            ::CloseHandle(info_.hProcess);
        }
        if (output_ != INVALID_HANDLE_VALUE) ::CloseHandle(output_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    bool running() const { return started() && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code, or -1 when the process has not ended within the time.
    int wait(DWORD milliseconds) {
        DWORD code = 0;
        if (!started() || ::WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(info_.hProcess, &code))
            return -1;
        return static_cast<int>(code);
    }

private:
    PROCESS_INFORMATION info_{};
    HANDLE output_ = INVALID_HANDLE_VALUE;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

struct Host {
    const wchar_t* program;
    const wchar_t* simulatorOptions;
    const wchar_t* arguments = L"";  // after the base folder
};

std::string Name(const Host& host) {
    std::string name;
    for (const wchar_t* c = host.program; *c != L'.'; ++c) name += static_cast<char>(*c);
    return name;
}

void PrintTo(const Host& host, std::ostream* out) { *out << Name(host); }

class KitSession : public testing::TestWithParam<Host> {};

TEST_P(KitSession, RunsToDllFinish) {
    const Host& host = GetParam();
    TempFolder base;
    const std::wstring folder = ProgramFolder();

    Process simulator(L"\"" + folder + L"cti-simulator.exe\" --port 0 --ports-file \"" + base.path() +
                          L"ports\" --no-stdin --no-mac-check " + host.simulatorOptions,
                      base.path() + L"simulator.log");
    ASSERT_TRUE(simulator.started());
    std::string ports;
    for (int tries = 0; tries < 200 && ports.find('\n') == std::string::npos && simulator.running(); ++tries) {
        ::Sleep(50);
        ports = ReadFileBytes(base.path() + L"ports");
    }
    const std::size_t cti = ports.find("cti=");
    ASSERT_NE(cti, std::string::npos) << ReadFileBytes(base.path() + L"simulator.log");
    WriteConfig(base.path(), "127.0.0.1", std::stoi(ports.substr(cti + 4)));

    // The folder without its final "\", which would escape the closing quote.
    const std::wstring baseArgument = base.path().substr(0, base.path().size() - 1);
    Process program(L"\"" + folder + host.program + L"\" \"" + baseArgument + L"\"" + host.arguments,
                    base.path() + L"output.txt");
    ASSERT_TRUE(program.started());
    const int exitCode = program.wait(90000);
    const std::string output = ReadFileBytes(base.path() + L"output.txt");
    const std::vector<std::string> lines = Lines(output);
    EXPECT_EQ(exitCode, 1) << output;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "|SMSG|dllfinish|success||") << output;
    EXPECT_EQ(output.find("FAIL"), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, KitSession,
    // Each toolchain with its own kind of import library (the other two
    // pairings are linked, not run), and the C sample.
    testing::Values(Host{L"link_test_mingw_gnu.exe", L"--answer-after 100 --call-length 0"},
                    Host{L"link_test_clang_msvc.exe", L"--answer-after 100 --call-length 0"},
                    // A first run: registered and certified with the simulator's number.
                    Host{L"sample_host.exe", L"--answer-after 100 --call-length 300", L" 123456"}),
    [](const testing::TestParamInfo<Host>& info) { return Name(info.param); });

}  // namespace
}  // namespace veltrane::wine
