#pragma once

#include <QTemporaryDir>

#include "db/connection.h"
#include "join/open_staging_database.h"
#include "join/staging_database_path.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"

// What both join rigs hold: a login of its own, the dialogs that answer the
// run, and a program folder of its own for the staging file. Each rig adds
// how tables are chosen and the run started: headless (JoinRig) or through
// the windows (WindowJoinRig), both with open(), openChoosing() and
// startJoining().
class JoinRigBase {
public:
    JoinRigBase(const JoinRigBase&) = delete;
    JoinRigBase& operator=(const JoinRigBase&) = delete;

    // The rows of a staged table, as text or "<null>".
    QList<QStringList> stagedRows(const QString& table) const {
        db::Connection staging = OpenStagingDatabase(StagingDatabasePath(programFolder.path()));
        return AllRows(staging, QStringLiteral("SELECT * FROM `%1`").arg(table));
    }

    QTemporaryDir programFolder;
    standin::Login owner;
    RecordingDialogs dialogs;

protected:
    JoinRigBase() = default;
    ~JoinRigBase() = default;
};
