#pragma once

#include <QString>

// The text of "?" and of the first "Help" box: what a SID is, with an example
// entry of the Oracle client's TNSNAMES.ORA.
QString SidHelpText();
QString LobHelpText();
QString StagingHelpText();
