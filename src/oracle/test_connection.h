#pragma once

#include "oracle/oracle_login.h"

class Dialogs;
class WindowPointer;

// "Test Connection": tells the user whether a connection opens with the login.
void TestConnection(const OracleLogin& login, Dialogs& dialogs, WindowPointer& pointer);
