// A small Wayland client for the foreground tests: shows one window (QT_QPA_PLATFORM=wayland),
// prints "shown" once the compositor exposed it, and exits when the window is closed.

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <cstdio>

namespace {

class Window final : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(0, 0), size()), Qt::darkCyan);
    }
    void exposeEvent(QExposeEvent* event) override {
        QRasterWindow::exposeEvent(event);
        if (isExposed() && !shown_) {
            shown_ = true;
            std::puts("shown");
            std::fflush(stdout);
        }
    }

private:
    bool shown_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Window window;
    window.resize(200, 150);
    window.show();
    return QGuiApplication::exec();
}
