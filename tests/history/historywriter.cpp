// Writes batches of samples to a history file, packing and rolling up between them, and reports
// each committed batch on stdout: the crash-safety test kills it at random moments.
// Usage: history_writer FILE ROUND BATCHES

#include <cstdio>

#include <QCoreApplication>

#include "history/historystore.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 round = QByteArray(argv[2]).toLongLong();
    const int batches = QByteArray(argv[3]).toInt();
    constexpr int kBatch = 200;
    constexpr qint64 kT0 = 1'767'225'600'000;
    qint64 next = kT0 + round * 100'000'000;
    kestavo::history::HistoryStore::Options options;
    // Samples are stamped when they arrive, as producers do; the roll-up follows right behind them.
    options.clock = [&next] {
        return next;
    };
    options.flushIntervalMs = 1'000'000; // this program decides when
    kestavo::history::HistoryStore store(options);
    const auto opened = store.open(path);
    if (!opened.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error));
        return 1;
    }
    long long committed = 0;
    for (int b = 0; b < batches; ++b) {
        for (int i = 0; i < kBatch; ++i) {
            kestavo::history::Sample s;
            s.timeMs = next;
            s.raw[0] = std::uint16_t(next / 1000 % 4096);
            s.temperatureC = double(i % 40);
            store.record(QStringLiteral("127.0.0.%1").arg(1 + b % 3), QStringLiteral("00:00:00:00:00:01"), s);
            next += 3000;
        }
        std::printf("begin %d\n", kBatch);
        std::fflush(stdout);
        if (!store.flush()) {
            std::fprintf(stderr, "%s\n", qPrintable(store.lastError()));
            return 1;
        }
        committed += kBatch;
        std::printf("committed %lld\n", committed);
        std::fflush(stdout);
        store.maintain(options.clock());
    }
    return 0;
}
