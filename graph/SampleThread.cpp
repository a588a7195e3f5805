#include "graph/SampleThread.h"

#include <QCoreApplication>

namespace kelvane::graph {

TSampleThread::TSampleThread(QObject* wndProc, TGraphDisplay3D* component, TGraphDisplayGraphItem* item,
                             SampleHandler handler)
    : FWndProcHandle(wndProc), FGraphDisplay3D(component), FSamplesPacket(std::make_unique<TSamplesPacket>()),
      handler_(std::move(handler)) {
    FSamplesPacket->FItem = item;
    FSamplesPacket->Source = this;
}

TSampleThread::~TSampleThread() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach(); // the last reference went on the worker itself
        else
            thread_.join();
    }
}

void TSampleThread::Start() {
    // The worker holds itself until it has posted its end.
    thread_ = std::thread([self = shared_from_this()] { self->Execute(); });
}

void TSampleThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void TSampleThread::Execute() {
    try {
        if (handler_)
            handler_(FGraphDisplay3D, FSamplesPacket->FItem, FSamplesPacket->Samples);
    } catch (...) {
        // a failing handler delivers what it has made, like one that returns
    }
    if (!terminated_)
        QCoreApplication::postEvent(FWndProcHandle, new SampleMessageEvent(std::move(FSamplesPacket)));
    QCoreApplication::postEvent(FWndProcHandle, new SampleMessageEvent(shared_from_this()));
}

} // namespace kelvane::graph
