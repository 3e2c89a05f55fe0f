#include "helptext.h"

#include <QStringList>

#include "commands/clicommand.h"

namespace kestavo::cli {

namespace {

constexpr qsizetype kOptionColumn = 21; // where an option's description starts
constexpr qsizetype kLineWidth = 100;

QString indent(const QString& lines, const QString& prefix)
{
    QStringList out;
    for (const QString& line : lines.split(u'\n'))
        out << prefix + line;
    return out.join(u'\n');
}

// "  -o, --output FILE  description", the description wrapped at word boundaries under itself.
QString optionLine(const QCommandLineOption& option, const QString& description)
{
    QStringList names;
    for (const QString& name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        head += u' ' + option.valueName();
    QStringList lines;
    QString line = head.size() + 2 > kOptionColumn ? head + u'\n' + QString(kOptionColumn, u' ')
                                                   : head.leftJustified(kOptionColumn);
    qsizetype used = line.size() - line.lastIndexOf(u'\n') - 1;
    bool first = true;
    for (const QString& word : description.split(u' ', Qt::SkipEmptyParts)) {
        if (!first && used + 1 + word.size() > kLineWidth) {
            lines << line;
            line = QString(kOptionColumn, u' ');
            used = kOptionColumn;
            first = true;
        }
        if (!first) {
            line += u' ';
            ++used;
        }
        line += word;
        used += word.size();
        first = false;
    }
    lines << line;
    return lines.join(u'\n') + u'\n';
}

QString globalOptionsText(const QList<CommandDefinition>& table)
{
    QStringList csvWords;
    for (const CommandDefinition& definition : table) {
        if (!definition.csvKinds.isEmpty())
            csvWords << definition.word;
    }
    QString text =
        QStringLiteral("Options (anywhere on the line; --name=value works too; -- ends the options):\n");
    for (const QCommandLineOption& option : globalOptions()) {
        QString description = option.description();
        if (option.names().contains(QStringLiteral("format")))
            description += QStringLiteral(" (%1)").arg(csvWords.join(QStringLiteral(", ")));
        text += optionLine(option, description);
    }
    return text;
}

const QString kExitCodes =
    QStringLiteral("Exit codes:\n"
                   "  0  done\n"
                   "  1  the unit refused, rejected the password or did not answer in time\n"
                   "  2  usage error (nothing was sent)\n"
                   "  3  station database problem\n");

} // namespace

QString synopsis(const QString& word)
{
    for (const CommandDefinition& definition : commandTable()) {
        if (definition.word == word)
            return definition.synopsis;
    }
    return QString();
}

QString toolHelp()
{
    const QList<CommandDefinition> table = commandTable();
    QStringList lines;
    lines << QStringLiteral(
        "Usage: kestavo-cli [--db FILE] [--port N] [--timeout MS] [--format text|json|csv]\n"
        "                   [--password P] COMMAND …\n");
    lines << QStringLiteral(
        "Talks to a KSV unit over UDP with the console's own command frames. UNIT is the\n"
        "unit's IPv4 address (four numbers 0-255 without leading zeros); its password\n"
        "comes from the station database unless --password is given. Data goes to\n"
        "standard output, messages to standard error.\n");
    lines << QStringLiteral("Commands:");
    for (const CommandDefinition& definition : table)
        lines << indent(definition.synopsis, QStringLiteral("  "));
    lines << QString();
    lines << globalOptionsText(table);

    // Each command's own options, once, with the commands that take them.
    QString own = QStringLiteral("Options of some commands:\n");
    QStringList seen;
    for (const CommandDefinition& definition : table) {
        for (const QCommandLineOption& option : definition.options) {
            if (seen.contains(option.names().constFirst()))
                continue;
            seen << option.names().constFirst();
            QStringList owners;
            for (const CommandDefinition& other : table) {
                for (const QCommandLineOption& theirs : other.options) {
                    if (theirs.names() == option.names())
                        owners << other.word;
                }
            }
            own += optionLine(option, owners.join(QStringLiteral(", ")) + QStringLiteral(": ") +
                                          option.description());
        }
    }
    lines << own;
    lines << kExitCodes;
    lines << QStringLiteral("`kestavo-cli COMMAND --help` describes one command.");
    return lines.join(u'\n') + u'\n';
}

QString commandHelp(const QString& word)
{
    const QList<CommandDefinition> table = commandTable();
    for (const CommandDefinition& definition : table) {
        if (definition.word != word)
            continue;
        QString options;
        if (!definition.options.isEmpty()) {
            options = QStringLiteral("Options of %1:\n").arg(word);
            for (const QCommandLineOption& option : definition.options)
                options += optionLine(option, option.description());
            options += u'\n';
        }
        return QStringLiteral("Usage:\n%1\n\n%2\n\n%3%4\n%5")
            .arg(indent(definition.synopsis, QStringLiteral("  kestavo-cli ")), definition.details, options,
                 globalOptionsText(table), kExitCodes);
    }
    return QString();
}

QString versionText()
{
    return QStringLiteral("kestavo-cli %1\n").arg(QStringLiteral(KESTAVO_VERSION));
}

} // namespace kestavo::cli
