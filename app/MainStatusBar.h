#pragma once
// The status bar's three panels: 0 the hint of the control or menu item under the mouse, 1 the
// number of processes, 2 the boost status. Panel 0 takes what panels 1 and 2 leave.

#include <QLabel>
#include <QStatusBar>

namespace kelvane::app {

class TMainStatusBar : public QStatusBar {
public:
    explicit TMainStatusBar(QWidget* parent = nullptr);

    QString Panel(int index) const;
    void SetPanel(int index, const QString& text);
    int PanelWidth(int index) const;

protected:
    bool event(QEvent* event) override;

private:
    QLabel* panels_[3];
};

} // namespace kelvane::app
