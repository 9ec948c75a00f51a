#include "share/icons/Icons.h"

#include <QString>

// Q_INIT_RESOURCE must stand outside any namespace.
static void RegisterIconResources()
{
    Q_INIT_RESOURCE(icons);
}

void LoadIcons()
{
    static const bool registered = (RegisterIconResources(), true);
    (void)registered;
}

QIcon ApplicationIcon()
{
    LoadIcons();
    QIcon icon;
    for (const int size : {32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quorvex-%1.png").arg(size), QSize(size, size));
    return icon;
}
