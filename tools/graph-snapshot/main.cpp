// kelvane-graph-snapshot: one frame of the main window's CPU graph, rendered offscreen to a PNG.
//   kelvane-graph-snapshot --width W --height H --out FILE.png --samples FILE
// The samples file holds one value (percent) per line. Needs an OpenGL context (a display, e.g.
// a virtual one).

#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include "app/CpuGraphSetup.h"
#include "graph/OffscreenFrame.h"

using namespace kelvane;

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments().mid(1);
    int width = 0;
    int height = 0;
    QString out;
    QString samplesPath;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--width"))
            width = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--height"))
            height = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--out"))
            out = args[i + 1];
        else if (args[i] == QLatin1String("--samples"))
            samplesPath = args[i + 1];
    }
    if (width <= 0 || height <= 0 || out.isEmpty() || samplesPath.isEmpty() || args.size() % 2 != 0) {
        err << "usage: kelvane-graph-snapshot --width W --height H --out FILE.png --samples FILE\n";
        return 2;
    }
    QFile file(samplesPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        err << "kelvane-graph-snapshot: cannot read " << samplesPath << ": " << file.errorString() << '\n';
        return 1;
    }
    graph::TGraphDisplayItems items{graph::GraphComponentHooks{}};
    graph::TGraphDisplayItem* item = AddCpuGraphItem(items);
    graph::TGraphDisplayGraphItem* curve = item->GraphItems[0];
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        bool ok = false;
        const float value = lines.readLine().trimmed().toFloat(&ok);
        if (ok)
            curve->Samples->push_back({value, 0, 0});
    }
    graph::BuildCurveVertices(*item, *curve, CpuGraphRenderOptions().maximumVertexCount);
    const QImage picture = graph::RenderOffscreen(*item, CpuGraphRenderOptions(), width, height);
    if (picture.isNull()) {
        err << "kelvane-graph-snapshot: no OpenGL context could be made\n";
        return 1;
    }
    if (!picture.save(out, "PNG")) {
        err << "kelvane-graph-snapshot: cannot write " << out << '\n';
        return 1;
    }
    return 0;
}
