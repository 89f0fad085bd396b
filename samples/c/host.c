/*
 * The shortest correct host of veltrane.dll: a window, a message loop, and
 * the library driven by its host events, in the order of a first run. It
 * starts the library and waits for the CTI connection; on a PC that is not
 * certified yet it registers the phone and certifies the PC with the number
 * the service sent to the phone; then it logs in, dials one number, and
 * finishes when the call has ended.
 *
 *   host.exe [BASE_FOLDER [CERTIFICATION_NUMBER]]
 *
 * BASE_FOLDER holds config.ini (default C:\Veltrane\). On a first run,
 * CERTIFICATION_NUMBER is the number the service sends to the phone when it
 * is registered; without it the program stops after registering, and is run
 * again with the number. The session ends in DLL_FINISH, which ends the
 * process with exit code 1; any failure ends it with exit code 2 instead.
 *
 * Build, in the package's folder (x86: the x86 folders):
 *   MinGW:  gcc samples/c/host.c -Iinclude lib/x64/libveltrane.dll.a -loleaut32 -o host.exe
 *   MSVC:   cl samples\c\host.c /Iinclude lib\x64\veltrane.lib oleaut32.lib user32.lib
 * and put bin\x64\veltrane.dll beside host.exe.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "veltrane.h"

/* Replace with the user's own details. */
#define PHONE_NO L"0212345678"
#define LOGIN_ID L"agent"
#define PASSWORD L"secret"
#define NUMBER_TO_DIAL L"01012345678"
#define WINDOW_TITLE L"Veltrane Sample Host"

enum { EXIT_FAILED = 2 };

static wchar_t certificationNumber[64];
static int certified; /* this PC is certified for PHONE_NO */
static int linkUp;

static int StartsWith(const char *text, const char *prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

/* Exports take BSTRs; the library copies them, so they are freed at once. */
static void Call1(void(__stdcall *export1)(BSTR), const wchar_t *a) {
    BSTR s = SysAllocString(a);
    export1(s);
    SysFreeString(s);
}

static void Call2(void(__stdcall *export2)(BSTR, BSTR), const wchar_t *a, const wchar_t *b) {
    BSTR s = SysAllocString(a), t = SysAllocString(b);
    export2(s, t);
    SysFreeString(s);
    SysFreeString(t);
}

static void LogIn(void) {
    BSTR phone = SysAllocString(PHONE_NO), id = SysAllocString(LOGIN_ID), password = SysAllocString(PASSWORD);
    PC_LOGIN(phone, id, password);
    SysFreeString(phone);
    SysFreeString(id);
    SysFreeString(password);
}

static void Fail(const char *why) {
    printf("FAILED: %s\n", why);
    fflush(stdout);
    PostQuitMessage(EXIT_FAILED); /* the library ends with the process */
}

/* Every host event arrives here, on the thread that called DLL_START, as
   8-bit text in the ANSI code page, valid during the call only, once the
   library has finished what raised it. The callback may call exports; it
   must not throw (the library catches it and goes on). */
static void __stdcall OnHostEvent(const char *text) {
    printf("%s\n", text);
    fflush(stdout);
    if (StartsWith(text, "|SMSG|dllstart|success|login|")) {
        certified = 1; /* the start event comes before the connection */
    } else if (strcmp(text, "|SMSG|conn|connect||") == 0 && !linkUp) {
        /* Register and log in only once the link is up; earlier they fail. */
        linkUp = 1;
        if (certified)
            LogIn();
        else
            Call1(CERTIFICATION_NO, PHONE_NO);
    } else if (StartsWith(text, "|SMSG|certification_no|success|")) {
        if (strstr(text, "|certified|") != NULL) {
            LogIn(); /* this PC was certified already */
        } else if (certificationNumber[0] != L'\0') {
            Call2(CERTIFICATION_PC, PHONE_NO, certificationNumber);
        } else {
            printf("A certification number was sent to the phone: run again with it as the second argument.\n");
            Fail("not certified yet");
        }
    } else if (StartsWith(text, "|SMSG|certification_pc|success|")) {
        LogIn();
    } else if (StartsWith(text, "|SMSG|login|success|")) {
        Call1(DIAL, NUMBER_TO_DIAL);
    } else if (StartsWith(text, "|SMSG|call|success|") && strstr(text, "|callfinish|") != NULL) {
        DLL_FINISH(); /* ends this process (exit code 1) */
    } else if (StartsWith(text, "|SMSG|certification_no|fail|") || StartsWith(text, "|SMSG|certification_pc|fail|") ||
               StartsWith(text, "|SMSG|login|fail|") || StartsWith(text, "|SMSG|call|fail|") ||
               StartsWith(text, "|SMSG|dllstart|fail|") || StartsWith(text, "|SMSG|conn|fail|")) {
        Fail(text);
    } else if (StartsWith(text, "conn|disconnect|In put CTI Address")) {
        /* No CTI_IPs in config.ini (this one text comes without "|SMSG|"). */
        Fail("no CTI address in config.ini");
    }
}

/* The same events arrive as WM_COPYDATA too, after the callback. */
static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT *data = (const COPYDATASTRUCT *)lParam;
        (void)data; /* data->lpData: the event text, NUL-terminated */
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int main(int argc, char **argv) {
    wchar_t folder[MAX_PATH] = L"C:\\Veltrane\\";
    WNDCLASSW windowClass = {0};
    BSTR base, title;
    MSG message;

    if (argc > 1) MultiByteToWideChar(CP_ACP, 0, argv[1], -1, folder, MAX_PATH);
    if (argc > 2) MultiByteToWideChar(CP_ACP, 0, argv[2], -1, certificationNumber, 64);

    /* A real top-level window (not a message-only one), found by its title.
       It need not be visible. */
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"VeltraneSampleHost";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, windowClass.lpszClassName, WINDOW_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                    400, 300, NULL, NULL, windowClass.hInstance, NULL);

    base = SysAllocString(folder);
    title = SysAllocString(WINDOW_TITLE);
    DLL_START(base, title, OnHostEvent);
    SysFreeString(base);
    SysFreeString(title);

    /* The library works through this thread's messages. */
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return (int)message.wParam;
}
