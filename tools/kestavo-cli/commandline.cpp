#include "commandline.h"

#include <QHash>

#include "backup/configdiff.h"
#include "helptext.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

// Options that take a value, and plain switches. Everything else starting with '-' is unknown.
const QStringList kValueOptions = {
    QStringLiteral("--db"),       QStringLiteral("--port"),     QStringLiteral("--timeout"),
    QStringLiteral("--format"),   QStringLiteral("--password"), QStringLiteral("--count"),
    QStringLiteral("--interval"), QStringLiteral("--output"),   QStringLiteral("-o"),
    QStringLiteral("--only"),     QStringLiteral("--history"),  QStringLiteral("--since"),
    QStringLiteral("--station")};
const QStringList kSwitches = {QStringLiteral("--no-verify"),  QStringLiteral("--yes"),
                               QStringLiteral("--continuous"), QStringLiteral("--help"),
                               QStringLiteral("-h"),           QStringLiteral("--version"),
                               QStringLiteral("--watch")};

// The positional arguments of one command word, read one by one; the first failure is kept and
// names the argument.
class Reader
{
public:
    Reader(QString word, QStringList args, bool secretArguments)
        : m_word(std::move(word)), m_args(std::move(args)), m_secret(secretArguments)
    {
    }

    qsizetype size() const { return m_args.size(); }
    bool has(qsizetype index) const { return index < m_args.size(); }
    QString at(qsizetype index) const { return m_args.value(index); }

    UsageError error(const QString& message) const { return UsageError{m_word, message}; }

    UsageError missing(const QString& name) const
    {
        return error(QStringLiteral("%1 is missing (usage: kestavo-cli %2)")
                         .arg(name, synopsis(m_word).replace(u'\n', QStringLiteral(" | "))));
    }

    UsageError bad(const QString& name, qsizetype index, const QString& why) const
    {
        return error(QStringLiteral("%1 '%2' %3").arg(name, at(index), why));
    }

    // Too many arguments. The extra text is not echoed for commands that carry a password, in
    // case the extra word is part of one.
    std::optional<UsageError> noMoreThan(qsizetype count) const
    {
        if (m_args.size() <= count)
            return std::nullopt;
        if (m_secret)
            return error(QStringLiteral("too many arguments (usage: kestavo-cli %1)").arg(synopsis(m_word)));
        return error(QStringLiteral("unexpected argument '%1' (usage: kestavo-cli %2)")
                         .arg(at(count), synopsis(m_word).replace(u'\n', QStringLiteral(" | "))));
    }

    std::optional<UsageError> integer(qsizetype index, const QString& name, int min, int max, int* out) const
    {
        if (!has(index))
            return missing(name);
        const Parsed<int> value = parseInteger(at(index), min, max);
        if (!value)
            return bad(name, index, value.error);
        *out = *value;
        return std::nullopt;
    }

    std::optional<UsageError> unit(qsizetype index, Command* command) const
    {
        if (!has(index))
            return missing(QStringLiteral("UNIT"));
        const Parsed<std::array<int, 4>> octets = parseIpv4(at(index));
        if (!octets)
            return bad(QStringLiteral("UNIT"), index, octets.error);
        command->unit = at(index);
        command->unitOctets = *octets;
        return std::nullopt;
    }

    std::optional<UsageError> word(qsizetype index, const QString& name, const QStringList& choices,
                                   QString* out) const
    {
        if (!has(index))
            return missing(name);
        const QString lower = at(index).toLower();
        if (!choices.contains(lower))
            return bad(name, index, QStringLiteral("must be %1").arg(choices.join(QStringLiteral(" or "))));
        *out = lower;
        return std::nullopt;
    }

private:
    QString m_word;
    QStringList m_args;
    bool m_secret;
};

