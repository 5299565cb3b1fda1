#include "ui/pointer_image.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

#include "base/failure.h"

QCursor LoadPointerImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("The pointer file %1 cannot be read: %2").arg(path, file.errorString()));
    // A cursor file is an icon directory of type 2 whose first entry carries
    // the hotspot where an icon has its planes and bit count.
    const QByteArray header = file.read(6 + 16);
    if (header.size() < 22 || qFromLittleEndian<quint16>(header.constData() + 2) != 2)
        throw Failure(QStringLiteral("The file %1 is not a cursor file.").arg(path));
    const int hotX = qFromLittleEndian<quint16>(header.constData() + 10);
    const int hotY = qFromLittleEndian<quint16>(header.constData() + 12);
    file.close();

    QImageReader reader(path, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        throw Failure(QStringLiteral("The cursor file %1 cannot be loaded: %2")
                          .arg(path, reader.errorString()));
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}
