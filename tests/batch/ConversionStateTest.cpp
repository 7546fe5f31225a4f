#include "batch/ConversionState.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/StandInWindow.h"

namespace {

TEST(ConversionState, MessageNumbersAndKinds) {
    EXPECT_EQ(WM_CONV_PROGRESS, 0x464u);
    EXPECT_EQ(WM_CONV_LOG, 0x465u);
    EXPECT_EQ(WM_CONV_DONE, 0x469u);
    EXPECT_EQ(LOG_INFO, 0);
    EXPECT_EQ(LOG_ERROR, 2);
}

TEST(ConversionState, ReportsReachTheWindowInOrder) {
    CStandInWindow window;
    auto state = std::make_shared<CConversionState>();
    state->m_window = window.port;
    state->m_running = 1;
    std::thread worker([state] {
        state->PostLog("Start a new converting task.", LOG_INFO);
        state->PostProgress(12.5f, 3.25f, false);
        state->ReportError("Invalid ogg vorbis stream");
        state->SetWindowText(1092, "/music/a.ogg");  // waits for the window
        state->PostDone();
    });
    while (window.done == 0)
        window.queue.WaitAndProcess(10);
    worker.join();
    ASSERT_EQ(window.log.size(), 2u);
    EXPECT_EQ(window.log[0], (LogLine{"Start a new converting task.", LOG_INFO}));
    EXPECT_EQ(window.log[1], (LogLine{"Invalid ogg vorbis stream", LOG_ERROR}));
    ASSERT_EQ(window.progress.size(), 1u);
    EXPECT_EQ(window.progress[0].filePercent, 12.5f);
    EXPECT_EQ(window.progress[0].batchPercent, 3.25f);
    EXPECT_EQ(window.texts, (std::vector<std::pair<int, std::string>>{{1092, "/music/a.ogg"}}));
    EXPECT_EQ(state->m_running.load(), 0);  // an error stops the batch
}

TEST(ConversionState, SentProgressIsHandledBeforeTheCallReturns) {
    CStandInWindow window;
    auto state = std::make_shared<CConversionState>();
    state->m_window = window.port;
    std::atomic<size_t> seenAtReturn{99};
    auto thread = CThread::Create([&] {
        state->PostProgress(100.0f, 50.0f, true);
        seenAtReturn = window.progress.size();  // read only after the handler finished
        return 0;
    });
    thread->Resume();
    ASSERT_TRUE(thread->WaitFor(10000));  // delivers the sent message meanwhile
    EXPECT_EQ(seenAtReturn.load(), 1u);
}

TEST(ConversionState, ResetStartsASecondBatchFromZero) {
    auto state = std::make_shared<CConversionState>();
    state->m_running = 1;
    state->m_paused = 1;
    state->m_batchSamplesDone = 500;
    state->m_batchSecondsDone = 2.5f;
    state->m_taskIndex = 3;
    state->m_filesConverted = 2;
    state->m_filesFailed = 1;
    state->ResetCounters();
    EXPECT_EQ(state->m_running.load(), 0);
    EXPECT_EQ(state->m_paused.load(), 0);
    EXPECT_EQ(state->m_batchSamplesDone.load(), 0u);
    EXPECT_EQ(state->m_batchSecondsDone.load(), 0.0f);
    EXPECT_EQ(state->m_taskIndex.load(), 0);
    EXPECT_EQ(state->m_filesConverted.load(), 0);
    EXPECT_EQ(state->m_filesFailed.load(), 0);
}

TEST(ConversionState, ReportsAfterTheWindowClosedAreDropped) {
    auto state = std::make_shared<CConversionState>();
    {
        CStandInWindow window;
        state->m_window = window.port;
        window.port->Close();
    }
    // Neither blocks nor crashes; the payloads go nowhere.
    state->PostLog("late", LOG_INFO);
    state->PostProgress(1, 1, true);
    state->SetWindowText(0, "late");
    state->PostDone();
    EXPECT_FALSE(state->m_window->Post(Message{WM_CONV_DONE, 0, 0, {}}));
    EXPECT_EQ(state->m_window->Send(Message{WM_SETTEXT, 0, 0, std::string("x")}), 0);
}

}  // namespace
