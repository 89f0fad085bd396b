// A stand-in for veltrane.dll with just enough behaviour to test the
// console's own mechanics under Wine: host events to the callback and the
// window, and a DLL_FINISH that ends the process with exit code 1.
#include <windows.h>

#include <string>

#include "veltrane.h"
#include "winsupport/bstr.h"

namespace {

using veltrane::winsupport::BstrToAnsi;

VELTRANE_CALLBACK g_callback = nullptr;
HWND g_window = nullptr;
bool g_finishQuietly = false;  // DLL_FINISH without its success event

void Notify(const std::string& event) {
    const std::string envelope = "|SMSG|" + event;
    if (g_callback) g_callback(envelope.c_str());
    COPYDATASTRUCT data{0, static_cast<DWORD>(envelope.size() + 1), const_cast<char*>(envelope.c_str())};
    if (g_window) SendMessageA(g_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

void CALLBACK Connected(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    Notify("conn|connect||");
}

}  // namespace

extern "C" {

__declspec(dllexport) void __stdcall DLL_START(BSTR, BSTR windowTitle, VELTRANE_CALLBACK callback) {
    g_callback = callback;
    const std::string title = BstrToAnsi(windowTitle);
    g_finishQuietly = title == "finish quietly";
    g_window = FindWindowA(nullptr, title.c_str());
    Notify("dllstart|success|certification_no|");
    SetTimer(nullptr, 0, 100, Connected);  // an event that arrives through the message loop
}

__declspec(dllexport) void __stdcall DLL_FINISH() {
    if (!g_finishQuietly) Notify("dllfinish|success||");
    TerminateProcess(GetCurrentProcess(), 1);
}

__declspec(dllexport) void __stdcall SMS_INSTANT(BSTR calledNo, BSTR message) {
    Notify("sms|success|0212345678|" + BstrToAnsi(calledNo) + "|send|" + BstrToAnsi(message) + "|");
}

}  // extern "C"
