#pragma once

#include <QString>

struct JoinSummary;

// The run's summary as the join command prints it on standard output: lines
// of text, or with json one JSON object on one line. A count the run did not
// reach is "-" in the text and null in JSON.
QString SummaryText(const JoinSummary& summary, int exitCode);
QString SummaryJson(const JoinSummary& summary, int exitCode);
