#include "app/StartupPlatform.h"

#include <cstring>

PlatformEnvironment CurrentPlatformEnvironment(int argc, char** argv)
{
    PlatformEnvironment environment;
    environment.requestedPlatform = qgetenv("QT_QPA_PLATFORM");
    environment.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    environment.sessionType = qgetenv("XDG_SESSION_TYPE");
    environment.x11Display = qgetenv("DISPLAY");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            environment.platformArgument = true;
    }
    return environment;
}

QByteArray PreferredPlatform(const PlatformEnvironment& environment)
{
    if (!environment.requestedPlatform.isEmpty() || environment.platformArgument)
        return {};
    const bool waylandSession = !environment.waylandDisplay.isEmpty() || environment.sessionType == "wayland";
    if (waylandSession && !environment.x11Display.isEmpty())
        return "xcb;wayland";
    return {};
}
