// kestavo-cli as a whole, called in-process with its output captured, against the simulated unit
// on 127.0.0.1 (port 0) or a silent or stubborn peer on loopback: the frames each command puts on
// the wire (compared with the console's builders), what it prints, its exit codes, and the station
// database it reads and writes.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "stations/stationstore.h"

#include "cli.h"
#include "ksv-sim/simulatedunit.h"
#include "reportformat.h"

using kestavo::sim::SimulatedUnit;
using kestavo::sim::UnitModel;
namespace p = kestavo::protocol;
namespace cli = kestavo::cli;

namespace {

const QString kTyped = QStringLiteral("Qx7pw"); // the unit's password as typed; must never be printed
const std::string kPassword = p::padPassword("Qx7pw");
const QString kNewPassword = QStringLiteral("N3wpw");
const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

QByteArray bytes(const std::string& frame)
{
    return QByteArray(frame.data(), static_cast<qsizetype>(frame.size()));
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// The RFC 4180 records of a CSV text.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            record << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            record << field;
            records << record;
            record.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

QJsonObject onlyJsonObject(const QString& out)
{
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() != 1)
        return {};
    return QJsonDocument::fromJson(lines.first().toUtf8()).object();
}

// A unit on loopback whose answers a test decides: each frame goes through the model (so that
// it acts on it), then `answer` picks what, if anything, goes back.
class ScriptedUnit
{
public:
    using Answer = std::function<std::optional<std::string>(char opcode, UnitModel& model)>;

    explicit ScriptedUnit(Answer answer) : m_answer(std::move(answer))
    {
        m_model.setPassword("Qx7pw");
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                const QNetworkDatagram frame = m_socket.receiveDatagram();
                const QByteArray data = frame.data();
                m_opcodes += data.size() > 9 ? QChar(QLatin1Char(data.at(9))) : u'?';
                m_model.handleFrame(std::string(data.constData(), static_cast<std::size_t>(data.size())),
                                    {127, 0, 0, 1});
                if (const auto reply = m_answer(data.size() > 9 ? data.at(9) : '?', m_model))
                    m_socket.writeDatagram(bytes(*reply), frame.senderAddress(), frame.senderPort());
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    QString opcodes() const { return m_opcodes; }

    // A unit that never carries anything out: the same status report and slot table whatever it
    // is asked.
    static std::optional<std::string> stubborn(char opcode, UnitModel&)
    {
        static const UnitModel frozen;
        return opcode == 'L' ? frozen.slotTableReply() : frozen.statusReport();
    }

    // A unit that acts on every frame but answers only polls, like one that acknowledges nothing.
    static std::optional<std::string> pollsOnly(char opcode, UnitModel& model)
    {
        if (opcode != '1')
            return std::nullopt;
        return model.statusReport();
    }

private:
    Answer m_answer;
    UnitModel m_model;
    QUdpSocket m_socket;
    QString m_opcodes;
};

} // namespace

class TestCli final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void everyCommandSendsTheConsoleFrames_data();
    void everyCommandSendsTheConsoleFrames();
    void jsonResults_data();
    void jsonResults();
    void refusals_data();
    void refusals();
    void usageErrorsSendNothing_data();
    void usageErrorsSendNothing();
    void passwordNeverPrinted_data();
    void passwordNeverPrinted();
    void timeouts_data();
    void timeouts();
    void noVerifyDoesNotWait();
    void stubbornUnit_data();
    void stubbornUnit();
    void changesShowInLaterPolls_data();
    void changesShowInLaterPolls();
    void watchJsonLinesAndCsv();
    void watchStopsWhenTheUnitFallsSilent();
    void readsParseBack();
    void databaseProblems_data();
    void databaseProblems();
    void databasePasswordFollowsTheUnit();
    void rangeFlagsComeFromTheStationRecord();
    void stationsAddFollowsAddIpRules_data();
    void stationsAddFollowsAddIpRules();
    void stationsListing();
    void helpForEveryCommand_data();
    void helpForEveryCommand();

private:
    SimulatedUnit::Config config() const;
    void startUnit(const SimulatedUnit::Config& config);
    Run run(const QStringList& arguments, quint16 port = 0, bool withPassword = true);
    // Verification asks again only when a whole slice passes without the change: as long as the
    // timeout by default, so that frame lists do not depend on how busy the machine is.
    int m_verifyPollMs = 1000;
    Run runLine(const QString& line, quint16 port = 0, bool withPassword = true);
    QList<QByteArray> frames() const;
    QString opcodes() const;
    QString dbPath() const { return m_dir.filePath(QStringLiteral("stations.dat")); }

    QTemporaryDir m_dir;
    std::unique_ptr<SimulatedUnit> m_unit;
};

SimulatedUnit::Config TestCli::config() const
{
    SimulatedUnit::Config config;
    config.port = 0;
    config.realTime = false;
    config.unit.password = "Qx7pw";
    config.unit.boards = {true, true, true, true, true, true};
    return config;
}

void TestCli::startUnit(const SimulatedUnit::Config& config)
{
    m_unit = std::make_unique<SimulatedUnit>(config);
    QVERIFY2(m_unit->start(), qPrintable(m_unit->errorString()));
    m_unit->model().setRelayScript(1, "1B2", "Pump");
    m_unit->model().setRelayScript(8, "3", "Eight");
    m_unit->model().setBoardScript(16, "Blink", {0x27, 0x03, 0xA7});
    m_unit->model().clearLogs();
}

void TestCli::init()
{
    QVERIFY(m_dir.isValid());
    QFile::remove(dbPath());
    m_verifyPollMs = 1000;
    startUnit(config());
}

void TestCli::cleanup()
{
    m_unit.reset();
}

