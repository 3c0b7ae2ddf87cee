#pragma once

#include <QString>
#include <exception>

// The number and text that a message box shows for a failure no handler
// traps: the OS error for files, the ODBC status number for the database.
struct ErrorReport {
    int number = 0;
    QString text;

    static ErrorReport from(std::exception_ptr failure);
    QString message() const;  // "Error 21: Cannot create ...", for a message box
    QString caption() const;  // "Error 21", for the status line
};
