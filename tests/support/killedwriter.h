#pragma once

// The crash-safety tests' writer processes print "committed ..." after every transaction; this
// runs one and kills it (SIGKILL) once it has reported enough commits and a few more milliseconds
// have passed, so the kill lands anywhere in a transaction.

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTest>

namespace kestavo::testsupport {

struct WriterRun
{
    QString startError; // empty when the writer started
    bool killed = false;
    bool finished = false;
    bool exitedNormally = false;
    int exitCode = 0;
    QByteArray output; // everything it printed on standard output
    QByteArray errors;
};

inline WriterRun runAndKill(const QString& program, const QStringList& arguments, int commitsBeforeKill,
                            int extraMs)
{
    WriterRun run;
    QProcess writer;
    writer.setProgram(program);
    writer.setArguments(arguments);
    writer.start();
    if (!writer.waitForStarted(5000)) {
        run.startError = writer.errorString();
        return run;
    }
    while (writer.state() == QProcess::Running && run.output.count("committed") < commitsBeforeKill) {
        writer.waitForReadyRead(50);
        run.output += writer.readAllStandardOutput();
    }
    if (extraMs > 0)
        QTest::qWait(extraMs);
    if (writer.state() == QProcess::Running) {
        writer.kill();
        run.killed = true;
    }
    run.finished = writer.waitForFinished(10000);
    run.output += writer.readAllStandardOutput();
    run.errors = writer.readAllStandardError();
    run.exitedNormally = writer.exitStatus() == QProcess::NormalExit;
    run.exitCode = writer.exitCode();
    return run;
}

} // namespace kestavo::testsupport
