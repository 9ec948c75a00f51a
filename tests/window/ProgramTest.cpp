// The built program as a process: it starts with a path argument, makes its
// first-start setting, keeps a file-size limit from killing it, and ends
// cleanly when asked to by the session.

#include <QProcess>
#include <QtTest>

#include <csignal>

#include "tests/support/TestFiles.h"

namespace {

// The signal numbers whose bit is set in a /proc/<pid>/status mask line.
bool SignalInMask(qint64 pid, const QByteArray& line, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& entry : status.readAll().split('\n')) {
        if (entry.startsWith(line + ':')) {
            const quint64 mask = entry.mid(line.size() + 1).trimmed().toULongLong(nullptr, 16);
            return (mask >> (signalNumber - 1)) & 1U;
        }
    }
    return false;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithPathAndEndsOnRequest();
};

void ProgramTest::startsWithPathAndEndsOnRequest()
{
    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    const std::string path = folder / "my report.doc";
    const testfiles::Bytes content = testfiles::PatternBytes(700);
    testfiles::WriteFile(path, content);
    const QString hive = QString::fromStdString(home.ConfigHome()) + "/quorvex/HKEY_CURRENT_USER.reg";

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home.ConfigHome()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString(home.DataHome()));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUORVEX_PROGRAM), {QString::fromStdString(path), QStringLiteral("second")});
    QVERIFY(program.waitForStarted());

    // The window's start-up has run once the first start's setting is there.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(hive), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(testfiles::ReadFile(hive.toStdString()).find("\"TRUE\"") != std::string::npos, 5000);
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY2(SignalInMask(program.processId(), "SigIgn", SIGXFSZ), "a file-size limit would kill the program");

    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(testfiles::ReadFile(path), content);
    QCOMPARE(folder.Names(), std::vector<std::string>{"my report.doc"});
}

QTEST_GUILESS_MAIN(ProgramTest)

#include "ProgramTest.moc"
