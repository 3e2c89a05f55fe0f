// The backup document alone: what a unit's replies become, that it reads back as it was written,
// that a bad file is refused as a whole naming the field, and the diff's wording.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "backup/configdiff.h"
#include "backup/configrestore.h"
#include "backup/unitconfig.h"
#include "ksv-sim/unitmodel.h"

using namespace kestavo::backup;
namespace p = kestavo::protocol;
using kestavo::sim::UnitModel;

namespace {

// A unit's readings, decoded from the simulated unit's own replies.
UnitReadings readingsOf(const UnitModel& model)
{
    UnitReadings r;
    r.report = std::get<p::StatusReport>(p::decodeStatus(model.statusReport()));
    r.slotTable = std::get<p::SlotTable>(p::decodeSlotTable(model.slotTableReply()));
    r.boardListing = std::get<std::array<std::string, 16>>(p::decodeBoardListing(model.boardListingReply()));
    r.boardContents = std::get<p::BoardCodes>(p::decodeBoardContents(model.boardContentsReply()));
    return r;
}

UnitModel sampleUnit()
{
    UnitModel::Config config;
    config.password = "s3cr3t";
    config.boards = {true, false, false, false, false, true};
    UnitModel model(config);
    model.setRelayScript(2, "1B27", "Pumps");
    model.setBoardScript(5, "Blink", {0x27, 0x03, 0xA7});
    model.setAllowed(1, {127, 0, 0, 1, 10, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    return model;
}

QJsonObject sampleDocument()
{
    const UnitConfig config =
        configFromUnit(readingsOf(sampleUnit()), QStringLiteral("127.0.0.1"),
                       QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC), QStringLiteral("t"));
    return toJson(config);
}

// Sets the value at a dotted path with [n] indexes ("relay_scripts[1].steps[0]").
QJsonValue withValue(const QJsonValue& node, QStringList path, const QJsonValue& value)
{
    if (path.isEmpty())
        return value;
    QString head = path.takeFirst();
    const qsizetype bracket = head.indexOf(u'[');
    if (bracket >= 0) {
        const int index = head.mid(bracket + 1, head.size() - bracket - 2).toInt();
        QJsonObject object = node.toObject();
        const QString key = head.left(bracket);
        QJsonArray array = object.value(key).toArray();
        array[index] = withValue(array.at(index), path, value);
        object.insert(key, array);
        return object;
    }
    QJsonObject object = node.toObject();
    object.insert(head, withValue(object.value(head), path, value));
    return object;
}

} // namespace

class TestUnitConfig final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void documentReadsBackAsWritten();
    void neverThePassword();
    void badFilesAreRefused_data();
    void badFilesAreRefused();
    void duplicateKeysAreRefused();
    void diffInWords();
    void preflightRefusals_data();
    void preflightRefusals();
};

void TestUnitConfig::documentReadsBackAsWritten()
{
    const UnitConfig config =
        configFromUnit(readingsOf(sampleUnit()), QStringLiteral("127.0.0.1"),
                       QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC), QStringLiteral("t"));
    QCOMPARE(config.relayScripts[1].steps,
             QStringList({QStringLiteral("Relay 1 ON"), QStringLiteral("Wait 5 Seconds"),
                          QStringLiteral("Relay 1 OFF"), QStringLiteral("Wait 1 Second")}));
    QCOMPARE(config.boardScripts->at(4).steps.size(), 3);
    QCOMPARE(config.fittedBoards, QList<int>({1, 6}));
    auto read = fromDocument(toDocument(config));
    if (const auto* error = std::get_if<QString>(&read))
        QFAIL(qPrintable(*error));
    const UnitConfig back = std::get<UnitConfig>(read);
    QVERIFY(compareConfigs(config, back).isEmpty());
    QCOMPARE(back.takenAt, config.takenAt);
    QCOMPARE(back.mac, QStringLiteral("00:0A:1B:2C:3D:4E"));
}

void TestUnitConfig::neverThePassword()
{
    const QByteArray document = QJsonDocument(sampleDocument()).toJson();
    QVERIFY(!document.contains("s3cr3t"));
    QVERIFY(!document.toLower().contains("password"));
}

