// Helper for the crash-safety test: opens the station database named on the command line and makes
// station writes (add, notes through writeCurrent, set default, remove) chosen by a seed. Before
// each write it prints "begin N <operation>", after the write has committed "committed N", and
// flushes both, so whoever kills it knows which writes must have reached the file.
//
//   station_writer FILE SEED COUNT

#include <cstdio>
#include <random>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

using kestavo::stations::StationStore;

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fputs("usage: station_writer FILE SEED COUNT\n", stderr);
        return 2;
    }
    StationStore store;
    const auto opened = store.open(args.at(1));
    if (!opened.ok) {
        std::fputs(qPrintable(opened.error + QLatin1Char('\n')), stderr);
        return 3;
    }
    std::mt19937 random(args.at(2).toUInt());
    const int count = args.at(3).toInt();
    const auto below = [&random](int bound) {
        return int(random() % unsigned(bound));
    };

    for (int n = 1; n <= count; ++n) {
        const int records = store.count();
        int choice = records < 3 ? 0 : below(100);
        if (records > 24 && choice < 30)
            choice = 90; // keep the table small: removals win over additions
        bool ok = false;
        if (choice < 30) {
            const QString ip = QStringLiteral("127.0.%1.%2").arg(below(256)).arg(below(256));
            const QString password = QStringLiteral("pw%1").arg(n);
            const QString description = QStringLiteral("Station %1").arg(n);
            say(QStringLiteral("begin %1 add %2 %3 %4").arg(n).arg(ip, password, description));
            ok = store.add(ip, password, description);
        } else if (choice < 70) {
            const int position = below(records);
            const QString note = QStringLiteral("note%1").arg(n);
            say(QStringLiteral("begin %1 note %2 %3").arg(n).arg(position).arg(note));
            store.move(position);
            ok = store.writeCurrent({{QStringLiteral("Relay1Notes"), note}});
        } else if (choice < 85) {
            const int position = below(records);
            const QString address = kestavo::stations::addressOf(store.entryAt(position));
            say(QStringLiteral("begin %1 default %2").arg(n).arg(address));
            ok = store.setDefault(address);
        } else {
            const int position = 1 + below(records - 1);
            say(QStringLiteral("begin %1 remove %2").arg(n).arg(position));
            ok = store.removeAt(position);
        }
        if (!ok) {
            std::fputs(qPrintable(store.lastError() + QLatin1Char('\n')), stderr);
            return 1;
        }
        say(QStringLiteral("committed %1").arg(n));
    }
    return 0;
}
