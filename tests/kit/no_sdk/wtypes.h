/*
 * Stands in for the Windows SDK's <wtypes.h>, and for the little of
 * <windows.h> the link test uses, where clang targets the MSVC ABI without
 * the SDK (the MinGW-w64 headers do not compile in that mode). Only what
 * link_test.c needs, declared as the SDK declares it.
 */
#ifndef VELTRANE_NO_SDK_WTYPES_H
#define VELTRANE_NO_SDK_WTYPES_H

typedef unsigned short WCHAR;
typedef WCHAR OLECHAR;
typedef OLECHAR *BSTR;
typedef const WCHAR *LPCWSTR;
typedef WCHAR *LPWSTR;
typedef unsigned long DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef void *HANDLE;
typedef void *HWND;
#ifdef _WIN64
typedef unsigned long long UINT_PTR;
typedef long long LONG_PTR;
#else
typedef unsigned int UINT_PTR;
typedef long LONG_PTR;
#endif

typedef struct {
    HWND hwnd;
    UINT message;
    UINT_PTR wParam;
    LONG_PTR lParam;
    DWORD time;
    long x, y;
} MSG;

typedef struct {
    DWORD dwSignature, dwStrucVersion, dwFileVersionMS, dwFileVersionLS;
    DWORD rest[9];
} VS_FIXEDFILEINFO;

#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define PM_REMOVE 1
#define QS_ALLINPUT 0x04FF
#define NULL ((void *)0)
#define FALSE 0

__declspec(dllimport) HANDLE __stdcall GetStdHandle(DWORD);
__declspec(dllimport) BOOL __stdcall WriteFile(HANDLE, const void *, DWORD, DWORD *, void *);
__declspec(dllimport) void __stdcall ExitProcess(UINT);
__declspec(dllimport) DWORD __stdcall GetTickCount(void);
__declspec(dllimport) LPWSTR __stdcall GetCommandLineW(void);
__declspec(dllimport) DWORD __stdcall MsgWaitForMultipleObjects(DWORD, const HANDLE *, BOOL, DWORD, DWORD);
__declspec(dllimport) BOOL __stdcall PeekMessageW(MSG *, HWND, UINT, UINT, UINT);
__declspec(dllimport) BOOL __stdcall TranslateMessage(const MSG *);
__declspec(dllimport) LONG_PTR __stdcall DispatchMessageW(const MSG *);
__declspec(dllimport) BSTR __stdcall SysAllocString(const OLECHAR *);
__declspec(dllimport) void __stdcall SysFreeString(BSTR);
__declspec(dllimport) DWORD __stdcall GetFileVersionInfoSizeW(LPCWSTR, DWORD *);
__declspec(dllimport) BOOL __stdcall GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, void *);
__declspec(dllimport) BOOL __stdcall VerQueryValueW(const void *, LPCWSTR, void **, UINT *);

#endif