void TestUnitConfig::badFilesAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("error");
    const auto row = [](const char* name, const char* path, const QJsonValue& value, const char* error) {
        QTest::newRow(name) << QString::fromLatin1(path) << value << QString::fromUtf8(error);
    };
    row("other kind", "kind", QStringLiteral("something"), "kind: not a unit configuration");
    row("newer format", "format", 2, "format: 2 is newer than this console reads (1)");
    row("format a text", "format", QStringLiteral("1"), "format: must be a whole number");
    row("unknown relay step", "relay_scripts[1].steps[0]", QStringLiteral("Relay 4 ON"),
        "Relay script 2, step 1: 'Relay 4 ON' is no step a unit knows (relay_scripts[1].steps[0])");
    row("unknown board step", "board_scripts[4].steps[1]", QStringLiteral("RDB7 Light ON"),
        "Board script 5, step 2: 'RDB7 Light ON' is no step a unit knows (board_scripts[4].steps[1])");
    row("relay slot 9", "relay_scripts[7].slot", 9,
        "Relay script 8, slot number: 9 is out of range (1 to 8) (relay_scripts[7].slot)");
    row("slot twice", "relay_scripts[7].slot", 1,
        "Relay script 8, slot number: slot 1 is listed twice (relay_scripts[7].slot)");
    row("trigger slot 0", "triggers.io[2].slot_for_0", 0,
        "I/O box 3 trigger, slot for a 0: 0 is out of range (1 to 8) (triggers.io[2].slot_for_0)");
    row("octet above 255", "security.allowed_ip.addresses[1]", QStringLiteral("10.256.0.1"),
        "Allowed IP numbers, address 2: '10.256.0.1': octet 2 is 256, above 255 "
        "(security.allowed_ip.addresses[1])");
    row("leading zero", "security.allowed_ip.addresses[1]", QStringLiteral("10.01.0.1"),
        "Allowed IP numbers, address 2: '10.01.0.1': octet 2 has a leading zero");
    row("three-part address", "security.allowed_ip.addresses[0]", QStringLiteral("10.1.2"),
        "Allowed IP numbers, address 1: '10.1.2' is not an IP number of four parts");
    row("unknown rule", "security.allowed_ip.rule", QStringLiteral("some"),
        "Allowed IP numbers, rule: must be");
    row("name too long", "station_name", QStringLiteral("123456789012345678901"),
        "Station name: is longer than 20 characters (station_name)");
    row("escape in the name", "station_name", QStringLiteral("Site\x1b[2J"),
        "Station name: holds a control character");
    row("line feed in a script", "relay_scripts[1].description", QStringLiteral("a\nb"),
        "Relay script 2, description: holds a control character");
    row("missing triggers", "triggers", QJsonValue(QJsonValue::Undefined), "Triggers: is missing (triggers)");
    row("threshold too high", "triggers.temperature.upper_c", 256,
        "Temperature trigger, upper threshold: 256 is out of range (0 to 255) "
        "(triggers.temperature.upper_c)");
    row("seven board slots", "board_scripts", QJsonArray{1, 2, 3, 4, 5, 6, 7},
        "Board scripts: must hold 16 entries, not 7 (board_scripts)");
}

void TestUnitConfig::badFilesAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, error);
    QJsonObject root = sampleDocument();
    if (value.isUndefined())
        root.remove(path);
    else
        root = withValue(root, path.split(u'.'), value).toObject();
    const auto read = fromDocument(QJsonDocument(root).toJson());
    QVERIFY(std::holds_alternative<QString>(read));
    QVERIFY2(std::get<QString>(read).startsWith(error), qPrintable(std::get<QString>(read)));
}

void TestUnitConfig::duplicateKeysAreRefused()
{
    const QByteArray document = QJsonDocument(sampleDocument()).toJson();
    QVERIFY(std::holds_alternative<UnitConfig>(fromDocument(document)));
    // A second "station_name" first in the document: QJsonDocument would keep the last silently.
    QByteArray twice = document;
    twice.insert(document.indexOf('{') + 1, "\"station_name\": \"Other\",");
    const auto read = fromDocument(twice);
    QVERIFY(std::holds_alternative<QString>(read));
    QVERIFY2(std::get<QString>(read).startsWith(QStringLiteral("the key \"station_name\" appears twice")),
             qPrintable(std::get<QString>(read)));
    // Escaped the same key is the same key.
    twice = document;
    twice.insert(document.indexOf('{') + 1, "\"station\\u005fname\": \"Other\",");
    QVERIFY(std::holds_alternative<QString>(fromDocument(twice)));
}

