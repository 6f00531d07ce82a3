// Engine context: start-up and shutdown, the processor level, the per-thread
// table with real threads, and the checker pattern.
#include <gtest/gtest.h>

#include "pixmoor.h"
#include "pxm_private.h"

namespace {

// Starts every case from a freshly started engine with an empty table.
class PixmoorContext : public ::testing::Test {
protected:
    void SetUp() override
    {
        pxm_shutdown(-1);
        pxm_startup(0);
    }
};

struct ThreadJob {
    int32_t clip[4];
    HANDLE ready;   // set by the thread after its work
    HANDLE release; // the thread waits for it before ending
    PxmThreadState *slot;
    PxmThreadState seen;
};

DWORD WINAPI clip_thread(void *arg)
{
    ThreadJob *job = (ThreadJob *)arg;
    job->slot = pxm_thread_state();
    job->seen = *job->slot;
    if (job->clip[2] != 0 || job->clip[3] != 0)
        pxm_set_clip(job->clip[0], job->clip[1], job->clip[2], job->clip[3]);
    if (job->ready)
        SetEvent(job->ready);
    if (job->release)
        WaitForSingleObject(job->release, INFINITE);
    // The rectangle is still this thread's after the other thread's calls.
    job->seen = *pxm_thread_state();
    return 0;
}

HANDLE start_thread(ThreadJob *job)
{
    return CreateThread(nullptr, 0, clip_thread, job, 0, nullptr);
}

TEST_F(PixmoorContext, SecondStartupDoesNothingAndReturnsFlagsOrOne)
{
    PxmThreadState *before = pxm_thread_state();
    pxm_set_clip(1, 2, 3, 4);
    EXPECT_EQ(7, pxm_startup(6));
    EXPECT_EQ(1, pxm_engine.started);
    PxmThreadState *after = pxm_thread_state();
    EXPECT_EQ(before, after);
    EXPECT_EQ(3, after->clip_x2);
}

TEST_F(PixmoorContext, ShutdownReleasesTableAndNextCallRestarts)
{
    pxm_set_clip(5, 6, 7, 8);
    ASSERT_NE(nullptr, pxm_engine.table);
    EXPECT_EQ(1, pxm_shutdown(0));
    EXPECT_EQ(0, pxm_engine.started);
    EXPECT_EQ(nullptr, pxm_engine.table);

    PxmThreadState *ts = pxm_thread_state();
    EXPECT_EQ(1, pxm_engine.started);
    ASSERT_NE(nullptr, pxm_engine.table);
    EXPECT_EQ(GetCurrentThreadId(), ts->thread_id);
    EXPECT_EQ(0, ts->clip_x1);
    EXPECT_EQ(0, ts->clip_y2);
    EXPECT_EQ(ts, &pxm_engine.table[0]);
}

TEST_F(PixmoorContext, ShutdownCountsDownAndMinusOneForces)
{
    pxm_thread_state();
    pxm_engine.started = 3;
    EXPECT_EQ(1, pxm_shutdown(0));
    EXPECT_EQ(2, pxm_engine.started);
    EXPECT_NE(nullptr, pxm_engine.table);
    EXPECT_EQ(-1, pxm_shutdown(-1));
    EXPECT_EQ(0, pxm_engine.started);
    EXPECT_EQ(nullptr, pxm_engine.table);
}

TEST_F(PixmoorContext, ShutdownOfStoppedEngineIsHarmless)
{
    pxm_shutdown(0);
    EXPECT_EQ(1, pxm_shutdown(0));
    EXPECT_EQ(-1, pxm_shutdown(-1));
    EXPECT_EQ(0, pxm_engine.started);
    // The engine starts again and works.
    EXPECT_EQ(1, pxm_set_clip(1, 1, 2, 2));
    EXPECT_EQ(2, pxm_thread_state()->clip_y2);
}

TEST_F(PixmoorContext, CheckerPatternAfterStartup)
{
    EXPECT_EQ(0x00FFFFFFu, pxm_checker_pattern[0 * 16 + 0]);
    EXPECT_EQ(0x00FFFFFFu, pxm_checker_pattern[3 * 16 + 3]);
    EXPECT_EQ(0x00FFFFFFu, pxm_checker_pattern[4 * 16 + 4]);
    EXPECT_EQ(0x00000000u, pxm_checker_pattern[0 * 16 + 4]);
    EXPECT_EQ(0x00000000u, pxm_checker_pattern[4 * 16 + 0]);
    EXPECT_EQ(0x00000000u, pxm_checker_pattern[7 * 16 + 3]);
}

TEST_F(PixmoorContext, SetCheckerRefillsGridAndWritesOk)
{
    pxm_thread_state()->status = PXM_STATUS_BAD_ARGS;
    EXPECT_EQ(1, pxm_set_checker(0x11223344, 0x55667788));
    EXPECT_EQ(PXM_STATUS_OK, pxm_thread_state()->status);
    int a = 0, b = 0;
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            uint32_t expect = ((x / 4 + y / 4) % 2 == 0) ? 0x11223344u : 0x55667788u;
            EXPECT_EQ(expect, pxm_checker_pattern[y * 16 + x]) << x << "," << y;
            (expect == 0x11223344u ? a : b)++;
        }
    }
    EXPECT_EQ(128, a);
    EXPECT_EQ(128, b);
    pxm_set_checker(0x00FFFFFF, 0);
}

