#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/ErrorReport.h"
#include "app/Form1.h"
#include "app/LivePage.h"
#include "app/LogOutput.h"
#include "host/HostSettingsStore.h"
#include "linuxhost/HostFactory.h"
#include "version/KeldanVersion.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <unistd.h>

namespace {

[[noreturn]] void endAtOnce(int exitStatus)
{
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(exitStatus);
}

void showFatalError(std::exception_ptr failure)
{
    const ErrorReport report = ErrorReport::from(failure);
    std::fprintf(stderr, "keldan: %s\n", qPrintable(report.message()));
    // Offscreen nobody could press OK: standard error is the whole report.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("KELDAN"), report.message(), QMessageBox::Ok);
        box.exec();
    }
    endAtOnce(1);
}

}  // namespace

int main(int argc, char *argv[])
{
    LogOutput::install();
    const bool offscreen = DisplayCheck::chooseOffscreenIfNeeded(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KELDAN"));
    QApplication::setApplicationVersion(QLatin1String(KeldanVersion::Text));

    const CommandLine commandLine =
        CommandLine::parse(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    if (commandLine.action() != CommandLine::Action::Run) {
        std::fputs(
            qPrintable(commandLine.output()), commandLine.action() == CommandLine::Action::Fail ? stderr : stdout);
        return commandLine.exitStatus();
    }
    if (!commandLine.configFile().isEmpty()) {
        // Checked before anything starts: a service with a wrong file ends
        // at once with the usage status, naming the line.
        const QStringList problems = hostConfigProblems(commandLine.configFile());
        for (const QString &problem : problems)
            std::fprintf(stderr, "keldan: %s: %s\n", qPrintable(commandLine.configFile()), qPrintable(problem));
        if (!problems.isEmpty())
            return CommandLine::UsageErrorStatus;
        HostSettingsStore::useConfigFile(commandLine.configFile());
    }
    if (offscreen)
        std::fputs(DisplayCheck::notice(), stderr);

    Form1Options options;
    options.programFolder = commandLine.programFolder();
    options.createHost = [folder = options.programFolder, timeZone = commandLine.timeZone()] {
        return createHostApplication(folder, timeZone);
    };
    options.endProcess = [] { endAtOnce(0); };
    options.fatalError = showFatalError;

    Form1 window(options);
    try {
        window.Form_Load();
    } catch (...) {
        showFatalError(std::current_exception());
    }
    // The read-only live page on the host's Web address, unless it is off.
    LivePage live(window);
    if (const auto liveOptions = LivePage::fromHostSettings())
        live.start(*liveOptions);
    window.show();
    return app.exec();
}
