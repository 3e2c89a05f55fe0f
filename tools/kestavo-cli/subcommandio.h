#pragma once

// For the commands that read their whole line with a QCommandLineParser of their own (notify,
// alarms report, alarms rules): messages in the tool's form, the global options accepted, and the
// history file the options name.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include "cli.h"

namespace kestavo::cli {

struct Io
{
    QTextStream& out;
    QTextStream& err;
    QString command;

    int usage(const QString& message)
    {
        err << "kestavo-cli: " << command << ": " << message << "\nTry 'kestavo-cli " << command
            << " --help'.\n";
        err.flush();
        return ExitUsage;
    }
    int fail(const QString& message, int code = ExitDatabase)
    {
        err << "kestavo-cli: " << command << ": " << message << '\n';
        err.flush();
        return code;
    }
    int done()
    {
        out.flush();
        return ExitDone;
    }
};

/// The options every command of the tool accepts, so that a shared alias keeps working.
void addGlobalOptions(QCommandLineParser& parser);
/// Where the alarms, rules and audit log are: the team's store (--store), else the history file.
/// (The whole line was checked by the tool's own parser first.)
/// Parses `arguments` (without the program name); false with `code` set on a usage error or --help.
bool parse(QCommandLineParser& parser, const QStringList& arguments, Io& io, int* code);
QString historyFile(const QCommandLineParser& parser, const CliEnvironment& environment);
/// False for a history file not written yet (reading it would create it); a store is always there.
bool historyExists(const QString& location);
/// True for the sentence of a change the store refused for want of a role.
bool isRefusal(const QString& error);
/// A failed write: on a file `fileMessage` (which names it); on a store the store's own sentence, with
/// exit code 1 when it refused for want of a role.
int writeFailed(Io& io, const QString& location, const QString& fileMessage, const QString& storeError);

} // namespace kestavo::cli