Run TestCli::run(const QStringList& arguments, quint16 port, bool withPassword)
{
    QStringList all = {QStringLiteral("--db"),      dbPath(),
                       QStringLiteral("--port"),    QString::number(port ? port : m_unit->port()),
                       QStringLiteral("--timeout"), QStringLiteral("1000")};
    if (withPassword)
        all << QStringLiteral("--password") << kTyped;
    all << arguments;
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    cli::CliEnvironment environment;
    environment.applicationDir = m_dir.path();
    environment.watchdogMs = 300;
    environment.verifyPollMs = m_verifyPollMs;
    environment.now = [] {
        return kNow;
    };
    result.code = cli::runCli(all, out, err, environment);
    out.flush();
    err.flush();
    return result;
}

Run TestCli::runLine(const QString& line, quint16 port, bool withPassword)
{
    return run(QProcess::splitCommand(line), port, withPassword);
}

QList<QByteArray> TestCli::frames() const
{
    QList<QByteArray> list;
    for (const UnitModel::FrameRecord& record : m_unit->model().frames())
        list << bytes(record.bytes);
    return list;
}

QString TestCli::opcodes() const
{
    QString codes;
    for (const QByteArray& frame : frames())
        codes += frame.size() > 9 ? QChar(QLatin1Char(frame.at(9))) : u'?';
    return codes;
}

void TestCli::everyCommandSendsTheConsoleFrames_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<QString>("output");

    const std::string& pw = kPassword;
    const QByteArray poll = bytes(p::pollFrame(pw));
    const QByteArray read = bytes(p::readRequestFrame(pw));
    QTest::newRow("status") << QStringLiteral("status 127.0.0.1")
                            << QList<QByteArray>{bytes(p::startFrame(pw))}
                            << QStringLiteral("MAC address:   00:0A:1B:2C:3D:4E");
    QTest::newRow("relay 1 on") << QStringLiteral("relay 127.0.0.1 1 on")
                                << QList<QByteArray>{bytes(p::relayOnFrame(1, pw))}
                                << QStringLiteral("relay 1 is ON");
    QTest::newRow("relay 2 off") << QStringLiteral("relay 127.0.0.1 2 off")
                                 << QList<QByteArray>{bytes(p::relayOffFrame(2, pw))}
                                 << QStringLiteral("relay 2 is OFF");
    QTest::newRow("relay 3 cycle 30") << QStringLiteral("relay 127.0.0.1 3 cycle 30")
                                      << QList<QByteArray>{bytes(p::relayCycleFrame(3, 30, pw))}
                                      << QStringLiteral("relay 3 is OFF, back ON in 30 s");
    QTest::newRow("relay 1 cycle 60")
        << QStringLiteral("relay 127.0.0.1 1 cycle 60")
        << QList<QByteArray>{bytes(p::relayCycleFrame(1, 60, pw))} << QStringLiteral("relay 1 is OFF");
    QTest::newRow("scripts") << QStringLiteral("scripts 127.0.0.1") << QList<QByteArray>{read}
                             << QStringLiteral("Relay 1 ON, Wait 5 Seconds, Relay 1 OFF");
    QTest::newRow("script upload slot 8")
        << QStringLiteral("script 127.0.0.1 upload 8 \"Pump cycle\" \"Relay 1 ON\" b 2")
        << QList<QByteArray>{bytes(p::scriptUploadFrame(0xE0, "1B2", "Pump cycle", pw)), read}
        << QStringLiteral("slot 8 holds \"Pump cycle\": Relay 1 ON, Wait 5 Seconds, Relay 1 OFF");
    QTest::newRow("script run") << QStringLiteral("script 127.0.0.1 run 1")
                                << QList<QByteArray>{read, bytes(p::scriptExecuteFrame(0x00, pw))}
                                << QStringLiteral("Relay Script Executed !");
    QTest::newRow("timer set") << QStringLiteral("timer 127.0.0.1 set 8 1d --continuous")
                               << QList<QByteArray>{read, bytes(p::timerSetFrame(86400, 0xE0, 1, pw))}
                               << QStringLiteral("Timer Data Received !");
    QTest::newRow("timer set largest")
        << QStringLiteral("timer 127.0.0.1 set 1 30d24h60m60s")
        << QList<QByteArray>{read, bytes(p::timerSetFrame(2682060, 0x00, 0, pw))}
        << QStringLiteral("Timer Data Received !");
    QTest::newRow("timer stop") << QStringLiteral("timer 127.0.0.1 stop")
                                << QList<QByteArray>{bytes(p::timerStopFrame(pw))}
                                << QStringLiteral("Timer Stopped Forcefully !");
    QTest::newRow("io off") << QStringLiteral("io 127.0.0.1 3 off")
                            << QList<QByteArray>{bytes(p::ioTriggerFrame(2, 0, 0, 0, pw))}
                            << QStringLiteral("I/O Data Received !");
    QTest::newRow("io on") << QStringLiteral("io 127.0.0.1 5 on 1 8")
                           << QList<QByteArray>{read, bytes(p::ioTriggerFrame(4, 1, 0x00, 0xE0, pw))}
                           << QStringLiteral("I/O Data Received !");
    QTest::newRow("temp off") << QStringLiteral("temp 127.0.0.1 off 30 30")
                              << QList<QByteArray>{bytes(p::temperatureTriggerFrame(0, 0, 0, 30, 30, pw))}
                              << QStringLiteral("Temperature Data Received !");
    QTest::newRow("temp on") << QStringLiteral("temp 127.0.0.1 on 1 8 30 29")
                             << QList<QByteArray>{read, bytes(p::temperatureTriggerFrame(1, 0x00, 0xE0, 30,
                                                                                         29, pw))}
                             << QStringLiteral("Temperature Data Received !");
    QTest::newRow("name") << QStringLiteral("name 127.0.0.1 \"Pump house\"")
                          << QList<QByteArray>{bytes(p::stationNameFrame("Pump house", pw))}
                          << QStringLiteral("station name is \"Pump house\"");
    QTest::newRow("password") << QStringLiteral("password 127.0.0.1 N3wpw")
                              << QList<QByteArray>{bytes(p::passwordFrame("N3wpw*****", pw))}
                              << QStringLiteral("Remote Password successfully updated.");
    QTest::newRow("allow all") << QStringLiteral("allow 127.0.0.1 all")
                               << QList<QByteArray>{bytes(p::allowedIpFrame(false, {}, pw))}
                               << QStringLiteral("Allowable IP Status change successful!");
    QTest::newRow("allow only")
        << QStringLiteral("allow 127.0.0.1 only 192.168.1.20 127.0.0.1")
        << QList<QByteArray>{bytes(p::allowedIpFrame(
               true, {192, 168, 1, 20, 127, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, pw))}
        << QStringLiteral("Allowable IP Status change successful!");
    QTest::newRow("http off") << QStringLiteral("http 127.0.0.1 off")
                              << QList<QByteArray>{poll, bytes(p::httpFrame(1, pw))}
                              << QStringLiteral("HTTP Server Status Changed !");
    QTest::newRow("snmp on") << QStringLiteral("snmp 127.0.0.1 on")
                             << QList<QByteArray>{poll, bytes(p::snmpFrame(0, pw))}
                             << QStringLiteral("SNMP Access Changed !");
    QTest::newRow("set-ip") << QStringLiteral("set-ip 127.0.0.1 10.240.10.1 --yes")
                            << QList<QByteArray>{poll, bytes(p::setIpFrame({10, 240, 10, 1}, pw))}
                            << QStringLiteral("IP Changed !!");
    const QByteArray mac = bytes(p::setMacFrame({0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF}, pw));
    QTest::newRow("set-mac twice") << QStringLiteral("set-mac 127.0.0.1 00:00:00:ab:cd:ef --yes")
                                   << QList<QByteArray>{poll, mac, mac}
                                   << QStringLiteral("Mac Address Changed !!");
    QTest::newRow("board switch") << QStringLiteral("board 127.0.0.1 3 relay4 switch")
                                  << QList<QByteArray>{poll, bytes(p::boardFrame(0x48, 0x08, 0, 0, pw)), poll}
                                  << QStringLiteral("board 3 relay 4 is NC");
    QTest::newRow("board toggle") << QStringLiteral("board 127.0.0.1 1 relay2 toggle 15")
                                  << QList<QByteArray>{poll, bytes(p::boardFrame(0x44, 0x02, 2, 15, pw)),
                                                       poll}
                                  << QStringLiteral("board 1 relay 2 is NC, back to NO in 15 s");
    QTest::newRow("board output toggle")
        << QStringLiteral("board 127.0.0.1 6 output toggle 60")
        << QList<QByteArray>{poll, bytes(p::boardFrame(0x4E, 0x40, 2, 60, pw)), poll}
        << QStringLiteral("board 6 output is ON, back to OFF in 60 s");
    QTest::newRow("board light, no verify") << QStringLiteral("board 127.0.0.1 2 light switch --no-verify")
                                            << QList<QByteArray>{bytes(p::boardFrame(0x46, 0x80, 0, 0, pw))}
                                            << QStringLiteral("RDB Command Success !");
    QTest::newRow("board-scripts") << QStringLiteral("board-scripts 127.0.0.1")
                                   << QList<QByteArray>{bytes(p::boardListingFrame(pw)),
                                                        bytes(p::boardContentsFrame(pw))}
                                   << QStringLiteral("RDB1 Light ON, RDB Wait 3 Seconds, RDB1 Light OFF");
    QTest::newRow("board-script upload")
        << QStringLiteral("board-script 127.0.0.1 upload 3 Blink \"RDB2 Light OFF\" \"Wait 3 Seconds\" "
                          "\"RDB2 Light ON\"")
        << QList<QByteArray>{bytes(p::boardUploadFrame(0x20, "Blink", {0xB7, 0x03, 0x37}, pw)),
                             bytes(p::boardListingFrame(pw)), bytes(p::boardContentsFrame(pw))}
        << QStringLiteral("board slot 3 holds \"Blink\": RDB2 Light OFF, RDB Wait 3 Seconds, RDB2 Light ON");
    QTest::newRow("board-script upload, no steps")
        << QStringLiteral("board-script 127.0.0.1 upload 1 Empty --no-verify")
        << QList<QByteArray>{bytes(p::boardUploadFrame(0x00, "Empty", {}, pw))}
        << QStringLiteral("board script sent to slot 1 (not verified)");
    QTest::newRow("board-script run")
        << QStringLiteral("board-script 127.0.0.1 run 16")
        << QList<QByteArray>{bytes(p::boardContentsFrame(pw)), bytes(p::boardExecuteFrame(0xF0, pw))}
        << QStringLiteral("board script in slot 16 sent to run");
}

