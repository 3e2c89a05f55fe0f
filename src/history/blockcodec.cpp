#include "history/blockcodec.h"

#include <cmath>

namespace kestavo::history::codec {

namespace {

// Sample record fields.
constexpr int kTime = 0;
constexpr int kRaw = 1;          // eight channel readings
constexpr int kFlags = 9;        // see packFlags
constexpr int kTemperature = 10; // half degrees
constexpr int kTimerState = 11;
constexpr int kTimerRemaining = 12;
constexpr int kUptime = 13;

// Bucket record fields.
constexpr int kBucketTime = 0;
constexpr int kCount = 1;
constexpr int kStats = 2; // per series: min, mean, max
constexpr int kKnownMask = 29;
constexpr int kBucketFlags = 30;
constexpr int kBucketTimerState = 31;
constexpr int kBucketTimerRemaining = 32;
constexpr int kBucketUptime = 33;

// Flags word: bits 0-2 relay known, 3-5 relay on, 6-10 pin known, 11-15 pin high,
// 16 temperature known, 17-18 range flag of channel 1, 19-20 of channel 2 (3 = unusable).
std::int64_t packStates(const std::array<qint8, kRelays>& relays, const std::array<qint8, kIoPins>& io)
{
    std::int64_t f = 0;
    for (int r = 0; r < kRelays; ++r) {
        if (relays[std::size_t(r)] >= 0) {
            f |= 1LL << r;
            if (relays[std::size_t(r)] > 0)
                f |= 1LL << (3 + r);
        }
    }
    for (int p = 0; p < kIoPins; ++p) {
        if (io[std::size_t(p)] >= 0) {
            f |= 1LL << (6 + p);
            if (io[std::size_t(p)] > 0)
                f |= 1LL << (11 + p);
        }
    }
    return f;
}

void unpackStates(std::int64_t f, std::array<qint8, kRelays>* relays, std::array<qint8, kIoPins>* io)
{
    for (int r = 0; r < kRelays; ++r)
        (*relays)[std::size_t(r)] = (f >> r & 1) ? qint8(f >> (3 + r) & 1) : qint8(-1);
    for (int p = 0; p < kIoPins; ++p)
        (*io)[std::size_t(p)] = (f >> (6 + p) & 1) ? qint8(f >> (11 + p) & 1) : qint8(-1);
}

int storedRange(int flag)
{
    return flag == 0 || flag == 1 ? flag : 3;
}

std::uint64_t zigzag(std::int64_t v)
{
    return (std::uint64_t(v) << 1) ^ std::uint64_t(v >> 63);
}

std::int64_t unzigzag(std::uint64_t v)
{
    return std::int64_t(v >> 1) ^ -std::int64_t(v & 1);
}

void putVarint(QByteArray& out, std::uint64_t v)
{
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

bool getVarint(const QByteArray& in, qsizetype& pos, std::uint64_t* v)
{
    std::uint64_t result = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (pos >= in.size())
            return false;
        const auto byte = std::uint8_t(in.at(pos++));
        result |= std::uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            *v = result;
            return true;
        }
    }
    return false;
}

std::int64_t scaled(double value, double factor)
{
    return std::isnan(value) ? 0 : std::llround(value * factor);
}

} // namespace

Record encodeSample(const Sample& s)
{
    Record r(kSampleFields, 0);
    r[kTime] = s.timeMs;
    for (int c = 0; c < kChannels; ++c)
        r[std::size_t(kRaw + c)] = s.raw[std::size_t(c)];
    std::array<qint8, kRelays> relays{};
    std::array<qint8, kIoPins> io{};
    for (int i = 0; i < kRelays; ++i)
        relays[std::size_t(i)] = s.relays[std::size_t(i)] ? qint8(*s.relays[std::size_t(i)]) : qint8(-1);
    for (int i = 0; i < kIoPins; ++i)
        io[std::size_t(i)] = s.io[std::size_t(i)] ? qint8(*s.io[std::size_t(i)]) : qint8(-1);
    std::int64_t flags = packStates(relays, io);
    if (s.temperatureC)
        flags |= 1LL << 16;
    flags |= std::int64_t(storedRange(s.ranges.channel1)) << 17;
    flags |= std::int64_t(storedRange(s.ranges.channel2)) << 19;
    r[kFlags] = flags;
    r[kTemperature] = s.temperatureC ? std::llround(*s.temperatureC * 2) : 0;
    r[kTimerState] = s.timerState;
    r[kTimerRemaining] = s.timerRemaining;
    r[kUptime] = s.uptime;
    return r;
}

