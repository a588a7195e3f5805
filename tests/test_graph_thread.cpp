// The graph component's sample thread: the host's handler on a worker, the packet applied on the
// GUI thread, cancels and replacements. Offscreen (no device needed); the stress test is meant for
// sanitizer builds too.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "graph/GraphDisplay3D.h"

using namespace kelvane::graph;

namespace {

struct Threaded {
    TGraphDisplay3D component;
    TGraphDisplayItem* item = component.Items.Add();
    TGraphDisplayGraphItem* curve = item->GraphItems.Add();
    std::vector<TGraphDisplayGraphItem*> finished;
    Threaded() {
        component.SuppressErrors = true;
        component.SampleInSeparateThread = true;
        component.OnSampleThreadFinished = [this](TGraphDisplay3D* sender, TGraphDisplayGraphItem* g) {
            EXPECT_EQ(sender, &component);
            finished.push_back(g);
        };
    }
};

} // namespace

TEST(SampleThread, TheHandlerRunsOnTheWorkerAndThePacketArrivesOnTheGuiThread) {
    Threaded t;
    const std::thread::id gui = std::this_thread::get_id();
    std::atomic<bool> onWorker{false};
    t.component.OnNeedSamplesInThread = [&](TGraphDisplay3D* sender, TGraphDisplayGraphItem* g, TGraphData samples) {
        onWorker = std::this_thread::get_id() != gui && sender == &t.component && g == t.curve;
        sender->PostProgress(40);
        samples->assign(250, TGDGISample{3, 0, 0});
    };
    t.curve->Samples->assign(5, TGDGISample{});
    t.component.CreateVertexesFromSamples(0, 0);
    EXPECT_TRUE(t.curve->Samples->empty()) << "the old samples go when the request is made";
    EXPECT_TRUE(t.component.SampleThreadRunning());
    QTRY_VERIFY(!t.component.SampleThreadRunning());
    EXPECT_TRUE(onWorker);
    ASSERT_EQ(t.finished.size(), 1U);
    EXPECT_EQ(t.finished[0], t.curve);
    EXPECT_EQ(t.curve->Samples->size(), 250U);
    EXPECT_EQ(t.component.Progress(), 100) << "40 first, then 100 with the packet";
    EXPECT_EQ(t.item->SelectionEnd, 250);
}

TEST(SampleThread, AnEmptyPacketStillFinishes) {
    Threaded t;
    t.component.OnNeedSamplesInThread = [](TGraphDisplay3D*, TGraphDisplayGraphItem*, TGraphData) {};
    t.item->SelectionEnd = 7;
    t.component.CreateVertexesFromSamples(0, 0);
    QTRY_VERIFY(!t.component.SampleThreadRunning());
    EXPECT_EQ(t.finished.size(), 1U);
    EXPECT_EQ(t.component.Progress(), 0) << "unchanged";
    EXPECT_EQ(t.item->SelectionEnd, 7);
    EXPECT_TRUE(t.curve->Samples->empty());
}

TEST(SampleThread, ASecondRequestWaitsForTheFirstAndOnlyItsPacketCounts) {
    Threaded t;
    std::atomic<int> running{0};
    std::atomic<int> overlapped{0};
    std::atomic<int> calls{0};
    t.component.OnNeedSamplesInThread = [&](TGraphDisplay3D*, TGraphDisplayGraphItem*, TGraphData samples) {
        if (++running > 1)
            ++overlapped;
        const int call = ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        samples->assign(static_cast<std::size_t>(call), TGDGISample{});
        --running;
    };
    t.component.CreateVertexesFromSamples(0, 0);
    t.component.CreateVertexesFromSamples(0, 0); // cancels the first and waits for it
    QTRY_VERIFY(!t.component.SampleThreadRunning());
    EXPECT_EQ(overlapped, 0);
    ASSERT_EQ(t.finished.size(), 1U) << "the cancelled worker's packet is dropped";
    EXPECT_EQ(t.curve->Samples->size(), 2U);

    t.component.CreateVertexesFromSamples(0, 0);
    t.component.CancelSampleThread();
    EXPECT_TRUE(t.component.SampleThreadRunning()) << "kept until its end message";
    QTRY_VERIFY(!t.component.SampleThreadRunning());
    EXPECT_EQ(t.finished.size(), 1U) << "a cancelled request applies nothing";
}

TEST(SampleThread, ACurveDeletedWhileItsWorkerRunsIsNotTouched) {
    Threaded t;
    std::atomic<bool> release{false};
    t.component.OnNeedSamplesInThread = [&](TGraphDisplay3D*, TGraphDisplayGraphItem*, TGraphData samples) {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        samples->assign(10, TGDGISample{});
    };
    t.component.CreateVertexesFromSamples(0, 0);
    t.curve->Delete();
    release = true;
    QTRY_VERIFY(!t.component.SampleThreadRunning());
    EXPECT_TRUE(t.finished.empty());
}

TEST(SampleThread, ThousandsOfRequestsWithCancelsInBetween) {
    Threaded t;
    std::atomic<int> calls{0};
    t.component.OnNeedSamplesInThread = [&](TGraphDisplay3D* sender, TGraphDisplayGraphItem*, TGraphData samples) {
        const int call = ++calls;
        if (call % 7 == 0)
            sender->PostProgress(call % 100);
        samples->assign(static_cast<std::size_t>(1 + call % 50), TGDGISample{static_cast<float>(call), 0, 0});
    };
    constexpr int kRequests = 3000;
    for (int i = 0; i < kRequests; ++i) {
        t.component.CreateVertexesFromSamples(0, 0);
        if (i % 3 == 0)
            t.component.CancelSampleThread();
        if (i % 5 == 0)
            QCoreApplication::processEvents();
    }
    QTRY_VERIFY(!t.component.SampleThreadRunning());
    EXPECT_EQ(calls, kRequests) << "every request ran its handler once";
    ASSERT_FALSE(t.finished.empty());
    EXPECT_LT(t.finished.size(), static_cast<std::size_t>(kRequests));
    // The last request (not cancelled: 2999 % 3 != 0) is the one whose samples stay.
    ASSERT_FALSE(t.curve->Samples->empty());
    EXPECT_EQ(t.curve->Samples->size(), static_cast<std::size_t>(1 + kRequests % 50));
    EXPECT_EQ(t.curve->Samples->front().Value, static_cast<float>(kRequests));
}

TEST(SampleThread, DestroyingTheComponentWaitsForItsWorker) {
    std::atomic<bool> ended{false};
    {
        Threaded t;
        t.component.OnNeedSamplesInThread = [&](TGraphDisplay3D*, TGraphDisplayGraphItem*, TGraphData samples) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            samples->assign(3, TGDGISample{});
            ended = true;
        };
        t.component.CreateVertexesFromSamples(0, 0);
    } // its packet and end message are never delivered: freed with the message object
    EXPECT_TRUE(ended);
    QCoreApplication::processEvents();
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
