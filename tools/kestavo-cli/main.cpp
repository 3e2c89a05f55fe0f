#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>
#include <QTextStream>

#include "cli.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The same organisation and application names as the console, so that the per-user station
    // database is the one the console opens.
    QCoreApplication::setOrganizationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestavo"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    kestavo::cli::CliEnvironment environment;
    environment.applicationDir = QCoreApplication::applicationDirPath();
    // Only a terminal can answer; from a script or a pipe there is nobody to ask, and the
    // commands that ask send nothing unless given --yes.
    if (isatty(fileno(stdin)))
        environment.confirm = [&err](const QString& question) {
            err << question;
            err.flush();
            QTextStream in(stdin);
            const QString answer = in.readLine().trimmed().toLower();
            return answer == QStringLiteral("y") || answer == QStringLiteral("yes");
        };
    const int code = kestavo::cli::runCli(QCoreApplication::arguments().mid(1), out, err, environment);
    out.flush();
    err.flush();
    return code;
}
