// kelvane-graph-demo: the graph component with everything on. Select with the left (start) and
// right (end) buttons, zoom with the wheel or "Zoom", hover a marker to drag it (left) or delete it
// (right), middle-click or press space to play from there, keypad +/- for the amplitude, double
// click to add a marker. "Worker" fetches the samples on the sample thread.
//   kelvane-graph-demo [--quit-after MS]

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <atomic>
#include <thread>

#include "graph/GraphDisplay3D.h"

using namespace kelvane::graph;

namespace {

constexpr int kSamples = 20000;

// A beat of two tones with a slow swell: something worth zooming into.
void FillSignal(std::vector<TGDGISample>& samples, double phase) {
    samples.resize(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const double t = static_cast<double>(i) / kSamples;
        const double v = std::sin(t * 380 + phase) * 0.6 + std::sin(t * 41) * 0.3 * std::sin(t * 7 + phase);
        samples[static_cast<std::size_t>(i)] = {static_cast<float>(v), 0, 0};
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Graph component demo"));
    auto* layout = new QVBoxLayout(&window);
    auto* graph = new TGraphDisplay3D(&window);
    graph->SuppressErrors = true;
    graph->Antialiasing = true;
    graph->AllowQuickPlay = true;
    graph->AllowAmplitudeChangeWithKey = true;
    graph->ShowCursor = true;
    graph->SetScrollBarType(gdsbtFlat);
    graph->SetScrollBarHeight(14);
    layout->addWidget(graph, 1);

    TGraphDisplayItem* item = graph->Items.Add();
    item->DisplayType = gdtMono;
    item->Caption.Text = QStringLiteral("Two tones");
    item->Axis.AxisY.RangeType = gdiartCustom;
    item->Axis.AxisY.CustomRangeMaximum = 1;
    TGraphDisplayGraphItem* curve = item->GraphItems.Add();
    curve->Name = QStringLiteral("signal");
    FillSignal(*curve->Samples, 0);
    item->SetLength(kSamples);
    for (const double position : {4000.0, 10000.0, 15000.0})
        AddMarker(*item)->Position = position;

    auto* status = new QLabel(&window);
    auto* buttons = new QHBoxLayout;
    auto* zoom = new QPushButton(QStringLiteral("Zoom"), &window);
    auto* showAll = new QPushButton(QStringLiteral("Show all"), &window);
    auto* selectAll = new QPushButton(QStringLiteral("Select all"), &window);
    auto* worker = new QCheckBox(QStringLiteral("Worker"), &window);
    auto* follow = new QCheckBox(QStringLiteral("Follow playback"), &window);
    for (QWidget* w : {static_cast<QWidget*>(zoom), static_cast<QWidget*>(showAll), static_cast<QWidget*>(selectAll),
                       static_cast<QWidget*>(worker), static_cast<QWidget*>(follow)})
        buttons->addWidget(w);
    buttons->addWidget(status, 1);
    layout->addLayout(buttons);
    QObject::connect(zoom, &QPushButton::clicked, graph, [graph] { graph->Zoom(); });
    QObject::connect(showAll, &QPushButton::clicked, graph, [graph] { graph->ShowAll(); });
    QObject::connect(selectAll, &QPushButton::clicked, graph, [graph] { graph->SelectAll(); });
    QObject::connect(follow, &QCheckBox::toggled, graph, [graph](bool on) { graph->SampleScroll = on; });

    // Playback: a position that advances while playing.
    TGraphDisplayPlayStatus play = gdpsStoped;
    double position = 0;
    graph->OnPlay = [&](TGraphDisplay3D*, TGraphDisplayItem*, double from) {
        position = from;
        play = gdpsPlaying;
    };
    graph->OnPause = [&](TGraphDisplay3D*, TGraphDisplayItem*) { play = play == gdpsPlaying ? gdpsPaused : gdpsPlaying; };
    graph->OnNeedPlayStatus = [&](TGraphDisplay3D*, TGraphDisplayItem*) { return play; };
    graph->OnNeedPlaybackPosition = [&](TGraphDisplay3D*, TGraphDisplayItem*) { return position; };
    graph->OnDblClick = [graph](QObject*, int x, int, TGraphDisplayItem* on, TGraphDisplayMarker* marker) {
        if (on != nullptr && marker == nullptr)
            AddMarker(*on)->Position = graph->MousePosition2XValue(x);
    };
    graph->OnSelection = [status](TGraphDisplay3D*, TGraphDisplayItem* on, TGraphDisplayGraphItem*) {
        status->setText(QStringLiteral("selection %1 ... %2").arg(on->SelectionStart, 0, 'f', 0).arg(on->SelectionEnd, 0, 'f', 0));
    };

    // The sample thread: a fresh phase for each fetch.
    std::atomic<double> phase{0}; // read by the worker
    graph->OnNeedSamplesInThread = [&phase](TGraphDisplay3D* sender, TGraphDisplayGraphItem*, TGraphData samples) {
        sender->PostProgress(50);
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // as a slow source would
        FillSignal(*samples, phase);
    };
    QObject::connect(worker, &QCheckBox::toggled, graph, [&, graph](bool on) {
        graph->SampleInSeparateThread = on;
        if (on) {
            graph->CancelSampleThread(); // the phase changes only while no worker reads it
            phase = phase + 0.7;
            graph->CreateVertexesFromSamples(0, 0);
        }
    });
    graph->OnSampleThreadFinished = [&, graph](TGraphDisplay3D*, TGraphDisplayGraphItem*) {
        item->SetLength(kSamples);
        if (graph->SampleInSeparateThread) { // keep fetching while the box is checked
            phase = phase + 0.7; // this worker has ended: its packet is being applied
            QTimer::singleShot(400, graph, [graph] {
                if (graph->SampleInSeparateThread)
                    graph->CreateVertexesFromSamples(0, 0);
            });
        }
    };

    window.resize(900, 420);
    window.show();
    graph->Initialize(0);
    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout, graph, [&, graph] {
        if (play == gdpsPlaying)
            position = std::fmod(position + kSamples / 400.0, kSamples);
        graph->Render();
    });
    frames.start(30);
    const QStringList args = QCoreApplication::arguments();
    const qsizetype quit = args.indexOf(QStringLiteral("--quit-after"));
    if (quit >= 0 && quit + 1 < args.size())
        QTimer::singleShot(args[quit + 1].toInt(), &app, &QCoreApplication::quit);
    return QApplication::exec();
}
