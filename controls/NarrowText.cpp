#include "NarrowText.h"

#include <QByteArrayView>
#include <QStringDecoder>

QString FromNarrowText(const char* text) {
    if (text == nullptr) {
        return {};
    }
    const QByteArrayView bytes(text);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError()) {
        return QString::fromLatin1(bytes);
    }
    return decoded;
}
