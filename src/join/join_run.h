#pragma once

#include <QString>

class Dialogs;
class JoinWindow;
class RunContext;
struct JoinRunResult;

// "Start Joining": copies the two chosen tables into the staging database,
// joins them there, stages the joined rows under the name the user gives and
// writes them to Oracle as a new table.
// The run context is yielded to throughout and shows the progress. When
// given, result is kept up to date as the run goes, so a program that ends
// under a call that has not returned still knows what was done.
void PushButton2_Click(JoinWindow& window, Dialogs& dialogs, RunContext& context,
                       const QString& programFolder, JoinRunResult* result = nullptr);
