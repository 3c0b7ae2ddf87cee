#include "report/ReportCommand.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return ReportCommand().run(QCoreApplication::arguments(), out, err);
}
