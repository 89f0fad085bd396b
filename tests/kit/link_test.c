/*
 * A host program that calls every export through veltrane.h, linked against
 * an import library (not loaded with LoadLibrary), so that each toolchain
 * proves the library's import libraries bind every name. Run against the
 * CTI simulator, it plays a session in which each export is answered by an
 * event of its own, and ends with DLL_FINISH (exit code 1).
 *
 *   link_test.exe BASE_FOLDER
 *
 * It needs no C runtime (clang for the MSVC ABI links it without one):
 * Windows functions only, its own entry point when NO_CRT is defined.
 * Exit codes: 1 the session ran to DLL_FINISH; 2 an event did not come;
 * 3 DLL_FINISH returned; 4 the DLL's version resource differs from the
 * header's; 5 bad arguments.
 */
#ifndef NO_SDK
#include <windows.h>
#endif
#include "veltrane.h"

#define PHONE L"0212345678"
#define GUEST L"01012345678"
#define EVENT_PHONE "0212345678|"
#define EVENT_CALL "|SMSG|call|success|0212345678|01012345678|"

static void Write(const char *text) {
    DWORD length = 0;
    DWORD written;
    while (text[length] != '\0') ++length;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, NULL);
}

/* Events as they arrive: the callback runs on this thread, inside the
   message loop of Wait or inside an export. */
#define MAX_EVENTS 96
#define MAX_TEXT 240
static char events[MAX_EVENTS][MAX_TEXT];
static int received;
static int consumed;
static volatile int openWebPage;

static void __stdcall OnHostEvent(const char *text) {
    int i = 0;
    Write(text);
    Write("\n");
    if (received == MAX_EVENTS) return;
    for (; text[i] != '\0' && i < MAX_TEXT - 1; ++i) events[received][i] = text[i];
    events[received][i] = '\0';
    ++received;
}

static int StartsWith(const char *text, const char *prefix) {
    while (*prefix != '\0')
        if (*text++ != *prefix++) return 0;
    return 1;
}

/* Runs the message loop until an event starting with `prefix` has come
   (events before it are passed over); exits with 2 after 15 seconds. */
