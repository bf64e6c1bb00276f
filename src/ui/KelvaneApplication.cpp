#include "KelvaneApplication.h"

#include <QMessageBox>

#include <exception>

#include "UiText.h"
#include "platform/Exception.h"

namespace kelvane {

KelvaneApplication::KelvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KelvaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception& e) {
        ShowError(ShowText(e.Message()));
    } catch (const std::exception& e) {
        ShowError(ShowText(e.what()));
    } catch (...) {
        ShowError(QString());
    }
    return false;
}

void KelvaneApplication::ShowError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorDisplay"));
    box.exec();
}

}  // namespace kelvane
