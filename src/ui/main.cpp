// kelvane: the desktop program.
#include <QCommandLineParser>
#include <QSettings>

#include <cstdio>

#include "AppSettings.h"
#include "KelvaneApplication.h"
#include "MainForm.h"

int main(int argc, char* argv[]) {
    kelvane::KelvaneApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kelvane::settings::kApplication));
    QApplication::setOrganizationName(QString::fromLatin1(kelvane::settings::kOrganization));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvane"));
    QApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows which sites connected and what their units reported."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("a log file to open at start"), QStringLiteral("[LOG]"));
    parser.process(app);

    int status = 0;
    try {
        QSettings settings(QString::fromLatin1(kelvane::settings::kOrganization),
                           QString::fromLatin1(kelvane::settings::kApplication));
        const QStringList files = parser.positionalArguments();
        kelvane::TForm1 form(settings, files.isEmpty() ? QString() : files.first());
        form.show();
        status = app.exec();
    } catch (const std::exception& e) {
        kelvane::KelvaneApplication::ShowError(QString::fromLocal8Bit(e.what()));
    }
    return status;
}
