#pragma once

#include <QJsonObject>
#include <QString>

namespace bench {

// The files a measurement in a process of its own is passed through: the
// job in, the result out. Files rather than arguments, so passwords stay out
// of the process list and no text needs escaping.
QString JobFile(const QString& folder);
QString ResultFile(const QString& folder);

void WriteJsonFile(const QString& path, const QJsonObject& object);

// Runs `qm_bench OPTION FOLDER` to its end, the job already in FOLDER, and
// returns the result it left there; a result with an "error" throws it.
QJsonObject RunChild(const QString& option, const QString& folder);

}  // namespace bench