static void Wait(const char *prefix) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (consumed < received)
            if (StartsWith(events[consumed++], prefix)) return;
        if (GetTickCount() - start > 15000) {
            Write("FAIL: no event ");
            Write(prefix);
            Write("\n");
            ExitProcess(2);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

/* BSTRs as a host makes them; freed after each call (the library copies). */
static BSTR texts[4];
static BSTR *Texts(const OLECHAR *a, const OLECHAR *b, const OLECHAR *c, const OLECHAR *d) {
    const OLECHAR *from[4];
    int i;
    from[0] = a;
    from[1] = b;
    from[2] = c;
    from[3] = d;
    for (i = 0; i < 4; ++i) texts[i] = from[i] != NULL ? SysAllocString(from[i]) : NULL;
    return texts;
}
static void FreeTexts(void) {
    int i;
    for (i = 0; i < 4; ++i) SysFreeString(texts[i]);
}

/* The pointer types for GetProcAddress agree with the prototypes: with
   -Werror, a mismatch (arguments or calling convention) does not compile. */
static int PointerTypesAgree(void) {
    VELTRANE_PFN_DLL_START start = DLL_START;
    VELTRANE_PFN_DLL_FINISH finish = DLL_FINISH;
    VELTRANE_PFN_CERTIFICATION_NO certificationNo = CERTIFICATION_NO;
    VELTRANE_PFN_CERTIFICATION_OTHER certificationOther = CERTIFICATION_OTHER;
    VELTRANE_PFN_CERTIFICATION_PC certificationPc = CERTIFICATION_PC;
    VELTRANE_PFN_PC_LOGIN login = PC_LOGIN;
    VELTRANE_PFN_PC_LOGOUT logout = PC_LOGOUT;
    VELTRANE_PFN_DIAL dial = DIAL;
    VELTRANE_PFN_PICK_UP pickUp = PICK_UP;
    VELTRANE_PFN_HANG_UP hangUp = HANG_UP;
    VELTRANE_PFN_RE_DIAL reDial = RE_DIAL;
    VELTRANE_PFN_SMS_INSTANT smsInstant = SMS_INSTANT;
    VELTRANE_PFN_SMS_BOOKED smsBooked = SMS_BOOKED;
    VELTRANE_PFN_CALL_RECORD callRecord = CALL_RECORD;
    VELTRANE_PFN_WEB_REQUEST webRequest = WEB_REQUEST;
    return start && finish && certificationNo && certificationOther && certificationPc && login && logout &&
           dial && pickUp && hangUp && reDial && smsInstant && smsBooked && callRecord && webRequest;
}

/* The version resource of the veltrane.dll beside this program carries the
   header's numbers. */
static int VersionMatches(void) {
    static unsigned char info[8192];
    static const OLECHAR dll[] = L"veltrane.dll";
    static const OLECHAR root[] = L"\\";
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT size = 0;
    DWORD handle = 0;
    const DWORD needed = GetFileVersionInfoSizeW(dll, &handle);
    if (needed == 0 || needed > sizeof info || !GetFileVersionInfoW(dll, 0, needed, info)) return 0;
    if (!VerQueryValueW(info, root, (void **)&fixed, &size) || size < 16) return 0;
    return fixed->dwFileVersionMS == ((VELTRANE_VERSION_MAJOR << 16) | VELTRANE_VERSION_MINOR) &&
           fixed->dwFileVersionLS == (VELTRANE_VERSION_PATCH << 16);
}

/* The first argument of the command line. */
static const OLECHAR *BaseFolderArgument(void) {
    OLECHAR *line = GetCommandLineW();
    const OLECHAR *argument;
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"') ++line;
        if (*line == '"') ++line;
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    if (*line == '"') {
        argument = ++line;
        while (*line != '\0' && *line != '"') ++line;
        *line = '\0';
        return argument;
    }
    argument = line;
    while (*line != '\0' && *line != ' ' && *line != '\t') ++line;
    *line = '\0';
    return argument;
}

static int Run(void) {
    BSTR *t;
    const OLECHAR *base = BaseFolderArgument();
    if (*base == '\0') {
        Write("usage: link_test BASE_FOLDER\n");
        return 5;
    }
    if (!PointerTypesAgree()) return 5;
    if (!VersionMatches()) {
        Write("FAIL: the version resource of veltrane.dll differs from " VELTRANE_VERSION_STRING "\n");
        return 4;
    }
    Write("version " VELTRANE_VERSION_STRING "\n");

    /* No window: a null title names none, and events come to the callback. */
    t = Texts(base, NULL, NULL, NULL);
    DLL_START(t[0], t[1], OnHostEvent);
    FreeTexts();
    Wait("|SMSG|dllstart|success|");
    Wait("|SMSG|conn|connect||");

    t = Texts(PHONE, NULL, NULL, NULL);
    CERTIFICATION_NO(t[0]);
    FreeTexts();
    Wait("|SMSG|certification_no|success|" EVENT_PHONE);
    t = Texts(PHONE, L"123456", NULL, NULL);
    CERTIFICATION_PC(t[0], t[1]);
    FreeTexts();
    Wait("|SMSG|certification_pc|success|" EVENT_PHONE);
    t = Texts(PHONE, L"agent", L"secret", NULL);
    PC_LOGIN(t[0], t[1], t[2]);
    FreeTexts();
    Wait("|SMSG|login|success|" EVENT_PHONE);

    t = Texts(GUEST, NULL, NULL, NULL);
    DIAL(t[0]);
    Wait(EVENT_CALL "dialing|S|");
    Wait(EVENT_CALL "calling|S|");
    CALL_RECORD(t[0]);
    Wait("|SMSG|record|success|" EVENT_PHONE);
    HANG_UP(t[0]);
    Wait(EVENT_CALL "callfinish|S|");
    RE_DIAL();
    Wait(EVENT_CALL "dialing|S|");
    HANG_UP(t[0]);
    Wait(EVENT_CALL "callfinish|S|");
    /* Nothing rings, so the server turns the pick-up down. */
    PICK_UP(t[0]);
    Wait("|SMSG|call|fail|0212345678|01012345678|");
    FreeTexts();

    t = Texts(GUEST, L"hello", L"202601151000", NULL);
    SMS_INSTANT(t[0], t[1]);
    Wait("|SMSG|sms|success|0212345678|01012345678|send|hello|");
    SMS_BOOKED(t[0], t[1], t[2]);
    Wait("|SMSG|sms|success|0212345678|01012345678|booked|");
    FreeTexts();
    /* WEB_REQUEST opens a browser window, which a test run leaves out. */
    if (openWebPage) WEB_REQUEST(NULL, NULL, NULL, NULL);

    PC_LOGOUT();
    Wait("|SMSG|logout|success|" EVENT_PHONE);
    CERTIFICATION_OTHER();
    DLL_FINISH();
    Write("FAIL: DLL_FINISH returned\n");
    return 3;
}

#ifdef NO_CRT
void __cdecl Start(void) { ExitProcess((UINT)Run()); }
#else
int main(void) { return Run(); }
#endif
