// samples/vbscript/Session.vbs run by Wine's cscript against the scripted
// server: CreateObject, WaitEvent, and nothing else a script host lacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/com_client.h"
#include "commands/cti_server_script.h"
#include "harness/cti_fixture.h"
#include "veltrane.h"

namespace veltrane::wine {
namespace {

// Runs a command line with its output in `output`; its exit code, -1 when it
// did not end in time.
int RunCommand(std::wstring command, const std::wstring& output) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process{};
    const bool started =
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(file);
    if (!started) return -2;
    DWORD code = static_cast<DWORD>(-1);
    // The process runs the messages of the script; this thread only waits.
    if (::WaitForSingleObject(process.hProcess, 90000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ::TerminateProcess(process.hProcess, 99);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

TEST(VbScript, TheSampleSessionRunsUnderCscript) {
    Apartment apartment;
    MachineRegistration registration;
    ASSERT_EQ(registration.result(), S_OK);
    TempFolder base;
    FakeCtiServer server;
    server.setResponder(AnswerLikeACtiServer);
    WriteConfig(base.path(), "127.0.0.1", server.port());
    WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");

    std::wstring script = Widen(std::string("Z:") + VELTRANE_SAMPLES + "/vbscript/Session.vbs");
    const int exitCode = RunCommand(L"cscript.exe //nologo \"" + script + L"\" \"" +
                                 base.path().substr(0, base.path().size() - 1) + L"\" 0212345678 user1 pw 안녕하세요",
                             base.path() + L"output.txt");
    const std::string output = ReadFileBytes(base.path() + L"output.txt");
    EXPECT_EQ(exitCode, 0) << output;
    for (const std::wstring& line : {L"Veltrane " + Widen(VELTRANE_VERSION_STRING),
                                     std::wstring(L"|SMSG|dllstart|success|certification_no|"),
                                     L"|SMSG|login|success|0212345678|" + Widen(kWebAddress) + L"|",
                                     std::wstring(L"|SMSG|sms|success|0212345678|01012345678|send|안녕하세요|"),
                                     std::wstring(L"|SMSG|dllfinish|success||"), std::wstring(L"OK")})
        EXPECT_NE(output.find(ToAnsi(line) + "\r\n"), std::string::npos) << ToAnsi(line) << "\n" << output;
    const std::string hello = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";  // CP949 on the wire
    EXPECT_NE(server.received().find("|01012345678|" + hello + "||"), std::string::npos);
}

}  // namespace
}  // namespace veltrane::wine