bool isLatin1(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace

// The console's password box: no space or '*' can be typed. A password given to talk to a unit may
// also be written in its stored form, with the '*' padding.
QString passwordProblem(const QString& typed, const QString& name, bool storedFormAllowed)
{
    if (typed.isEmpty())
        return QStringLiteral("%1 is empty").arg(name);
    if (typed.size() > kMaxPassword)
        return QStringLiteral("%1 is longer than %2 characters").arg(name).arg(kMaxPassword);
    if (typed.contains(u' '))
        return QStringLiteral("%1 may not contain a space").arg(name);
    QString unpadded = typed;
    while (storedFormAllowed && unpadded.endsWith(u'*'))
        unpadded.chop(1);
    if (unpadded.isEmpty() || unpadded.contains(u'*'))
        return QStringLiteral("%1 may not contain '*' (it pads passwords to 10 characters)").arg(name);
    if (!isLatin1(typed))
        return QStringLiteral("%1 holds characters the unit cannot store").arg(name);
    return QString();
}

namespace {

std::optional<UsageError> parseStations(const Reader& r, Command* c)
{
    if (!r.has(1)) {
        c->kind = CommandKind::StationsList;
        return std::nullopt;
    }
    const QString sub = r.at(1).toLower();
    if (sub == QStringLiteral("add")) {
        c->kind = CommandKind::StationsAdd;
        // The checks and their order are the "Add IP" dialog's; a missing argument is an empty box.
        const QString address = r.at(2);
        const QString password = r.at(3);
        const QString description = r.at(4);
        if (address.isEmpty())
            return r.error(QStringLiteral("ADDRESS: Add an IP!"));
        if (password.isEmpty())
            return r.error(QStringLiteral("PASSWORD: Add a Password!"));
        if (description.isEmpty())
            return r.error(QStringLiteral("DESCRIPTION: Enter a Description!"));
        if (const auto extra = r.noMoreThan(5))
            return extra;
        for (const QChar ch : address) {
            if (ch != u'.' && (ch < u'0' || ch > u'9'))
                return r.bad(QStringLiteral("ADDRESS"), 2, QStringLiteral("may hold only digits and dots"));
        }
        if (address.size() > kMaxAddressText)
            return r.bad(QStringLiteral("ADDRESS"), 2,
                         QStringLiteral("is longer than %1 characters").arg(kMaxAddressText));
        if (const QString problem = passwordProblem(password, QStringLiteral("PASSWORD"), false);
            !problem.isEmpty())
            return r.error(problem);
        if (description.size() > kMaxStationDescription)
            return r.bad(QStringLiteral("DESCRIPTION"), 4,
                         QStringLiteral("is longer than %1 characters").arg(kMaxStationDescription));
        c->stationAddress = address;
        c->stationPassword = password;
        c->stationDescription = description;
        return std::nullopt;
    }
    if (sub == QStringLiteral("import")) {
        c->kind = CommandKind::StationsImport;
        if (!r.has(2) || r.at(2).isEmpty())
            return r.missing(QStringLiteral("FILE"));
        c->file = r.at(2);
        return r.noMoreThan(3);
    }
    if (sub == QStringLiteral("export")) {
        c->kind = CommandKind::StationsExport;
        c->file = r.at(2);
        return r.noMoreThan(3);
    }
    if (sub == QStringLiteral("remove") || sub == QStringLiteral("default")) {
        c->kind =
            sub == QStringLiteral("remove") ? CommandKind::StationsRemove : CommandKind::StationsDefault;
        if (!r.has(2) || r.at(2).trimmed().isEmpty())
            return r.missing(QStringLiteral("ADDRESS"));
        if (const auto extra = r.noMoreThan(3))
            return extra;
        c->stationAddress = r.at(2).trimmed();
        return std::nullopt;
    }
    return r.bad(QStringLiteral("subcommand"), 1,
                 QStringLiteral("must be add, remove, default, import or export"));
}

std::optional<UsageError> parseRelay(const Reader& r, Command* c)
{
    c->kind = CommandKind::Relay;
    if (auto e = r.integer(2, QStringLiteral("RELAY"), 1, 3, &c->relay))
        return e;
    QString action;
    const QStringList actions = {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("cycle")};
    if (auto e = r.word(3, QStringLiteral("ACTION"), actions, &action))
        return e;
    if (action == QStringLiteral("cycle")) {
        c->relayAction = protocol::RelayCycle;
        if (auto e = r.integer(4, QStringLiteral("SECONDS"), 1, kMaxRelayDelay, &c->seconds))
            return e;
        return r.noMoreThan(5);
    }
    c->relayAction = action == QStringLiteral("on") ? protocol::RelayOn : protocol::RelayOff;
    return r.noMoreThan(4);
}

std::optional<UsageError> parseDescription(const Reader& r, qsizetype index, int maxLength,
                                           const QString& emptyMessage, QString* out)
{
    if (!r.has(index) || r.at(index).isEmpty())
        return r.error(QStringLiteral("DESCRIPTION: %1").arg(emptyMessage));
    if (r.at(index).size() > maxLength)
        return r.bad(QStringLiteral("DESCRIPTION"), index,
                     QStringLiteral("is longer than %1 characters").arg(maxLength));
    if (!isLatin1(r.at(index)))
        return r.bad(QStringLiteral("DESCRIPTION"), index,
                     QStringLiteral("holds characters the unit cannot store"));
    *out = r.at(index);
    return std::nullopt;
}

std::optional<UsageError> parseScript(const Reader& r, Command* c)
{
    QString sub;
    const QStringList subs = {QStringLiteral("upload"), QStringLiteral("run")};
    if (auto e = r.word(2, QStringLiteral("subcommand"), subs, &sub))
        return e;
    if (auto e = r.integer(3, QStringLiteral("SLOT"), 1, protocol::kScriptSlots, &c->slot))
        return e;
    if (sub == QStringLiteral("run")) {
        c->kind = CommandKind::ScriptRun;
        return r.noMoreThan(4);
    }
    c->kind = CommandKind::ScriptUpload;
    if (auto e = parseDescription(r, 4, kMaxScriptDescription, QStringLiteral("No Description !"),
                                  &c->description))
        return e;
    if (!r.has(5))
        return r.error(QStringLiteral("STEP: Make a Script first !"));
    for (qsizetype i = 5; i < r.size(); ++i) {
        const int number = static_cast<int>(i - 4);
        if (number > protocol::kMaxScriptSteps)
            return r.bad(QStringLiteral("STEP %1").arg(number), i,
                         QStringLiteral("is one too many: Script FULL ! (at most 16 steps)"));
        const Parsed<char> step = parseStep(r.at(i));
        if (!step)
            return r.bad(QStringLiteral("STEP %1").arg(number), i, step.error);
        c->codeField.push_back(*step);
    }
    c->stepCount = static_cast<int>(c->codeField.size());
    return std::nullopt;
}

std::optional<UsageError> parseTimer(const Reader& r, Command* c)
{
    QString sub;
    const QStringList subs = {QStringLiteral("set"), QStringLiteral("stop")};
    if (auto e = r.word(2, QStringLiteral("subcommand"), subs, &sub))
        return e;
    if (sub == QStringLiteral("stop")) {
        c->kind = CommandKind::TimerStop;
        return r.noMoreThan(3);
    }
    c->kind = CommandKind::TimerSet;
    if (auto e = r.integer(3, QStringLiteral("SLOT"), 1, protocol::kScriptSlots, &c->slot))
        return e;
    if (!r.has(4))
        return r.missing(QStringLiteral("DURATION"));
    const Parsed<std::uint32_t> duration = parseDuration(r.at(4));
    if (!duration)
        return r.bad(QStringLiteral("DURATION"), 4, duration.error);
    if (*duration == 0)
        return r.bad(QStringLiteral("DURATION"), 4, QStringLiteral("is zero: Choose a delay time!"));
    if (*duration > kMaxTimerSeconds)
        return r.bad(QStringLiteral("DURATION"), 4,
                     QStringLiteral("is %1 s; the longest is 30d24h60m60s (%2 s)")
                         .arg(*duration)
                         .arg(kMaxTimerSeconds));
    c->durationSeconds = *duration;
    return r.noMoreThan(5);
}

std::optional<UsageError> parseIo(const Reader& r, Command* c)
{
    if (auto e = r.integer(2, QStringLiteral("BOX"), 1, 5, &c->box))
        return e;
    QString action;
    if (auto e = r.word(3, QStringLiteral("ACTION"), {QStringLiteral("off"), QStringLiteral("on")}, &action))
        return e;
    if (action == QStringLiteral("off")) {
        c->kind = CommandKind::IoOff;
        return r.noMoreThan(4);
    }
    c->kind = CommandKind::IoOn;
    if (auto e = r.integer(4, QStringLiteral("SLOT_FOR_0"), 1, protocol::kScriptSlots, &c->slotFor0))
        return e;
    if (auto e = r.integer(5, QStringLiteral("SLOT_FOR_1"), 1, protocol::kScriptSlots, &c->slotFor1))
        return e;
    return r.noMoreThan(6);
}

std::optional<UsageError> parseTemperature(const Reader& r, Command* c)
{
    QString action;
    if (auto e = r.word(2, QStringLiteral("ACTION"), {QStringLiteral("off"), QStringLiteral("on")}, &action))
        return e;
    qsizetype next = 3;
    if (action == QStringLiteral("on")) {
        c->kind = CommandKind::TemperatureOn;
        if (auto e = r.integer(3, QStringLiteral("UPPER_SLOT"), 1, protocol::kScriptSlots, &c->upperSlot))
            return e;
        if (auto e = r.integer(4, QStringLiteral("LOWER_SLOT"), 1, protocol::kScriptSlots, &c->lowerSlot))
            return e;
        next = 5;
    } else {
        c->kind = CommandKind::TemperatureOff;
    }
    if (auto e = r.integer(next, QStringLiteral("UPPER"), 0, kMaxThreshold, &c->upper))
        return e;
    if (auto e = r.integer(next + 1, QStringLiteral("LOWER"), 0, kMaxThreshold, &c->lower))
        return e;
    if (auto e = r.noMoreThan(next + 2))
        return e;
    // With the triggers off the console sends whatever the sliders hold, unchecked.
    if (c->kind == CommandKind::TemperatureOn) {
        if (c->upper == c->lower) {
            return r.error(
                QStringLiteral("UPPER %1 and LOWER %2: There should be at least one degree difference "
                               "between the two temperature thresholds !")
                    .arg(c->upper)
                    .arg(c->lower));
        }
        if (c->upper < c->lower) {
            return r.error(
                QStringLiteral("UPPER %1 is below LOWER %2: the upper threshold must be GREATER than "
                               "the lower one")
                    .arg(c->upper)
                    .arg(c->lower));
        }
    }
    return std::nullopt;
}

std::optional<UsageError> parseAllow(const Reader& r, Command* c)
{
    QString rule;
    if (auto e = r.word(2, QStringLiteral("RULE"), {QStringLiteral("all"), QStringLiteral("only")}, &rule))
        return e;
    if (rule == QStringLiteral("all")) {
        c->kind = CommandKind::AllowAll;
        return r.noMoreThan(3);
    }
    c->kind = CommandKind::AllowOnly;
    if (!r.has(3))
        return r.missing(QStringLiteral("IP"));
    for (qsizetype i = 3; i < r.size(); ++i) {
        const int number = static_cast<int>(i - 2);
        if (number > kMaxAllowedAddresses)
            return r.bad(QStringLiteral("IP %1").arg(number), i,
                         QStringLiteral("is one too many (at most five)"));
        const Parsed<std::array<int, 4>> address = parseIpv4(r.at(i));
        if (!address)
            return r.bad(QStringLiteral("IP %1").arg(number), i, address.error);
        c->allowed.push_back(*address);
    }
    return std::nullopt;
}

std::optional<UsageError> parseBoard(const Reader& r, Command* c)
{
    c->kind = CommandKind::Board;
    if (auto e = r.integer(2, QStringLiteral("BOARD"), 1, protocol::kBoards, &c->board))
        return e;
    if (!r.has(3))
        return r.missing(QStringLiteral("ITEM"));
    const Parsed<protocol::BoardItem> item = parseBoardItem(r.at(3));
    if (!item)
        return r.bad(QStringLiteral("ITEM"), 3, item.error);
    c->item = *item;
    QString action;
    if (auto e = r.word(4, QStringLiteral("ACTION"), {QStringLiteral("switch"), QStringLiteral("toggle")},
                        &action))
        return e;
    c->toggle = action == QStringLiteral("toggle");
    if (!c->toggle)
        return r.noMoreThan(5);
    if (c->item == protocol::BoardItem::Light)
        return r.bad(QStringLiteral("ITEM"), 3,
                     QStringLiteral("has no toggle (only relays and the output do)"));
    if (auto e = r.integer(5, QStringLiteral("SECONDS"), 1, kMaxRelayDelay, &c->seconds))
        return e;
    return r.noMoreThan(6);
}

std::optional<UsageError> parseBoardScript(const Reader& r, Command* c)
{
    QString sub;
    if (auto e =
            r.word(2, QStringLiteral("subcommand"), {QStringLiteral("upload"), QStringLiteral("run")}, &sub))
        return e;
    if (auto e = r.integer(3, QStringLiteral("SLOT"), 1, protocol::kBoardSlots, &c->slot))
        return e;
    if (sub == QStringLiteral("run")) {
        c->kind = CommandKind::BoardScriptRun;
        return r.noMoreThan(4);
    }
    c->kind = CommandKind::BoardScriptUpload;
    if (auto e = parseDescription(r, 4, kMaxBoardDescription, QStringLiteral("Enter a Script Description!"),
                                  &c->description))
        return e;
    for (qsizetype i = 5; i < r.size(); ++i) {
        const int number = static_cast<int>(i - 4);
        if (number > protocol::kMaxBoardSteps)
            return r.bad(QStringLiteral("STEP %1").arg(number), i,
                         QStringLiteral("is one too many: Script Full ! (at most 16 steps)"));
        const Parsed<std::uint8_t> step = parseBoardStep(r.at(i));
        if (!step)
            return r.bad(QStringLiteral("STEP %1").arg(number), i, step.error);
        c->boardCodes[static_cast<std::size_t>(number - 1)] = *step;
        c->stepCount = number;
    }
    return std::nullopt;
}

std::optional<UsageError> parseCommandWord(const QString& word, const QStringList& positional, Command* c)
{
    const bool secret = word == QStringLiteral("password") || word == QStringLiteral("stations");
    const Reader r(word, positional, secret);
    if (word == QStringLiteral("stations"))
        return parseStations(r, c);
    if (word == QStringLiteral("audit")) {
        c->kind = CommandKind::Audit;
        return r.noMoreThan(1);
    }
    if (word == QStringLiteral("alarms")) {
        c->kind = CommandKind::Alarms;
        if (!r.has(1))
            return std::nullopt;
        QString sub;
        if (auto e = r.word(1, QStringLiteral("subcommand"), {QStringLiteral("ack")}, &sub))
            return e;
        c->kind = CommandKind::AlarmsAck;
        if (!r.has(2))
            return r.missing(QStringLiteral("ID"));
        if (r.at(2).toLower() != QStringLiteral("all")) {
            bool ok = false;
            c->alarmId = r.at(2).toLongLong(&ok);
            if (!ok || c->alarmId <= 0)
                return r.bad(QStringLiteral("ID"), 2, QStringLiteral("is neither an alarm number nor 'all'"));
        }
        return r.noMoreThan(3);
    }
    if (word == QStringLiteral("fleet")) {
        c->kind = CommandKind::Fleet;
        return r.noMoreThan(1);
    }

    if (auto e = r.unit(1, c))
        return e;
    if (word == QStringLiteral("status")) {
        c->kind = CommandKind::Status;
        return r.noMoreThan(2);
    }
    if (word == QStringLiteral("watch")) {
        c->kind = CommandKind::Watch;
        return r.noMoreThan(2);
    }
    if (word == QStringLiteral("relay"))
        return parseRelay(r, c);
    if (word == QStringLiteral("scripts")) {
        c->kind = CommandKind::Scripts;
        return r.noMoreThan(2);
    }
    if (word == QStringLiteral("script"))
        return parseScript(r, c);
    if (word == QStringLiteral("timer"))
        return parseTimer(r, c);
    if (word == QStringLiteral("io"))
        return parseIo(r, c);
    if (word == QStringLiteral("temp"))
        return parseTemperature(r, c);
    if (word == QStringLiteral("name")) {
        c->kind = CommandKind::Name;
        if (!r.has(2) || r.at(2).isEmpty())
            return r.error(QStringLiteral("NAME: Please Enter a Station Name !"));
        if (r.at(2).size() > kMaxStationName)
            return r.bad(QStringLiteral("NAME"), 2,
                         QStringLiteral("is longer than %1 characters").arg(kMaxStationName));
        if (!isLatin1(r.at(2)))
            return r.bad(QStringLiteral("NAME"), 2, QStringLiteral("holds characters the unit cannot store"));
        c->stationName = r.at(2);
        return r.noMoreThan(3);
    }
    if (word == QStringLiteral("password")) {
        c->kind = CommandKind::Password;
        if (!r.has(2))
            return r.missing(QStringLiteral("NEW_PASSWORD"));
        if (const QString problem = passwordProblem(r.at(2), QStringLiteral("NEW_PASSWORD"), false);
            !problem.isEmpty())
            return r.error(problem);
        c->newPassword = r.at(2);
        return r.noMoreThan(3);
    }
    if (word == QStringLiteral("allow"))
        return parseAllow(r, c);
    if (word == QStringLiteral("http") || word == QStringLiteral("snmp")) {
        c->kind = word == QStringLiteral("http") ? CommandKind::Http : CommandKind::Snmp;
        if (!r.has(2))
            return r.missing(QStringLiteral("on|off"));
        const Parsed<bool> on = parseOnOff(r.at(2));
        if (!on)
            return r.bad(QStringLiteral("SETTING"), 2, on.error);
        c->on = *on;
        return r.noMoreThan(3);
    }
    if (word == QStringLiteral("set-ip")) {
        c->kind = CommandKind::SetIp;
        if (!r.has(2))
            return r.missing(QStringLiteral("A.B.C.D"));
        const Parsed<std::array<int, 4>> address = parseIpv4(r.at(2));
        if (!address)
            return r.bad(QStringLiteral("A.B.C.D"), 2, address.error);
        c->newIp = *address;
        return r.noMoreThan(3);
    }
    if (word == QStringLiteral("set-mac")) {
        c->kind = CommandKind::SetMac;
        if (!r.has(2))
            return r.missing(QStringLiteral("MAC"));
        const Parsed<std::array<int, 6>> mac = parseMac(r.at(2));
        if (!mac)
            return r.bad(QStringLiteral("MAC"), 2, mac.error);
        c->newMac = *mac;
        return r.noMoreThan(3);
    }
    if (word == QStringLiteral("board"))
        return parseBoard(r, c);
    if (word == QStringLiteral("board-scripts")) {
        c->kind = CommandKind::BoardScripts;
        return r.noMoreThan(2);
    }
    if (word == QStringLiteral("board-script"))
        return parseBoardScript(r, c);
    if (word == QStringLiteral("backup")) {
        c->kind = CommandKind::Backup;
        return r.noMoreThan(2);
    }
    if (word == QStringLiteral("diff") || word == QStringLiteral("restore")) {
        c->kind = word == QStringLiteral("diff") ? CommandKind::Diff : CommandKind::Restore;
        if (!r.has(2) || r.at(2).isEmpty())
            return r.missing(QStringLiteral("FILE"));
        c->file = r.at(2);
        return r.noMoreThan(3);
    }
    return UsageError{QString(), QStringLiteral("unknown command '%1'").arg(word)};
}

bool csvAllowed(CommandKind kind)
{
    switch (kind) {
    case CommandKind::Status:
    case CommandKind::Watch:
    case CommandKind::StationsList:
    case CommandKind::Fleet:
    case CommandKind::Scripts:
    case CommandKind::BoardScripts:
    case CommandKind::Alarms:
    case CommandKind::Audit:
        return true;
    default:
        return false;
    }
}

} // namespace

const QStringList& commandWords()
{
    static const QStringList words = {
        QStringLiteral("stations"),      QStringLiteral("fleet"),        QStringLiteral("status"),
        QStringLiteral("watch"),         QStringLiteral("relay"),        QStringLiteral("scripts"),
        QStringLiteral("script"),        QStringLiteral("timer"),        QStringLiteral("io"),
        QStringLiteral("temp"),          QStringLiteral("name"),         QStringLiteral("password"),
        QStringLiteral("allow"),         QStringLiteral("http"),         QStringLiteral("snmp"),
        QStringLiteral("set-ip"),        QStringLiteral("set-mac"),      QStringLiteral("board"),
        QStringLiteral("board-scripts"), QStringLiteral("board-script"), QStringLiteral("backup"),
        QStringLiteral("diff"),          QStringLiteral("restore"),      QStringLiteral("history"),
        QStringLiteral("alarms"),        QStringLiteral("audit")};
    return words;
}

QString commandLabel(CommandKind kind)
{
    switch (kind) {
    case CommandKind::Help:
        return QStringLiteral("help");
    case CommandKind::Version:
        return QStringLiteral("version");
    case CommandKind::StationsList:
        return QStringLiteral("stations");
    case CommandKind::StationsAdd:
        return QStringLiteral("stations add");
    case CommandKind::StationsRemove:
        return QStringLiteral("stations remove");
    case CommandKind::StationsDefault:
        return QStringLiteral("stations default");
    case CommandKind::StationsImport:
        return QStringLiteral("stations import");
    case CommandKind::StationsExport:
        return QStringLiteral("stations export");
    case CommandKind::Fleet:
        return QStringLiteral("fleet");
    case CommandKind::Status:
        return QStringLiteral("status");
    case CommandKind::Watch:
        return QStringLiteral("watch");
    case CommandKind::Relay:
        return QStringLiteral("relay");
    case CommandKind::Scripts:
        return QStringLiteral("scripts");
    case CommandKind::ScriptUpload:
        return QStringLiteral("script upload");
    case CommandKind::ScriptRun:
        return QStringLiteral("script run");
    case CommandKind::TimerSet:
        return QStringLiteral("timer set");
    case CommandKind::TimerStop:
        return QStringLiteral("timer stop");
    case CommandKind::IoOff:
        return QStringLiteral("io off");
    case CommandKind::IoOn:
        return QStringLiteral("io on");
    case CommandKind::TemperatureOff:
        return QStringLiteral("temp off");
    case CommandKind::TemperatureOn:
        return QStringLiteral("temp on");
    case CommandKind::Name:
        return QStringLiteral("name");
    case CommandKind::Password:
        return QStringLiteral("password");
    case CommandKind::AllowAll:
        return QStringLiteral("allow all");
    case CommandKind::AllowOnly:
        return QStringLiteral("allow only");
    case CommandKind::Http:
        return QStringLiteral("http");
    case CommandKind::Snmp:
        return QStringLiteral("snmp");
    case CommandKind::SetIp:
        return QStringLiteral("set-ip");
    case CommandKind::SetMac:
        return QStringLiteral("set-mac");
    case CommandKind::Board:
        return QStringLiteral("board");
    case CommandKind::BoardScripts:
        return QStringLiteral("board-scripts");
    case CommandKind::BoardScriptUpload:
        return QStringLiteral("board-script upload");
    case CommandKind::BoardScriptRun:
        return QStringLiteral("board-script run");
    case CommandKind::Backup:
        return QStringLiteral("backup");
    case CommandKind::Diff:
        return QStringLiteral("diff");
    case CommandKind::Restore:
        return QStringLiteral("restore");
    case CommandKind::Alarms:
        return QStringLiteral("alarms");
    case CommandKind::AlarmsAck:
        return QStringLiteral("alarms ack");
    case CommandKind::Audit:
        return QStringLiteral("audit");
    }
    return QString();
}

bool talksToUnit(CommandKind kind)
{
    switch (kind) {
    case CommandKind::Help:
    case CommandKind::Version:
    case CommandKind::StationsList:
    case CommandKind::StationsAdd:
    case CommandKind::StationsRemove:
    case CommandKind::StationsDefault:
    case CommandKind::Alarms:
    case CommandKind::AlarmsAck:
    case CommandKind::Audit:
    case CommandKind::StationsImport:
    case CommandKind::StationsExport:
    case CommandKind::Fleet:
        return false;
    default:
        return true;
    }
}

std::variant<Command, UsageError> parseArguments(const QStringList& arguments)
{
    Command command;
    QStringList positional;
    QHash<QString, QString> values;
    QStringList switches;
    bool endOfOptions = false;

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (endOfOptions || !argument.startsWith(u'-') || argument.size() == 1) {
            positional << argument;
            continue;
        }
        if (argument == QStringLiteral("--")) {
            endOfOptions = true;
            continue;
        }
        QString name = argument;
        QString value;
        const qsizetype equals = argument.indexOf(u'=');
        const bool inlineValue = argument.startsWith(QStringLiteral("--")) && equals > 2;
        if (inlineValue) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        if (kValueOptions.contains(name)) {
            if (!inlineValue) {
                if (i + 1 >= arguments.size())
                    return UsageError{QString(), QStringLiteral("%1 needs a value").arg(name)};
                value = arguments.at(++i);
            }
            values.insert(name, value);
        } else if (kSwitches.contains(name)) {
            if (inlineValue)
                return UsageError{QString(), QStringLiteral("%1 takes no value").arg(name)};
            switches << (name == QStringLiteral("-h") ? QStringLiteral("--help") : name);
        } else {
            return UsageError{QString(), QStringLiteral("unknown option %1").arg(name)};
        }
    }

    const QString word = positional.value(0).toLower();
    const bool helpWord = word == QStringLiteral("help");
    if (switches.contains(QStringLiteral("--help")) || helpWord) {
        command.kind = CommandKind::Help;
        command.helpTopic = helpWord ? positional.value(1).toLower() : word;
        if (!command.helpTopic.isEmpty() && !commandWords().contains(command.helpTopic))
            return UsageError{QString(), QStringLiteral("unknown command '%1'").arg(command.helpTopic)};
        return command;
    }
    if (switches.contains(QStringLiteral("--version"))) {
        command.kind = CommandKind::Version;
        return command;
    }
    if (word.isEmpty())
        return UsageError{QString(), QStringLiteral("no command given (kestavo-cli --help lists them)")};
    if (!commandWords().contains(word))
        return UsageError{QString(), QStringLiteral("unknown command '%1'").arg(positional.value(0))};

    GlobalOptions& options = command.options;
    const auto optionError = [&word](const QString& message) {
        return UsageError{word, message};
    };
    if (values.contains(QStringLiteral("--db"))) {
        options.db = values.value(QStringLiteral("--db"));
        if (options.db.isEmpty())
            return optionError(QStringLiteral("--db is empty"));
    }
    if (values.contains(QStringLiteral("--port"))) {
        const Parsed<int> port = parseInteger(values.value(QStringLiteral("--port")), 1, 65535);
        if (!port)
            return optionError(
                QStringLiteral("--port '%1' %2").arg(values.value(QStringLiteral("--port")), port.error));
        options.port = *port;
    }
    if (values.contains(QStringLiteral("--timeout"))) {
        const Parsed<int> timeout = parseInteger(values.value(QStringLiteral("--timeout")), 1, 600000);
        if (!timeout) {
            return optionError(QStringLiteral("--timeout '%1' %2")
                                   .arg(values.value(QStringLiteral("--timeout")), timeout.error));
        }
        options.timeoutMs = *timeout;
    }
    if (values.contains(QStringLiteral("--password"))) {
        const QString password = values.value(QStringLiteral("--password"));
        if (const QString problem = passwordProblem(password, QStringLiteral("--password"), true);
            !problem.isEmpty())
            return optionError(problem);
        options.password = password;
    }
    options.noVerify = switches.contains(QStringLiteral("--no-verify"));

    if (auto error = parseCommandWord(word, positional, &command))
        return *error;

    if (values.contains(QStringLiteral("--format"))) {
        const QString format = values.value(QStringLiteral("--format")).toLower();
        if (format == QStringLiteral("text")) {
            options.format = OutputFormat::Text;
        } else if (format == QStringLiteral("json")) {
            options.format = OutputFormat::Json;
        } else if (format == QStringLiteral("csv")) {
            if (!csvAllowed(command.kind)) {
                return optionError(
                    QStringLiteral("--format csv is for status, watch, stations, fleet, scripts, "
                                   "board-scripts, alarms and audit; use text or json with %1")
                        .arg(commandLabel(command.kind)));
            }
            options.format = OutputFormat::Csv;
        } else {
            return optionError(QStringLiteral("--format '%1' must be text, json or csv")
                                   .arg(values.value(QStringLiteral("--format"))));
        }
    }

    // One history file for everything: the fleet records into it, the audit log of every
    // unit-changing command and the alarms live in it.
    if (values.contains(QStringLiteral("--history"))) {
        command.historyFile = values.value(QStringLiteral("--history"));
        if (command.historyFile.isEmpty())
            return optionError(QStringLiteral("--history is empty"));
    }
    if (switches.contains(QStringLiteral("--watch"))) {
        if (command.kind != CommandKind::Fleet)
            return optionError(QStringLiteral("--watch belongs to fleet"));
        command.watch = true;
    }
    const bool watch = command.kind == CommandKind::Watch || command.watch;
    if (values.contains(QStringLiteral("--count"))) {
        if (!watch)
            return optionError(QStringLiteral("--count belongs to watch and fleet --watch"));
        const Parsed<int> count = parseInteger(values.value(QStringLiteral("--count")), 1, 999999999);
        if (!count)
            return optionError(
                QStringLiteral("--count '%1' %2").arg(values.value(QStringLiteral("--count")), count.error));
        command.count = *count;
    }
    if (values.contains(QStringLiteral("--interval"))) {
        if (!watch)
            return optionError(QStringLiteral("--interval belongs to watch and fleet --watch"));
        const Parsed<int> interval = parseInteger(values.value(QStringLiteral("--interval")), 1, 3600000);
        if (!interval) {
            return optionError(QStringLiteral("--interval '%1' %2")
                                   .arg(values.value(QStringLiteral("--interval")), interval.error));
        }
        command.intervalMs = *interval;
    }
    if (switches.contains(QStringLiteral("--continuous"))) {
        if (command.kind != CommandKind::TimerSet)
            return optionError(QStringLiteral("--continuous belongs to timer set"));
        command.continuous = true;
    }
    const QString output = values.contains(QStringLiteral("--output"))
                               ? values.value(QStringLiteral("--output"))
                               : values.value(QStringLiteral("-o"));
    if (values.contains(QStringLiteral("--output")) || values.contains(QStringLiteral("-o"))) {
        if (command.kind != CommandKind::Backup)
            return optionError(QStringLiteral("-o belongs to backup"));
        if (output.isEmpty())
            return optionError(QStringLiteral("-o needs a file name"));
        command.file = output;
    }
    if (values.contains(QStringLiteral("--only"))) {
        if (command.kind != CommandKind::Restore)
            return optionError(QStringLiteral("--only belongs to restore"));
        for (const QString& group : values.value(QStringLiteral("--only")).split(u',')) {
            const QString name = group.trimmed().toLower();
            if (!backup::groupFromName(name))
                return optionError(QStringLiteral("--only '%1' must be a list of name, scripts, boards, "
                                                  "triggers, security and delays")
                                       .arg(group));
            if (!command.only.contains(name))
                command.only << name;
        }
    }
    for (const QString& name : {QStringLiteral("--since"), QStringLiteral("--station")}) {
        if (!values.contains(name))
            continue;
        if (command.kind != CommandKind::Audit)
            return optionError(QStringLiteral("%1 belongs to audit").arg(name));
        if (values.value(name).isEmpty())
            return optionError(QStringLiteral("%1 is empty").arg(name));
    }
    if (values.contains(QStringLiteral("--since")))
        command.since = values.value(QStringLiteral("--since"));
    command.station = values.value(QStringLiteral("--station"));
    const bool addressChange = command.kind == CommandKind::SetIp || command.kind == CommandKind::SetMac;
    const bool yes = switches.contains(QStringLiteral("--yes"));
    command.yes = yes;
    if (yes && !addressChange && command.kind != CommandKind::Restore)
        return optionError(QStringLiteral("--yes belongs to set-ip, set-mac and restore"));
    if (addressChange && !yes) {
        return optionError(QStringLiteral("%1 changes the unit's address and ends every session with it; add "
                                          "--yes to go ahead")
                               .arg(word));
    }
    return command;
}

} // namespace kestavo::cli
