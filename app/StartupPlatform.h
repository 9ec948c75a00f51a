#pragma once

// Which window-system platform the program asks Qt for. The window opens at
// the mouse pointer, and only X11 lets a program place its own window: on a
// Wayland session with an X server at hand (Xwayland), the program prefers
// X11 and falls back on Wayland when X11 cannot be reached.

#include <QByteArray>

struct PlatformEnvironment {
    QByteArray requestedPlatform;  // QT_QPA_PLATFORM
    bool platformArgument = false; // -platform given on the command line
    QByteArray waylandDisplay;     // WAYLAND_DISPLAY
    QByteArray sessionType;        // XDG_SESSION_TYPE
    QByteArray x11Display;         // DISPLAY
};

PlatformEnvironment CurrentPlatformEnvironment(int argc, char** argv);

// The value for QT_QPA_PLATFORM, or an empty text to leave the choice to Qt
// (always so when the user has made a choice).
QByteArray PreferredPlatform(const PlatformEnvironment& environment);
