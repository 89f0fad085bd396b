/*
 * The shortest correct host of veltrane.dll: a window, a message loop, and
 * the library driven by its host events. It starts the library, waits for
 * the CTI connection, logs in, dials one number, and finishes when the call
 * has ended.
 *
 *   host.exe [BASE_FOLDER]      (the folder of config.ini; default C:\Veltrane\)
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

static int loginSent;

/* Exports take BSTRs; the library copies them, so they are freed at once. */
static void Call1(void(__stdcall *export1)(BSTR), const wchar_t *a) {
    BSTR s = SysAllocString(a);
    export1(s);
    SysFreeString(s);
}

/* Every host event arrives here, on the thread that called DLL_START, as
   8-bit text in the ANSI code page, valid during the call only. The
   callback may call exports. */
static void __stdcall OnHostEvent(const char *text) {
    printf("%s\n", text);
    fflush(stdout);
    if (strcmp(text, "|SMSG|conn|connect||") == 0 && !loginSent) {
        /* Log in only once the link is up; earlier, PC_LOGIN fails. */
        BSTR phone = SysAllocString(PHONE_NO), id = SysAllocString(LOGIN_ID), password = SysAllocString(PASSWORD);
        loginSent = 1;
        PC_LOGIN(phone, id, password);
        SysFreeString(phone);
        SysFreeString(id);
        SysFreeString(password);
    } else if (strncmp(text, "|SMSG|login|success|", 20) == 0) {
        Call1(DIAL, NUMBER_TO_DIAL);
    } else if (strncmp(text, "|SMSG|call|success|", 19) == 0 && strstr(text, "|callfinish|") != NULL) {
        DLL_FINISH(); /* ends this process (exit code 1) */
    } else if (strncmp(text, "|SMSG|login|fail|", 17) == 0 || strncmp(text, "|SMSG|call|fail|", 16) == 0) {
        DLL_FINISH();
    } else if (strncmp(text, "|SMSG|dllstart|fail|", 20) == 0 ||
               strncmp(text, "conn|disconnect|In put CTI Address", 34) == 0) {
        /* Not started, or no CTI_IPs in config.ini (this one text comes
           without "|SMSG|"): nothing to wait for. */
        PostQuitMessage(2);
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
