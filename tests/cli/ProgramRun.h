#pragma once

#include "app/CommandLine.h"
#include "import/ImportCommand.h"
#include "report/ReportCommand.h"

#include <QProcessEnvironment>
#include <QTextStream>

// One of the three programs, run in-process on arguments (without the
// program's name) and an environment: its exit status, standard output
// and standard error.
struct ProgramRun {
    int status = -1;
    QString out;
    QString err;

    static ProgramRun of(const QString &program, QStringList arguments, const QString &executableFolder,
        const QProcessEnvironment &environment = QProcessEnvironment())
    {
        ProgramRun run;
        arguments.prepend(program);
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        if (program == QLatin1String("keldan")) {
            const CommandLine line = CommandLine::parse(arguments, executableFolder);
            (line.action() == CommandLine::Action::Fail ? err : out) << line.output();
            run.status = line.exitStatus();
        } else if (program == QLatin1String("keldan-import")) {
            ImportCommand command;
            command.executableFolder = executableFolder;
            command.environment = environment;
            run.status = command.run(arguments, out, err);
        } else {
            ReportCommand command;
            command.executableFolder = executableFolder;
            command.environment = environment;
            run.status = command.run(arguments, out, err);
        }
        out.flush();
        err.flush();
        return run;
    }
};
