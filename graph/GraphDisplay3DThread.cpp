// The graph component's side of the sample thread: start, cancel, and the messages back.

#include "graph/GraphDisplay3D.h"

#include <QCoreApplication>

namespace kelvane::graph {

// The hidden object the workers post to; it lives on the GUI thread with the component.
class SampleMessageWindow : public QObject {
public:
    SampleMessageWindow(TGraphDisplay3D* owner) : QObject(owner), owner_(owner) {}
    bool event(QEvent* event) override {
        const int type = event->type();
        if (type == kMessageProgress || type == kMessagePacket || type == kMessageEnded) {
            owner_->SampleMessage(*static_cast<SampleMessageEvent*>(event));
            return true;
        }
        return QObject::event(event);
    }

private:
    TGraphDisplay3D* owner_;
};

QObject* MakeSampleMessageWindow(TGraphDisplay3D* owner) { return new SampleMessageWindow(owner); }

void TGraphDisplay3D::PostProgress(int progress) const {
    QCoreApplication::postEvent(wndProc_, new SampleMessageEvent(kMessageProgress, progress));
}

void TGraphDisplay3D::StartSampleThread(TGraphDisplayGraphItem& graphItem) {
    CancelSampleThread(); // at most one worker per component
    graphItem.Samples = std::make_shared<std::vector<TGDGISample>>();
    sampleThread_ = std::make_shared<TSampleThread>(wndProc_, this, &graphItem, OnNeedSamplesInThread);
    sampleThread_->Start();
}

void TGraphDisplay3D::CancelSampleThread() {
    if (!sampleThread_)
        return;
    sampleThread_->Terminate();
    sampleThread_->WaitFor(); // the object stays until its end message clears it
}

void TGraphDisplay3D::SampleMessage(SampleMessageEvent& message) {
    switch (static_cast<int>(message.type())) {
    case kMessageProgress:
        progress_ = message.Progress;
        break;
    case kMessagePacket:
        ApplySamplesPacket(std::move(message.Packet));
        break;
    case kMessageEnded:
        if (message.Thread == sampleThread_)
            sampleThread_.reset();
        message.Thread.reset();
        break;
    default:
        break;
    }
}

void TGraphDisplay3D::ApplySamplesPacket(std::unique_ptr<TSamplesPacket> packet) {
    // A packet of a cancelled or replaced worker is dropped: only the latest request counts.
    if (!packet || !sampleThread_ || packet->Source != sampleThread_.get() || sampleThread_->Terminated())
        return;
    // The curve may have gone while the worker ran.
    TGraphDisplayItem* owner = nullptr;
    for (int i = 0; i < Items.Count() && owner == nullptr; ++i)
        for (int g = 0; g < Items[i]->GraphItems.Count(); ++g)
            if (Items[i]->GraphItems[g] == packet->FItem)
                owner = Items[i];
    if (owner == nullptr)
        return;
    TGraphDisplayGraphItem* graphItem = packet->FItem;
    try {
        const std::size_t n = packet->Samples->size();
        if (n > 0) {
            graphItem->Samples = std::make_shared<std::vector<TGDGISample>>(*packet->Samples);
            progress_ = 100;
            owner->SelectionEnd = static_cast<double>(n);
        }
        Initialize(owner->Index);
        // The vertices are built here, on the GUI thread: in this mode nothing else builds them.
        if (HasDevice() && n > 0) {
            BuildCurveVertices(*owner, *graphItem, static_cast<int>(std::min<std::int64_t>(MaximumVertexCount, 1 << 30)));
            Render();
        }
        if (OnSampleThreadFinished)
            OnSampleThreadFinished(this, graphItem);
    } catch (...) {
        // the packet is freed all the same
    }
}

} // namespace kelvane::graph
