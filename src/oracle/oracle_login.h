#pragma once

#include <QString>

// The three texts of the login window's fields, as they stand when a
// connection is opened.
struct OracleLogin {
    QString sid;
    QString user;
    QString password;
    // Further "key=value;" attributes for the driver, appended to the
    // connection string as they are. The windows never set any; a headless
    // caller may (the benchmark asks the stand-in's driver to stream).
    QString driverOptions = {};
};
