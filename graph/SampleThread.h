#pragma once
// The graph component's sample thread: one worker per request runs the host's
// OnNeedSamplesInThread into a packet; the packet and the worker's end travel back to the GUI
// thread as posted events to the component's message object. Nothing else runs on the worker.

#include <QEvent>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "graph/GraphModel.h"

namespace kelvane::graph {

class TGraphDisplay3D;

class TSampleThread;

struct TSamplesPacket {
    TGraphDisplayGraphItem* FItem = nullptr;
    const TSampleThread* Source = nullptr; // the worker that made it
    TGraphData Samples = std::make_shared<std::vector<TGDGISample>>();
};

// The posted messages: progress (1025), packet ready (1026), thread ended (1027).
enum SampleMessage { kMessageProgress = QEvent::User + 1, kMessagePacket = QEvent::User + 2, kMessageEnded = QEvent::User + 3 };

class SampleMessageEvent : public QEvent {
public:
    SampleMessageEvent(SampleMessage type, int progress) : QEvent(static_cast<Type>(type)), Progress(progress) {}
    explicit SampleMessageEvent(std::unique_ptr<TSamplesPacket> packet)
        : QEvent(static_cast<Type>(kMessagePacket)), Packet(std::move(packet)) {}
    explicit SampleMessageEvent(std::shared_ptr<TSampleThread> thread)
        : QEvent(static_cast<Type>(kMessageEnded)), Thread(std::move(thread)) {}
    int Progress = 0;
    std::unique_ptr<TSamplesPacket> Packet; // freed with the event, delivered or not
    std::shared_ptr<TSampleThread> Thread;  // kept alive until its end message is handled
};

using SampleHandler = std::function<void(TGraphDisplay3D*, TGraphDisplayGraphItem*, TGraphData)>;

class TSampleThread : public std::enable_shared_from_this<TSampleThread> {
public:
    TSampleThread(QObject* wndProc, TGraphDisplay3D* component, TGraphDisplayGraphItem* item, SampleHandler handler);
    ~TSampleThread();
    TSampleThread(const TSampleThread&) = delete;
    TSampleThread& operator=(const TSampleThread&) = delete;

    void Start();
    // Asks the worker to stop: it still finishes the host's handler, but posts no packet.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits until the worker has ended.
    void WaitFor();

private:
    void Execute();
    QObject* FWndProcHandle;
    TGraphDisplay3D* FGraphDisplay3D;
    std::unique_ptr<TSamplesPacket> FSamplesPacket;
    SampleHandler handler_; // copied when the request was made
    std::atomic<bool> terminated_{false};
    std::thread thread_;
};

} // namespace kelvane::graph
