// Workers: start, start failure, sleeps, and the end of the process while a
// worker sleeps.
#include "tests/support/guitest.h"

#include "platform/ui/uicall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace guitest;

namespace {

struct Probe {
    std::atomic<bool> ran{false};
    std::atomic<bool> finished{false};
    std::thread::id thread;
    DWORD sleepMs = 0;
    std::chrono::steady_clock::duration slept{};
};

UINT ProbeProc(LPVOID param)
{
    auto* probe = static_cast<Probe*>(param);
    probe->thread = std::this_thread::get_id();
    probe->ran = true;
    if (probe->sleepMs) {
        const auto start = std::chrono::steady_clock::now();
        Sleep(probe->sleepMs);
        probe->slept = std::chrono::steady_clock::now() - start;
    }
    probe->finished = true;
    return 1;
}

}  // namespace

TEST(Workers, StartAtOnceOnTheirOwnThreadWithTheirParameter)
{
    Probe probe;
    ASSERT_NE(AfxBeginThread(ProbeProc, &probe), nullptr);
    ASSERT_TRUE(PollUntil([&] { return probe.finished.load(); }));
    EXPECT_NE(probe.thread, std::this_thread::get_id());
    EXPECT_TRUE(afx::JoinWorkers(1000ms));
}

TEST(Workers, AFailedStartReturnsNullAndRunsNothing)
{
    Probe failed;
    afx::testing::FailNextThreadStart();
    EXPECT_EQ(AfxBeginThread(ProbeProc, &failed), nullptr);
    Probe next;
    ASSERT_NE(AfxBeginThread(ProbeProc, &next), nullptr);  // only the next one fails
    ASSERT_TRUE(PollUntil([&] { return next.finished.load(); }));
    EXPECT_TRUE(afx::JoinWorkers(1000ms));
    EXPECT_FALSE(failed.ran);
}

TEST(Workers, SleepLastsItsTime)
{
    Probe probe;
    probe.sleepMs = 30;
    ASSERT_NE(AfxBeginThread(ProbeProc, &probe), nullptr);
    ASSERT_TRUE(PollUntil([&] { return probe.finished.load(); }));
    EXPECT_TRUE(afx::JoinWorkers(1000ms));
    EXPECT_GE(probe.slept, 30ms);
}

TEST(Workers, TheProcessEndCutsASleepShortAndTheWorkerCanBeJoined)
{
    Probe probe;
    probe.sleepMs = 60000;
    ASSERT_NE(AfxBeginThread(ProbeProc, &probe), nullptr);
    ASSERT_TRUE(PollUntil([&] { return probe.ran.load(); }));
    EXPECT_FALSE(afx::JoinWorkers(20ms));  // still asleep

    // Joined long before the minute is out: the sleep was cut short.
    afx::BeginProcessEnd();
    EXPECT_TRUE(AfxIsProcessEnding());
    EXPECT_TRUE(afx::JoinWorkers(30s));
    EXPECT_TRUE(probe.finished);

    // Once ending, a sleep returns at once: a minute's sleep on a worker
    // that is joined well within it.
    Probe again;
    again.sleepMs = 60000;
    ASSERT_NE(AfxBeginThread(ProbeProc, &again), nullptr);
    EXPECT_TRUE(afx::JoinWorkers(30s));
    EXPECT_TRUE(again.finished);
    afx::testing::ResetProcessEnd();
}

namespace {

// Sleeps in many short steps, as the sweep does between answers.
UINT LongSleeperProc(LPVOID param)
{
    auto* probe = static_cast<Probe*>(param);
    probe->ran = true;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i)
        Sleep(100);
    probe->slept = std::chrono::steady_clock::now() - start;
    probe->finished = true;
    return 1;
}

}  // namespace

TEST(Workers, StoppingTheWorkersOfAnObjectEndsOnlyThoseAndJoinsThem)
{
    Probe mine, other;
    ASSERT_NE(AfxBeginThread(LongSleeperProc, &mine), nullptr);
    ASSERT_NE(AfxBeginThread(LongSleeperProc, &other), nullptr);
    ASSERT_TRUE(PollUntil([&] { return mine.ran && other.ran; }));

    // Each sleeps 10 s in all, in short pauses that the stop cuts short.
    afx::StopWorkersUsing(&mine);
    EXPECT_TRUE(mine.finished) << "joined before the call returned";
    EXPECT_FALSE(other.finished) << "a worker given something else goes on";

    afx::StopWorkersUsing(&other);
    EXPECT_TRUE(other.finished);
    // Nothing left to stop: returns at once.
    afx::StopWorkersUsing(&mine);
}
