#include "app/DisplayCheck.h"

bool DisplayCheck::needsOffscreen(const QStringList &arguments, const QProcessEnvironment &environment)
{
    const auto isSet = [&environment](const char *name) { return !environment.value(QLatin1String(name)).isEmpty(); };
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM"))
        return false;
    // QGuiApplication takes "-platform NAME" and its "--" form; a trailing
    // -platform without a name chooses nothing.
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-platform") || arguments.at(i) == QLatin1String("--platform"))
            return false;
    }
    return true;
}

bool DisplayCheck::chooseOffscreenIfNeeded(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!needsOffscreen(arguments, QProcessEnvironment::systemEnvironment()))
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

const char *DisplayCheck::notice()
{
    return "keldan: no display (DISPLAY and WAYLAND_DISPLAY are unset): running on the offscreen platform, "
           "without a window\n";
}