TEST_F(PixmoorContext, CpuLevelMatchesProcessorFeatures)
{
    __builtin_cpu_init();
    int expect = 0;
    if (__builtin_cpu_supports("sse2"))
        expect = 2;
    if (expect && __builtin_cpu_supports("sse3"))
        expect = __builtin_cpu_supports("ssse3") ? 4 : 3;
    if (expect == 4 && __builtin_cpu_supports("avx2"))
        expect = 5;
    EXPECT_EQ(expect, pxm_cpu_level);
    EXPECT_NE(1, pxm_cpu_level);
}

TEST_F(PixmoorContext, TwoThreadsKeepTheirClipRectanglesApart)
{
    pxm_set_clip(-1, -2, -3, -4);
    ThreadJob a = {{10, 11, 12, 13}, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                   CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr, {}};
    ThreadJob b = {{20, 21, 22, 23}, CreateEventA(nullptr, TRUE, FALSE, nullptr), a.release, nullptr, {}};
    HANDLE ta = start_thread(&a);
    HANDLE tb = start_thread(&b);
    HANDLE ready[2] = {a.ready, b.ready};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, ready, TRUE, 10000));
    // Both set their rectangles; both are still running.
    SetEvent(a.release);
    HANDLE threads[2] = {ta, tb};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 10000));

    EXPECT_NE(a.slot, b.slot);
    EXPECT_EQ(10, a.seen.clip_x1);
    EXPECT_EQ(13, a.seen.clip_y2);
    EXPECT_EQ(20, b.seen.clip_x1);
    EXPECT_EQ(23, b.seen.clip_y2);
    PxmThreadState *mine = pxm_thread_state();
    EXPECT_EQ(-1, mine->clip_x1);
    EXPECT_EQ(-4, mine->clip_y2);
    EXPECT_EQ(GetCurrentThreadId(), mine->thread_id);
    for (HANDLE h : {ta, tb, a.ready, b.ready, a.release})
        CloseHandle(h);
}

DWORD WINAPI failing_call_thread(void *arg)
{
    PxmThreadState **slot = (PxmThreadState **)arg;
    *slot = pxm_thread_state();
    pxm_set_clip(100, 200, 300, 400);
    pxm_copy(nullptr, 5, 5, 1, 1, nullptr, 0, 0, 1, 1, 0); // inverted: status 3
    return 0;
}

