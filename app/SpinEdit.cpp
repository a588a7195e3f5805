#include "app/SpinEdit.h"

#include <QLineEdit>
#include <algorithm>
#include <limits>

namespace kelvane::app {

TSpinEdit::TSpinEdit(int minimum, int maximum, int value, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum) {
    setAccelerated(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(QString::number(std::clamp(value, minimum_, maximum_)));
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] {
        if (onChange)
            onChange();
    });
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] { setValue(this->value()); });
}

int TSpinEdit::value() const {
    bool ok = false;
    const qlonglong number = lineEdit()->text().trimmed().toLongLong(&ok);
    if (!ok)
        return minimum_;
    return static_cast<int>(std::clamp<qlonglong>(number, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

void TSpinEdit::setValue(int value) {
    const QString text = QString::number(std::clamp(value, minimum_, maximum_));
    if (lineEdit()->text() != text)
        lineEdit()->setText(text); // runs the handler through textChanged
}

void TSpinEdit::stepBy(int steps) { setValue(value() + steps); }

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    const QString text = input.trimmed();
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("+"))
        return QValidator::Intermediate;
    bool ok = false;
    text.toLongLong(&ok);
    return ok ? QValidator::Acceptable : QValidator::Invalid;
}

void TSpinEdit::fixup(QString& input) const { input = QString::number(value()); }

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    const int v = value();
    StepEnabled enabled = StepNone;
    if (v < maximum_)
        enabled |= StepUpEnabled;
    if (v > minimum_)
        enabled |= StepDownEnabled;
    return enabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusOutEvent(event);
    setValue(value());
}

QSize TSpinEdit::sizeHint() const {
    QSize size = QAbstractSpinBox::sizeHint();
    const int digits = fontMetrics().horizontalAdvance(QString::number(maximum_) + QLatin1Char('0'));
    size.setWidth(digits + 28); // the digits of the maximum, a little room and the arrows
    return size;
}

QSize TSpinEdit::minimumSizeHint() const { return sizeHint(); }

} // namespace kelvane::app
