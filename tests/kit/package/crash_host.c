/*
 * A host that crashes inside veltrane.dll on purpose, the way a support
 * case begins: it hands DLL_START a BSTR that points where no memory is, so
 * the library faults reading its length. (A callback that faults would not
 * do: the library catches what its host's callback raises.) Its
 * unhandled-exception filter writes a minidump, as Windows Error Reporting
 * would, for the test to symbolise with the package's PDB.
 *
 *   crash-host.exe DUMP_FILE BASE_FOLDER     (veltrane.dll beside it)
 */
#include <windows.h>
#include <dbghelp.h>
#include <stdio.h>

#include "veltrane.h"

static const wchar_t *dumpFile;

static LONG WINAPI WriteDump(EXCEPTION_POINTERS *exception)
{
    HANDLE file = CreateFileW(dumpFile, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    MINIDUMP_EXCEPTION_INFORMATION info = {GetCurrentThreadId(), exception, FALSE};
    const BOOL written = file != INVALID_HANDLE_VALUE &&
                         MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info,
                                           NULL, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    TerminateProcess(GetCurrentProcess(), written ? 3 : 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: crash-host DUMP_FILE BASE_FOLDER\n");
        return 2;
    }
    dumpFile = argv[1];
    SetUnhandledExceptionFilter(WriteDump);
    HMODULE library = LoadLibraryW(L"veltrane.dll");
    VELTRANE_PFN_DLL_START start = library ? (VELTRANE_PFN_DLL_START)(void (*)(void))GetProcAddress(library, "DLL_START") : NULL;
    if (start == NULL) {
        fprintf(stderr, "crash-host: no veltrane.dll with DLL_START beside it\n");
        return 2;
    }
    (void)argv[2];
    start((BSTR)(ULONG_PTR)0x10, NULL, NULL);
    fprintf(stderr, "crash-host: DLL_START returned without reading its argument\n");
    return 1;
}
