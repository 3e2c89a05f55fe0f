#include "helptext.h"

#include <QHash>
#include <QStringList>

namespace kestavo::cli {

namespace {

struct Page
{
    QString word;
    QString synopsis;
    QString details;
};

const QList<Page>& pages()
{
    static const QList<Page> all = {
        {QStringLiteral("stations"),
         QStringLiteral("stations\n"
                        "stations add ADDRESS PASSWORD DESCRIPTION\n"
                        "stations remove ADDRESS\n"
                        "stations default ADDRESS\n"
                        "stations import FILE.csv\n"
                        "stations export [FILE.csv]\n"
                        "stations maintenance [ADDRESS --for 2h --reason TEXT | ADDRESS --end]"),
         QStringLiteral(
             "The station database the console uses; `stations maintenance` takes a station out of\n"
             "service for a time (its alarms are not notified; history file, audited).\n"
             "  stations                 list every station: address, description, default flag\n"
             "                           (--format text, json or csv); passwords are never shown\n"
             "  stations add             append a station, with the rules of the console's \"Add IP\":\n"
             "                           ADDRESS digits and dots, at most 15; PASSWORD at most 10\n"
             "                           characters, no space or '*' (padded with '*' to 10);\n"
             "                           DESCRIPTION at most 30 characters\n"
             "  stations remove          delete the first station with ADDRESS (never the first record)\n"
             "  stations default         make the first station with ADDRESS the default one\n"
             "  stations import          add or update stations from CSV with the columns\n"
             "                           address,password,description (header row optional). Every\n"
             "                           row is checked first with the rules of \"add\"; one bad row is\n"
             "                           reported with its line number and nothing is written. An\n"
             "                           address already listed updates that station; an empty\n"
             "                           password keeps its password\n"
             "  stations export          write the same columns (standard output or FILE.csv), the\n"
             "                           password column always empty\n"
             "Example:\n"
             "  kestavo-cli stations add 127.0.0.1 secret \"Bench simulator\"")},
        {QStringLiteral("fleet"),
         QStringLiteral("fleet [--watch] [--count N] [--interval MS] [--history FILE]"),
         QStringLiteral("Poll every station of the database at once and print one line (text), object\n"
                        "(json) or row (csv) per station: address, description, state (online,\n"
                        "bad-password, offline, invalid), age_s, rtt_ms, relays, temperature_c,\n"
                        "voltages, io. Waits up to --timeout for the answers. --watch polls again every\n"
                        "second (--interval MS) and prints every round (JSON Lines with --format json)\n"
                        "until interrupted or N rounds (--count). --history FILE records every report\n"
                        "into that history file as the console does. Exit 0 when every station is online,\n"
                        "1 when any is not, 3 for a database problem.\n"
                        "Example:\n"
                        "  kestavo-cli fleet --format json")},
        {QStringLiteral("status"), QStringLiteral("status UNIT"),
         QStringLiteral("Ask UNIT for one status report and print it decoded: MAC address, the eight\n"
                        "voltages, relays, I/O pins, temperature, firmware revision, uptime, station\n"
                        "name, relay timer, HTTP and SNMP switches, daughter boards.\n"
                        "Example:\n"
                        "  kestavo-cli --port 7007 --password secret status 127.0.0.1 --format json")},
        {QStringLiteral("watch"), QStringLiteral("watch UNIT [--count N] [--interval MS]"),
         QStringLiteral("Poll UNIT like the console does (every 1000 ms unless --interval says otherwise)\n"
                        "and print one line per status report: text, JSON Lines (--format json) or CSV\n"
                        "with a header row (--format csv). Stops after N reports with --count, when\n"
                        "interrupted, or when the unit has been silent for 60 s.\n"
                        "Example:\n"
                        "  kestavo-cli watch 127.0.0.1 --count 10 --format csv")},
        {QStringLiteral("relay"), QStringLiteral("relay UNIT 1|2|3 on|off|cycle SECONDS"),
         QStringLiteral("Switch one of the unit's three relays on, off, or off and back on after SECONDS\n"
                        "(1 to 60). The next status report must show the change (\"relay 1 is ON\");\n"
                        "--no-verify sends the frame and returns at once.\n"
                        "Example:\n"
                        "  kestavo-cli relay 127.0.0.1 2 cycle 5")},
        {QStringLiteral("scripts"), QStringLiteral("scripts UNIT"),
         QStringLiteral("Read the eight relay-script slots: description, code field and steps.\n"
                        "Example:\n"
                        "  kestavo-cli scripts 127.0.0.1 --format json")},
        {QStringLiteral("script"),
         QStringLiteral("script UNIT upload SLOT DESCRIPTION STEP…\n"
                        "script UNIT run SLOT"),
         QStringLiteral("Upload a relay script into SLOT (1 to 8) or run the script stored there.\n"
                        "DESCRIPTION: 1 to 15 characters. STEP: a step text (\"Relay 1 ON\",\n"
                        "\"Wait 2 Seconds\", …) or its code (1 to 9, A, B); 1 to 16 steps.\n"
                        "  Relay 1 ON 1    Relay 1 OFF 2    Relay 2 ON 3    Relay 2 OFF 4\n"
                        "  Relay 3 ON 5    Relay 3 OFF 6    Wait 1 Second 7 Wait 2 Seconds 8\n"
                        "  Wait 3 Seconds 9  Wait 4 Seconds A  Wait 5 Seconds B\n"
                        "An upload is read back from the unit; a run first checks that the slot holds\n"
                        "a script, then waits for \"Relay Script Executed !\". --no-verify skips the\n"
                        "read-back and the check.\n"
                        "Examples:\n"
                        "  kestavo-cli script 127.0.0.1 upload 3 \"Pump cycle\" \"Relay 1 ON\" B 2\n"
                        "  kestavo-cli script 127.0.0.1 run 3")},
        {QStringLiteral("timer"),
         QStringLiteral("timer UNIT set SLOT DURATION [--continuous]\n"
                        "timer UNIT stop"),
         QStringLiteral("Set the relay timer to run the script in SLOT after DURATION (seconds, or units\n"
                        "such as 1d2h3m4s; at most 30d24h60m60s), once or, with --continuous, over and\n"
                        "over; or stop it. Waits for \"Timer Data Received !\" / \"Timer Stopped\n"
                        "Forcefully !\".\n"
                        "Examples:\n"
                        "  kestavo-cli timer 127.0.0.1 set 3 1h30m --continuous\n"
                        "  kestavo-cli timer 127.0.0.1 stop")},
        {QStringLiteral("io"),
         QStringLiteral("io UNIT BOX off\n"
                        "io UNIT BOX on SLOT_FOR_0 SLOT_FOR_1"),
         QStringLiteral("Set what I/O box BOX (1 to 5) does when its pin changes: nothing, or run the\n"
                        "script in SLOT_FOR_0 on a change to 0 and SLOT_FOR_1 on a change to 1. Waits\n"
                        "for \"I/O Data Received !\".\n"
                        "Example:\n"
                        "  kestavo-cli io 127.0.0.1 5 on 1 8")},
        {QStringLiteral("temp"),
         QStringLiteral("temp UNIT off UPPER LOWER\n"
                        "temp UNIT on UPPER_SLOT LOWER_SLOT UPPER LOWER"),
         QStringLiteral("Set the temperature triggers: run UPPER_SLOT when the unit gets warmer than\n"
                        "UPPER °C and LOWER_SLOT when it gets colder than LOWER °C (0 to 49, UPPER above\n"
                        "LOWER), or switch them off. Waits for \"Temperature Data Received !\".\n"
                        "Example:\n"
                        "  kestavo-cli temp 127.0.0.1 on 2 3 30 29")},
        {QStringLiteral("name"), QStringLiteral("name UNIT NAME"),
         QStringLiteral("Give the unit a station name of 1 to 20 characters; the next status report must\n"
                        "show it (--no-verify skips that).\n"
                        "Example:\n"
                        "  kestavo-cli name 127.0.0.1 \"Pump house\"")},
        {QStringLiteral("password"), QStringLiteral("password UNIT NEW_PASSWORD"),
         QStringLiteral("Change the unit's remote password (1 to 10 characters, no space or '*'). When\n"
                        "the unit accepts it, the station record is updated so that later commands use\n"
                        "the new password.\n"
                        "Example:\n"
                        "  kestavo-cli password 127.0.0.1 n3wpass")},
        {QStringLiteral("allow"),
         QStringLiteral("allow UNIT all\n"
                        "allow UNIT only IP…"),
         QStringLiteral("Let every client address talk to the unit, or only the one to five listed.\n"
                        "Example:\n"
                        "  kestavo-cli allow 127.0.0.1 only 127.0.0.1 192.168.1.20")},
        {QStringLiteral("http"), QStringLiteral("http UNIT on|off"),
         QStringLiteral("Switch the unit's status web page on or off (firmware above 1.6.7). Waits for\n"
                        "\"HTTP Server Status Changed !\".\n"
                        "Example:\n"
                        "  kestavo-cli http 127.0.0.1 off")},
        {QStringLiteral("snmp"), QStringLiteral("snmp UNIT on|off"),
         QStringLiteral("Allow or refuse SNMP access (firmware above 1.7.0). Waits for \"SNMP Access\n"
                        "Changed !\".\n"
                        "Example:\n"
                        "  kestavo-cli snmp 127.0.0.1 on")},
        {QStringLiteral("set-ip"), QStringLiteral("set-ip UNIT A.B.C.D --yes"),
         QStringLiteral("Give the unit a new IP address. The unit does not answer; it stops answering at\n"
                        "the old address, and the station record keeps the old one (add the new address\n"
                        "with `stations add`). Needs --yes.\n"
                        "Example:\n"
                        "  kestavo-cli set-ip 127.0.0.1 127.0.0.2 --yes")},
        {QStringLiteral("set-mac"), QStringLiteral("set-mac UNIT XX:XX:XX:XX:XX:XX --yes"),
         QStringLiteral("Give the unit a new MAC address (sent twice, as the console does). Needs --yes.\n"
                        "Example:\n"
                        "  kestavo-cli set-mac 127.0.0.1 00:0A:1B:2C:3D:4F --yes")},
        {QStringLiteral("board"),
         QStringLiteral("board UNIT BOARD ITEM switch\n"
                        "board UNIT BOARD ITEM toggle SECONDS"),
         QStringLiteral("Change over ITEM (relay1 … relay6, output, light) of daughter board BOARD (1 to\n"
                        "6), or change it over and back after SECONDS (1 to 60; not the light). Waits\n"
                        "for \"RDB Command Success !\", then for a status report that shows the change\n"
                        "(--no-verify skips the status reports before and after).\n"
                        "Example:\n"
                        "  kestavo-cli board 127.0.0.1 1 relay2 toggle 15")},
        {QStringLiteral("board-scripts"), QStringLiteral("board-scripts UNIT"),
         QStringLiteral("Read the sixteen daughter-board script slots: description and steps.\n"
                        "Example:\n"
                        "  kestavo-cli board-scripts 127.0.0.1")},
        {QStringLiteral("board-script"),
         QStringLiteral("board-script UNIT upload SLOT DESCRIPTION STEP…\n"
                        "board-script UNIT run SLOT"),
         QStringLiteral("Upload a daughter-board script into SLOT (1 to 16) or run it. DESCRIPTION: 1 to\n"
                        "16 characters. STEP: a palette text (\"RDB1 Relay 1 NC\", \"RDB2 Output OFF\",\n"
                        "\"RDB6 Light ON\", \"Wait 1 Second\" … \"Wait 10 Seconds\") or its code (0x20);\n"
                        "at most 16 steps. An upload is read back; a run first checks that the slot\n"
                        "holds steps (--no-verify skips both).\n"
                        "Examples:\n"
                        "  kestavo-cli board-script 127.0.0.1 upload 3 Blink \"RDB2 Light OFF\" \"Wait 3 "
                        "Seconds\" \"RDB2 Light ON\"\n"
                        "  kestavo-cli board-script 127.0.0.1 run 3")},
        {QStringLiteral("backup"), QStringLiteral("backup UNIT [-o FILE]"),
         QStringLiteral("Read the unit's configuration (station name, relay delays, allowed IP numbers,\n"
                        "HTTP and SNMP switches, triggers, relay and board scripts) with read requests\n"
                        "only, and write it as a JSON document (docs/backup.md) to standard output or\n"
                        "FILE. The password is never part of it.\n"
                        "Example:\n"
                        "  kestavo-cli backup 127.0.0.1 -o pumphouse.json")},
        {QStringLiteral("diff"), QStringLiteral("diff UNIT FILE"),
         QStringLiteral("Compare the unit with a backup document, item by item, in words. Exit code 0\n"
                        "when they match, 1 when they differ, 2 when FILE is refused or the unit could\n"
                        "not be read.\n"
                        "Example:\n"
                        "  kestavo-cli diff 127.0.0.1 pumphouse.json")},
        {QStringLiteral("restore"),
         QStringLiteral("restore UNIT FILE [--only name,scripts,boards,triggers,security,delays] [--yes]"),
         QStringLiteral("Show what differs, ask once (unless --yes), then write only what differs, in a\n"
                        "safe order (scripts before the triggers that run them, the allowed-IP list\n"
                        "last), each item checked through the unit's next report or table. Stops at\n"
                        "the first refusal and names what was and was not written. A list that would\n"
                        "shut out this computer is refused, and a firmware too old for an item skips\n"
                        "it. Relay delays are written only with --only delays: setting one switches\n"
                        "the relay off and on again.\n"
                        "Example:\n"
                        "  kestavo-cli restore 127.0.0.1 pumphouse.json --only scripts,triggers")},
        {QStringLiteral("history"),
         QStringLiteral("history UNIT [--from TIME] [--to TIME] [--step raw|1m|1h]"),
         QStringLiteral("Print UNIT's recorded readings from the history file (--history FILE, default\n"
                        "history.db beside the station database): time, v1 … v8 in volts,\n"
                        "temperature_c, relay1 … relay3, io1 … io5, and for 1m / 1h steps a min and max\n"
                        "column per reading and the sample count. TIME is ISO 8601 (UTC unless a zone\n"
                        "is given), now, or a time back from now: -90m, -24h, -7d (default: the last\n"
                        "24 h). --format text, json (JSON Lines) or csv (RFC 4180, the columns of the\n"
                        "Trends window's export). Exit 3 when the history file is missing or unreadable.\n"
                        "Example:\n"
                        "  kestavo-cli history 127.0.0.1 --from -7d --step 1h --format csv")},
        {QStringLiteral("notify"),
         QStringLiteral("notify routes\nnotify routes add --kind webhook|email …\nnotify routes remove ID\n"
                        "notify routes test ID"),
         QStringLiteral("List, add, remove or test the notification routes kept in the history file:\n"
                        "where alarm messages go (a webhook URL or a mailbox) and how often. The\n"
                        "program evaluating a station's alarms sends them (docs/alarms.md). See\n"
                        "'kestavo-cli notify --help' for every option.\n"
                        "Examples:\n"
                        "  kestavo-cli notify routes add --kind webhook --url https://push.example/alarms --preset text\n"
                        "  kestavo-cli notify routes add --kind email --to oncall@example.org \\\n"
                        "      --smtp smtp://mail.example.org:587 --smtp-user kestavo --smtp-password-file pw\n"
                        "  kestavo-cli notify routes test 1")},
        {QStringLiteral("alarms"), QStringLiteral("alarms\nalarms ack ID|all\nalarms report [--since 7d]"),
         QStringLiteral("List the alarms still open in the history file (active, or cleared but not yet\n"
                        "acknowledged), or acknowledge one alarm or all of them in your name. A running\n"
                        "console picks the acknowledgement up within a few seconds (docs/alarms.md).\n"
                        "Examples:\n"
                        "  kestavo-cli alarms --format json\n"
                        "  kestavo-cli alarms ack 12\n"
                        "  kestavo-cli alarms report --since 30d --format csv")},
        {QStringLiteral("audit"), QStringLiteral("audit [--since TIME] [--station UNIT]"),
         QStringLiteral("Print the audit log: every command that changed a unit, sent by the console,\n"
                        "this client or the agent, with who sent it and what the unit answered. TIME is\n"
                        "a date or date-time in UTC (2026-12-08, 2026-12-08T06:00:00Z) or a time back\n"
                        "from now (24h, 7d).\n"
                        "Examples:\n"
                        "  kestavo-cli audit --since 24h\n"
                        "  kestavo-cli audit --station 127.0.0.1 --format csv > audit.csv")},
    };
    return all;
}

const Page* find(const QString& word)
{
    for (const Page& page : pages()) {
        if (page.word == word)
            return &page;
    }
    return nullptr;
}

QString indent(const QString& lines, const QString& prefix)
{
    QStringList out;
    for (const QString& line : lines.split(u'\n'))
        out << prefix + line;
    return out.join(u'\n');
}

const QString kOptions =
    QStringLiteral("Options (anywhere on the line; --name=value works too; -- ends the options):\n"
                   "  --db FILE          station database (default: the file the console opens)\n"
                   "  --history FILE     history file (default: history.db beside the station database)\n"
                   "  --port N           the unit's UDP port (default 7)\n"
                   "  --timeout MS       how long to wait for each answer (default 2000)\n"
                   "  --format F         text (default), json (one object per result, JSON Lines for watch)\n"
                   "                     or csv (status, watch, stations, fleet, scripts, board-scripts,\n"
                   "                     alarms, audit)\n"
                   "  --history FILE     history file with the alarms and the audit log (default:\n"
                   "                     history.db beside the station database); fleet records into it\n"
                   "  --password P       the unit's password; overrides the station record and allows an\n"
                   "                     address that is not in the database\n"
                   "  --no-verify        send the command without the checks before and after it\n"
                   "  -o, --output FILE  backup: write the document to FILE\n"
                   "  --only LIST        restore: only these parts\n"
                   "  --yes              set-ip, set-mac, restore: go ahead without asking\n"
                   "  --help             this text, or a command's page (kestavo-cli relay --help)\n"
                   "  --version\n");

const QString kExitCodes =
    QStringLiteral("Exit codes:\n"
                   "  0  done\n"
                   "  1  the unit refused, rejected the password or did not answer in time\n"
                   "  2  usage error (nothing was sent)\n"
                   "  3  station database problem\n");

} // namespace

QString synopsis(const QString& word)
{
    const Page* page = find(word);
    return page ? page->synopsis : QString();
}

QString toolHelp()
{
    QStringList lines;
    lines << QStringLiteral(
        "Usage: kestavo-cli [--db FILE] [--port N] [--timeout MS] [--format text|json|csv]\n"
        "                   [--password P] COMMAND …\n");
    lines << QStringLiteral(
        "Talks to a KSV unit over UDP with the console's own command frames. UNIT is the\n"
        "unit's address; its password comes from the station database unless --password\n"
        "is given. Data goes to standard output, messages to standard error.\n");
    lines << QStringLiteral("Commands:");
    for (const Page& page : pages())
        lines << indent(page.synopsis, QStringLiteral("  "));
    lines << QString();
    lines << kOptions;
    lines << kExitCodes;
    lines << QStringLiteral("`kestavo-cli COMMAND --help` describes one command.");
    return lines.join(u'\n') + u'\n';
}

QString commandHelp(const QString& word)
{
    const Page* page = find(word);
    if (!page)
        return QString();
    return QStringLiteral("Usage:\n%1\n\n%2\n\n%3\n%4")
        .arg(indent(page->synopsis, QStringLiteral("  kestavo-cli ")), page->details, kOptions, kExitCodes);
}

QString versionText()
{
    return QStringLiteral("kestavo-cli %1\n").arg(QStringLiteral(KESTAVO_VERSION));
}

} // namespace kestavo::cli
