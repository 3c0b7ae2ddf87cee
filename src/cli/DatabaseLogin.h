#pragma once

#include <QString>

// The data source a command-line program connects to, as the bridge's Setup
// has it in keldan.ini.
struct DatabaseLogin {
    QString dsn;
    QString user;
    QString password;
    QString database;
};
