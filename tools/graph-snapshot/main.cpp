// kelvane-graph-snapshot: one frame of the main window's CPU graph, rendered offscreen to a PNG.
//   kelvane-graph-snapshot --width W --height H --out FILE.png --samples FILE
//       [--select START END] [--zoom] [--marker POS]... [--scrollbar flat|standard] [--scrollbar-height H]
// The samples file holds one value (percent) per line. Positions are in samples: the data is as
// long as the number of samples. --select draws that selection, --zoom zooms the view to it before
// the frame is drawn, --marker draws a marker (repeatable), --scrollbar adds that scroll bar below
// the frame (10 pixels high unless told). Needs an OpenGL context (a display, e.g. a virtual one).

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTextStream>
#include <optional>

#include "app/CpuGraphSetup.h"
#include "graph/OffscreenFrame.h"

using namespace kelvane;

namespace {

struct Options {
    int width = 0;
    int height = 0;
    QString out;
    QString samplesPath;
    std::optional<std::pair<double, double>> selection;
    bool zoom = false;
    std::vector<double> markers;
    std::optional<graph::TGraphDisplayScrollBarType> scrollBar;
    int scrollBarHeight = 10;
};

constexpr const char* kUsage =
    "usage: kelvane-graph-snapshot --width W --height H --out FILE.png --samples FILE\n"
    "       [--select START END] [--zoom] [--marker POS]... [--scrollbar flat|standard] [--scrollbar-height H]\n";

// False on an unknown option or a missing or malformed value.
bool Parse(const QStringList& args, Options& o) {
    auto number = [&args](qsizetype at, double& value) {
        bool ok = false;
        if (at < args.size())
            value = args[at].toDouble(&ok);
        return ok;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        double v = 0;
        double w = 0;
        if (a == QLatin1String("--zoom")) {
            o.zoom = true;
        } else if (a == QLatin1String("--select")) {
            if (!number(i + 1, v) || !number(i + 2, w))
                return false;
            o.selection = std::make_pair(v, w);
            i += 2;
        } else if (a == QLatin1String("--marker")) {
            if (!number(++i, v))
                return false;
            o.markers.push_back(v);
        } else if (i + 1 >= args.size()) {
            return false;
        } else if (a == QLatin1String("--width")) {
            o.width = args[++i].toInt();
        } else if (a == QLatin1String("--height")) {
            o.height = args[++i].toInt();
        } else if (a == QLatin1String("--scrollbar-height")) {
            o.scrollBarHeight = args[++i].toInt();
        } else if (a == QLatin1String("--out")) {
            o.out = args[++i];
        } else if (a == QLatin1String("--samples")) {
            o.samplesPath = args[++i];
        } else if (a == QLatin1String("--scrollbar")) {
            const QString kind = args[++i];
            if (kind == QLatin1String("flat"))
                o.scrollBar = graph::gdsbtFlat;
            else if (kind == QLatin1String("standard"))
                o.scrollBar = graph::gdsbtWindows;
            else
                return false;
        } else {
            return false;
        }
    }
    return o.width > 0 && o.height > 0 && !o.out.isEmpty() && !o.samplesPath.isEmpty() && o.scrollBarHeight >= 0 &&
           (!o.zoom || o.selection);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTextStream err(stderr);
    Options o;
    if (!Parse(QCoreApplication::arguments().mid(1), o)) {
        err << kUsage;
        return 2;
    }
    QFile file(o.samplesPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        err << "kelvane-graph-snapshot: cannot read " << o.samplesPath << ": " << file.errorString() << '\n';
        return 1;
    }
    // The component works out the view (zoom, scroll range) without a device of its own.
    graph::TGraphDisplay3D component;
    SetUpCpuGraphComponent(component);
    component.SetScrollBarType(o.scrollBar.value_or(graph::gdsbtWindows));
    graph::TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
    graph::TGraphDisplayGraphItem* curve = item->GraphItems[0];
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        bool ok = false;
        const float value = lines.readLine().trimmed().toFloat(&ok);
        if (ok)
            curve->Samples->push_back({value, 0, 0});
    }
    graph::RenderOptions options = CpuGraphRenderOptions();
    graph::BuildCurveVertices(*item, *curve, options.maximumVertexCount);
    item->SetLength(static_cast<double>(curve->Samples->size()));
    if (o.selection) {
        item->SelectionStart = o.selection->first;
        item->SelectionEnd = o.selection->second;
        options.showSelection = true;
    }
    for (const double position : o.markers)
        graph::AddMarker(*item)->Position = position;
    options.showMarkers = !o.markers.empty();
    if (o.zoom)
        component.Zoom();
    options.scrollMaximum = component.GetScrollBarMax();
    options.scrollPosition = component.GetScrollBarPosition();
    QImage picture = graph::RenderOffscreen(*item, options, o.width, o.height);
    if (picture.isNull()) {
        err << "kelvane-graph-snapshot: no OpenGL context could be made\n";
        return 1;
    }
    if (o.scrollBar && o.scrollBarHeight > 0) { // the bar as the component shows it, below the frame
        QWidget* bar = *o.scrollBar == graph::gdsbtFlat ? static_cast<QWidget*>(component.FlatScrollBar())
                                                         : static_cast<QWidget*>(component.scrollBar());
        bar->setFixedSize(o.width, o.scrollBarHeight);
        QImage whole(o.width, o.height + o.scrollBarHeight, QImage::Format_RGB888);
        whole.fill(Qt::black);
        QPainter painter(&whole);
        painter.drawImage(0, 0, picture);
        painter.drawPixmap(0, o.height, bar->grab());
        painter.end();
        picture = whole;
    }
    if (!picture.save(o.out, "PNG")) {
        err << "kelvane-graph-snapshot: cannot write " << o.out << '\n';
        return 1;
    }
    return 0;
}
