#pragma once

#include <QList>
#include <QString>

// The tables of one overwrite that stand on the server under names of their
// own: the new rows are written under incoming, and the old table waits
// under outgoing while the new one takes the listed name.
struct PendingOverwrite {
    QString sid, user;
    QString listed, incoming, outgoing;

    bool sameLogin(const QString& otherSid, const QString& otherUser) const {
        return sid == otherSid && user == otherUser;
    }
    bool operator==(const PendingOverwrite&) const = default;
};

// The overwrites under way, kept in a file beside the staging file. An entry
// is written before its first table is made on the server and removed once
// none is left, so a run that was killed or lost its connection leaves the
// names behind for the next run of the same login to settle.
class OverwriteRecord final {
public:
    // The record of the staging file at stagingPath.
    explicit OverwriteRecord(const QString& stagingPath);

    // Both throw Failure when the record cannot be written.
    void add(const PendingOverwrite& overwrite);
    void remove(const PendingOverwrite& overwrite);
    // An unreadable record reads as empty, and is logged: its names are lost
    // to the settling, never to the user's tables.
    QList<PendingOverwrite> read() const;

private:
    void write(const QList<PendingOverwrite>& overwrites);

    QString m_path;
};