void TestCli::everyCommandSendsTheConsoleFrames()
{
    QFETCH(QString, line);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(QString, output);
    const Run result = runLine(line);
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    // Commands that expect no answer return as soon as their last frame is on the wire.
    QTRY_COMPARE_WITH_TIMEOUT(frames(), expected, 2000);
    QVERIFY2(result.out.contains(output), qPrintable(result.out));
}

void TestCli::jsonResults_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("relay") << QStringLiteral("relay 127.0.0.1 2 on") << QStringLiteral("relay")
                           << QStringLiteral("state") << QVariant(QStringLiteral("ON"));
    QTest::newRow("script run") << QStringLiteral("script 127.0.0.1 run 8") << QStringLiteral("script run")
                                << QStringLiteral("ack") << QVariant(3);
    QTest::newRow("timer set") << QStringLiteral("timer 127.0.0.1 set 1 90") << QStringLiteral("timer set")
                               << QStringLiteral("seconds") << QVariant(90);
    QTest::newRow("io") << QStringLiteral("io 127.0.0.1 2 off") << QStringLiteral("io off")
                        << QStringLiteral("ack") << QVariant(6);
    QTest::newRow("board") << QStringLiteral("board 127.0.0.1 4 output switch") << QStringLiteral("board")
                           << QStringLiteral("state") << QVariant(QStringLiteral("ON"));
    QTest::newRow("password") << QStringLiteral("password 127.0.0.1 N3wpw") << QStringLiteral("password")
                              << QStringLiteral("database_updated") << QVariant(false);
    QTest::newRow("set-mac") << QStringLiteral("set-mac 127.0.0.1 0:a:1b:2c:3d:4f --yes")
                             << QStringLiteral("set-mac") << QStringLiteral("new_mac")
                             << QVariant(QStringLiteral("00:0A:1B:2C:3D:4F"));
}

