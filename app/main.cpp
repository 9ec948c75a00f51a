// The program started from the file manager's right-click entry: the window
// with the chosen file's path in its file field.

#include <QStringList>

#include <csignal>

#include "app/Application.h"
#include "app/StartupPlatform.h"
#include "app/TerminationSignals.h"
#include "mainwindow/MainWindow.h"
#include "platform/Exception.h"

int main(int argc, char* argv[])
{
    // A file-size limit (ulimit -f) must make the write fail, which the
    // conversion reports and undoes, instead of killing the program halfway.
    std::signal(SIGXFSZ, SIG_IGN);

    // Asked for in the environment only while Qt picks its platform, so that
    // programs started from here (a browser, the help viewer) choose their own.
    const QByteArray platform = PreferredPlatform(CurrentPlatformEnvironment(argc, argv));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    TApplication application(argc, argv);
    if (!platform.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    TerminateOnSignals(application);

    try {
        application.Initialize();
        // Qt has taken its own options out of argv by now, so argv[1] is
        // the first argument, in the bytes the file manager passed.
        application.CreateForm<TfrmMain>(QCoreApplication::arguments(),
                                         argc > 1 ? QByteArray(argv[1]) : QByteArray());
        application.SetTitle(QStringLiteral("Encrypt/Decrypt Files With A Right Click!"));
        application.Run();
    } catch (const Exception& exception) {
        application.ShowException(exception);
    }
    return 0;
}
