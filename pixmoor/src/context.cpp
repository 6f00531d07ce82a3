// Engine start-up and shutdown, the processor level, the per-thread state
// table and the checker pattern.
#include "pxm_private.h"

#include <cpuid.h>

PxmEngine pxm_engine;
int32_t pxm_cpu_level;
uint32_t pxm_checker_pattern[256];

// Used only if the table itself cannot be allocated, so that a lookup never fails.
static PxmThreadState pxm_spare_slot;

static void pxm_fill_checker(uint32_t a, uint32_t b)
{
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            pxm_checker_pattern[y * 16 + x] = (((y >> 2) + (x >> 2)) & 1) ? b : a;
}

// Whether the system saves the YMM registers across task switches: the
// processor may have AVX2 while the system (or a virtual machine) leaves the
// upper halves unsaved, and then AVX2 code must not run.
static bool pxm_system_saves_ymm(unsigned int ecx1)
{
    if (!(ecx1 & bit_OSXSAVE) || !(ecx1 & bit_AVX))
        return false;
    unsigned int lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (lo & 6) == 6; // XMM and YMM state
}

// CPUID feature bits: __get_cpuid first checks that CPUID exists (the EFLAGS
// ID bit on i386), so this is safe on any processor. Level 5 (AVX2) sits
// above SSSE3, whose processors all have.
static int32_t pxm_detect_level(void)
{
    unsigned int eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return 0;
    if (!(edx & bit_SSE2))
        return 0;
    if (!(ecx & bit_SSE3))
        return 2;
    if (!(ecx & bit_SSSE3))
        return 3;
    unsigned int ecx1 = ecx;
    if (__get_cpuid_max(0, nullptr) >= 7 && pxm_system_saves_ymm(ecx1)) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        if (ebx & bit_AVX2)
            return 5;
    }
    return 4;
}

int32_t pxm_startup(int32_t flags)
{
    if (pxm_engine.started != 0)
        return flags | 1;
    pxm_engine.started = 1;
    // Spin count 4000; the high bit pre-allocates the lock's event.
    InitializeCriticalSectionAndSpinCount(&pxm_engine.table_lock, 0x80000FA0);
    pxm_fill_checker(0x00FFFFFF, 0x00000000);
    pxm_cpu_level = pxm_detect_level();
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    pxm_engine.open_thread = kernel ? (PxmOpenThreadFn)(void *)GetProcAddress(kernel, "OpenThread") : nullptr;
    if (pxm_engine.table) {
        GlobalFree(pxm_engine.table);
        pxm_engine.table = nullptr;
    }
    return flags | 1;
}

int32_t pxm_shutdown(int32_t mode)
{
    // Not started: the lock does not exist, so there is nothing to release.
    if (pxm_engine.started == 0)
        return mode | 1;
    if (mode == -1) {
        pxm_engine.started = 0;
    } else if (pxm_engine.started > 1) {
        pxm_engine.started--;
        return mode | 1;
    } else {
        pxm_engine.started = 0;
    }
    DeleteCriticalSection(&pxm_engine.table_lock);
    // Kept surface facts belong to the ended engine.
    InterlockedIncrement(&pxm_engine.surfaces_changed);
    if (pxm_engine.table) {
        GlobalFree(pxm_engine.table);
        pxm_engine.table = nullptr;
    }
    return mode | 1;
}

// Frees the slots whose owners have ended. Slots whose thread exists but
// cannot be opened or queried are kept.
static void pxm_sweep_ended_threads(void)
{
    if (!pxm_engine.open_thread)
        return;
    for (int i = 0; i < PXM_THREAD_SLOTS; i++) {
        PxmThreadState *slot = &pxm_engine.table[i];
        if (slot->thread_id == 0)
            continue;
        HANDLE thread = pxm_engine.open_thread(0x1F03FF, FALSE, slot->thread_id);
        if (!thread) {
            // Once the last handle to an ended thread is closed the thread
            // no longer exists and cannot be opened: its slot is free too.
            if (GetLastError() == ERROR_INVALID_PARAMETER)
                slot->thread_id = 0;
            continue;
        }
        DWORD code = 0;
        if (GetProcessIdOfThread(thread) != GetCurrentProcessId())
            slot->thread_id = 0; // the id now names another process's thread
        else if (GetExitCodeThread(thread, &code) && code != STILL_ACTIVE)
            slot->thread_id = 0;
        CloseHandle(thread);
    }
}

PxmThreadState *pxm_thread_state(void)
{
    if (pxm_engine.started <= 0)
        pxm_startup(0);
    DWORD id = GetCurrentThreadId();
    // A slot that holds this thread's id stays this thread's while it runs
    // (only its own claim writes the id, and the sweep frees only slots of
    // ended threads), so finding it needs no lock.
    PxmThreadState *known = pxm_engine.table;
    if (known && id != 0) {
        for (int i = 0; i < PXM_THREAD_SLOTS; i++)
            if (((volatile PxmThreadState *)known)[i].thread_id == id)
                return &known[i];
    }
    EnterCriticalSection(&pxm_engine.table_lock);
    if (!pxm_engine.table)
        pxm_engine.table = (PxmThreadState *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT,
                                                         PXM_THREAD_SLOTS * sizeof(PxmThreadState));
    if (!pxm_engine.table) {
        LeaveCriticalSection(&pxm_engine.table_lock);
        return &pxm_spare_slot;
    }
    PxmThreadState *table = pxm_engine.table;
    if (id != 0) {
        for (int i = 0; i < PXM_THREAD_SLOTS; i++) {
            if (table[i].thread_id == id) {
                LeaveCriticalSection(&pxm_engine.table_lock);
                return &table[i];
            }
        }
    }
    pxm_sweep_ended_threads();
    PxmThreadState *slot = &table[0];
    for (int i = 0; i < PXM_THREAD_SLOTS; i++) {
        if (table[i].thread_id == 0) {
            slot = &table[i];
            break;
        }
    }
    // Only the owner changes: clip and status stay as the previous owner left them.
    slot->thread_id = id;
    LeaveCriticalSection(&pxm_engine.table_lock);
    return slot;
}

int32_t pxm_set_clip(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->clip_x1 = x1;
    ts->clip_y1 = y1;
    ts->clip_x2 = x2;
    ts->clip_y2 = y2;
    return 1;
}

int32_t pxm_set_checker(uint32_t colour_a, uint32_t colour_b)
{
    pxm_thread_state()->status = PXM_STATUS_OK;
    pxm_fill_checker(colour_a, colour_b);
    return 1;
}