void TestCli::jsonResults()
{
    QFETCH(QString, line);
    QFETCH(QString, command);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    const Run result = runLine(line + QStringLiteral(" --format json"));
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    const QJsonObject json = onlyJsonObject(result.out);
    QCOMPARE(json.value(QStringLiteral("command")).toString(), command);
    QCOMPARE(json.value(QStringLiteral("unit")).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(json.value(QStringLiteral("ok")).toBool(), true);
    QCOMPARE(json.value(key), QJsonValue::fromVariant(value));
}

void TestCli::refusals_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("sent"); // opcodes of the frames that reached the unit
    QTest::addColumn<QString>("message");

    QTest::newRow("run an empty slot")
        << QString() << QStringLiteral("script 127.0.0.1 run 2") << QStringLiteral("L")
        << QStringLiteral("slot 2 of 127.0.0.1 holds no relay script: Make a Script First!");
    QTest::newRow("timer on an empty slot")
        << QString() << QStringLiteral("timer 127.0.0.1 set 2 60") << QStringLiteral("L")
        << QStringLiteral("Make a Relay Script first!");
    QTest::newRow("trigger on an empty slot") << QString() << QStringLiteral("io 127.0.0.1 1 on 1 2")
                                              << QStringLiteral("L") << QStringLiteral("slot 2 of 127.0.0.1");
    QTest::newRow("temperature on an empty slot")
        << QString() << QStringLiteral("temp 127.0.0.1 on 3 1 30 20") << QStringLiteral("L")
        << QStringLiteral("slot 3 of 127.0.0.1");
    QTest::newRow("run an empty board slot") << QString() << QStringLiteral("board-script 127.0.0.1 run 5")
                                             << QStringLiteral("T") << QStringLiteral("Make a Script First!");
    QTest::newRow("status, wrong password")
        << QStringLiteral("password") << QStringLiteral("status 127.0.0.1") << QStringLiteral("1")
        << QStringLiteral("Bad Password!");
    QTest::newRow("relay, wrong password")
        << QStringLiteral("password") << QStringLiteral("relay 127.0.0.1 1 on") << QStringLiteral("2")
        << QStringLiteral("Bad Password!");
    QTest::newRow("upload, wrong password")
        << QStringLiteral("password") << QStringLiteral("script 127.0.0.1 upload 1 X 1")
        << QStringLiteral("JL") << QStringLiteral("Bad Password!");
    QTest::newRow("password change refused")
        << QStringLiteral("admin") << QStringLiteral("password 127.0.0.1 N3wpw") << QStringLiteral("G")
        << QStringLiteral("Password change error... re-try");
    QTest::newRow("allowed IPs refused")
        << QStringLiteral("admin") << QStringLiteral("allow 127.0.0.1 all") << QStringLiteral("H")
        << QStringLiteral("IP Status change error... re-try");
    QTest::newRow("http on 1.6.7") << QStringLiteral("1.6.7") << QStringLiteral("http 127.0.0.1 on")
                                   << QStringLiteral("1")
                                   << QStringLiteral("firmware 1.6.7, which has no status web page");
    QTest::newRow("snmp on 1.7.0") << QStringLiteral("1.7.0") << QStringLiteral("snmp 127.0.0.1 off")
                                   << QStringLiteral("1")
                                   << QStringLiteral("firmware 1.7.0, which has no SNMP");
    QTest::newRow("boards on 1.6.7") << QStringLiteral("1.6.7")
                                     << QStringLiteral("board 127.0.0.1 1 relay1 switch")
                                     << QStringLiteral("1") << QStringLiteral("no relay daughter boards");
    QTest::newRow("board not fitted")
        << QStringLiteral("board 2 absent") << QStringLiteral("board 127.0.0.1 2 relay1 switch")
        << QStringLiteral("1") << QStringLiteral("no daughter board 2 fitted");
    QTest::newRow("board command failure")
        << QStringLiteral("board 2 absent") << QStringLiteral("board 127.0.0.1 2 light switch --no-verify")
        << QStringLiteral("R") << QStringLiteral("RDB Command Failure !");
    QTest::newRow("second toggle") << QStringLiteral("toggle running")
                                   << QStringLiteral("board 127.0.0.1 1 relay2 toggle 5")
                                   << QStringLiteral("1") << QStringLiteral("One Toggle Timer Only !");
    QTest::newRow("second toggle, no verify")
        << QStringLiteral("toggle running") << QStringLiteral("board 127.0.0.1 1 relay2 toggle 5 --no-verify")
        << QStringLiteral("R") << QStringLiteral("RDB Timer Failure !");
}

void TestCli::refusals()
{
    QFETCH(QString, setup);
    QFETCH(QString, line);
    QFETCH(QString, sent);
    QFETCH(QString, message);
    UnitModel& model = m_unit->model();
    if (setup == QStringLiteral("password"))
        model.setPassword("other");
    else if (setup == QStringLiteral("admin"))
        model.setAdminRefusal(true);
    else if (setup == QStringLiteral("1.6.7"))
        model.setFirmware({1, 6, 7});
    else if (setup == QStringLiteral("1.7.0"))
        model.setFirmware({1, 7, 0});
    else if (setup == QStringLiteral("board 2 absent"))
        model.setBoardPresent(2, false);
    else if (setup == QStringLiteral("toggle running"))
        model.handleFrame(p::boardFrame(0x44, 0x01, 2, 30, kPassword), {127, 0, 0, 1});
    model.clearLogs();

    const Run result = runLine(line);
    QCOMPARE(result.code, int(cli::ExitRefused));
    QCOMPARE(opcodes(), sent);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
}

