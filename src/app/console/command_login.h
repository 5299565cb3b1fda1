#pragma once

#include <QString>

#include "oracle/oracle_login.h"

struct JoinCommandOptions;

// A login the command cannot make: what is missing, for standard error.
struct LoginMissing {
    QString text;
};

// The login the join command uses: the saved SID and user unless --sid or
// --user give others; the password from --password-file (its first line;
// "-" reads standard input; an empty one is refused), else QUILLMERE_PASSWORD, else the saved one
// when the SID and user are the saved ones (never sent to another server or
// login), else asked for without echo when standard input is a terminal.
// Reads the settings store, never writes it. Throws LoginMissing.
OracleLogin CommandLogin(const JoinCommandOptions& options);
