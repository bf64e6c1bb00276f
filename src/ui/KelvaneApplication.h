#pragma once

#include <QApplication>

namespace kelvane {

// The application object: shows any error escaping an event handler and goes on.
class KelvaneApplication : public QApplication {
    Q_OBJECT
public:
    KelvaneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The standard error display: a critical message box with the message and an OK button.
    static void ShowError(const QString& message);
};

}  // namespace kelvane
