// The data layer's pure routines, without a server: quoting, the statement
// builders, connection string values and the judging of lost connections.
#include <QtTest>

#include "db/connection_string_attributes.h"
#include "db/create_table_statement.h"
#include "db/db_error.h"
#include "db/insert_statement.h"
#include "db/quoted_names.h"
#include "support/private_home.h"

Q_DECLARE_METATYPE(NameQuoting)

class TestDbUnit : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

private slots:
    // A quote inside a name or text is doubled, so it can never end the quoting.
    void quoting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("oracle");
        QTest::addColumn<QString>("staging");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "Ab"
                               << "\"Ab\""
                               << "`Ab`"
                               << "'Ab'";
        QTest::newRow("empty") << ""
                               << "\"\""
                               << "``"
                               << "''";
        QTest::newRow("every quote inside") << "a\"b`c'd"
                                            << "\"a\"\"b`c'd\""
                                            << "`a\"b``c'd`"
                                            << "'a\"b`c''d'";
        QTest::newRow("quotes at the ends") << "\"x`"
                                            << "\"\"\"x`\""
                                            << "`\"x```"
                                            << "'\"x`'";
    }
    void quoting() {
        QFETCH(QString, text);
        QFETCH(QString, oracle);
        QFETCH(QString, staging);
        QFETCH(QString, value);
        QCOMPARE(OracleName(text), oracle);
        QCOMPARE(QuotedName(NameQuoting::Oracle, text), oracle);
        QCOMPARE(StagingName(text), staging);
        QCOMPARE(QuotedName(NameQuoting::Staging, text), staging);
        QCOMPARE(QuotedText(text), value);
    }

    void statements_data() {
        QTest::addColumn<NameQuoting>("quoting");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("create");
        QTest::addColumn<QString>("insert");
        QTest::newRow("Oracle, two columns")
            << NameQuoting::Oracle << QStringList{"ID", "na\"me"}
            << "CREATE TABLE \"T x\"(\"ID\" VARCHAR(2000),\"na\"\"me\" VARCHAR(2000))"
            << "INSERT INTO \"T x\" VALUES(?, ?)";
        QTest::newRow("staging, one column") << NameQuoting::Staging << QStringList{"a`b"}
                                             << "CREATE TABLE `T x`(`a``b` VARCHAR(2000))"
                                             << "INSERT INTO `T x` VALUES(?)";
    }
    void statements() {
        QFETCH(NameQuoting, quoting);
        QFETCH(QStringList, columns);
        QFETCH(QString, create);
        QFETCH(QString, insert);
        QCOMPARE(CreateTableStatement(quoting, "T x", columns, "VARCHAR(2000)"), create);
        QCOMPARE(InsertStatement(quoting, "T x", int(columns.size())), insert);
    }

    // Only the empty text follows the rule; a Null stays a Null, a blank stays.
    void boundValues() {
        const auto bound = [](const db::Row& row, EmptyText empty) {
            db::Row values;
            for (const db::Value& value : row) values.push_back(db::BoundValue(value, empty));
            return values;
        };
        const db::Row row = {QString(), std::nullopt, QString(""), QString(" "), QString("x")};
        QCOMPARE(bound(row, EmptyText::AsText), row);
        const db::Row nulls = {std::nullopt, std::nullopt, std::nullopt, QString(" "),
                               QString("x")};
        QCOMPARE(bound(row, EmptyText::AsNull), nulls);
    }

    // Whatever the value, it reads back exactly as written.
    void attributeValues_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "tiger"
                               << "tiger";
        QTest::newRow("semicolon") << "a;b"
                                   << "{a;b}";
        QTest::newRow("braces") << "a}b{"
                                << "{a}}b{}";
        QTest::newRow("empty") << ""
                               << "";
    }
    void attributeValues() {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(attributeValueText(value), written);
        const QString text = "A=1;Pwd=" + written + ";B=2;";
        QCOMPARE(findAttribute(text, "pwd"), std::optional<QString>(value));
        QCOMPARE(findAttribute(text, "B"), std::optional<QString>("2"));
        QVERIFY(!findAttribute(text, "C"));
    }

    // A connection is lost when the driver answers that it is dead, or when
    // the codes name a lost link, whatever the driver answers.
    void connectionLostFromCodes_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("native");
        QTest::addColumn<int>("driverAnswer");  // -1 none, 0 alive, 1 dead
        QTest::addColumn<bool>("lost");
        QTest::newRow("link failure class") << "Communication link failure"
                                            << "08S01" << 0 << -1 << true;
        QTest::newRow("session ended by server") << "terminating connection"
                                                 << "57P01" << 0 << -1 << true;
        QTest::newRow("end-of-file on channel") << "[Oracle][ODBC]ORA-03113: end-of-file on "
                                                   "communication channel"
                                                << "HY000" << 3113 << -1 << true;
        QTest::newRow("not connected by native code") << "not connected"
                                                      << "HY000" << 3114 << -1 << true;
        QTest::newRow("connection closed") << "ORA-03135: connection lost contact"
                                           << "HY000" << 3135 << -1 << true;
        QTest::newRow("other Oracle error") << "ORA-00942: table or view does not exist"
                                            << "42S02" << 942 << -1 << false;
        QTest::newRow("link failure, driver says alive") << "Communication link failure"
                                                         << "08S01" << 0 << 0 << true;
        QTest::newRow("session ended, driver says alive") << "terminating connection"
                                                          << "57P01" << 0 << 0 << true;
        QTest::newRow("ORA-03113 by native code, driver says alive")
            << "ORA-03113: end-of-file on communication channel"
            << "HY000" << 3113 << 0 << true;
        // A value quoted in a message may carry any text.
        QTest::newRow("ORA-03113 only in the text, driver says alive")
            << "value 'ORA-03113' too large for column"
            << "HY000" << 12899 << 0 << false;
        QTest::newRow("ORA-03114 only in the text, no answer")
            << "check constraint violated: ORA-03114"
            << "23000" << 2290 << -1 << false;
        QTest::newRow("ORA-03135 by native code, driver says alive")
            << "connection lost contact"
            << "HY000" << 3135 << 0 << true;
        QTest::newRow("statement failure, driver says alive") << "value too long"
                                                              << "22001" << 0 << 0 << false;
        QTest::newRow("driver says dead") << "General error"
                                          << "HY000" << 0 << 1 << true;
        // Each way Oracle's client library names a session that is gone, as
        // a general error, while the driver still calls the link alive.
        for (const int ora :
             {22,   28,   31,   45,   378,  602,   603,   609,   1012,  1041,  1043,  1089,  1092,
              2396, 3113, 3114, 3122, 3135, 12153, 12537, 12547, 12570, 12583, 27146, 28511, 56600})
            QTest::addRow("ORA-%05d, driver says alive", ora)
                << QStringLiteral("[Oracle][ODBC][Ora]ORA-%1: session gone")
                       .arg(ora, 5, 10, QLatin1Char('0'))
                << "HY000" << ora << 0 << true;
        // Other drivers' own small numbers, which Oracle's lost-link codes
        // share, mean nothing of the kind.
        QTest::newRow("psqlODBC's invalid cursor position") << "Invalid cursor position"
                                                            << "HY109" << 22 << -1 << false;
        QTest::newRow("psqlODBC's fetch out of range") << "Fetch out of range"
                                                       << "HY106" << 31 << -1 << false;
        QTest::newRow("native 28 of another driver") << "General error"
                                                     << "HY000" << 28 << -1 << false;
        // Failures of a statement on a live session, beside them.
        for (const int ora : {54, 942, 1013, 12899})
            QTest::addRow("ORA-%05d, statement only", ora)
                << QStringLiteral("[Oracle][ODBC][Ora]ORA-%1: refused")
                       .arg(ora, 5, 10, QLatin1Char('0'))
                << "HY000" << ora << -1 << false;
    }
    void connectionLostFromCodes() {
        QFETCH(QString, description);
        QFETCH(QString, state);
        QFETCH(int, native);
        QFETCH(int, driverAnswer);
        QFETCH(bool, lost);
        const std::optional<bool> answer =
            driverAnswer < 0 ? std::nullopt : std::optional<bool>(driverAnswer == 1);
        QCOMPARE(DbError(description, state, native, answer).connectionLost(), lost);
    }

    // The details of a box that reports a database failure name its codes.
    void dbErrorDetails_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("native");
        QTest::addColumn<QString>("details");
        QTest::newRow("ODBC") << "08001" << 101
                              << "SQLSTATE: 08001\nNative code: 101\nMessage: refused";
        QTest::newRow("no state (SQLite)")
            << "" << 14 << "SQLSTATE: -\nNative code: 14\nMessage: refused";
    }
    void dbErrorDetails() {
        QFETCH(QString, state);
        QFETCH(int, native);
        QFETCH(QString, details);
        const DbError error(QStringLiteral("refused"), state, native);
        QCOMPARE(error.details(), details);
        QCOMPARE(static_cast<const Failure&>(error).details(), details);
    }
};

QTEST_GUILESS_MAIN(TestDbUnit)
#include "test_db_unit.moc"
