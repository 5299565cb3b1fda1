// The data access layer against the stand-in server: values as the
// server's own text, failures with the driver's words, result lifetimes.
#include <QtTest>

#include "db/connection.h"
#include "db/db_error.h"
#include "support/standin.h"

class TestDb : public QObject {
    Q_OBJECT

private slots:
    void valuesAsText() {
        standin::Login owner;
        const QString longText = QString(20000, QLatin1Char('x')) + QStringLiteral("ende");
        owner.exec(
            QStringLiteral("CREATE TABLE t (n numeric(38), d numeric(10,4), ts timestamp(6), u "
                           "varchar(50), l text, z text, b bytea)"));
        owner.exec(
            QStringLiteral(
                "INSERT INTO t VALUES (12345678901234567890123456789012345678, 0.1, "
                "'2018-12-22 09:15:00.123456', 'Grüße, Ελλάδα, 日本 😀', '%1', NULL, '\\x00ff41')")
                .arg(longText));
        db::Connection connection = owner.connect();
        db::ResultSet result = connection.query(QStringLiteral("SELECT * FROM t"));
        QCOMPARE(result.fieldNames(), (QStringList{"n", "d", "ts", "u", "l", "z", "b"}));
        QVERIFY(result.next());
        QCOMPARE(result.value(0).value(), QStringLiteral("12345678901234567890123456789012345678"));
        QCOMPARE(result.value(1).value(), QStringLiteral("0.1000"));
        QCOMPARE(result.value(2).value(), QStringLiteral("2018-12-22 09:15:00.123456"));
        QCOMPARE(result.value(3).value(), QStringLiteral("Grüße, Ελλάδα, 日本 😀"));
        QCOMPARE(result.value(4).value(), longText);
        QVERIFY(!result.value(5).has_value());
        QVERIFY(result.value(6).has_value());
        QVERIFY(result.value(6)->contains(QStringLiteral("ff41"), Qt::CaseInsensitive));
        QVERIFY(!result.next());
        QVERIFY(!result.next());
    }

    void failuresCarryTheDriversText() {
        standin::Login owner;
        db::Connection connection = owner.connect();
        try {
            connection.execute(QStringLiteral("SELECT * FROM no_such_table"));
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(QStringLiteral("no_such_table")),
                     qPrintable(error.description()));
            QCOMPARE(error.state(), QStringLiteral("42P01"));
            QVERIFY(!error.description().contains(QStringLiteral("42P01")));
        }
        // The connection stays usable after a failed statement.
        QCOMPARE(owner.rows(QStringLiteral("SELECT 1")), (QList<QStringList>{{"1"}}));
    }

    void resultOutlivesItsConnectionObject() {
        standin::Login owner;
        std::optional<db::ResultSet> result;
        {
            db::Connection connection = owner.connect();
            result = connection.query(QStringLiteral("SELECT 'a' UNION ALL SELECT 'b'"));
        }
        QVERIFY(result->next());
        QCOMPARE(result->value(0).value(), QStringLiteral("a"));
    }
};

QTEST_MAIN(TestDb)
#include "test_db.moc"
