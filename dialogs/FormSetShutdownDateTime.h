#pragma once
// TFormSetShutdownDateTime and TFormProcessInformation are created at start-up after the about
// box; their pages come with the dialogs.

#include <QDialog>

namespace kelvane {

class TFormSetShutdownDateTime : public QDialog {
public:
    explicit TFormSetShutdownDateTime(QWidget* parent = nullptr) : QDialog(parent) {
        setObjectName(QStringLiteral("FormSetShutdownDateTime"));
    }
};

class TFormProcessInformation : public QDialog {
public:
    explicit TFormProcessInformation(QWidget* parent = nullptr) : QDialog(parent) {
        setObjectName(QStringLiteral("FormProcessInformation"));
    }
};

} // namespace kelvane