// keep_handle: the ended thread's handle is still open when the next
// thread arrives, so the thread can be opened and its exit code read;
// otherwise the ended thread no longer exists at all.
void check_slot_reuse(bool keep_handle)
{
    pxm_thread_state(); // slot 0 is this thread's
    PxmThreadState *first = nullptr;
    HANDLE t = CreateThread(nullptr, 0, failing_call_thread, &first, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 10000));
    if (!keep_handle)
        CloseHandle(t);
    ASSERT_EQ(&pxm_engine.table[1], first);
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, first->status);

    ThreadJob next = {{0, 0, 0, 0}, nullptr, nullptr, nullptr, {}};
    HANDLE t2 = start_thread(&next);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t2, 10000));
    CloseHandle(t2);
    EXPECT_EQ(first, next.slot);
    EXPECT_EQ(100, next.seen.clip_x1);
    EXPECT_EQ(400, next.seen.clip_y2);
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, next.seen.status);
    if (keep_handle)
        CloseHandle(t);
}

TEST_F(PixmoorContext, EndedThreadGivesItsSlotWithClipAndStatusToNextThread)
{
    check_slot_reuse(true);
}

TEST_F(PixmoorContext, EndedAndReleasedThreadGivesItsSlotToNextThread)
{
    check_slot_reuse(false);
}

// OpenThread is looked up in the system library at start-up; without it the
// ended threads' slots cannot be checked and are never handed on.
TEST_F(PixmoorContext, WithoutOpenThreadEndedSlotsAreKept)
{
    EXPECT_EQ((void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "OpenThread"), (void *)pxm_engine.open_thread);
    pxm_engine.open_thread = nullptr;
    pxm_thread_state();
    PxmThreadState *first = nullptr;
    HANDLE t = CreateThread(nullptr, 0, failing_call_thread, &first, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 10000));
    CloseHandle(t);
    ThreadJob next = {{0, 0, 0, 0}, nullptr, nullptr, nullptr, {}};
    HANDLE t2 = start_thread(&next);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t2, 10000));
    CloseHandle(t2);
    EXPECT_EQ(&pxm_engine.table[1], first);
    EXPECT_EQ(&pxm_engine.table[2], next.slot) << "the ended thread's slot stays taken";
    EXPECT_EQ(0, next.seen.clip_x1);
}

TEST_F(PixmoorContext, SlotsOfLiveThreadsAreKept)
{
    pxm_thread_state();
    ThreadJob live = {{1, 1, 2, 2}, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                      CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr, {}};
    HANDLE lt = start_thread(&live);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(live.ready, 10000));
    ThreadJob other = {{0, 0, 0, 0}, nullptr, nullptr, nullptr, {}};
    HANDLE ot = start_thread(&other);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ot, 10000));
    EXPECT_EQ(&pxm_engine.table[1], live.slot);
    EXPECT_EQ(&pxm_engine.table[2], other.slot);
    SetEvent(live.release);
    WaitForSingleObject(lt, 10000);
    for (HANDLE h : {lt, ot, live.ready, live.release})
        CloseHandle(h);
}

TEST_F(PixmoorContext, SixtyFifthLiveThreadSharesSlotZero)
{
    pxm_thread_state(); // slot 0
    const int extra = PXM_THREAD_SLOTS - 1;
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ThreadJob jobs[PXM_THREAD_SLOTS];
    HANDLE threads[PXM_THREAD_SLOTS];
    for (int i = 0; i < extra; i++) {
        jobs[i] = ThreadJob{{0, 0, 0, 0}, CreateEventA(nullptr, TRUE, FALSE, nullptr), release, nullptr, {}};
        threads[i] = start_thread(&jobs[i]);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(jobs[i].ready, 10000));
    }
    for (int i = 0; i < extra; i++)
        EXPECT_EQ(&pxm_engine.table[i + 1], jobs[i].slot);

    ThreadJob last = {{0, 0, 0, 0}, CreateEventA(nullptr, TRUE, FALSE, nullptr), release, nullptr, {}};
    HANDLE lt = start_thread(&last);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(last.ready, 10000));
    EXPECT_EQ(&pxm_engine.table[0], last.slot);

    SetEvent(release);
    for (int i = 0; i < extra; i++) {
        WaitForSingleObject(threads[i], 10000);
        CloseHandle(threads[i]);
        CloseHandle(jobs[i].ready);
    }
    WaitForSingleObject(lt, 10000);
    CloseHandle(lt);
    CloseHandle(last.ready);
    CloseHandle(release);
}

} // namespace