void TestCli::usageErrorsSendNothing_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("named");

    QTest::newRow("slot 9") << QStringLiteral("script 127.0.0.1 run 9") << QStringLiteral("SLOT '9'");
    QTest::newRow("relay 4") << QStringLiteral("relay 127.0.0.1 4 on") << QStringLiteral("RELAY '4'");
    QTest::newRow("delay 61") << QStringLiteral("relay 127.0.0.1 1 cycle 61")
                              << QStringLiteral("SECONDS '61'");
    QTest::newRow("octet 300") << QStringLiteral("allow 127.0.0.1 only 192.168.1.300")
                               << QStringLiteral("octet 4 is 300");
    QTest::newRow("17th step") << QStringLiteral(
                                      "script 127.0.0.1 upload 1 P 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1 2 1")
                               << QStringLiteral("STEP 17");
    QTest::newRow("unknown step") << QStringLiteral("script 127.0.0.1 upload 1 P \"Relay 9 ON\"")
                                  << QStringLiteral("STEP 1 'Relay 9 ON'");
    QTest::newRow("bad MAC") << QStringLiteral("set-mac 127.0.0.1 00:0A:1B:2C:3D:XY --yes")
                             << QStringLiteral("MAC");
    QTest::newRow("no --yes") << QStringLiteral("set-ip 127.0.0.1 127.0.0.2") << QStringLiteral("--yes");
    QTest::newRow("zero delay") << QStringLiteral("timer 127.0.0.1 set 1 0s")
                                << QStringLiteral("Choose a delay time!");
    QTest::newRow("same password") << QStringLiteral("password 127.0.0.1 Qx7pw")
                                   << QStringLiteral("Password has not changed");
}

void TestCli::usageErrorsSendNothing()
{
    QFETCH(QString, line);
    QFETCH(QString, named);
    const Run result = runLine(line);
    QCOMPARE(result.code, int(cli::ExitUsage));
    QVERIFY2(result.err.contains(named), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    // Whatever the bad command might have sent would reach the unit before this status request.
    QCOMPARE(runLine(QStringLiteral("status 127.0.0.1")).code, int(cli::ExitDone));
    QCOMPARE(frames(), QList<QByteArray>{bytes(p::startFrame(kPassword))});
}

void TestCli::passwordNeverPrinted_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");

    QTest::newRow("status text") << QStringLiteral("status 127.0.0.1") << int(cli::ExitDone);
    QTest::newRow("status json") << QStringLiteral("status 127.0.0.1 --format json") << int(cli::ExitDone);
    QTest::newRow("status csv") << QStringLiteral("status 127.0.0.1 --format csv") << int(cli::ExitDone);
    QTest::newRow("watch json") << QStringLiteral("watch 127.0.0.1 --count 2 --interval 5 --format json")
                                << int(cli::ExitDone);
    QTest::newRow("password change") << QStringLiteral("password 127.0.0.1 N3wpw --format json")
                                     << int(cli::ExitDone);
    QTest::newRow("same password") << QStringLiteral("password 127.0.0.1 Qx7pw*****") << int(cli::ExitUsage);
    QTest::newRow("new password with a space")
        << QStringLiteral("password 127.0.0.1 \"N3w pw\"") << int(cli::ExitUsage);
    QTest::newRow("scripts json") << QStringLiteral("scripts 127.0.0.1 --format json") << int(cli::ExitDone);
    QTest::newRow("help") << QStringLiteral("password --help") << int(cli::ExitDone);
}

void TestCli::passwordNeverPrinted()
{
    QFETCH(QString, line);
    QFETCH(int, code);
    const Run result = runLine(line);
    QCOMPARE(result.code, code);
    QVERIFY(!result.out.isEmpty() || !result.err.isEmpty());
    for (const QString& secret : {kTyped, kNewPassword, QStringLiteral("N3w pw")}) {
        QVERIFY2(!result.out.contains(secret), qPrintable(result.out));
        QVERIFY2(!result.err.contains(secret), qPrintable(result.err));
    }
}

void TestCli::timeouts_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("what");

    QTest::newRow("status") << QStringLiteral("status 127.0.0.1") << QStringLiteral("no status report");
    QTest::newRow("relay") << QStringLiteral("relay 127.0.0.1 1 on") << QStringLiteral("no status report");
    QTest::newRow("scripts") << QStringLiteral("scripts 127.0.0.1") << QStringLiteral("no slot table");
    QTest::newRow("script run") << QStringLiteral("script 127.0.0.1 run 1")
                                << QStringLiteral("no slot table");
    QTest::newRow("timer stop") << QStringLiteral("timer 127.0.0.1 stop")
                                << QStringLiteral("no \"Timer Stopped Forcefully !\" acknowledgement");
    QTest::newRow("password") << QStringLiteral("password 127.0.0.1 N3wpw")
                              << QStringLiteral("no answer to the password change");
    QTest::newRow("allow") << QStringLiteral("allow 127.0.0.1 all")
                           << QStringLiteral("no answer to the allowed-IP");
    QTest::newRow("name") << QStringLiteral("name 127.0.0.1 X") << QStringLiteral("no status report");
    QTest::newRow("board-scripts") << QStringLiteral("board-scripts 127.0.0.1")
                                   << QStringLiteral("no board slot listing");
    QTest::newRow("board, no verify") << QStringLiteral("board 127.0.0.1 1 relay1 switch --no-verify")
                                      << QStringLiteral("no daughter-board acknowledgement");
    QTest::newRow("set-ip checks first")
        << QStringLiteral("set-ip 127.0.0.1 127.0.0.9 --yes") << QStringLiteral("no status report");
}

