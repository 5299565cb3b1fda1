#pragma once

#include <QString>

#include "join/join_choice.h"

class Dialogs;
class JoinWindow;
class RunContext;
class TrappedHandler;

// The run's second phase: the staged result table becomes a new Oracle table
// with VARCHAR(2000) columns, after asking to overwrite a listed one.
void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath);
