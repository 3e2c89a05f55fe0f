#include "backup/unitconfig.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>

#include "protocol/codes.h"
#include "protocol/conversions.h"
#include "protocol/ipv4.h"
#include "protocol/unitrules.h"

#include "text/csv.h"
#include "text/printable.h"

namespace kestavo::backup {

namespace p = protocol;

namespace {

constexpr std::size_t kNameWidth = 20;
constexpr std::uint8_t kBoardFitted = 255;

// The status report's settings blocks: three bytes per I/O box, five for the temperature trigger.
constexpr std::size_t kIoFields = 3;
enum TemperatureField : std::size_t { TempFlag, TempUpperCode, TempLowerCode, TempUpper, TempLower };

int slotNumber(int code)
{
    const std::optional<int> index = p::slotIndexForCode(code);
    return index ? *index + 1 : 0;
}

QJsonValue slotValue(int slot)
{
    return slot > 0 ? QJsonValue(slot) : QJsonValue(QJsonValue::Null);
}

QJsonValue optionalBool(const std::optional<bool>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonArray slotsJson(const auto& slotList)
{
    QJsonArray list;
    for (std::size_t s = 0; s < slotList.size(); ++s) {
        list.append(QJsonObject{{QStringLiteral("slot"), static_cast<int>(s + 1)},
                                {QStringLiteral("description"), slotList[s].description},
                                {QStringLiteral("steps"), QJsonArray::fromStringList(slotList[s].steps)}});
    }
    return list;
}

bool isLatin1(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

// A field's path in the words the console's windows use for it ("relay_scripts[0].steps[2]" is
// "Relay script 1, step 3"); empty for the document's own fields (format, kind).
QString itemWords(const QString& path)
{
    static const QRegularExpression part(QStringLiteral(R"(^([a-z_0-9]+)(?:\[(\d+)\])?$)"));
    struct Words
    {
        const char* key;
        const char* text;  // %1: the index + 1
        const char* whole; // the list itself, when the path has no index
    };
    static constexpr Words kWords[] = {
        {"station_name", "Station name", "Station name"},
        {"relay_delays", "Relay %1 delay", "Relay delays"},
        {"security", "Security", "Security"},
        {"allowed_ip", "allowed IP numbers", "allowed IP numbers"},
        {"rule", "rule", "rule"},
        {"addresses", "address %1", "addresses"},
        {"http", "Status web page switch", "Status web page switch"},
        {"snmp", "SNMP switch", "SNMP switch"},
        {"triggers", "Triggers", "Triggers"},
        {"io", "I/O box %1 trigger", "I/O box triggers"},
        {"box", "box number", "box number"},
        {"active", "on or off", "on or off"},
        {"slot_for_0", "slot for a 0", "slot for a 0"},
        {"slot_for_1", "slot for a 1", "slot for a 1"},
        {"temperature", "Temperature trigger", "Temperature trigger"},
        {"upper_slot", "slot above the upper threshold", "slot above the upper threshold"},
        {"lower_slot", "slot below the lower threshold", "slot below the lower threshold"},
        {"upper_c", "upper threshold", "upper threshold"},
        {"lower_c", "lower threshold", "lower threshold"},
        {"relay_scripts", "Relay script %1", "Relay scripts"},
        {"board_scripts", "Board script %1", "Board scripts"},
        {"slot", "slot number", "slot number"},
        {"description", "description", "description"},
        {"steps", "step %1", "steps"},
    };
    QStringList words;
    for (const QString& segment : path.split(u'.')) {
        const QRegularExpressionMatch m = part.match(segment);
        if (!m.hasMatch())
            return {};
        const QString key = m.captured(1);
        const auto* found = std::find_if(std::begin(kWords), std::end(kWords),
                                         [&](const Words& w) { return key == QLatin1String(w.key); });
        if (found == std::end(kWords))
            return {};
        const QString text = QString::fromLatin1(found->text);
        if (!text.contains(u'%'))
            words << text;
        else if (m.hasCaptured(2))
            words << text.arg(m.captured(2).toInt() + 1);
        else
            words << QString::fromLatin1(found->whole);
    }
    // "Triggers" and "Security" only group the items below them.
    if (words.size() > 1 && (words.first() == u"Triggers" || words.first() == u"Security"))
        words.removeFirst();
    if (!words.isEmpty())
        words.first()[0] = words.first()[0].toUpper();
    return words.join(QStringLiteral(", "));
}

// Walks the document; the first problem is kept with the path of the field it was found at.
class Reader
{
public:
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    void fail(const QString& path, const QString& why)
    {
        if (!m_error.isEmpty())
            return;
        const QString words = itemWords(path);
        m_error = words.isEmpty() ? QStringLiteral("%1: %2").arg(path, why)
                                  : QStringLiteral("%1: %2 (%3)").arg(words, why, path);
    }

    QJsonObject object(const QJsonObject& parent, const QString& key, const QString& path)
    {
        const QJsonValue v = parent.value(key);
        if (!v.isObject())
            fail(path, v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be an object"));
        return v.toObject();
    }

    QJsonArray array(const QJsonObject& parent, const QString& key, const QString& path,
                     qsizetype expectedSize)
    {
        const QJsonValue v = parent.value(key);
        if (!v.isArray()) {
            fail(path, v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a list"));
            return {};
        }
        const QJsonArray list = v.toArray();
        if (expectedSize >= 0 && list.size() != expectedSize)
            fail(path, QStringLiteral("must hold %1 entries, not %2").arg(expectedSize).arg(list.size()));
        return list;
    }

    int integer(const QJsonValue& v, const QString& path, int min, int max)
    {
        const double d = v.toDouble(-1e300);
        if (!v.isDouble() || d != static_cast<double>(static_cast<long long>(d))) {
            fail(path,
                 v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a whole number"));
            return min;
        }
        if (d < min || d > max) {
            fail(path, QStringLiteral("%1 is out of range (%2 to %3)")
                           .arg(static_cast<long long>(d))
                           .arg(min)
                           .arg(max));
            return min;
        }
        return static_cast<int>(d);
    }

    // A slot number, or null for none.
    int optionalSlot(const QJsonValue& v, const QString& path)
    {
        if (v.isNull())
            return 0;
        return integer(v, path, 1, p::kScriptSlots);
    }

    bool boolean(const QJsonValue& v, const QString& path)
    {
        if (!v.isBool())
            fail(path,
                 v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be true or false"));
        return v.toBool();
    }

    std::optional<bool> optionalBoolean(const QJsonValue& v, const QString& path)
    {
        if (v.isNull())
            return std::nullopt;
        return boolean(v, path);
    }

    QString text(const QJsonValue& v, const QString& path, qsizetype maxLength)
    {
        if (!v.isString()) {
            fail(path, v.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a text"));
            return {};
        }
        const QString s = v.toString();
        if (s.size() > maxLength)
            fail(path, QStringLiteral("is longer than %1 characters").arg(maxLength));
        else if (!isLatin1(s))
            fail(path, QStringLiteral("holds characters the unit cannot store"));
        else if (text::hasControl(s))
            fail(path,
                 QStringLiteral("holds a control character (a line feed, escape, NUL…), which would go to "
                                "the unit and to every screen that shows it"));
        return s;
    }

    // "a.b.c.d" into four octets, read as every program reads addresses (no leading zeros).
    void address(const QJsonValue& v, const QString& path, int* octets)
    {
        const QString s = text(v, path, 15);
        if (failed())
            return;
        std::string problem;
        const auto parsed = protocol::parseIpv4(s.toStdString(), &problem);
        if (!parsed) {
            if (s.split(u'.').size() != 4)
                fail(path, QStringLiteral("'%1' is not an IP number of four parts").arg(s));
            else // "is no IPv4 address (octet 2 is 256, above 255)": the words in brackets
                fail(path, QStringLiteral("'%1': %2")
                               .arg(s, QString::fromStdString(problem).section(u'(', 1).chopped(1)));
            return;
        }
        for (std::size_t k = 0; k < parsed->size(); ++k)
            octets[k] = (*parsed)[k];
    }

    template <std::size_t N>
    void scriptSlots(const QJsonArray& list, const QString& path, std::array<ScriptSlot, N>& slotList,
                     bool board)
    {
        std::array<bool, N> seen{};
        for (qsizetype i = 0; i < list.size() && !failed(); ++i) {
            const QString at = QStringLiteral("%1[%2]").arg(path).arg(i);
            const QJsonObject entry = list.at(i).toObject();
            if (!list.at(i).isObject()) {
                fail(at, QStringLiteral("must be an object"));
                return;
            }
            const int slot = integer(entry.value(QStringLiteral("slot")), at + QStringLiteral(".slot"), 1,
                                     static_cast<int>(N));
            if (failed())
                return;
            if (seen[std::size_t(slot - 1)]) {
                fail(at + QStringLiteral(".slot"), QStringLiteral("slot %1 is listed twice").arg(slot));
                return;
            }
            seen[std::size_t(slot - 1)] = true;
            ScriptSlot& target = slotList[std::size_t(slot - 1)];
            target.description = text(entry.value(QStringLiteral("description")),
                                      at + QStringLiteral(".description"), qsizetype(p::kFieldWidth));
            const QJsonArray steps = array(entry, QStringLiteral("steps"), at + QStringLiteral(".steps"), -1);
            if (steps.size() > p::kMaxScriptSteps)
                fail(at + QStringLiteral(".steps"), QStringLiteral("holds %1 steps; a slot holds at most %2")
                                                        .arg(steps.size())
                                                        .arg(p::kMaxScriptSteps));
            for (qsizetype n = 0; n < steps.size() && !failed(); ++n) {
                const QString stepPath = QStringLiteral("%1.steps[%2]").arg(at).arg(n);
                const QString step = text(steps.at(n), stepPath, 64);
                const std::string s = step.toStdString();
                const bool known = board ? p::boardStepCode(s).has_value() : p::relayStepCode(s).has_value();
                if (!failed() && !known)
                    fail(stepPath, QStringLiteral("'%1' is no step a unit knows").arg(step));
                target.steps << step.trimmed();
            }
        }
    }

private:
    QString m_error;
};

} // namespace

QString fieldText(const std::string& field)
{
    QString text = QString::fromLatin1(field.data(), qsizetype(field.size()));
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

QStringList relayStepTexts(const std::string& codeField)
{
    QStringList steps;
    for (const std::string& step : p::slotPreview(codeField))
        steps << QString::fromStdString(step);
    return steps;
}

QStringList boardStepTexts(const std::array<std::uint8_t, 16>& codes)
{
    QStringList steps;
    for (const std::uint8_t code : codes) {
        if (const std::optional<std::string> text = p::boardStepText(code))
            steps << QString::fromStdString(*text);
    }
    return steps;
}

QString addressText(const std::array<int, 20>& octets, int row)
{
    const auto r = std::size_t(row) * 4;
    return QStringLiteral("%1.%2.%3.%4")
        .arg(octets[r])
        .arg(octets[r + 1])
        .arg(octets[r + 2])
        .arg(octets[r + 3]);
}

UnitConfig configFromUnit(const UnitReadings& readings, const QString& address, const QDateTime& takenAt,
                          const QString& consoleVersion)
{
    const p::StatusReport& r = readings.report;
    UnitConfig c;
    c.stationName = fieldText(r.stationNameRaw.substr(0, std::min(r.stationNameRaw.size(), kNameWidth)));
    for (std::size_t i = 0; i < 3; ++i)
        c.relayDelays[i] = r.relayDelays[i];
    c.onlyListed = r.allowedRule == 1;
    for (std::size_t i = 0; i < 20; ++i)
        c.allowedOctets[i] = r.allowedOctets[i];
    if (r.httpState)
        c.httpOn = *r.httpState == 0;
    if (r.snmpState)
        c.snmpOn = *r.snmpState == 0;
    for (std::size_t b = 0; b < 5; ++b) {
        IoTrigger& t = c.ioTriggers[b];
        t.active = r.ioSettings[b * kIoFields] == 1;
        if (t.active) {
            t.slotFor0 = slotNumber(r.ioSettings[b * kIoFields + 1]);
            t.slotFor1 = slotNumber(r.ioSettings[b * kIoFields + 2]);
        }
    }
    const auto& ts = r.temperatureSetting;
    c.temperature.active = ts[TempFlag] == 1;
    if (c.temperature.active) {
        c.temperature.upperSlot = slotNumber(ts[TempUpperCode]);
        c.temperature.lowerSlot = slotNumber(ts[TempLowerCode]);
    }
    c.temperature.upper = ts[TempUpper];
    c.temperature.lower = ts[TempLower];
    for (std::size_t s = 0; s < c.relayScripts.size(); ++s) {
        c.relayScripts[s].description = fieldText(readings.slotTable[s].description);
        c.relayScripts[s].steps = relayStepTexts(readings.slotTable[s].codeField);
    }
    if (readings.boardListing && readings.boardContents) {
        std::array<ScriptSlot, 16> boards;
        for (std::size_t s = 0; s < boards.size(); ++s) {
            boards[s].description = fieldText((*readings.boardListing)[s]);
            boards[s].steps = boardStepTexts((*readings.boardContents)[s]);
        }
        c.boardScripts = boards;
    }

    c.mac = QString::fromStdString(r.macText);
    c.address = address;
    c.firmware = QString::fromStdString(p::revisionDotted(r.revisionBytes));
    c.revision = r.revision;
    if (r.boardPresence) {
        for (std::size_t b = 0; b < r.boardPresence->size(); ++b) {
            if ((*r.boardPresence)[b] == kBoardFitted)
                c.fittedBoards << int(b + 1);
        }
    }
    c.takenAt = takenAt.toUTC();
    c.consoleVersion = consoleVersion;
    return c;
}

QJsonObject toJson(const UnitConfig& c)
{
    QJsonArray addresses;
    for (int row = 0; row < 5; ++row)
        addresses.append(addressText(c.allowedOctets, row));
    QJsonArray io;
    for (std::size_t b = 0; b < c.ioTriggers.size(); ++b) {
        const IoTrigger& t = c.ioTriggers[b];
        io.append(QJsonObject{{QStringLiteral("box"), int(b + 1)},
                              {QStringLiteral("active"), t.active},
                              {QStringLiteral("slot_for_0"), slotValue(t.slotFor0)},
                              {QStringLiteral("slot_for_1"), slotValue(t.slotFor1)}});
    }
    const TemperatureTrigger& t = c.temperature;
    QJsonArray fitted;
    for (const int board : c.fittedBoards)
        fitted.append(board);
    return QJsonObject{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("kind"), QString::fromLatin1(kKind)},
        {QStringLiteral("station_name"), c.stationName},
        {QStringLiteral("relay_delays"), QJsonArray{c.relayDelays[0], c.relayDelays[1], c.relayDelays[2]}},
        {QStringLiteral("security"),
         QJsonObject{{QStringLiteral("allowed_ip"),
                      QJsonObject{{QStringLiteral("rule"),
                                   c.onlyListed ? QStringLiteral("only") : QStringLiteral("all")},
                                  {QStringLiteral("addresses"), addresses}}},
                     {QStringLiteral("http"), optionalBool(c.httpOn)},
                     {QStringLiteral("snmp"), optionalBool(c.snmpOn)}}},
        {QStringLiteral("triggers"),
         QJsonObject{{QStringLiteral("io"), io},
                     {QStringLiteral("temperature"),
                      QJsonObject{{QStringLiteral("active"), t.active},
                                  {QStringLiteral("upper_slot"), slotValue(t.upperSlot)},
                                  {QStringLiteral("lower_slot"), slotValue(t.lowerSlot)},
                                  {QStringLiteral("upper_c"), t.upper},
                                  {QStringLiteral("lower_c"), t.lower}}}}},
        {QStringLiteral("relay_scripts"), slotsJson(c.relayScripts)},
        {QStringLiteral("board_scripts"),
         c.boardScripts ? QJsonValue(slotsJson(*c.boardScripts)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("information"),
         QJsonObject{{QStringLiteral("mac"), c.mac},
                     {QStringLiteral("address"), c.address},
                     {QStringLiteral("firmware"), c.firmware},
                     {QStringLiteral("fitted_boards"), fitted},
                     {QStringLiteral("taken_at"), c.takenAt.toString(Qt::ISODate)},
                     {QStringLiteral("console_version"), c.consoleVersion}}},
    };
}

QByteArray toDocument(const UnitConfig& config)
{
    return QJsonDocument(toJson(config)).toJson(QJsonDocument::Indented);
}

namespace {

// The first key that appears twice in one object of a document QJsonDocument has accepted (which
// keeps the last silently), and where; empty when there is none. Keys are compared as decoded.
std::optional<std::pair<QString, qsizetype>> firstDuplicateKey(const QByteArray& bytes)
{
    struct Frame
    {
        bool object = false;
        bool expectKey = false;
        QSet<QString> keys;
    };
    QList<Frame> stack;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '{' || c == '[') {
            stack.append(Frame{c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (!stack.isEmpty())
                stack.removeLast();
        } else if (c == ',') {
            if (!stack.isEmpty() && stack.last().object)
                stack.last().expectKey = true;
        } else if (c == '"') {
            const qsizetype start = i;
            for (++i; i < bytes.size() && bytes.at(i) != '"'; ++i) {
                if (bytes.at(i) == '\\')
                    ++i;
            }
            if (stack.isEmpty() || !stack.last().object || !stack.last().expectKey)
                continue;
            stack.last().expectKey = false;
            const QJsonDocument decoded =
                QJsonDocument::fromJson('[' + bytes.mid(start, i - start + 1) + ']');
            const QString key = decoded.array().at(0).toString();
            if (stack.last().keys.contains(key))
                return std::pair{text::quoteField(text::printable(key)), start};
            stack.last().keys.insert(key);
        }
    }
    return std::nullopt;
}

} // namespace

std::variant<UnitConfig, QString> fromDocument(const QByteArray& bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("not a JSON document (%1 at byte %2)")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    if (!document.isObject())
        return QStringLiteral("not a unit configuration: the document is not a JSON object");
    if (const auto duplicate = firstDuplicateKey(bytes))
        return QStringLiteral(
                   "the key \"%1\" appears twice in one object (again at byte %2); which one is meant?")
            .arg(duplicate->first)
            .arg(duplicate->second);
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("kind")).toString() != QString::fromLatin1(kKind))
        return QStringLiteral("kind: not a unit configuration (expected \"%1\")")
            .arg(QString::fromLatin1(kKind));

    Reader r;
    UnitConfig c;
    const int format = r.integer(root.value(QStringLiteral("format")), QStringLiteral("format"), 1, 1 << 30);
    if (!r.failed() && format > kFormat)
        return QStringLiteral("format: %1 is newer than this console reads (%2); use a newer console")
            .arg(format)
            .arg(kFormat);

    c.stationName = r.text(root.value(QStringLiteral("station_name")), QStringLiteral("station_name"),
                           qsizetype(kNameWidth));
    const QJsonArray delays =
        r.array(root, QStringLiteral("relay_delays"), QStringLiteral("relay_delays"), 3);
    for (qsizetype i = 0; i < delays.size() && !r.failed(); ++i)
        c.relayDelays[std::size_t(i)] =
            r.integer(delays.at(i), QStringLiteral("relay_delays[%1]").arg(i), 0, 255);

    const QJsonObject security = r.object(root, QStringLiteral("security"), QStringLiteral("security"));
    const QJsonObject allowed =
        r.object(security, QStringLiteral("allowed_ip"), QStringLiteral("security.allowed_ip"));
    const QString rule = allowed.value(QStringLiteral("rule")).toString();
    if (!r.failed() && rule != QStringLiteral("all") && rule != QStringLiteral("only"))
        r.fail(QStringLiteral("security.allowed_ip.rule"), QStringLiteral("must be \"all\" or \"only\""));
    c.onlyListed = rule == QStringLiteral("only");
    const QJsonArray addresses =
        r.array(allowed, QStringLiteral("addresses"), QStringLiteral("security.allowed_ip.addresses"), 5);
    for (qsizetype i = 0; i < addresses.size() && !r.failed(); ++i)
        r.address(addresses.at(i), QStringLiteral("security.allowed_ip.addresses[%1]").arg(i),
                  &c.allowedOctets[std::size_t(i) * 4]);
    c.httpOn = r.optionalBoolean(security.value(QStringLiteral("http")), QStringLiteral("security.http"));
    c.snmpOn = r.optionalBoolean(security.value(QStringLiteral("snmp")), QStringLiteral("security.snmp"));

    const QJsonObject triggers = r.object(root, QStringLiteral("triggers"), QStringLiteral("triggers"));
    const QJsonArray io = r.array(triggers, QStringLiteral("io"), QStringLiteral("triggers.io"), 5);
    for (qsizetype i = 0; i < io.size() && !r.failed(); ++i) {
        const QString at = QStringLiteral("triggers.io[%1]").arg(i);
        const QJsonObject entry = io.at(i).toObject();
        const int box = r.integer(entry.value(QStringLiteral("box")), at + QStringLiteral(".box"), 1, 5);
        if (!r.failed() && box != i + 1)
            r.fail(at + QStringLiteral(".box"),
                   QStringLiteral("must be %1 (boxes are listed in order)").arg(i + 1));
        IoTrigger& t = c.ioTriggers[std::size_t(i)];
        t.active = r.boolean(entry.value(QStringLiteral("active")), at + QStringLiteral(".active"));
        t.slotFor0 =
            r.optionalSlot(entry.value(QStringLiteral("slot_for_0")), at + QStringLiteral(".slot_for_0"));
        t.slotFor1 =
            r.optionalSlot(entry.value(QStringLiteral("slot_for_1")), at + QStringLiteral(".slot_for_1"));
        if (!t.active)
            t.slotFor0 = t.slotFor1 = 0;
    }
    const QJsonObject temperature =
        r.object(triggers, QStringLiteral("temperature"), QStringLiteral("triggers.temperature"));
    const QString tp = QStringLiteral("triggers.temperature.");
    c.temperature.active =
        r.boolean(temperature.value(QStringLiteral("active")), tp + QStringLiteral("active"));
    c.temperature.upperSlot =
        r.optionalSlot(temperature.value(QStringLiteral("upper_slot")), tp + QStringLiteral("upper_slot"));
    c.temperature.lowerSlot =
        r.optionalSlot(temperature.value(QStringLiteral("lower_slot")), tp + QStringLiteral("lower_slot"));
    c.temperature.upper =
        r.integer(temperature.value(QStringLiteral("upper_c")), tp + QStringLiteral("upper_c"), 0, 255);
    c.temperature.lower =
        r.integer(temperature.value(QStringLiteral("lower_c")), tp + QStringLiteral("lower_c"), 0, 255);
    if (!c.temperature.active)
        c.temperature.upperSlot = c.temperature.lowerSlot = 0;

    const QJsonArray relays =
        r.array(root, QStringLiteral("relay_scripts"), QStringLiteral("relay_scripts"), p::kScriptSlots);
    r.scriptSlots(relays, QStringLiteral("relay_scripts"), c.relayScripts, false);
    const QJsonValue boards = root.value(QStringLiteral("board_scripts"));
    if (!boards.isNull()) {
        const QJsonArray list =
            r.array(root, QStringLiteral("board_scripts"), QStringLiteral("board_scripts"), p::kBoardSlots);
        std::array<ScriptSlot, 16> slotList;
        r.scriptSlots(list, QStringLiteral("board_scripts"), slotList, true);
        c.boardScripts = slotList;
    }

    const QJsonObject info = root.value(QStringLiteral("information")).toObject();
    c.mac = info.value(QStringLiteral("mac")).toString();
    c.address = info.value(QStringLiteral("address")).toString();
    c.firmware = info.value(QStringLiteral("firmware")).toString();
    for (const QJsonValue v : info.value(QStringLiteral("fitted_boards")).toArray())
        c.fittedBoards << v.toInt();
    c.takenAt = QDateTime::fromString(info.value(QStringLiteral("taken_at")).toString(), Qt::ISODate);
    c.consoleVersion = info.value(QStringLiteral("console_version")).toString();

    if (r.failed())
        return r.error();
    return c;
}

} // namespace kestavo::backup