void TestCli::timeouts()
{
    QFETCH(QString, line);
    QFETCH(QString, what);
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
    const Run result = runLine(line + QStringLiteral(" --timeout 40"), silent.localPort());
    QCOMPARE(result.code, int(cli::ExitRefused));
    QVERIFY2(result.err.contains(QStringLiteral("timed out")), qPrintable(result.err));
    QVERIFY2(result.err.contains(what), qPrintable(result.err));
    QVERIFY2(result.err.contains(QStringLiteral("127.0.0.1 port %1").arg(silent.localPort())),
             qPrintable(result.err));
    QVERIFY(silent.hasPendingDatagrams());
}

void TestCli::noVerifyDoesNotWait()
{
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
    for (const QString& line : {QStringLiteral("relay 127.0.0.1 1 on --no-verify"),
                                QStringLiteral("set-ip 127.0.0.1 127.0.0.9 --yes --no-verify")}) {
        const Run result = runLine(line, silent.localPort());
        QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    }
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingDatagrams(), 1000);
    QCOMPARE(silent.receiveDatagram().data(), bytes(p::relayOnFrame(1, kPassword)));
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingDatagrams(), 1000);
    QCOMPARE(silent.receiveDatagram().data(), bytes(p::setIpFrame({127, 0, 0, 9}, kPassword)));
}

void TestCli::stubbornUnit_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");

    QTest::newRow("relay does not switch")
        << QStringLiteral("relay 127.0.0.1 1 on")
        << QStringLiteral("relay 1 did not switch; the last status report");
    QTest::newRow("name does not change")
        << QStringLiteral("name 127.0.0.1 Other")
        << QStringLiteral("still reports the station name \"KSV Simulator\"");
    QTest::newRow("upload does not stick")
        << QStringLiteral("script 127.0.0.1 upload 2 Pump 1") << QStringLiteral("slot 2 of 127.0.0.1 port");
}

void TestCli::stubbornUnit()
{
    QFETCH(QString, line);
    QFETCH(QString, message);
    ScriptedUnit unit(ScriptedUnit::stubborn);
    const Run result = runLine(line + QStringLiteral(" --timeout 100"), unit.port());
    QCOMPARE(result.code, int(cli::ExitRefused));
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(result.err.contains(QStringLiteral("timed out")));
}

void TestCli::changesShowInLaterPolls_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("output");

    QTest::newRow("relay") << QStringLiteral("relay 127.0.0.1 3 on") << QStringLiteral("81")
                           << QStringLiteral("relay 3 is ON");
    QTest::newRow("name") << QStringLiteral("name 127.0.0.1 Polled") << QStringLiteral("I1")
                          << QStringLiteral("station name is \"Polled\"");
}

void TestCli::changesShowInLaterPolls()
{
    QFETCH(QString, line);
    QFETCH(QString, sent);
    QFETCH(QString, output);
    m_verifyPollMs = 30;
    ScriptedUnit unit(ScriptedUnit::pollsOnly);
    const Run result = runLine(line, unit.port());
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    QVERIFY2(result.out.contains(output), qPrintable(result.out));
    // The command frame, a quiet slice, then polls (one, unless the machine is slow) until a
    // report shows the change.
    QVERIFY2(unit.opcodes().startsWith(sent), qPrintable(unit.opcodes()));
    QCOMPARE(unit.opcodes().mid(sent.size()).count(u'1'), unit.opcodes().size() - sent.size());
}

void TestCli::watchJsonLinesAndCsv()
{
    Run result = runLine(QStringLiteral("watch 127.0.0.1 --count 3 --interval 5 --format json"));
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    for (const QString& line : lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(document.object().value(QStringLiteral("time")).toString(),
                 QStringLiteral("2024-05-01T12:00:00.000Z"));
        QCOMPARE(document.object().value(QStringLiteral("voltages")).toArray().size(), 8);
    }
    // The first request opens a session like the console's Start; the others are polls.
    const QList<QByteArray> sent = frames();
    QVERIFY(sent.size() >= 3);
    QCOMPARE(sent.at(0), bytes(p::startFrame(kPassword)));
    QCOMPARE(sent.at(1), bytes(p::pollFrame(kPassword)));

    m_unit->model().setRelay(3, true);
    result = runLine(QStringLiteral("watch 127.0.0.1 --count 2 --interval 5 --format csv"));
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    const QList<QStringList> records = parseCsv(result.out);
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0), cli::statusCsvHeader());
    const qsizetype relay3 = records.at(0).indexOf(QStringLiteral("relay3"));
    for (qsizetype row = 1; row < records.size(); ++row) {
        QCOMPARE(records.at(row).size(), records.at(0).size());
        QCOMPARE(records.at(row).at(relay3), QStringLiteral("ON"));
    }
}

void TestCli::watchStopsWhenTheUnitFallsSilent()
{
    SimulatedUnit::Config quiet = config();
    quiet.faults.silentAfter = 2;
    startUnit(quiet);
    const Run result = runLine(QStringLiteral("watch 127.0.0.1 --interval 20"));
    QCOMPARE(result.code, int(cli::ExitRefused));
    QCOMPARE(result.out.split(u'\n', Qt::SkipEmptyParts).size(), 2);
    QVERIFY2(result.err.contains(
                 QStringLiteral("no status report from 127.0.0.1 port %1 for 300 ms").arg(m_unit->port())),
             qPrintable(result.err));
}

