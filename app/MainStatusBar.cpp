#include "app/MainStatusBar.h"

#include <QStatusTipEvent>

namespace kelvane::app {

TMainStatusBar::TMainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(true);
    const int widths[3] = {500, 102, 200};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setMargin(1);
        panels_[i]->setTextFormat(Qt::PlainText);
        if (i > 0)
            panels_[i]->setFixedWidth(widths[i]);
        else
            panels_[i]->setMinimumWidth(40);
    }
    addWidget(panels_[0], 1);
    addPermanentWidget(panels_[1]);
    addPermanentWidget(panels_[2]);
}

QString TMainStatusBar::Panel(int index) const { return panels_[index]->text(); }

void TMainStatusBar::SetPanel(int index, const QString& text) {
    if (panels_[index]->text() != text)
        panels_[index]->setText(text);
}

int TMainStatusBar::PanelWidth(int index) const { return panels_[index]->width(); }

bool TMainStatusBar::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        panels_[0]->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QStatusBar::event(e);
}

} // namespace kelvane::app
