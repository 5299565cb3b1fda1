#pragma once

#include <QtTest>
#include <functional>

#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "support/join_rig.h"

// Checks a join run passes alike whether it is started headless or through
// the windows. Each returns at its first failing check; the caller's test
// fails with it.

// A second "Start Joining" while a run is yielding starts nothing, and a
// second run of the same name replaces the staged table. alsoDuringTheRun
// happens beside the second click; afterTheFirstRun checks what the rig
// shows once the first run is over.
template <typename Rig>
void CheckSecondClickStartsNothing(Rig& rig, const std::function<void()>& alsoDuringTheRun,
                                   const std::function<void()>& afterTheFirstRun) {
    rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
    rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'), ('2'))");
    rig.openChoosing("A", "ID", "A", "ID");
    int prompts = 0;
    rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
        if (shown.kind != "prompt") return;
        ++prompts;
        rig.startJoining();  // ignored: the first run is still going
        if (alsoDuringTheRun) alsoDuringTheRun();
    };
    rig.dialogs.promptAnswers << QStringLiteral("R") << QStringLiteral("R");
    rig.startJoining();
    QCOMPARE(prompts, 1);
    if (afterTheFirstRun) afterTheFirstRun();
    rig.dialogs.onShown = nullptr;
    rig.owner.exec(R"(DELETE FROM "A" WHERE "ID" = '2')");
    rig.dialogs.yesNoAnswers << true;
    rig.startJoining();
    QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
    QCOMPARE(rig.stagedRows("R"), (QList<QStringList>{{"1", "1"}}));
    QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"1", "1"}}));
}

// The program ending while the run waits for its name (endTheProgram closes
// a window or abandons the run): the run stops there and writes nothing more.
template <typename Rig>
void CheckEndingStopsTheRun(Rig& rig, const std::function<void()>& endTheProgram) {
    rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
    rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'))");
    rig.openChoosing("A", "ID", "A", "ID");
    rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
        if (shown.kind == "prompt") endTheProgram();
    };
    rig.dialogs.promptAnswers << QStringLiteral("R");
    rig.startJoining();
    QCOMPARE(rig.dialogs.shown.size(), 1);
    QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables"), (QList<QStringList>{{"1"}}));
    QVERIFY(!StagingTableExists(StagingDatabasePath(rig.programFolder.path()), "R"));
}
