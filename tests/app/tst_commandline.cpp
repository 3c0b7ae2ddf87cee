#include "app/CommandLine.h"
#include "app/DisplayCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The arguments the program takes, and the platform it picks before
// QApplication exists.
class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QVERIFY(QDir(mDir.path()).mkpath(QStringLiteral("station")));
        QFile file(mDir.filePath(QStringLiteral("plain-file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("outputContains");

        const int run = int(CommandLine::Action::Run);
        const int fail = int(CommandLine::Action::Fail);
        const QString station = QStringLiteral("@/station");
        QTest::addRow("no arguments: the executable's folder") << QStringList {} << run << "/usr/bin"
                                                               << "";
        QTest::addRow("--program-folder DIR") << QStringList {"--program-folder", station} << run << station << "";
        QTest::addRow("--program-folder=DIR/ loses the slash")
            << QStringList {"--program-folder=" + station + "/"} << run << station << "";
        QTest::addRow("a relative folder is made absolute")
            << QStringList {"--program-folder", "station"} << run << station << "";
        QTest::addRow("--help") << QStringList {"--help"} << int(CommandLine::Action::ShowHelp) << ""
                                << "--program-folder <DIR>";
        QTest::addRow("-h") << QStringList {"-h"} << int(CommandLine::Action::ShowHelp) << ""
                            << "Usage: ";
        QTest::addRow("help wins over a bad folder")
            << QStringList {"--program-folder", "@/none", "--help"} << int(CommandLine::Action::ShowHelp) << ""
            << "Options:";
        QTest::addRow("unknown short option") << QStringList {"-x"} << fail << ""
                                              << "Unknown option 'x'.";
        QTest::addRow("folder without its value") << QStringList {"--program-folder"} << fail << ""
                                                  << "Missing value after '--program-folder'.";
        QTest::addRow("an argument that is no option") << QStringList {"feed.log"} << fail << ""
                                                       << "keldan: unexpected argument 'feed.log'.";
        QTest::addRow("--time-zone UTC") << QStringList {"--time-zone", "UTC"} << run << "/usr/bin"
                                         << "";
        QTest::addRow("missing folder") << QStringList {"--program-folder", "@/none"} << fail << ""
                                        << "the program folder '@/none' does not exist.";
        QTest::addRow("empty folder") << QStringList {"--program-folder="} << fail << ""
                                      << "the program folder '' does not exist.";
        QTest::addRow("--config without a file name") << QStringList {"--config="} << fail << ""
                                                      << "keldan: --config names no file.";
        QTest::addRow("a file for a folder") << QStringList {"--program-folder", "@/plain-file"} << fail << ""
                                             << "the program folder '@/plain-file' is not a folder.";
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, programFolder);
        QFETCH(QString, outputContains);
        const auto here = [this](QString text) { return text.replace(QLatin1Char('@'), mDir.path()); };
        for (QString &argument : arguments)
            argument = here(argument);
        arguments.prepend(QStringLiteral("/usr/bin/keldan"));

        const QString previous = QDir::currentPath();
        QDir::setCurrent(mDir.path());
        const CommandLine result = CommandLine::parse(arguments, QStringLiteral("/usr/bin"));
        QDir::setCurrent(previous);

        QCOMPARE(int(result.action()), action);
        QCOMPARE(result.exitStatus(), action == int(CommandLine::Action::Fail) ? 2 : 0);
        if (action == int(CommandLine::Action::Run)) {
            QCOMPARE(result.programFolder(), here(programFolder));
            QCOMPARE(result.timeZone(),
                arguments.contains(QStringLiteral("UTC")) ? std::optional(Qt::UTC) : std::optional<Qt::TimeSpec>());
        }
        QVERIFY2(result.output().contains(here(outputContains)), qPrintable(result.output()));
    }

    // The file is checked when the program starts (hostConfigProblems), not here.
    void configFile()
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(mDir.path());
        const CommandLine relative =
            CommandLine::parse({QStringLiteral("keldan"), QStringLiteral("--config"), QStringLiteral("keldan.conf")},
                QStringLiteral("/usr/bin"));
        QDir::setCurrent(previous);
        QCOMPARE(int(relative.action()), int(CommandLine::Action::Run));
        QCOMPARE(relative.configFile(), mDir.filePath(QStringLiteral("keldan.conf")));
        QCOMPARE(CommandLine::parse({QStringLiteral("keldan")}, QStringLiteral("/usr/bin")).configFile(), QString());
    }

    void needsOffscreen_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<bool>("offscreen");

        QTest::addRow("nothing set") << QStringList {} << QStringList {} << true;
        QTest::addRow("empty DISPLAY") << QStringList {} << QStringList {"DISPLAY="} << true;
        QTest::addRow("X11") << QStringList {} << QStringList {"DISPLAY=:0"} << false;
        QTest::addRow("Wayland") << QStringList {} << QStringList {"WAYLAND_DISPLAY=wayland-0"} << false;
        QTest::addRow("platform chosen in the environment")
            << QStringList {} << QStringList {"QT_QPA_PLATFORM=eglfs"} << false;
        QTest::addRow("-platform NAME") << QStringList {"-platform", "linuxfb"} << QStringList {} << false;
        QTest::addRow("--platform NAME") << QStringList {"--platform", "vnc"} << QStringList {} << false;
        QTest::addRow("-platform without a name") << QStringList {"-platform"} << QStringList {} << true;
        QTest::addRow("other options") << QStringList {"--program-folder", "/var/lib/keldan"} << QStringList {} << true;
    }

    void needsOffscreen()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(bool, offscreen);
        arguments.prepend(QStringLiteral("keldan"));
        QProcessEnvironment env;
        env.insert(QStringLiteral("HOME"), QStringLiteral("/var/lib/keldan"));
        for (const QString &pair : environment)
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        QCOMPARE(DisplayCheck::needsOffscreen(arguments, env), offscreen);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
