// Records into a history file as the console does: the sample store first, then the alarm journal
// and the audit log on the same file, then a small batch every few milliseconds with the roll-up
// running behind it. Prints "committed N" (samples so far) after every batch; stops after SECONDS.
// Its alarm engine, holding the station's lease as the agent does, raises and clears a temperature
// alarm every few hundred milliseconds, so that acknowledgements from other programs meet its own
// transitions.
// Usage: history_recorder FILE SECONDS

#include <cstdio>

#include <QCoreApplication>
#include <QTimer>

#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/historystore.h"
#include "history/stationleases.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    constexpr qint64 kT0 = 1'767'225'600'000;
    qint64 next = kT0;
    kestavo::history::HistoryStore::Options options;
    options.clock = [&next] {
        return next;
    };
    options.flushIntervalMs = 1'000'000; // this program decides when
    options.maintenanceIntervalMs = 20;
    // Samples 5 s apart on their own clock: ten minutes of batches span months, and every sample
    // must stay readable for the check at the end, not be rolled up after the usual fortnight.
    options.retention.rawMs = 100LL * 365 * 24 * 3600 * 1000;
    kestavo::history::HistoryStore store(options);
    kestavo::history::AlarmJournal journal;
    kestavo::history::AuditLog audit;
    if (const auto opened = store.open(path); !opened.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error));
        return 1;
    }
    if (!journal.open(path) || !audit.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(journal.isOpen() ? audit.error() : journal.error()));
        return 1;
    }
    kestavo::history::StationLeases leases;
    if (!leases.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(leases.error()));
        return 1;
    }
    if (journal.rules().isEmpty()) {
        kestavo::history::AlarmRule hot;
        hot.kind = kestavo::history::AlarmRuleKind::TemperatureAbove;
        hot.limit = 30;
        journal.saveRule(hot);
    }
    kestavo::alarms::AlarmEngine::Options engineOptions;
    engineOptions.clock = [&next] {
        return next;
    };
    engineOptions.leases = &leases;
    engineOptions.program = QStringLiteral("agent");
    engineOptions.tickMs = 200;
    kestavo::alarms::AlarmEngine engine(&journal, engineOptions);
    engine.load();
    long long batches = 0;
    long long queued = 0;
    QTimer batch;
    batch.setInterval(10);
    QObject::connect(&batch, &QTimer::timeout, &app, [&] {
        for (int i = 0; i < 20; ++i, ++queued) {
            kestavo::history::Sample s;
            s.timeMs = next;
            s.raw[0] = std::uint16_t(queued % 4096);
            store.record(QStringLiteral("127.0.0.1"), QStringLiteral("00:00:00:00:00:01"), s);
            next += 5000;
        }
        kestavo::protocol::StatusReport report;
        report.temperatureC = (batches++ / 30) % 2 == 0 ? 40.0 : 20.0;
        engine.report(QStringLiteral("127.0.0.1"), next, report);
        if (store.flush()) {
            std::printf("committed %lld\n", queued);
            std::fflush(stdout);
        } else if (!store.isRecording()) {
            std::fprintf(stderr, "%s\n", qPrintable(store.lastError()));
            app.exit(1);
        } // else another program is writing: the batch goes with the next one
    });
    batch.start();
    QTimer::singleShot(QByteArray(argv[2]).toInt() * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
