#include "subcommandio.h"

#include <QFileInfo>

#include "historycommand.h"
#include "storelink/storeroles.h"
#include "storelink/storeurl.h"

namespace kestavo::cli {

void addGlobalOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addOptions(
        {{QStringLiteral("db"), QStringLiteral("The station database."), QStringLiteral("FILE")},
         {QStringLiteral("history"), QStringLiteral("The history file."), QStringLiteral("FILE")},
         {QStringLiteral("store"), QStringLiteral("The team's store."), QStringLiteral("URL")},
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
    if (parser.isSet(QStringLiteral("store")))
        return parser.value(QStringLiteral("store"));
    return historyPath(parser.value(QStringLiteral("history")), parser.value(QStringLiteral("db")),
                       environment.applicationDir);
}

bool historyExists(const QString& location)
{
    return store::isStoreAddress(location) || QFileInfo::exists(location);
}

bool isRefusal(const QString& error)
{
    // Every refusal is worded by store::refusal(); its opening words tell it from a store that failed.
    static const QString opening =
        store::refusal(QStringLiteral("\u0001"), store::Role::Viewer).section(u'\u0001', 0, 0);
    return error.startsWith(opening);
}

int writeFailed(Io& io, const QString& location, const QString& fileMessage, const QString& storeError)
{
    if (!store::isStoreAddress(location))
        return io.fail(fileMessage);
    return io.fail(storeError, isRefusal(storeError) ? ExitRefused : ExitDatabase);
}

} // namespace kestavo::cli
