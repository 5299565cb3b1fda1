#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What `quillmere join` was asked to do.
struct JoinCommandOptions {
    QString table1, field1, table2, field2, newTable;
    std::optional<QString> sid, user, passwordFile;
    QString suffix = QStringLiteral("1");
    bool overwrite = false;
    bool json = false;
};

// True when the arguments (the program's name first) name the join command.
bool IsJoinCommand(const QStringList& arguments);

// The join command's arguments read. No value when the command has already
// answered (its --help) or found them wrong; exitCode then says how it ends,
// the answer having gone to standard output and a complaint to standard error.
std::optional<JoinCommandOptions> ReadJoinCommandLine(const QStringList& arguments, int& exitCode);
