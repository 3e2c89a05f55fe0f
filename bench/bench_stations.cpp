// A fleet-sized station directory: `kestavo-cli stations import` of 10,000 and 100,000 rows
// against parsing the same file alone and against a bare SQLite insert of the same rows, and the
// console's station box opening the 100,000-station directory against a bare read of its entries.
// Every case runs in a process of its own, so each peak memory figure is that case's alone.
//
//   bench_stations [--rows 10000,100000] [--keep DIR]

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include "stations/stationformat.h"
#include "stations/stationimport.h"
#include "stations/stationstore.h"

#include "gui/main/mainform.h"
#include "support/consolefixture.h"
#include "support/faketrayicon.h"
#include "text/boundedfile.h"
#include "text/csv.h"

extern char** environ;

using namespace kestavo;

namespace {

struct Figures
{
    double ms = 0;
    double cpuMs = 0; // user + system: steadier than wall time on a shared machine
    long peakKb = 0;
    QString out; // what the case printed (its own phase times)
    bool ok = false;
};

// The GUI thread's own processor time: on a shared machine the wall clock also counts the others.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Runs argv as a child process and returns its wall time, peak resident set and standard output.
Figures runChild(const QStringList& args, const QString& outFile)
{
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = outFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Figures f;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return f;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    f.ms = double(clock.nsecsElapsed()) / 1e6;
    f.peakKb = usage.ru_maxrss;
    f.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    QFile file(outFile);
    if (file.open(QIODevice::ReadOnly))
        f.out = QString::fromUtf8(file.readAll()).trimmed();
    return f;
}

void writeCsv(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    QTextStream out(&file);
    out << "address,password,description,tags\n";
    for (int i = 0; i < rows; ++i) {
        // 10.x.y.z with z in 1..250: never a network or broadcast address.
        out << "10." << (i / 62500) << '.' << (i / 250 % 250) << '.' << (i % 250 + 1) << ",pw" << (i % 997)
            << ",Pump station " << i << ",region/" << (i % 12) << ";pumps\n";
    }
}

QList<text::CsvRow> parseFile(const QString& path)
{
    const text::BoundedRead input = text::readBoundedFile(path, stations::kMaxImportBytes);
    const stations::DecodedText decoded = stations::decodeImportText(input.bytes);
    auto parsed = text::parseCsv(decoded.text);
    if (!input.ok || !decoded.error.isEmpty() || !std::holds_alternative<QList<text::CsvRow>>(parsed))
        std::exit(3);
    return std::get<QList<text::CsvRow>>(std::move(parsed));
}

// The floor under the import: reading and parsing the file, nothing checked, nothing written.
int childCsv(const QString& path)
{
    const auto rows = parseFile(path);
    std::printf("rows=%lld\n", static_cast<long long>(rows.size()));
    return 0;
}

// The same rows parsed and inserted, entry and password, into a bare three-column table in one
// transaction with one prepared statement.
int childSqlite(const QString& path, const QString& dbPath)
{
    const auto rows = parseFile(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        db.setDatabaseName(dbPath);
        if (!db.open())
            return 4;
        QSqlQuery query(db);
        query.exec(QStringLiteral("CREATE TABLE bare (id INTEGER PRIMARY KEY, ips TEXT, password TEXT)"));
        db.transaction();
        query.prepare(QStringLiteral("INSERT INTO bare (ips, password) VALUES (?, ?)"));
        for (qsizetype i = 1; i < rows.size(); ++i) {
            const QStringList& fields = rows.at(i).fields;
            query.bindValue(0, stations::formatEntry(fields.at(0), fields.at(2)));
            query.bindValue(1, stations::padPassword(fields.at(1)));
            if (!query.exec())
                return 5;
        }
        query.finish();
        if (!db.commit())
            return 6;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare"));
    return 0;
}

// A bare read of every entry: the least any station box can do with the file.
int childEntries(const QString& dbPath)
{
    QStringList entries;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        db.setDatabaseName(dbPath);
        if (!db.open())
            return 4;
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(QStringLiteral("SELECT ips FROM ipnumbers ORDER BY rowid"));
        while (query.next())
            entries.append(query.value(0).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare"));
    std::printf("entries=%lld\n", static_cast<long long>(entries.size()));
    return 0;
}

// The console's start with the directory: the store opened, the main window built and filled,
// shown and painted, and the station box's list dropped down once. Each is one uninterrupted
// stretch of the GUI thread; the longest is the stall a user sees.
int childBox(int argc, char** argv, const QString& dbPath)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testsupport::ConsoleFixture fixture;
    testsupport::FakeTrayIcon tray;
    QStringList phases;
    QElapsedTimer clock;
    double cpu = 0;
    const auto begin = [&] {
        clock.restart();
        cpu = threadCpuMs();
    };
    const auto end = [&](const char* name) {
        phases << QStringLiteral("%1 %2/%3")
                      .arg(QLatin1String(name))
                      .arg(double(clock.nsecsElapsed()) / 1e6, 0, 'f', 0)
                      .arg(threadCpuMs() - cpu, 0, 'f', 0);
    };
    begin();
    const auto opened = fixture.store.open(dbPath);
    end("open");
    if (!opened.ok)
        return 4;
    begin();
    auto form = std::make_unique<core::MainForm>(fixture.context, fixture.dialogs, &tray);
    form->loadStations();
    end("fill");
    begin();
    form->show();
    QCoreApplication::processEvents();
    end("show");
    auto* box = form->findChild<QComboBox*>(QStringLiteral("Combo1"));
    begin();
    box->showPopup();
    QCoreApplication::processEvents();
    end("popup");
    box->hidePopup();
    std::printf("%s; %d items\n", qPrintable(phases.join(QStringLiteral(", "))), box->count());
    core::MainForm::unloadAllForms(form.get());
    return 0;
}

QString ratio(double a, double b)
{
    return b > 0 ? QString::number(a / b, 'f', 1) : QStringLiteral("-");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0) {
        const QString mode = QString::fromLocal8Bit(argv[2]);
        if (mode == QStringLiteral("box"))
            return childBox(argc, argv, QString::fromLocal8Bit(argv[3]));
        QCoreApplication app(argc, argv);
        if (mode == QStringLiteral("csv"))
            return childCsv(QString::fromLocal8Bit(argv[3]));
        if (mode == QStringLiteral("sqlite"))
            return childSqlite(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
        if (mode == QStringLiteral("entries"))
            return childEntries(QString::fromLocal8Bit(argv[3]));
        return 2;
    }

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("rows"), QStringLiteral("Row counts, comma-separated."),
                      QStringLiteral("N,M"), QStringLiteral("10000,100000")});
    parser.addOption(
        {QStringLiteral("keep"), QStringLiteral("Leave the files in DIR."), QStringLiteral("DIR")});
    parser.process(app);
    QTemporaryDir temp;
    const QString dir =
        parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) : temp.path();
    const QString self = QCoreApplication::applicationFilePath();
    const QString outFile = dir + QStringLiteral("/child.out");

    std::printf("%-8s %-22s %8s %8s %8s %8s %8s\n", "rows", "case", "wall ms", "cpu ms", "ratio", "peak MB",
                "ratio");
    QString largest;
    for (const QString& count : parser.value(QStringLiteral("rows")).split(u',')) {
        const int rows = count.toInt();
        const QString csv = dir + QStringLiteral("/stations-%1.csv").arg(rows);
        const QString db = dir + QStringLiteral("/ksv-%1.dat").arg(rows);
        const QString bare = dir + QStringLiteral("/bare-%1.dat").arg(rows);
        writeCsv(csv, rows);
        QFile::remove(db);
        QFile::remove(bare);
        const Figures parse =
            runChild({self, QStringLiteral("--child"), QStringLiteral("csv"), csv}, outFile);
        const Figures insert =
            runChild({self, QStringLiteral("--child"), QStringLiteral("sqlite"), csv, bare}, outFile);
        const Figures import = runChild({QStringLiteral(KESTAVO_CLI), QStringLiteral("--db"), db,
                                         QStringLiteral("stations"), QStringLiteral("import"), csv},
                                        outFile);
        if (!parse.ok || !insert.ok || !import.ok) {
            std::fprintf(stderr, "a case failed (parse %d, insert %d, import %d)\n", parse.ok, insert.ok,
                         import.ok);
            return 1;
        }
        const auto line = [rows](const char* name, const Figures& f, const Figures& base) {
            std::printf("%-8d %-22s %8.0f %8.0f %8s %8.1f %8s\n", rows, name, f.ms, f.cpuMs,
                        qPrintable(ratio(f.cpuMs, base.cpuMs)), double(f.peakKb) / 1024,
                        qPrintable(ratio(double(f.peakKb), double(base.peakKb))));
        };
        line("parse CSV (baseline)", parse, parse);
        line("bare SQLite insert", insert, parse);
        line("kestavo-cli import", import, parse);
        std::printf("%-8d %-22s %8s %8s %8s\n", rows, "import / bare insert", "", "",
                    qPrintable(ratio(import.cpuMs, insert.cpuMs)));
        largest = db;
    }

    const Figures entries =
        runChild({self, QStringLiteral("--child"), QStringLiteral("entries"), largest}, outFile);
    const Figures box = runChild({self, QStringLiteral("--child"), QStringLiteral("box"), largest}, outFile);
    if (!entries.ok || !box.ok) {
        std::fprintf(stderr, "the station box case failed\n");
        return 1;
    }
    std::printf("\nstation box on %s (%s)\n", qPrintable(largest), qPrintable(entries.out));
    std::printf("  bare read of the entries: %.0f ms wall, %.0f ms cpu (process), peak %.1f MB\n", entries.ms,
                entries.cpuMs, double(entries.peakKb) / 1024);
    std::printf("  console: %.0f ms wall, %.0f ms cpu (process, %s x), peak %.1f MB\n  phases (wall/GUI "
                "thread cpu ms): %s\n",
                box.ms, box.cpuMs, qPrintable(ratio(box.cpuMs, entries.cpuMs)), double(box.peakKb) / 1024,
                qPrintable(box.out));
    return 0;
}
