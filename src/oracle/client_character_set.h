#pragma once

#include <QString>

// Oracle's client takes its character set from NLS_LANG
// (LANGUAGE_TERRITORY.CHARSET, each part optional). Without one it uses its
// default set, and every character outside the set it uses becomes '?', on
// reading and on writing, with no error.

// Before the first connection: an NLS_LANG that names no character set gets
// AL32UTF8 (".AL32UTF8" when it is unset, its language and territory kept
// otherwise). One that names a set is the user's choice and stays; a set
// that is not UTF-8 is logged as a warning.
void ChooseClientCharacterSet();

// What the client's character set does to text, for the connection test's
// details; empty when NLS_LANG names a UTF-8 set, or none.
QString ClientCharacterSetNote();
