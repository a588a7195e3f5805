#include "dialogs/ClampingSpinBox.h"

#include <QRegularExpression>
#include <algorithm>

namespace kelvane {

namespace {

// The typed text as an integer (sign and digits only, which is all the boxes show).
bool ReadInteger(const QString& text, qlonglong& value) {
    const QString trimmed = text.trimmed();
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]{1,18}$"));
    if (!integer.match(trimmed).hasMatch())
        return false;
    bool ok = false;
    value = trimmed.toLongLong(&ok);
    return ok;
}

} // namespace

QValidator::State TClampingSpinBox::validate(QString& input, int& pos) const {
    qlonglong value = 0;
    if (ReadInteger(input, value) && (value < minimum() || value > maximum()))
        return QValidator::Intermediate; // kept while typing; fixup() brings it into the range
    return QSpinBox::validate(input, pos);
}

void TClampingSpinBox::fixup(QString& input) const {
    qlonglong value = 0;
    if (ReadInteger(input, value))
        input = textFromValue(static_cast<int>(std::clamp<qlonglong>(value, minimum(), maximum())));
    else
        QSpinBox::fixup(input);
}

} // namespace kelvane
