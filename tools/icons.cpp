// keldan_icons OUTDIR SIZE...: writes the window icon as OUTDIR/SIZExSIZE/keldan.png
// for the hicolor icon theme.
#include "widgets/WindowIcon.h"

#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString folder = QStringLiteral("%1/%2x%2").arg(outDir).arg(size);
        const QString path = folder + QStringLiteral("/keldan.png");
        if (size <= 0 || !QDir().mkpath(folder) || !keldanIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(path));
            return 1;
        }
    }
    return 0;
}
