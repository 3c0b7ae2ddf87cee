// Renders Form1 (after one beacon) and Form2 to PNG files.
// Usage: keldan_screenshots OUTPUT_FOLDER
#include "app/Form1.h"
#include "linuxhost/SilentHost.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

class PictureBeacon : public BeaconRecord
{
public:
    QString callsign() const override { return QStringLiteral("G4ABC-9"); }
    QString symbolCode() const override { return QStringLiteral(">"); }
    QString symbolTable() const override { return QStringLiteral("/"); }
    QString packetHeader() const override { return QStringLiteral("G4ABC-9>APRS,WIDE1-1 12:00:00"); }
    QString packetText() const override { return QStringLiteral("!5130.12N/00007.50W>"); }
    QString statusText() const override { return {}; }
    QString objectOwner() const override { return {}; }
    float longitude() const override { return -7.5f; }
    float latitude() const override { return 3090.12f; }
    qint16 radioPort() const override { return 1; }
    HostBool heardDirect() const override { return HostTrue; }
    float speed() const override { return 48; }
    qint16 course() const override { return 270; }
    QDateTime timeA() const override { return QDateTime::currentDateTime(); }
    QDateTime timeB() const override { return QDateTime::currentDateTime(); }
    float height() const override { return 0; }
    float distance() const override { return 12.5f; }
    qint16 commentStart() const override { return 21; }
    qint16 stationType() const override { return StationType::Mobile; }
    HostBool excluded() const override { return HostFalse; }
};

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: keldan_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir programFolder;
    SilentHost *host = nullptr;
    Form1Options options;
    options.programFolder = programFolder.path();
    options.createHost = [&] {
        auto created = std::make_unique<SilentHost>();
        host = created.get();
        return created;
    };
    options.endProcess = [] {};
    options.fatalError = [](std::exception_ptr) { std::fprintf(stderr, "start-up failed\n"); };

    Form1 window(options);
    window.Form_Load();
    window.show();
    emit host->NotifyBeaconData(std::make_shared<PictureBeacon>());

    int status = 0;
    QTimer::singleShot(500, [&] {
        if (!window.grab().save(QDir(output).filePath(QStringLiteral("form1.png"))))
            status = 1;
        window.menuSetup_Click();
        QTimer::singleShot(300, [&] {
            if (!window.setupWindow()
                || !window.setupWindow()->grab().save(QDir(output).filePath(QStringLiteral("form2.png"))))
                status = 1;
            QApplication::exit(status);
        });
    });
    return app.exec();
}
