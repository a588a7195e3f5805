#pragma once
// A QSpinBox that takes any integer while it is typed and brings a value outside its range to the
// nearer bound when editing ends (focus leaves, Return). A plain QSpinBox refuses the keystroke
// instead: typing 30 into a box of 0 to 23 would leave 3.

#include <QSpinBox>

namespace kelvane {

class TClampingSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

} // namespace kelvane
