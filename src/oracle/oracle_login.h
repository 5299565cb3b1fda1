#pragma once

#include <QString>

// The three texts of the login window's fields, as they stand when a
// connection is opened.
struct OracleLogin {
    QString sid;
    QString user;
    QString password;
};
