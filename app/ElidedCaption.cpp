#include "app/ElidedCaption.h"

#include <QAbstractButton>
#include <QEvent>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace kelvane::app {

namespace {

constexpr int kKeptCharacters = 4; // what a caption keeps at its narrowest, before the ellipsis

class CaptionElider final : public QObject {
public:
    explicit CaptionElider(QAbstractButton* button) : QObject(button), button_(button) {
        button->installEventFilter(this);
        SetMinimumWidth();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != button_)
            return false;
        switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::StyleChange:
            SetMinimumWidth();
            return false;
        case QEvent::Resize:
            UpdateToolTip();
            return false;
        case QEvent::Paint:
            if (!Elided())
                return false; // whole: the button draws itself
            Paint();
            return true;
        default:
            return false;
        }
    }

private:
    bool IsRadio() const { return qobject_cast<QRadioButton*>(button_) != nullptr; }

    QStyleOptionButton Option() const {
        QStyleOptionButton option;
        option.initFrom(button_);
        option.icon = button_->icon();
        option.iconSize = button_->iconSize();
        option.text = button_->text();
        if (button_->isDown())
            option.state |= QStyle::State_Sunken;
        option.state |= button_->isChecked() ? QStyle::State_On : QStyle::State_Off;
        return option;
    }

    // The room the style leaves for the caption at the button's present width.
    QRect TextRect() const {
        const QStyleOptionButton option = Option();
        return button_->style()->subElementRect(IsRadio() ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents,
                                                &option, button_);
    }

    QString ShownText() const {
        return button_->fontMetrics().elidedText(button_->text(), Qt::ElideRight, TextRect().width(), Qt::TextShowMnemonic);
    }
    bool Elided() const { return ShownText() != button_->text(); }

    void Paint() {
        QStyleOptionButton option = Option();
        option.text = ShownText();
        QStylePainter painter(button_);
        painter.drawControl(IsRadio() ? QStyle::CE_RadioButton : QStyle::CE_CheckBox, option);
    }

    void UpdateToolTip() {
        const QString tip = Elided() ? button_->text() : QString();
        if (button_->toolTip() != tip)
            button_->setToolTip(tip);
    }

    void SetMinimumWidth() {
        const QString text = button_->text();
        const int whole = button_->sizeHint().width();
        const QFontMetrics metrics = button_->fontMetrics();
        const int shortened = metrics.horizontalAdvance(text.left(kKeptCharacters) + QChar(0x2026));
        const int full = metrics.horizontalAdvance(text);
        button_->setMinimumWidth(std::min(whole, whole - full + shortened));
        QSizePolicy policy = button_->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Preferred); // may shrink below its whole caption
        button_->setSizePolicy(policy);
    }

    QAbstractButton* button_;
};

} // namespace

void MakeCaptionElidable(QAbstractButton* button) { new CaptionElider(button); }

} // namespace kelvane::app
