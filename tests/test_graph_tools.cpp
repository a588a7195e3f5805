// The graph tools under a virtual X display: kelvane-graph-snapshot's view options and the demo.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool HasDisplay() { return !qEnvironmentVariableIsEmpty("DISPLAY"); }

#define NEED_DISPLAY()                                                                                             \
    if (!HasDisplay())                                                                                             \
    GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)"

} // namespace

TEST(GraphTools, TheSnapshotRendersAZoomedViewWithItsScrollBar) {
    NEED_DISPLAY();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile samples(dir.filePath(QStringLiteral("ramp.txt")));
    ASSERT_TRUE(samples.open(QIODevice::WriteOnly | QIODevice::Text));
    for (int i = 0; i <= 400; ++i)
        samples.write(QByteArray::number(i / 4.0) + '\n');
    samples.close();
    const QString out = dir.filePath(QStringLiteral("frame.png"));
    auto run = [&](const QStringList& extra) {
        QProcess tool;
        tool.start(QStringLiteral(KELVANE_GRAPH_SNAPSHOT),
                   QStringList{QStringLiteral("--width"), QStringLiteral("400"), QStringLiteral("--height"),
                               QStringLiteral("300"), QStringLiteral("--out"), out, QStringLiteral("--samples"),
                               samples.fileName()} + extra);
        tool.waitForFinished(30000);
        return tool.exitCode();
    };
    ASSERT_EQ(run({QStringLiteral("--select"), QStringLiteral("100"), QStringLiteral("200"), QStringLiteral("--zoom"),
                   QStringLiteral("--marker"), QStringLiteral("150"), QStringLiteral("--scrollbar"), QStringLiteral("flat"),
                   QStringLiteral("--scrollbar-height"), QStringLiteral("12")}),
              0);
    const QImage frame(out);
    ASSERT_EQ(frame.size(), QSize(400, 312)) << "the frame and the bar below it";
    // At zoom 4 on the second quarter, the flat bar's green scroller covers a quarter of the track.
    int greenColumns = 0;
    for (int x = 0; x < 400; ++x)
        greenColumns += frame.pixelColor(x, 306) == QColor(0, 255, 0) ? 1 : 0;
    EXPECT_NEAR(greenColumns, (400 - 2 * 18) / 4 + 2 * 6, 12) << "the scroller and the two arrow triangles";
    // The marker at sample 150 (value 37.5) stands in the middle of the view.
    bool line = false;
    for (int x = 198; x <= 202; ++x)
        line = line || frame.pixelColor(x, 20) != frame.pixelColor(120, 20);
    EXPECT_TRUE(line) << "a marker line at the centre";
    EXPECT_EQ(frame.pixelColor(150, 20), frame.pixelColor(120, 20)) << "and nothing beside it";
    EXPECT_EQ(run({QStringLiteral("--zoom")}), 2) << "zoom needs a selection";
    EXPECT_EQ(run({QStringLiteral("--scrollbar"), QStringLiteral("round")}), 2);
    EXPECT_EQ(run({QStringLiteral("--marker")}), 2);
}

TEST(GraphTools, TheDemoStartsAndQuits) {
    NEED_DISPLAY();
    QProcess demo;
    demo.start(QStringLiteral(KELVANE_GRAPH_DEMO), {QStringLiteral("--quit-after"), QStringLiteral("1500")});
    ASSERT_TRUE(demo.waitForFinished(30000));
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(demo.exitCode(), 0) << demo.readAllStandardError().constData();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
