#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "stations/stationstore.h"

#include "clicommand.h"
#include "store/historyimport.h"
#include "store/storeimport.h"
#include "store/teamschema.h"
#include "storelink/storeconnection.h"
#include "storelink/storeurl.h"

namespace kestavo::cli {

namespace {

namespace s = kestavo::store;

void printJson(QTextStream& out, const QJsonObject& object)
{
    out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
}

int runImport(const Command& c, s::StoreConnection& store, QTextStream& out, QTextStream& err)
{
    const QString label = commandLabel(c.kind);
    // Opening would create a missing file; an import of nothing is a mistyped path.
    if (!QFileInfo::exists(c.options.db)) {
        err << "kestavo-cli: " << label << ": the station database \"" << c.options.db
            << "\" does not exist; name the desk's file with --db.\n";
        return ExitDatabase;
    }
    if (!c.historyFile.isEmpty() && !QFileInfo::exists(c.historyFile)) {
        err << "kestavo-cli: " << label << ": the history file \"" << c.historyFile
            << "\" does not exist; name the desk's file with --history.\n";
        return ExitDatabase;
    }
    stations::StationStore desk;
    if (const auto opened = desk.open(c.options.db); !opened.ok) {
        err << "kestavo-cli: " << label << ": " << opened.error << '\n';
        return ExitDatabase;
    }
    const s::StationImport result = s::importStations(store.db(), desk);
    if (!result.ok) {
        err << "kestavo-cli: " << label << ": " << store.url().toString() << ": " << result.error << '\n';
        return result.denied ? ExitRefused : ExitDatabase;
    }
    const s::StationImportCounts& n = result.counts;
    if (c.options.format == OutputFormat::Json) {
        printJson(out,
                  {{QStringLiteral("store"), store.url().toString()},
                   {QStringLiteral("stations"), QJsonObject{{QStringLiteral("added"), n.added},
                                                            {QStringLiteral("updated"), n.updated},
                                                            {QStringLiteral("unchanged"), n.unchanged},
                                                            {QStringLiteral("duplicates"), n.duplicates}}},
                   {QStringLiteral("tags"), n.tags},
                   {QStringLiteral("sites"), n.sites}});
    } else {
        out << "Imported " << c.options.db << " into " << store.url().toString() << ": stations " << n.added
            << " added, " << n.updated << " updated, " << n.unchanged << " unchanged";
        if (n.duplicates > 0)
            out << ", " << n.duplicates << " skipped (an earlier station has the same address)";
        out << "; " << n.tags << " tags, " << n.sites << " sites.\n";
    }
    out.flush();
    if (c.historyFile.isEmpty())
        return ExitDone;

    const s::HistoryImport history = s::importHistory(store.db(), c.historyFile);
    if (!history.ok) {
        err << "kestavo-cli: " << label << ": " << store.url().toString() << ": " << history.error << '\n';
        return history.denied ? ExitRefused : ExitDatabase;
    }
    const s::HistoryImportCounts& h = history.counts;
    const auto pair = [](const s::CopyCount& count) {
        return QJsonObject{{QStringLiteral("added"), count.added},
                           {QStringLiteral("present"), count.present}};
    };
    if (c.options.format == OutputFormat::Json) {
        printJson(out, {{QStringLiteral("history"), c.historyFile},
                        {QStringLiteral("rules"), pair(h.rules)},
                        {QStringLiteral("alarms"), pair(h.alarms)},
                        {QStringLiteral("openConflicts"), h.openConflicts},
                        {QStringLiteral("alarmEvents"), pair(h.alarmEvents)},
                        {QStringLiteral("audit"), pair(h.audit)},
                        {QStringLiteral("units"), pair(h.units)},
                        {QStringLiteral("samples"), pair(h.samples)},
                        {QStringLiteral("blocks"), pair(h.blocks)},
                        {QStringLiteral("rollups"), pair(h.rollups)},
                        {QStringLiteral("events"), pair(h.events)}});
    } else {
        const auto text = [](const s::CopyCount& count) {
            return QStringLiteral("%1 added, %2 present").arg(count.added).arg(count.present);
        };
        out << "Imported " << c.historyFile << ": alarm rules " << text(h.rules) << "; alarms "
            << text(h.alarms);
        if (h.openConflicts > 0)
            out << ", " << h.openConflicts << " not copied (the store has that condition open already)";
        out << "; alarm events " << text(h.alarmEvents) << "; audit records " << text(h.audit) << ".\n";
        out << "Readings: units " << text(h.units) << "; samples " << text(h.samples) << "; blocks "
            << text(h.blocks) << "; roll-up marks " << text(h.rollups) << "; link events " << text(h.events)
            << ".\n";
    }
    return ExitDone;
}

int runStatus(s::StoreConnection& store, QTextStream& out, QTextStream& err, bool json)
{
    const s::StoreStatus status = s::storeStatus(store.db());
    if (!status.ok) {
        err << "kestavo-cli: store status: " << store.url().toString() << ": " << status.error << '\n';
        return ExitDatabase;
    }
    const QString role = status.role ? s::roleWord(*status.role) : QString();
    if (json) {
        printJson(out, {{QStringLiteral("store"), store.url().toString()},
                        {QStringLiteral("login"), status.login},
                        {QStringLiteral("role"), status.role ? QJsonValue(role) : QJsonValue()},
                        {QStringLiteral("owner"), status.owner},
                        {QStringLiteral("schema"), status.schemaVersion},
                        {QStringLiteral("stations"), status.stations},
                        {QStringLiteral("openAlarms"), status.openAlarms},
                        {QStringLiteral("auditRecords"), status.auditRecords}});
        return ExitDone;
    }
    out << "store     " << store.url().toString() << '\n';
    out << "login     " << status.login
        << (status.role ? QStringLiteral(", %1: %2").arg(role, s::roleSummary(*status.role))
                        : QStringLiteral(", no role on this store"))
        << (status.owner ? QStringLiteral(" (and the store's owner)") : QString()) << '\n';
    if (status.schemaVersion == 0) {
        out << "schema    none yet: run store init as the database's owner\n";
        return ExitDone;
    }
    out << "schema    " << status.schemaVersion << '\n';
    out << "contents  " << status.stations << " stations, " << status.openAlarms << " open alarms, "
        << status.auditRecords << " audit records\n";
    return ExitDone;
}

int runStore(const Command& c, QTextStream& out, QTextStream& err)
{
    const QString label = commandLabel(c.kind);
    const s::StoreUrl url = s::parseStoreUrl(c.storeUrl).url; // checked while parsing
    s::StoreConnection store;
    if (!store.open(url, QStringLiteral("kestavo-cli"))) {
        err << "kestavo-cli: " << label << ": " << store.error() << '\n';
        return ExitDatabase;
    }
    const bool json = c.options.format == OutputFormat::Json;
    if (c.kind == CommandKind::StoreInit) {
        const s::InitResult result = s::initialize(store.db());
        if (!result.ok) {
            err << "kestavo-cli: " << label << ": " << url.toString() << ": " << result.error << '\n';
            return result.denied ? ExitRefused : ExitDatabase;
        }
        if (json) {
            printJson(out, {{QStringLiteral("store"), url.toString()},
                            {QStringLiteral("schema"), result.version},
                            {QStringLiteral("created"), result.created}});
        } else if (result.created) {
            out << "Set up the store " << url.toString() << " (schema " << result.version
                << ") with the roles viewer, operator and admin (" << s::roleName(s::Role::Viewer) << ", "
                << s::roleName(s::Role::Operator) << ", " << s::roleName(s::Role::Admin)
                << "); give them to logins with: kestavo-cli --store URL store grant LOGIN ROLE\n";
        } else {
            out << "The store " << url.toString() << " was set up already (schema " << result.version
                << "); its roles and grants were renewed.\n";
        }
        return ExitDone;
    }

    if (c.kind == CommandKind::StoreImport)
        return runImport(c, store, out, err);
    if (c.kind == CommandKind::StoreStatus)
        return runStatus(store, out, err, json);

    const std::optional<s::Role> role = s::roleFromWord(c.storeRole);
    const s::RoleChange change = c.kind == CommandKind::StoreGrant
                                     ? s::grantRole(store.db(), c.storeLogin, *role)
                                     : s::revokeRoles(store.db(), c.storeLogin);
    if (!change.ok) {
        err << "kestavo-cli: " << label << ": " << url.toString() << ": " << change.error << '\n';
        return change.denied ? ExitRefused : ExitDatabase;
    }
    if (json) {
        QJsonObject o{{QStringLiteral("store"), url.toString()},
                      {QStringLiteral("login"), c.storeLogin},
                      {QStringLiteral("before"), QJsonArray::fromStringList(change.before)}};
        o.insert(QStringLiteral("role"), role ? QJsonValue(s::roleWord(*role)) : QJsonValue());
        printJson(out, o);
    } else if (role) {
        out << c.storeLogin << " is now " << (*role == s::Role::Operator ? "an " : "a ") << s::roleWord(*role)
            << " of " << url.toString() << ": " << s::roleSummary(*role) << ".\n";
    } else if (change.before.isEmpty()) {
        out << c.storeLogin << " had no role on " << url.toString() << "; nothing changed.\n";
    } else {
        out << c.storeLogin << " has no role on " << url.toString() << " any more (was "
            << change.before.join(QStringLiteral(", ")) << ").\n";
    }
    return ExitDone;
}

} // namespace

CommandDefinition storeCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("store");
    definition.synopsis =
        QStringLiteral("store init --store URL\nstore grant LOGIN viewer|operator|admin --store URL\n"
                       "store revoke LOGIN --store URL");
    definition.details = QStringLiteral(
        "Set up a team's shared store on PostgreSQL and say who may do what (docs/team.md).\n"
        "URL is postgresql://USER@HOST[:PORT]/DBNAME[?sslmode=MODE&sslrootcert=FILE]; it never\n"
        "holds a password: libpq reads it from ~/.pgpass, the file PGPASSFILE names, or PGPASSWORD.\n"
        "  init    creates the tables and the roles kestavo_viewer, kestavo_operator and\n"
        "          kestavo_admin (run by the database's owner, with CREATEROLE); running it\n"
        "          again changes nothing but renews the grants\n"
        "  grant   makes ROLE the login's only role on the store: a viewer reads everything but\n"
        "          the units' passwords; an operator also commands units, acknowledges and\n"
        "          shelves; an admin also edits stations, rules and grants\n"
        "  revoke  takes every role of the store from the login\n"
        "  status  who this login is on the store, its role, and what the store holds\n"
        "  import  adds the stations of a desk's station database (--db), with their tags and\n"
        "          sites, or updates those whose address the store has; running it again\n"
        "          changes nothing (needs the admin role). With --history it also copies the\n"
        "          alarm rules, alarms, alarm events, audit log and readings of that history\n"
        "          file, keeping their names (needs the store's owner); where the store has\n"
        "          readings of a unit for a stretch of time already, the desk's are left out\n"
        "Examples:\n"
        "  kestavo-cli --store postgresql://kestavo@db.example.org/kestavo store init\n"
        "  kestavo-cli --store postgresql://kestavo@db.example.org/kestavo store grant anna operator");
    definition.parse = [](const Reader& r, const QCommandLineParser& options,
                          Command* c) -> std::optional<UsageError> {
        QString action;
        if (auto e = r.word(1, QStringLiteral("ACTION"),
                            {QStringLiteral("init"), QStringLiteral("grant"), QStringLiteral("revoke"),
                             QStringLiteral("import"), QStringLiteral("status")},
                            &action))
            return e;
        if (!options.isSet(QStringLiteral("store")))
            return r.error(QStringLiteral("--store URL is missing: name the team's store "
                                          "(postgresql://USER@HOST[:PORT]/DBNAME)"));
        c->storeUrl = options.value(QStringLiteral("store"));
        if (const s::StoreUrlParse parsed = s::parseStoreUrl(c->storeUrl); !parsed.ok())
            return r.error(QStringLiteral("--store: ") + parsed.error);
        if (action == u"import") {
            c->kind = CommandKind::StoreImport;
            if (c->options.db.isEmpty())
                return r.error(
                    QStringLiteral("--db FILE is missing: name the desk's station database to import"));
            return r.noMoreThan(2);
        }
        if (action == u"status") {
            c->kind = CommandKind::StoreStatus;
            return r.noMoreThan(2);
        }
        if (action == u"init") {
            c->kind = CommandKind::StoreInit;
            return r.noMoreThan(2);
        }
        if (!r.has(2) || r.at(2).isEmpty())
            return r.missing(QStringLiteral("LOGIN"));
        c->storeLogin = r.at(2);
        if (action == u"revoke") {
            c->kind = CommandKind::StoreRevoke;
            return r.noMoreThan(3);
        }
        c->kind = CommandKind::StoreGrant;
        if (auto e = r.word(3, QStringLiteral("ROLE"),
                            {QStringLiteral("viewer"), QStringLiteral("operator"), QStringLiteral("admin")},
                            &c->storeRole))
            return e;
        return r.noMoreThan(4);
    };
    definition.run = [](const Command& command, QTextStream& out, QTextStream& err, const CliEnvironment&) {
        return runStore(command, out, err);
    };
    return definition;
}

} // namespace kestavo::cli
