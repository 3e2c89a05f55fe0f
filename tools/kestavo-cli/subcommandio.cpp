#include "subcommandio.h"

#include "historycommand.h"

namespace kestavo::cli {

void addGlobalOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addOptions(
        {{QStringLiteral("db"), QStringLiteral("The station database."), QStringLiteral("FILE")},
         {QStringLiteral("history"), QStringLiteral("The history file."), QStringLiteral("FILE")},
         {QStringLiteral("format"), QStringLiteral("text, json or csv."), QStringLiteral("FORMAT")},
         {QStringLiteral("port"), QStringLiteral("Unused here."), QStringLiteral("PORT")},
         {QStringLiteral("timeout"), QStringLiteral("Unused here."), QStringLiteral("MS")},
         {QStringLiteral("password"), QStringLiteral("Unused here."), QStringLiteral("PASSWORD")}});
}

bool parse(QCommandLineParser& parser, const QStringList& arguments, Io& io, int* code)
{
    if (!parser.parse(QStringList{QStringLiteral("kestavo-cli")} + arguments)) {
        *code = io.usage(parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        io.out << parser.helpText();
        *code = io.done();
        return false;
    }
    const QString format = parser.value(QStringLiteral("format"));
    if (!format.isEmpty() && format != u"text" && format != u"json" && format != u"csv") {
        *code = io.usage(QStringLiteral("--format '%1' must be text, json or csv").arg(format));
        return false;
    }
    return true;
}

QString historyFile(const QCommandLineParser& parser, const CliEnvironment& environment)
{
    return historyPath(parser.value(QStringLiteral("history")), parser.value(QStringLiteral("db")),
                       environment.applicationDir);
}

} // namespace kestavo::cli