void TestUnitConfig::diffInWords()
{
    const UnitConfig unit = configFromUnit(readingsOf(sampleUnit()), {}, {}, {});
    UnitConfig file = unit;
    file.relayScripts[1].description = QStringLiteral("Pumps B");
    file.relayScripts[1].steps.removeLast();
    file.relayScripts[2] = {QStringLiteral("Fans"), {QStringLiteral("Relay 3 ON")}};
    file.ioTriggers[1] = {true, 2, 3};
    file.httpOn = !*unit.httpOn;
    file.onlyListed = false;
    const QList<Change> changes = compareConfigs(unit, file);
    QStringList texts;
    for (const Change& c : changes)
        texts << c.text;
    QCOMPARE(texts,
             QStringList({
                 QStringLiteral("relay script 2: 'Pumps' \u2192 'Pumps B', steps differ"),
                 QStringLiteral("relay script 3: (empty) \u2192 'Fans'"),
                 QStringLiteral("I/O box 2 trigger: off \u2192 on (slot 2 for a 0, slot 3 for a 1)"),
                 QStringLiteral("status web page: on \u2192 off"),
                 QStringLiteral("allowed IP numbers: only 127.0.0.1, 10.1.2.3, 0.0.0.0, 0.0.0.0, 0.0.0.0 "
                                "\u2192 all"),
             }));
    QCOMPARE(changesIn(changes, {Group::Triggers}).size(), 1);
}

void TestUnitConfig::preflightRefusals_data()
{
    QTest::addColumn<int>("caseNumber");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("warning");
    const QString none;
    QTest::newRow("trigger on a slot left empty")
        << 0 << none
        << QStringLiteral("I/O box 1 trigger: slot 4 will hold no relay script; the trigger is "
                          "written as the file has it");
    QTest::newRow("thresholds the wrong way")
        << 1 << QStringLiteral("The top slider should be GREATER") << none;
    QTest::newRow("equal thresholds") << 2 << QStringLiteral("at least one degree difference") << none;
    QTest::newRow("list without this computer")
        << 3 << QStringLiteral("reaches the unit from 192.168.0.5") << none;
    QTest::newRow("address unknown") << 4 << QStringLiteral("an address that could not be read") << none;
    QTest::newRow("delay the dialogs cannot set")
        << 5 << QStringLiteral("relay 1 delay: 0 s cannot be set") << none;
    QTest::newRow("trigger on a slot being written") << 6 << none << none;
    QTest::newRow("threshold above the sliders") << 7 << QStringLiteral("thresholds of 50 and 20") << none;
    QTest::newRow("temperature trigger on a slot being emptied")
        << 8 << none << QStringLiteral("temperature trigger: slot 2 will hold no relay script");
}

void TestUnitConfig::preflightRefusals()
{
    QFETCH(int, caseNumber);
    QFETCH(QString, refusal);
    QFETCH(QString, warning);
    const UnitReadings readings = readingsOf(sampleUnit());
    const UnitConfig unit = configFromUnit(readings, {}, {}, {});
    UnitConfig file = unit;
    std::optional<std::uint32_t> local = 0xC0A80005; // 192.168.0.5
    switch (caseNumber) {
    case 0:
        file.ioTriggers[0] = {true, 2, 4};
        break;
    case 1:
    case 2:
        file.temperature = {true, 2, 2, 20, caseNumber == 1 ? 30 : 20};
        break;
    case 3:
    case 4:
        file.allowedOctets[0] = 10;
        if (caseNumber == 4)
            local.reset();
        break;
    case 5:
        file.relayDelays[0] = 0;
        break;
    case 6:
        file.relayScripts[3] = {QStringLiteral("New"), {QStringLiteral("Relay 2 ON")}};
        file.ioTriggers[0] = {true, 2, 4};
        break;
    case 7:
        file.temperature = {false, 0, 0, 50, 20};
        break;
    case 8:
        file.relayScripts[1] = {};
        file.temperature = {true, 2, 2, 30, 20};
        break;
    }
    const QList<Change> chosen = compareConfigs(unit, file);
    QVERIFY(!chosen.isEmpty());
    const Preflight checked = preflight(readings, file, chosen, local);
    QVERIFY2(refusal.isEmpty() ? checked.refusal.isEmpty() : checked.refusal.contains(refusal),
             qPrintable(checked.refusal));
    const QString warnings = checked.warnings.join(u'\n');
    QVERIFY2(warning.isEmpty() ? warnings.isEmpty() : warnings.contains(warning), qPrintable(warnings));
}

QTEST_GUILESS_MAIN(TestUnitConfig)
#include "tst_unitconfig.moc"
