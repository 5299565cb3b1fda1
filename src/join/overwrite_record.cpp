#include "join/overwrite_record.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>

#include "base/failure.h"
#include "base/narrow_to_owner.h"

namespace {

Q_LOGGING_CATEGORY(lcRecord, "quillmere.join", QtInfoMsg)

const QString Sid = QStringLiteral("sid");
const QString User = QStringLiteral("user");
const QString Listed = QStringLiteral("listed");
const QString Incoming = QStringLiteral("incoming");
const QString Outgoing = QStringLiteral("outgoing");

}  // namespace

OverwriteRecord::OverwriteRecord(const QString& stagingPath)
    : m_path(stagingPath + QStringLiteral(".overwrites")) {}

void OverwriteRecord::add(const PendingOverwrite& overwrite) {
    QList<PendingOverwrite> overwrites = read();
    overwrites.removeAll(overwrite);
    overwrites << overwrite;
    write(overwrites);
}

void OverwriteRecord::remove(const PendingOverwrite& overwrite) {
    QList<PendingOverwrite> overwrites = read();
    if (overwrites.removeAll(overwrite) == 0) return;
    if (!overwrites.isEmpty()) return write(overwrites);
    if (QFile::exists(m_path) && !QFile::remove(m_path))
        throw Failure(QStringLiteral("Could not remove ") + m_path + QStringLiteral("."));
}

QList<PendingOverwrite> OverwriteRecord::read() const {
    QFile file(m_path);
    if (!file.exists()) return {};
    QJsonParseError error{};
    const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                       ? QJsonDocument::fromJson(file.readAll(), &error)
                                       : QJsonDocument();
    if (!document.isArray()) {
        qCWarning(lcRecord).noquote()
            << QStringLiteral("%1 cannot be read: %2")
                   .arg(m_path, file.error() != QFileDevice::NoError ? file.errorString()
                                                                     : error.errorString());
        return {};
    }
    QList<PendingOverwrite> overwrites;
    for (const QJsonValue& value : document.array()) {
        const QJsonObject o = value.toObject();
        overwrites << PendingOverwrite{o.value(Sid).toString(), o.value(User).toString(),
                                       o.value(Listed).toString(), o.value(Incoming).toString(),
                                       o.value(Outgoing).toString()};
    }
    return overwrites;
}

void OverwriteRecord::write(const QList<PendingOverwrite>& overwrites) {
    QJsonArray array;
    for (const PendingOverwrite& o : overwrites)
        array.append(QJsonObject{{Sid, o.sid},
                                 {User, o.user},
                                 {Listed, o.listed},
                                 {Incoming, o.incoming},
                                 {Outgoing, o.outgoing}});
    // Whole or not at all: a record cut short would lose every name in it.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(array).toJson(QJsonDocument::Indented)) < 0 || !file.commit())
        throw Failure(QStringLiteral("Could not write ") + m_path + QStringLiteral(": ") +
                      file.errorString());
    NarrowToOwner(m_path);
}
