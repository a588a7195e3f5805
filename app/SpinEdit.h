#pragma once
// A spin box that holds whatever integer is typed: every change of the text runs the change
// handler with the text's value (text that is not a number reads as the minimum), and the range
// applies only when the box loses the focus or when code sets the value. QSpinBox clamps at once
// and refuses text outside its range, which would hide the value being typed from the handler.

#include <QAbstractSpinBox>
#include <functional>

namespace kelvane::app {

class TSpinEdit : public QAbstractSpinBox {
public:
    TSpinEdit(int minimum, int maximum, int value, QWidget* parent = nullptr);

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    // The text read as an integer; the minimum when it is not one.
    int value() const;
    // Brought into the range, shown, and the handler runs when the text changes.
    void setValue(int value);

    // The change handler (OnChange): every change of the text, also while typing.
    std::function<void()> onChange;

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int minimum_;
    int maximum_;
};

} // namespace kelvane::app
