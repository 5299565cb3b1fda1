#pragma once

#include <QString>

// Which database a name is written for.
enum class NameQuoting {
    Oracle,   // in double quotes, so Oracle keeps the name's exact case
    Staging,  // in backticks, the staging database's quoting of names
};

// A name in double quotes, as Oracle reads it with its exact case; a double
// quote inside is doubled, so the name can never end the quoting.
QString OracleName(const QString& name);

// A name in backticks for the staging database; a backtick inside is doubled.
QString StagingName(const QString& name);

// The name quoted for the given database.
QString QuotedName(NameQuoting quoting, const QString& name);

// A text value in single quotes, each single quote inside doubled.
QString QuotedText(const QString& text);