void TestCli::readsParseBack()
{
    Run result = runLine(QStringLiteral("scripts 127.0.0.1 --format json"));
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    QJsonArray slotList = onlyJsonObject(result.out).value(QStringLiteral("slots")).toArray();
    QCOMPARE(slotList.size(), 8);
    QCOMPARE(slotList.at(0).toObject().value(QStringLiteral("description")).toString(),
             QStringLiteral("Pump"));
    QCOMPARE(slotList.at(0).toObject().value(QStringLiteral("codes")).toString(), QStringLiteral("1B2"));
    QCOMPARE(slotList.at(7).toObject().value(QStringLiteral("steps")).toArray(),
             QJsonArray{QStringLiteral("Relay 2 ON")});
    QCOMPARE(slotList.at(1).toObject().value(QStringLiteral("steps")).toArray().size(), 0);

    result = runLine(QStringLiteral("scripts 127.0.0.1 --format csv"));
    QList<QStringList> records = parseCsv(result.out);
    QCOMPARE(records.size(), 9);
    QCOMPARE(records.at(1), (QStringList{QStringLiteral("1"), QStringLiteral("Pump"), QStringLiteral("1B2"),
                                         QStringLiteral("Relay 1 ON; Wait 5 Seconds; Relay 1 OFF")}));

    result = runLine(QStringLiteral("board-scripts 127.0.0.1 --format json"));
    slotList = onlyJsonObject(result.out).value(QStringLiteral("slots")).toArray();
    QCOMPARE(slotList.size(), 16);
    const QJsonObject last = slotList.at(15).toObject();
    QCOMPARE(last.value(QStringLiteral("description")).toString(), QStringLiteral("Blink"));
    QCOMPARE(last.value(QStringLiteral("codes")).toArray().at(2).toInt(), 0xA7);
    QCOMPARE(last.value(QStringLiteral("steps")).toArray().size(), 3);

    result = runLine(QStringLiteral("board-scripts 127.0.0.1 --format csv"));
    records = parseCsv(result.out);
    QCOMPARE(records.size(), 17);
    QCOMPARE(records.at(16).at(2), QStringLiteral("RDB1 Light ON; RDB Wait 3 Seconds; RDB1 Light OFF"));
}

void TestCli::databaseProblems_data()
{
    QTest::addColumn<QString>("file"); // "" none, "garbage", "other station"
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");

    QTest::newRow("no database") << QString() << QStringLiteral("status 127.0.0.1")
                                 << QStringLiteral("does not exist");
    QTest::newRow("no database to list")
        << QString() << QStringLiteral("stations") << QStringLiteral("does not exist");
    QTest::newRow("not a database") << QStringLiteral("garbage") << QStringLiteral("status 127.0.0.1")
                                    << QStringLiteral("stations.dat");
    QTest::newRow("unit not in it") << QStringLiteral("other station") << QStringLiteral("status 127.0.0.1")
                                    << QStringLiteral("127.0.0.1 is not in the station database");
    QTest::newRow("remove the first")
        << QStringLiteral("other station") << QStringLiteral("stations remove 127.0.0.5")
        << QStringLiteral("Dont Delete this IP");
    QTest::newRow("remove unknown") << QStringLiteral("other station")
                                    << QStringLiteral("stations remove 127.0.0.6")
                                    << QStringLiteral("Not found in Data Base. Please Add it first.");
    QTest::newRow("default unknown") << QStringLiteral("other station")
                                     << QStringLiteral("stations default 127.0.0.6")
                                     << QStringLiteral("Not found in Data Base. Please Add it first.");
}

void TestCli::databaseProblems()
{
    QFETCH(QString, file);
    QFETCH(QString, line);
    QFETCH(QString, message);
    if (file == QStringLiteral("garbage")) {
        QFile garbage(dbPath());
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("this is not a station database, only text\n");
    } else if (file == QStringLiteral("other station")) {
        kestavo::stations::StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(store.add(QStringLiteral("127.0.0.5"), QStringLiteral("pw"), QStringLiteral("Other")));
    }
    const QByteArray before = [this] {
        QFile f(dbPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    const Run result = runLine(line, 0, false);
    QCOMPARE(result.code, int(cli::ExitDatabase));
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY2(result.err.contains(dbPath()), qPrintable(result.err));
    QCOMPARE(opcodes(), QString());
    QFile after(dbPath());
    QCOMPARE(after.exists(), !file.isEmpty());
    if (after.open(QIODevice::ReadOnly))
        QCOMPARE(after.readAll(), before);
}

void TestCli::databasePasswordFollowsTheUnit()
{
    Run result = runLine(QStringLiteral("stations add 127.0.0.1 Qx7pw Bench"), 0, false);
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));

    result = runLine(QStringLiteral("status 127.0.0.1"), 0, false);
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    QCOMPARE(frames(), QList<QByteArray>{bytes(p::startFrame(kPassword))});

    result = runLine(QStringLiteral("password 127.0.0.1 N3wpw"), 0, false);
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    QCOMPARE(result.out.trimmed(),
             QStringLiteral("Remote Password successfully updated and written into Local data base."));
    QCOMPARE(m_unit->model().password(), std::string("N3wpw*****"));
    {
        kestavo::stations::StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QCOMPARE(store.findAddress(QStringLiteral("127.0.0.1")), 0);
        QCOMPARE(store.password(), QStringLiteral("N3wpw*****"));
    }

    // The next command finds the new password in the record.
    m_unit->model().clearLogs();
    result = runLine(QStringLiteral("relay 127.0.0.1 2 on"), 0, false);
    QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
    QCOMPARE(frames(), QList<QByteArray>{bytes(p::relayOnFrame(2, "N3wpw*****"))});
}

void TestCli::rangeFlagsComeFromTheStationRecord()
{
    {
        kestavo::stations::StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(store.add(QStringLiteral("127.0.0.1"), kTyped, QStringLiteral("Bench")));
        QVERIFY(store.writeCurrent({{QStringLiteral("JP7"), 1}}));
    }
    m_unit->model().setChannelRaw(1, 2048);
    m_unit->model().setChannelRaw(2, 2048);
    for (const bool withPassword : {false, true}) {
        const Run result = runLine(QStringLiteral("status 127.0.0.1 --format json"), 0, withPassword);
        QVERIFY2(result.code == cli::ExitDone, qPrintable(result.err));
        const QJsonArray voltages = onlyJsonObject(result.out).value(QStringLiteral("voltages")).toArray();
        QCOMPARE(voltages.at(0).toDouble(), 15.00366300366);
        QCOMPARE(voltages.at(1).toDouble(), 30.00732600733);
    }
}

