/*
 * Asks Windows whether it trusts a file's Authenticode signature, as
 * SmartScreen and application control policies do, and prints the answer
 * (0x00000000 when trusted, else the HRESULT, e.g. 0x800B0100 for no
 * signature, 0x800B0109 for an untrusted root, 0x80096010 for a file
 * changed after signing). Revocation is not checked: the test certificates
 * name no revocation service.
 *
 *   verify-trust.exe FILE
 */
#include <windows.h>
#include <softpub.h>
#include <stdio.h>
#include <wintrust.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: verify-trust FILE\n");
        return 2;
    }
    WINTRUST_FILE_INFO file = {sizeof file};
    file.pcwszFilePath = argv[1];
    WINTRUST_DATA data = {sizeof data};
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(INVALID_HANDLE_VALUE, &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(INVALID_HANDLE_VALUE, &action, &data);
    printf("0x%08lX\n", (unsigned long)result);
    return result == 0 ? 0 : 1;
}
