// The boundary with the host, on the real DLL: whatever the host does inside
// its callback (call an export, run its message loop, throw) the library
// has finished what it was doing, and goes on.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

class HostBoundary : public ConnectedHostTest {
protected:
    std::size_t countOf(const std::string& event) const {
        return static_cast<std::size_t>(std::count(host.callbacks().begin(), host.callbacks().end(), event));
    }
};

struct Throw {
    const char* name;
    std::function<void()> raise;
    const char* logged;
};

const Throw kThrows[] = {
    {"C++ exception", [] { throw std::runtime_error("host bug"); }, "host callback threw"},
    // Another compiler's C++ exception, as a Visual C++ host throws it.
    {"structured exception", [] { RaiseException(0xE06D7363, 0, 0, nullptr); },
     "host callback threw exception 0xE06D7363"},
};

// The server refuses every connection; the host throws from every event.
// The attempts go on as without the throw, each told once.
TEST_F(HostBoundary, CallbackThatThrowsDoesNotStopTheLink) {
    for (const Throw& thrown : kThrows) {
        SCOPED_TRACE(thrown.name);
        TestHost throwing;
        TempFolder folder;
        FakeCtiServer refusing;
        refusing.refuse();
        WriteConfig(folder.path(), "127.0.0.1", refusing.port());
        WriteIni(folder.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
        throwing.onCallback = [&](const std::string&) { thrown.raise(); };
        throwing.start(folder.path());
        const std::string refused = Event("conn|disconnect|disconnect(10061)eeConnect|");
        const auto count = [&](const std::string& event) {
            return std::count(throwing.callbacks().begin(), throwing.callbacks().end(), event);
        };
        // Pauses of 0.5, 1 and 2 s: three refusals within a few seconds.
        ASSERT_TRUE(throwing.waitFor([&] { return count(refused) >= 3; }, 15s));
        throwing.pump(100ms);
        EXPECT_EQ(count(Event("conn|disconnect||")), count(refused));
        EXPECT_EQ(LogTexts(folder.path(), "NotifyHost"), std::vector<std::string>{thrown.logged});
    }
}

// One way a turn of the owner thread starts, from a connected library.
struct Handling {
    const char* name;
    std::function<void(TestHost&, FakeCtiServer&)> run;
    std::string firstEvent;
};

// What the host does inside the callback of that turn's first event.
struct Reaction {
    const char* name;
    std::function<void(TestHost&)> act;
};

TEST_F(HostBoundary, HostMayCallExportsRunItsLoopOrThrowInsideItsCallback) {
    const Handling handlings[] = {
        {"server packet", [](TestHost&, FakeCtiServer& cti) { cti.send(ServerPacket("INFO", "S", "N|notice|")); },
         Event("information|normal|notice|")},
        {"export", [](TestHost& h, FakeCtiServer&) { h.call("DIAL", {L" "}); },
         Event("call|fail| |dialing|R|Input dialing Phone Number|")},
        {"lost link", [](TestHost&, FakeCtiServer& cti) { cti.closeClient(); }, Event("conn|disconnect||")},
    };
    const Reaction reactions[] = {
        {"calls DIAL", [](TestHost& h) { h.call("DIAL", {L"0311112222"}); }},
        {"runs its message loop", [](TestHost& h) { h.pump(300ms); }},
        {"throws", [](TestHost&) { throw std::runtime_error("host bug"); }},
    };
    for (const Handling& handling : handlings) {
        for (const Reaction& reaction : reactions) {
            SCOPED_TRACE(std::string(handling.name) + ", host " + reaction.name);
            TestHost reacting;
            TempFolder folder;
            FakeCtiServer cti;
            WriteConfig(folder.path(), "127.0.0.1", cti.port());
            WriteIni(folder.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
            WriteIni(folder.path() + L"config_user.ini", "MyInfo", "PHONE_NO", kPhone);
            reacting.start(folder.path());
            ASSERT_TRUE(reacting.waitForEvent(Event("conn|connect||")));
            ASSERT_TRUE(reacting.waitFor([&] { return cti.clientConnected(); }));

            bool reacted = false;
            reacting.onCallback = [&](const std::string& text) {
                if (text != handling.firstEvent || std::exchange(reacted, true)) return;
                reaction.act(reacting);
            };
            handling.run(reacting, cti);
            ASSERT_TRUE(reacting.waitFor([&] { return reacted; }, 10s));

            // The library goes on: it answers the server and the host as before.
            reacting.onCallback = nullptr;
            ASSERT_TRUE(reacting.waitFor([&] { return cti.clientConnected(); }, 10s));
            const std::size_t mark = reacting.callbacks().size();
            ASSERT_TRUE(reacting.waitFor([&] { return cti.send(ServerPacket("INFO", "S", "N|still here|")); }));
            EXPECT_TRUE(reacting.waitForEvent(Event("information|normal|still here|")));
            EXPECT_GE(reacting.callbacks().size(), mark + 1);
        }
    }
}

// Logins called while the link waits out its pauses: one disconnection
// for each refused socket, none for an attempt that was only waiting.
TEST_F(HostBoundary, StormOfLoginsGivesOneDisconnectionPerSocket) {
    server.refuse();
    configure();
    host.start(base.path());
    for (int i = 0; i < 150; ++i) {
        host.call("PC_LOGIN", {L"0212345678", L"agent", L"pw"});
        host.pump(20ms);
    }
    host.pump(200ms);
    const std::size_t refused = countOf(Event("conn|disconnect|disconnect(10061)eeConnect|"));
    EXPECT_GE(refused, 3u);
    EXPECT_EQ(countOf(Event("conn|disconnect||")), refused);
}

// veltrane.dll's import of msvcrt's malloc, pointed elsewhere while this
// lives: the way to make the library's own allocations fail from outside.
class DllMallocImport {
public:
    using Malloc = void*(__cdecl*)(std::size_t);

    explicit DllMallocImport(Malloc replacement) : slot_(Find()) {
        if (slot_ != nullptr) {
            original = reinterpret_cast<Malloc>(*slot_);
            write(reinterpret_cast<ULONG_PTR>(replacement));
        }
    }
    ~DllMallocImport() {
        if (slot_ != nullptr) write(reinterpret_cast<ULONG_PTR>(original));
    }
    bool found() const { return slot_ != nullptr; }

    static inline Malloc original = nullptr;

private:
    static ULONG_PTR* Find() {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(L"veltrane.dll"));
        if (base == nullptr) return nullptr;
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             dll->Name != 0; ++dll) {
            if (::lstrcmpiA(reinterpret_cast<const char*>(base + dll->Name), "msvcrt.dll") != 0) continue;
            auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "malloc") == 0)
                    return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
            }
        }
        return nullptr;
    }
    void write(ULONG_PTR value) {
        DWORD was = 0;
        ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &was);
        *slot_ = value;
        ::VirtualProtect(slot_, sizeof *slot_, was, &was);
    }

    ULONG_PTR* slot_;
};

int refusedAllocations = 0;
void* __cdecl FailLargeAllocations(std::size_t size) {
    if (size >= (1u << 20)) {
        ++refusedAllocations;
        return nullptr;
    }
    return DllMallocImport::original(size);
}

// An argument the library cannot convert (here: no memory for it) is an
// export that does nothing; no exception reaches the host, and the next
// call works.
TEST_F(HostBoundary, ExportWhoseArgumentCannotBeConvertedDoesNothing) {
    startConnected();
    {
        DllMallocImport failing(FailLargeAllocations);
        ASSERT_TRUE(failing.found());
        host.call("DIAL", {std::wstring(2'000'000, L'0')});
    }
    EXPECT_GT(refusedAllocations, 0);
    host.call("DIAL", {L"0311112222"});
    ASSERT_TRUE(waitForLines(1));
    EXPECT_EQ(server.receivedLines(), std::vector<std::string>{"|LINK|CALL      |R|0024|R|0212345678|0311112222|"});
}

}  // namespace
}  // namespace veltrane::wine
