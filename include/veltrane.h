/*
 * veltrane.h - the public interface of veltrane.dll.
 *
 * A host program starts the library with DLL_START and drives it through the
 * exports below. No export returns a result: every outcome reaches the host
 * as a host event, a line of 8-bit (ANSI code page) text such as
 * "|SMSG|login|success|0212345678|http://...|", handed to the callback and
 * sent as WM_COPYDATA to the host window named at DLL_START.
 *
 * String parameters are BSTRs (SysAllocString); a null BSTR is the empty text.
 * The library copies every argument; the caller keeps ownership. The text
 * handed to the callback is valid only during the call.
 *
 * The thread that calls DLL_START must run a message loop. Exports may be
 * called from any thread: calls from other threads are carried out on that
 * thread and return when they are done. The callback may call exports.
 *
 * Every export is __stdcall and exported by its plain name (DIAL, not
 * _DIAL@4), for x64 and x86 alike.
 */
#ifndef VELTRANE_H
#define VELTRANE_H

#include <wtypes.h>

/* The release of this header; the DLL's version resource carries the same. */
#define VELTRANE_VERSION_MAJOR 1
#define VELTRANE_VERSION_MINOR 1
#define VELTRANE_VERSION_PATCH 0
#define VELTRANE_VERSION_STRING "1.1.0"

#ifdef __cplusplus
extern "C" {
#endif

/* Receives one host event, NUL-terminated 8-bit text. */
typedef void(__stdcall *VELTRANE_CALLBACK)(const char *hostEvent);

/* Lifecycle. DLL_FINISH ends the host process (exit code 1) on success. */
void __stdcall DLL_START(BSTR basePath, BSTR windowTitle, VELTRANE_CALLBACK callback);
void __stdcall DLL_FINISH(void);

/* Phone registration and PC certification. */
void __stdcall CERTIFICATION_NO(BSTR phoneNo);
void __stdcall CERTIFICATION_OTHER(void);
void __stdcall CERTIFICATION_PC(BSTR phoneNo, BSTR certificationNo);

/* Sign-in and sign-out. */
void __stdcall PC_LOGIN(BSTR phoneNo, BSTR loginId, BSTR password);
void __stdcall PC_LOGOUT(void);

/* Call control. */
void __stdcall DIAL(BSTR number);
void __stdcall PICK_UP(BSTR guestPhone);
void __stdcall HANG_UP(BSTR guestPhone);
void __stdcall RE_DIAL(void);

/* SMS; the send time is passed to the server trimmed, as text the server understands. */
void __stdcall SMS_INSTANT(BSTR calledNo, BSTR message);
void __stdcall SMS_BOOKED(BSTR calledNo, BSTR message, BSTR sendTime);

/* Recording of the call in progress. */
void __stdcall CALL_RECORD(BSTR phoneNo);

/* Opens one of the service's web pages in a browser window. */
void __stdcall WEB_REQUEST(BSTR kind, BSTR phoneNo, BSTR guestPhone, BSTR smsMessage);

/*
 * The same functions as pointer types, for hosts that load the DLL with
 * LoadLibrary and find each export with GetProcAddress by its plain name:
 *   VELTRANE_PFN_DIAL dial = (VELTRANE_PFN_DIAL)GetProcAddress(dll, "DIAL");
 */
typedef void(__stdcall *VELTRANE_PFN_DLL_START)(BSTR basePath, BSTR windowTitle, VELTRANE_CALLBACK callback);
typedef void(__stdcall *VELTRANE_PFN_DLL_FINISH)(void);
typedef void(__stdcall *VELTRANE_PFN_CERTIFICATION_NO)(BSTR phoneNo);
typedef void(__stdcall *VELTRANE_PFN_CERTIFICATION_OTHER)(void);
typedef void(__stdcall *VELTRANE_PFN_CERTIFICATION_PC)(BSTR phoneNo, BSTR certificationNo);
typedef void(__stdcall *VELTRANE_PFN_PC_LOGIN)(BSTR phoneNo, BSTR loginId, BSTR password);
typedef void(__stdcall *VELTRANE_PFN_PC_LOGOUT)(void);
typedef void(__stdcall *VELTRANE_PFN_DIAL)(BSTR number);
typedef void(__stdcall *VELTRANE_PFN_PICK_UP)(BSTR guestPhone);
typedef void(__stdcall *VELTRANE_PFN_HANG_UP)(BSTR guestPhone);
typedef void(__stdcall *VELTRANE_PFN_RE_DIAL)(void);
typedef void(__stdcall *VELTRANE_PFN_SMS_INSTANT)(BSTR calledNo, BSTR message);
typedef void(__stdcall *VELTRANE_PFN_SMS_BOOKED)(BSTR calledNo, BSTR message, BSTR sendTime);
typedef void(__stdcall *VELTRANE_PFN_CALL_RECORD)(BSTR phoneNo);
typedef void(__stdcall *VELTRANE_PFN_WEB_REQUEST)(BSTR kind, BSTR phoneNo, BSTR guestPhone, BSTR smsMessage);

#ifdef __cplusplus
}
#endif

#endif /* VELTRANE_H */
