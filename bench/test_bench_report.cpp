// The benchmark's report: a ratio under a floor is never shown as a result
// but named as a floor to mend, once the tables are large enough to tell.
#include <QTest>

#include "report.h"

using namespace bench;

namespace {

// One run in which every phase took `scale` times the figures below: the
// copies' floors 2 s read and 1 s insert, the staging 2 s, the write 9 s
// sending of 10 s in all; the program as given.
BenchResults oneRun(qint64 rows, double scale, double copy1, double join, double write,
                    double whole) {
    FloorTimings floor;
    floor.copyTable1 = {2 * scale, 1 * scale};
    floor.copyTable2 = {2 * scale, 1 * scale};
    floor.indexesJoinStaging = 2 * scale;
    floor.writeToServer = {10 * scale, 9 * scale};
    floor.psqlCopy = 1 * scale;
    floor.serverCreateTableAs = 1 * scale;
    ProgramMeasurement program;
    program.timings = {copy1 * scale, 2.4 * scale, join * scale, write * scale, whole * scale};
    program.peakResidentKiB = 30 * 1024;
    BenchResults results;
    results.rowsPerTable = rows;
    results.replay = false;
    results.floors << floor;
    results.programRuns << program;
    results.loadAverages << 1.0;
    return results;
}

}  // namespace

class TestBenchReport : public QObject {
    Q_OBJECT

private slots:
    void floorsToMend_data() {
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("copy1");
        QTest::addColumn<double>("join");
        QTest::addColumn<double>("write");
        QTest::addColumn<double>("whole");
        QTest::addColumn<QString>("mend");

        QTest::newRow("every phase above its floor")
            << qint64(100000) << 1.0 << 2.4 << 2.2 << 9.5 << 16.5 << QString();
        QTest::newRow("copy under the slower of read and insert")
            << qint64(100000) << 1.0 << 1.8 << 2.2 << 9.5 << 16.5
            << QStringLiteral("copy table 1 vs the slower of read and insert at 0.90x");
        QTest::newRow("copy under read and insert in turn only")
            << qint64(100000) << 1.0 << 2.5 << 2.2 << 9.5 << 16.5 << QString();
        QTest::newRow("staging under the shell")
            << qint64(100000) << 1.0 << 2.4 << 1.8 << 9.5 << 16.5
            << QStringLiteral("indexes + join + staging (the sqlite3 shell) at 0.90x");
        QTest::newRow("write under the send and commit alone")
            << qint64(100000) << 1.0 << 2.4 << 2.2 << 8.0 << 16.5
            << QStringLiteral(
                   "write vs the send and commit alone (arrays of 1,024 rows, a commit each) at "
                   "0.89x");
        QTest::newRow("whole run under the overlapped floors")
            << qint64(100000) << 1.0 << 2.4 << 2.2 << 9.5 << 14.0
            << QStringLiteral("whole run vs the sum of the overlapped floors at 0.93x");
        QTest::newRow("tables too small to tell")
            << qint64(2000) << 1.0 << 2.4 << 2.2 << 8.0 << 14.0 << QString();
        QTest::newRow("copy floor too short to tell")
            << qint64(100000) << 0.1 << 1.8 << 2.2 << 9.5 << 16.5 << QString();
    }

    void floorsToMend() {
        QFETCH(qint64, rows);
        QFETCH(double, scale);
        QFETCH(double, copy1);
        QFETCH(double, join);
        QFETCH(double, write);
        QFETCH(double, whole);
        QFETCH(QString, mend);

        const Report report = MakeReport(oneRun(rows, scale, copy1, join, write, whole));
        QCOMPARE(report.floorsToMend, mend.isEmpty() ? QStringList() : QStringList{mend});
        // A ratio under a floor is never shown as a ratio in the table.
        for (const QString& line : report.text.split(QLatin1Char('\n'))) {
            const QStringList cells = line.split(QLatin1Char('|'));
            if (cells.size() < 6 || line.contains(QStringLiteral("information"))) continue;
            QString ratio = cells[4].trimmed();
            bool number = false;
            const double value =
                ratio.endsWith(QLatin1Char('x')) ? ratio.chopped(1).toDouble(&number) : 0;
            QVERIFY2(!number || value >= 0.95, qPrintable(line));
        }
        QCOMPARE(report.text.contains(QStringLiteral(" floor to mend |")), !mend.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestBenchReport)
#include "test_bench_report.moc"
