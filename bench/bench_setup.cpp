#include "bench_setup.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "bench_error.h"
#include "child_process.h"

namespace bench {

void SaveSetup(const BenchSetup& setup, const QString& path) {
    const QJsonObject object{{QStringLiteral("sid"), setup.sid},
                             {QStringLiteral("user"), setup.user},
                             {QStringLiteral("password"), setup.password},
                             {QStringLiteral("table1"), setup.table1},
                             {QStringLiteral("field1"), setup.field1},
                             {QStringLiteral("table2"), setup.table2},
                             {QStringLiteral("field2"), setup.field2},
                             {QStringLiteral("suffix"), setup.suffix},
                             {QStringLiteral("resultTable"), setup.resultTable},
                             {QStringLiteral("programFolder"), setup.programFolder},
                             {QStringLiteral("rowsPerTable"), setup.rowsPerTable}};
    WriteJsonFile(path, object);
}

BenchSetup LoadSetup(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BenchError(path + QStringLiteral(": ") + file.errorString());
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    const auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
    BenchSetup setup;
    setup.sid = text("sid");
    setup.user = text("user");
    setup.password = text("password");
    setup.table1 = text("table1");
    setup.field1 = text("field1");
    setup.table2 = text("table2");
    setup.field2 = text("field2");
    setup.suffix = text("suffix");
    setup.resultTable = text("resultTable");
    setup.programFolder = text("programFolder");
    setup.rowsPerTable = o.value(QLatin1String("rowsPerTable")).toInteger();
    return setup;
}

}  // namespace bench
