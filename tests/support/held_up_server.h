#pragma once

#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include "db/connection.h"
#include "support/standin.h"

// Ways the tests hold up the stand-in server under a run.

// A server process stopped as a hung server would be, resumed whatever the
// test's end, so the shared server recovers and the session can be ended.
class StoppedServerProcess final {
public:
    StoppedServerProcess() = default;
    ~StoppedServerProcess() {
        if (m_pid > 0) ::kill(pid_t(m_pid), SIGCONT);
    }
    StoppedServerProcess(const StoppedServerProcess&) = delete;
    StoppedServerProcess& operator=(const StoppedServerProcess&) = delete;

    // True once the process shows as stopped.
    bool stop(qint64 pid) {
        m_pid = pid;
        if (::kill(pid_t(pid), SIGSTOP) != 0) return false;
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(10)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly)) return false;
            const QByteArray text = stat.readAll();
            if (text.mid(text.lastIndexOf(')') + 2, 1) == "T") return true;
        }
        return false;
    }

private:
    qint64 m_pid = 0;
};

// Every table the login makes from now on sleeps when its row of ID '20' is
// inserted, whatever name the run gives it.
inline void MakeInsertsOfId20Sleep(const standin::Login& owner) {
    db::Connection admin = standin::admin(owner.name());
    admin.execute(QStringLiteral(
        "CREATE FUNCTION qm_sleep_at_last() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN IF to_jsonb(NEW) ->> 'ID' = '20' THEN PERFORM pg_sleep(30); END IF; "
        "RETURN NEW; END $$"));
    admin.execute(QStringLiteral(
        "CREATE FUNCTION qm_slow_writes() RETURNS event_trigger LANGUAGE plpgsql AS $$ "
        "DECLARE made record; BEGIN "
        "FOR made IN SELECT * FROM pg_event_trigger_ddl_commands() "
        "WHERE command_tag = 'CREATE TABLE' LOOP "
        "EXECUTE format('CREATE TRIGGER slow BEFORE INSERT ON %s FOR EACH ROW "
        "EXECUTE FUNCTION qm_sleep_at_last()', made.object_identity); "
        "END LOOP; END $$"));
    admin.execute(QStringLiteral(
        "CREATE EVENT TRIGGER qm_slow_writes ON ddl_command_end WHEN TAG IN ('CREATE TABLE') "
        "EXECUTE FUNCTION qm_slow_writes()"));
}

// Every ALTER TABLE and DROP TABLE of the login (or the statements of the
// tags given) sleeps the given seconds on the server before it runs, as on
// a busy server: long enough for a closed window's cancel to reach it.
inline void MakeTableMovesSlow(const standin::Login& owner, double seconds,
                               const char* tags = "'ALTER TABLE', 'DROP TABLE'") {
    db::Connection admin = standin::admin(owner.name());
    admin.execute(QStringLiteral("CREATE FUNCTION qm_slow_moves() RETURNS event_trigger "
                                 "LANGUAGE plpgsql AS $$ BEGIN PERFORM pg_sleep(%1); END $$")
                      .arg(seconds));
    admin.execute(QStringLiteral("CREATE EVENT TRIGGER qm_slow_moves ON ddl_command_start "
                                 "WHEN TAG IN (%1) EXECUTE FUNCTION qm_slow_moves()")
                      .arg(QLatin1String(tags)));
}

// Every commit of a transaction in which the login's tables took rows waits
// the given seconds on the server, once: a check deferred to the commit, on
// every table the login makes from now on.
inline void MakeCommitsSlow(const standin::Login& owner, double seconds) {
    db::Connection admin = standin::admin(owner.name());
    admin.execute(
        QStringLiteral("CREATE FUNCTION qm_slow_commit() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN IF coalesce(current_setting('qm.slept', true), '') = '' THEN "
                       "PERFORM set_config('qm.slept', '1', true); PERFORM pg_sleep(%1); END IF; "
                       "RETURN NULL; END $$")
            .arg(seconds));
    admin.execute(QStringLiteral(
        "CREATE FUNCTION qm_slow_commits() RETURNS event_trigger LANGUAGE plpgsql AS $$ "
        "DECLARE made record; BEGIN "
        "FOR made IN SELECT * FROM pg_event_trigger_ddl_commands() "
        "WHERE command_tag = 'CREATE TABLE' LOOP "
        "EXECUTE format('CREATE CONSTRAINT TRIGGER slow_commit AFTER INSERT ON %s "
        "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION qm_slow_commit()', "
        "made.object_identity); "
        "END LOOP; END $$"));
    admin.execute(QStringLiteral(
        "CREATE EVENT TRIGGER qm_slow_commits ON ddl_command_end WHEN TAG IN ('CREATE TABLE') "
        "EXECUTE FUNCTION qm_slow_commits()"));
}
