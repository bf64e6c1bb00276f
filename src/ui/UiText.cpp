#include "UiText.h"

#include <QFile>
#include <QStringDecoder>

namespace kelvane {

QString ShowText(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(view);
}

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace kelvane