Sample decodeSample(const Record& r)
{
    Sample s;
    s.timeMs = r[kTime];
    for (int c = 0; c < kChannels; ++c)
        s.raw[std::size_t(c)] = std::uint16_t(r[std::size_t(kRaw + c)]);
    const std::int64_t flags = r[kFlags];
    std::array<qint8, kRelays> relays{};
    std::array<qint8, kIoPins> io{};
    unpackStates(flags, &relays, &io);
    for (int i = 0; i < kRelays; ++i)
        if (relays[std::size_t(i)] >= 0)
            s.relays[std::size_t(i)] = relays[std::size_t(i)] > 0;
    for (int i = 0; i < kIoPins; ++i)
        if (io[std::size_t(i)] >= 0)
            s.io[std::size_t(i)] = io[std::size_t(i)] > 0;
    if (flags >> 16 & 1)
        s.temperatureC = double(r[kTemperature]) / 2.0;
    s.ranges.channel1 = int(flags >> 17 & 3);
    s.ranges.channel2 = int(flags >> 19 & 3);
    s.timerState = int(r[kTimerState]);
    s.timerRemaining = quint32(r[kTimerRemaining]);
    s.uptime = quint32(r[kUptime]);
    return s;
}

Record encodeBucket(const Row& row)
{
    Record r(kBucketFields, 0);
    r[kBucketTime] = row.timeMs;
    r[kCount] = row.count;
    std::int64_t known = 0;
    for (int s = 0; s < kSeries; ++s) {
        const double factor = s == kTemperatureSeries ? 100.0 : 1000.0;
        const auto base = std::size_t(kStats + 3 * s);
        r[base] = scaled(row.min[std::size_t(s)], factor);
        r[base + 1] = scaled(row.mean[std::size_t(s)], factor);
        r[base + 2] = scaled(row.max[std::size_t(s)], factor);
        if (!std::isnan(row.mean[std::size_t(s)]))
            known |= 1LL << s;
    }
    r[kKnownMask] = known;
    r[kBucketFlags] = packStates(row.relays, row.io);
    r[kBucketTimerState] = row.timerState;
    r[kBucketTimerRemaining] = row.timerRemaining;
    r[kBucketUptime] = row.uptime;
    return r;
}

Row decodeBucket(const Record& r)
{
    Row row;
    row.timeMs = r[kBucketTime];
    row.count = int(r[kCount]);
    for (int s = 0; s < kSeries; ++s) {
        const double factor = s == kTemperatureSeries ? 100.0 : 1000.0;
        const auto base = std::size_t(kStats + 3 * s);
        const bool known = r[kKnownMask] >> s & 1;
        row.min[std::size_t(s)] = known ? double(r[base]) / factor : kUnknown;
        row.mean[std::size_t(s)] = known ? double(r[base + 1]) / factor : kUnknown;
        row.max[std::size_t(s)] = known ? double(r[base + 2]) / factor : kUnknown;
    }
    unpackStates(r[kBucketFlags], &row.relays, &row.io);
    row.timerState = int(r[kBucketTimerState]);
    row.timerRemaining = r[kBucketTimerRemaining];
    row.uptime = r[kBucketUptime];
    return row;
}

QByteArray packRecord(const Record& record)
{
    QByteArray out;
    out.reserve(qsizetype(record.size()) * 3);
    for (const std::int64_t v : record)
        putVarint(out, zigzag(v));
    return out;
}

bool unpackRecord(const QByteArray& bytes, int fields, Record* record)
{
    record->assign(std::size_t(fields), 0);
    qsizetype pos = 0;
    for (int f = 0; f < fields; ++f) {
        std::uint64_t v = 0;
        if (!getVarint(bytes, pos, &v))
            return false;
        (*record)[std::size_t(f)] = unzigzag(v);
    }
    return pos == bytes.size();
}

QByteArray packBlock(const std::vector<Record>& records, int fields)
{
    QByteArray raw;
    putVarint(raw, records.size());
    for (int f = 0; f < fields; ++f) {
        std::int64_t previous = 0;
        for (const Record& r : records) {
            // Differences wrap in unsigned arithmetic: any pair of values round-trips.
            putVarint(raw, zigzag(std::int64_t(std::uint64_t(r[std::size_t(f)]) - std::uint64_t(previous))));
            previous = r[std::size_t(f)];
        }
    }
    return qCompress(raw, 6);
}

bool unpackBlock(const QByteArray& bytes, int fields, std::vector<Record>* records)
{
    const QByteArray raw = qUncompress(bytes);
    qsizetype pos = 0;
    std::uint64_t count = 0;
    // A record takes at least one byte per field: a count beyond that is damage, not data.
    if (!getVarint(raw, pos, &count) || count > std::uint64_t(raw.size()))
        return false;
    records->assign(std::size_t(count), Record(std::size_t(fields), 0));
    for (int f = 0; f < fields; ++f) {
        std::int64_t previous = 0;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t v = 0;
            if (!getVarint(raw, pos, &v))
                return false;
            previous = std::int64_t(std::uint64_t(previous) + std::uint64_t(unzigzag(v)));
            (*records)[std::size_t(i)][std::size_t(f)] = previous;
        }
    }
    return pos == raw.size();
}

} // namespace kestavo::history::codec
