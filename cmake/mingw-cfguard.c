/*
 * What Control Flow Guard needs from the C runtime, which MinGW-w64 10 does
 * not have: the load configuration that points Windows at the image's guard
 * tables, and the two function pointers the compiler calls through before
 * each indirect call. With CFG on, Windows' loader replaces those pointers
 * with its own check; elsewhere (older Windows, Wine) they stay as set
 * here: no check (x86), a plain jump to the target (x64, whose target
 * arrives in RAX).
 *
 * The layout is the PE format's IMAGE_LOAD_CONFIG_DIRECTORY32/64 up to the
 * long-jump table (pointer-sized fields grow with the architecture). lld
 * defines the __guard_* and __safe_se_handler_* symbols; their addresses
 * are the tables, counts and flags it computed.
 */
#include <stdint.h>

typedef struct {
    uint32_t Size;
    uint32_t TimeDateStamp;
    uint16_t MajorVersion;
    uint16_t MinorVersion;
    uint32_t GlobalFlagsClear;
    uint32_t GlobalFlagsSet;
    uint32_t CriticalSectionDefaultTimeout;
    uintptr_t DeCommitFreeBlockThreshold;
    uintptr_t DeCommitTotalFreeThreshold;
    uintptr_t LockPrefixTable;
    uintptr_t MaximumAllocationSize;
    uintptr_t VirtualMemoryThreshold;
    uintptr_t ProcessAffinityMask;
    uint32_t ProcessHeapFlags;
    uint16_t CSDVersion;
    uint16_t DependentLoadFlags;
    uintptr_t EditList;
    uintptr_t SecurityCookie;
    uintptr_t SEHandlerTable;
    uintptr_t SEHandlerCount;
    uintptr_t GuardCFCheckFunctionPointer;
    uintptr_t GuardCFDispatchFunctionPointer;
    uintptr_t GuardCFFunctionTable;
    uintptr_t GuardCFFunctionCount;
#ifdef _WIN64
    /* GuardFlags (32 bits) and CodeIntegrity's Flags and Catalog (16 bits
       each, zero) as one field: C cannot narrow an address to 32 bits in a
       constant initialiser. */
    uint64_t GuardFlags;
#else
    uint32_t GuardFlags;
    uint16_t CodeIntegrityFlags;
    uint16_t CodeIntegrityCatalog;
#endif
    uint32_t CodeIntegrityCatalogOffset;
    uint32_t CodeIntegrityReserved;
    uintptr_t GuardAddressTakenIatEntryTable;
    uintptr_t GuardAddressTakenIatEntryCount;
    uintptr_t GuardLongJumpTargetTable;
    uintptr_t GuardLongJumpTargetCount;
} LoadConfiguration;

static void __fastcall check_nothing(uintptr_t target)
{
    (void)target;
}
/* Read-only, as in the images of Microsoft's linker: only the loader writes them. */
void (__fastcall *const __guard_check_icall_fptr)(uintptr_t) = check_nothing;

#ifdef _WIN64
void veltrane_guard_dispatch_plain(void);
__asm__(".text\n"
        ".globl veltrane_guard_dispatch_plain\n"
        "veltrane_guard_dispatch_plain:\n"
        "    jmp *%rax\n");
void (*const __guard_dispatch_icall_fptr)(void) = veltrane_guard_dispatch_plain;
#else
void (*const __guard_dispatch_icall_fptr)(void) = 0;
#endif

extern char __guard_fids_table[], __guard_fids_count[], __guard_flags[];
extern char __guard_iat_table[], __guard_iat_count[], __guard_longjmp_table[], __guard_longjmp_count[];
#ifndef _WIN64
extern char __safe_se_handler_table[], __safe_se_handler_count[];
#endif

const LoadConfiguration _load_config_used = {
    .Size = sizeof(LoadConfiguration),
#ifndef _WIN64
    .SEHandlerTable = (uintptr_t)__safe_se_handler_table,
    .SEHandlerCount = (uintptr_t)__safe_se_handler_count,
#endif
    .GuardCFCheckFunctionPointer = (uintptr_t)&__guard_check_icall_fptr,
    .GuardCFDispatchFunctionPointer = (uintptr_t)&__guard_dispatch_icall_fptr,
    .GuardCFFunctionTable = (uintptr_t)__guard_fids_table,
    .GuardCFFunctionCount = (uintptr_t)__guard_fids_count,
    .GuardFlags = (uintptr_t)__guard_flags,
    .GuardAddressTakenIatEntryTable = (uintptr_t)__guard_iat_table,
    .GuardAddressTakenIatEntryCount = (uintptr_t)__guard_iat_count,
    .GuardLongJumpTargetTable = (uintptr_t)__guard_longjmp_table,
    .GuardLongJumpTargetCount = (uintptr_t)__guard_longjmp_count,
};
