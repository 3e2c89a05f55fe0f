#pragma once

// Carries out one parsed command: station database commands locally, unit commands as the
// console's frames over a UnitLink, waiting for the unit's acknowledgement or checking its next
// reports, and writing results to `out` and messages to `err`.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QByteArray>
#include <QJsonObject>
#include <QTextStream>

#include "protocol/reply.h"

#include "backup/unitexchange.h"
#include "cli.h"
#include "commandline.h"
#include "reportformat.h"

namespace kestavo::stations {
class StationStore;
}
namespace kestavo::history {
class AuditLog;
}
namespace kestavo::store {
class StoreConnection;
}
namespace kestavo::alarms {
class AuditRecorder;
}

namespace kestavo::cli {

class CliUnitTransport;
class UnitLink;

class CommandRunner final
{
    Q_DISABLE_COPY_MOVE(CommandRunner)

public:
    CommandRunner(const Command& command, QTextStream& out, QTextStream& err,
                  const CliEnvironment& environment);
    ~CommandRunner();

    int run();

private:
    // The conversation with the unit is the backup library's, so that every command waits and
    // checks alike.
    using Outcome = backup::UnitExchange::Outcome;
    template <typename T> using Awaited = backup::UnitExchange::Awaited<T>;
    template <typename T> using Decoder = backup::UnitExchange::Decoder<T>;

    // ---- station database ----------------------------------------------------------------
    QString databasePath() const;
    int openDatabase(bool createWhenMissing);
    bool teamMode() const { return !m_command.storeUrl.isEmpty(); }
    int openTeamDirectory();
    int refusedOrFailed();
    int listStations();
    int addStation();
    int changeStationExtras();
    int removeStation();
    int setDefaultStation();
    int exportStationsTo(const QString& file);

    // ---- the unit ------------------------------------------------------------------------
    int prepareUnit();
    int runUnitCommand();
    void readRecordQuietly();
    bool startAudit();
    void finishAudit();
    QString stationDescription() const;
    bool send(const std::string& frame);

    template <typename T> Awaited<T> await(const Decoder<T>& decode, int timeoutMs)
    {
        return m_exchange->await(decode, timeoutMs);
    }
    template <typename T>
    Awaited<T> check(const std::string& query, bool queryFirst, const Decoder<T>& decode,
                     const std::function<bool(const T&)>& accepted)
    {
        return m_exchange->check(query, queryFirst, decode, accepted);
    }
    template <typename T> Awaited<T> request(const std::string& frame, const Decoder<T>& decode)
    {
        return m_exchange->request(frame, decode);
    }

    Awaited<protocol::StatusReport> requestStatus();
    Awaited<protocol::SlotTable> requestSlotTable();
    int failed(Outcome outcome, const QString& what);
    int acknowledged(const std::string& frame, int kind, QJsonObject details);
    int requireScript(int slot, bool forExecute);

    int status();
    int watch();
    int relay();
    int scripts();
    int scriptUpload();
    int scriptRun();
    int timerSet();
    int ioOn();
    int temperatureOn();
    int name();
    int password();
    int allow();
    int featureSwitch();
    int addressChange();
    int board();
    int boardScripts();
    int boardScriptUpload();
    int boardScriptRun();
    // backup, diff, restore: each in its own file, run over the backup library's exchange.
    int configCommand();

    // ---- output --------------------------------------------------------------------------
    bool json() const { return m_command.options.format == OutputFormat::Json; }
    bool csv() const { return m_command.options.format == OutputFormat::Csv; }
    QString unitDescription() const;
    QJsonObject result(const QString& message) const;
    int done(const QString& message, QJsonObject details = {});
    void emitJson(const QJsonObject& object);
    void note(const QString& message);
    int fail(int code, const QString& message);

    const Command& m_command;
    QTextStream& m_out;
    QTextStream& m_err;
    const CliEnvironment& m_env;
    std::unique_ptr<store::StoreConnection> m_storeConnection; // team mode: the directory's store
    std::unique_ptr<stations::StationStore> m_store;
    std::unique_ptr<UnitLink> m_link;
    std::unique_ptr<CliUnitTransport> m_transport;
    std::unique_ptr<backup::UnitExchange> m_exchange;
    std::unique_ptr<history::AuditLog> m_auditLog;     // declared before the recorder, which writes
    std::unique_ptr<alarms::AuditRecorder> m_recorder; // into it until it is gone
    QString m_description;
    std::string m_password; // the ten characters every frame carries
    RangeFlags m_rangeFlags{0, 0};
    bool m_passwordFromDatabase = false;
};

} // namespace kestavo::cli