void TestCli::stationsAddFollowsAddIpRules_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty address") << QStringList{QString(), QStringLiteral("pw"), QStringLiteral("Lab")}
                                   << int(cli::ExitUsage) << QStringLiteral("Add an IP!");
    QTest::newRow("empty password") << QStringList{QStringLiteral("127.0.0.1"), QString(),
                                                   QStringLiteral("Lab")}
                                    << int(cli::ExitUsage) << QStringLiteral("Add a Password!");
    QTest::newRow("empty description")
        << QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("pw"), QString()} << int(cli::ExitUsage)
        << QStringLiteral("Enter a Description!");
    QTest::newRow("star in password")
        << QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("p*w"), QStringLiteral("Lab")}
        << int(cli::ExitUsage) << QStringLiteral("PASSWORD may not contain '*'");
    QTest::newRow("31-character description")
        << QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("pw"), QString(31, u'd')}
        << int(cli::ExitUsage) << QStringLiteral("longer than 30");
    QTest::newRow("leading zeros") << QStringList{QStringLiteral("127.000.000.001"), QStringLiteral("pw"),
                                                  QStringLiteral("Lab")}
                                   << int(cli::ExitUsage) << QStringLiteral("octet 2 has a leading zero");
    QTest::newRow("15-character address")
        << QStringList{QStringLiteral("192.168.100.200"), QStringLiteral("pw"), QStringLiteral("Lab")}
        << int(cli::ExitDone) << QStringLiteral("added 192.168.100.200");
}

void TestCli::stationsAddFollowsAddIpRules()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);
    const Run result =
        run(QStringList{QStringLiteral("stations"), QStringLiteral("add")} + arguments, 0, false);
    QCOMPARE(result.code, code);
    QVERIFY2((result.out + result.err).contains(message), qPrintable(result.out + result.err));
    QCOMPARE(QFile::exists(dbPath()), code == cli::ExitDone);
    if (code == cli::ExitDone) {
        kestavo::stations::StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QCOMPARE(store.count(), 1);
        QCOMPARE(store.entryAt(0), QStringLiteral("192.168.100.200   Lab"));
        QCOMPARE(store.valueAt(0, QStringLiteral("password")).toString(), QStringLiteral("pw********"));
    }
}

void TestCli::stationsListing()
{
    const QString awkward = QStringLiteral("Pump, \"north\"");
    QCOMPARE(run({QStringLiteral("stations"), QStringLiteral("add"), QStringLiteral("127.0.0.1"), kTyped,
                  QStringLiteral("Bench")},
                 0, false)
                 .code,
             int(cli::ExitDone));
    QCOMPARE(
        run({QStringLiteral("stations"), QStringLiteral("add"), QStringLiteral("127.0.0.2"), kTyped, awkward},
            0, false)
            .code,
        int(cli::ExitDone));
    QCOMPARE(runLine(QStringLiteral("stations default 127.0.0.2"), 0, false).code, int(cli::ExitDone));

    Run result = runLine(QStringLiteral("stations --format csv"), 0, false);
    QCOMPARE(result.code, int(cli::ExitDone));
    QCOMPARE(parseCsv(result.out),
             (QList<QStringList>{
                 {QStringLiteral("address"), QStringLiteral("description"), QStringLiteral("default")},
                 {QStringLiteral("127.0.0.1"), QStringLiteral("Bench"), QStringLiteral("false")},
                 {QStringLiteral("127.0.0.2"), awkward, QStringLiteral("true")}}));
    QVERIFY(!result.out.contains(kTyped));

    result = runLine(QStringLiteral("stations --format json"), 0, false);
    const QJsonArray stations = onlyJsonObject(result.out).value(QStringLiteral("stations")).toArray();
    QCOMPARE(stations.size(), 2);
    QCOMPARE(stations.at(1).toObject().value(QStringLiteral("description")).toString(), awkward);
    QCOMPARE(stations.at(1).toObject().value(QStringLiteral("default")).toBool(), true);
    QVERIFY(!result.out.contains(kTyped));

    result = runLine(QStringLiteral("stations"), 0, false);
    QCOMPARE(result.out,
             QStringLiteral("127.0.0.1         Bench\n127.0.0.2         %1   (default)\n").arg(awkward));
}

void TestCli::helpForEveryCommand_data()
{
    QTest::addColumn<QString>("word");
    const QStringList words = {
        QStringLiteral("stations"),     QStringLiteral("status"),   QStringLiteral("watch"),
        QStringLiteral("relay"),        QStringLiteral("scripts"),  QStringLiteral("script"),
        QStringLiteral("timer"),        QStringLiteral("io"),       QStringLiteral("temp"),
        QStringLiteral("name"),         QStringLiteral("password"), QStringLiteral("allow"),
        QStringLiteral("http"),         QStringLiteral("snmp"),     QStringLiteral("set-ip"),
        QStringLiteral("set-mac"),      QStringLiteral("board"),    QStringLiteral("board-scripts"),
        QStringLiteral("board-script"), QStringLiteral("backup"),   QStringLiteral("diff"),
        QStringLiteral("restore")};
    for (const QString& word : words)
        QTest::newRow(qPrintable(word)) << word;
}

void TestCli::helpForEveryCommand()
{
    QFETCH(QString, word);
    const Run page = runLine(word + QStringLiteral(" --help"));
    QCOMPARE(page.code, int(cli::ExitDone));
    QVERIFY2(page.out.contains(QStringLiteral("kestavo-cli ") + word + u' '), qPrintable(page.out));
    QVERIFY(page.out.contains(QStringLiteral("Example")));
    QCOMPARE(runLine(QStringLiteral("help ") + word).out, page.out);

    const Run tool = runLine(QStringLiteral("--help"));
    QCOMPARE(tool.code, int(cli::ExitDone));
    QVERIFY(tool.out.contains(QStringLiteral("\n  ") + word + u' ') ||
            tool.out.contains(QStringLiteral("\n  ") + word + u'\n'));
    QCOMPARE(opcodes(), QString());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
