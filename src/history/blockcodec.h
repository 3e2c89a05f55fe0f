#pragma once

// Storage layout of samples and roll-up buckets. A record is a fixed list of integers; a block is
// many records stored column by column, each column as zig-zag varints of the differences from
// the previous record, then deflated. Slowly changing readings thus cost a few bits each, which is
// what keeps a year of one unit within its disk budget.

#include <cstdint>
#include <vector>

#include <QByteArray>

#include "history/historytypes.h"

namespace kestavo::history::codec {

using Record = std::vector<std::int64_t>;

inline constexpr int kSampleFields = 14;
inline constexpr int kBucketFields = 34;

Record encodeSample(const Sample& sample);
Sample decodeSample(const Record& record);
/// Roll-ups keep volts to the millivolt and degrees to the hundredth.
Record encodeBucket(const Row& row);
Row decodeBucket(const Record& record);

/// One record as plain varints (the not yet packed tail of recent samples).
QByteArray packRecord(const Record& record);
bool unpackRecord(const QByteArray& bytes, int fields, Record* record);

QByteArray packBlock(const std::vector<Record>& records, int fields);
/// False for a block that does not decode (a damaged file): the caller skips it.
bool unpackBlock(const QByteArray& bytes, int fields, std::vector<Record>* records);

} // namespace kestavo::history::codec
