#pragma once

#include <QProcessEnvironment>
#include <QStringList>

// A bridge started by a service or over ssh has no display; Qt's default
// platform would abort there, so it runs on the offscreen platform instead.
// Decided before QApplication exists, from the raw arguments and environment.
class DisplayCheck
{
public:
    // True when neither DISPLAY nor WAYLAND_DISPLAY names a display and no
    // platform is chosen (QT_QPA_PLATFORM, or -platform / --platform NAME).
    static bool needsOffscreen(const QStringList &arguments, const QProcessEnvironment &environment);

    // Sets QT_QPA_PLATFORM=offscreen when needsOffscreen; true when it did.
    static bool chooseOffscreenIfNeeded(int argc, char **argv);

    // The one line on standard error that says so.
    static const char *notice();
};
