#pragma once

// Expected wire bytes for the protocol tests. They are written out front to back, one run after
// the other, so a test never reuses the position arithmetic of the code under test.

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

#include <QByteArray>
#include <QString>
#include <QTest>

namespace kestavo::test {

class ByteBuilder
{
public:
    ByteBuilder& text(std::string_view text)
    {
        m_bytes.append(text.data(), static_cast<qsizetype>(text.size()));
        return *this;
    }
    ByteBuilder& bytes(std::initializer_list<int> values)
    {
        for (const int v : values)
            m_bytes.append(static_cast<char>(v));
        return *this;
    }
    ByteBuilder& repeat(char c, int count)
    {
        m_bytes.append(count, c);
        return *this;
    }
    ByteBuilder& stars(int count) { return repeat('*', count); }

    operator QByteArray() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

inline QByteArray toBytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string toStd(const QByteArray& b)
{
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// Empty when equal; otherwise the lengths or the first differing position (1-based) in hex.
inline QString byteDifference(const QByteArray& actual, const QByteArray& expected)
{
    const qsizetype common = std::min(actual.size(), expected.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (actual[i] != expected[i]) {
            return QStringLiteral("position %1: got 0x%2, expected 0x%3")
                .arg(i + 1)
                .arg(static_cast<unsigned char>(actual[i]), 2, 16, QLatin1Char('0'))
                .arg(static_cast<unsigned char>(expected[i]), 2, 16, QLatin1Char('0'));
        }
    }
    if (actual.size() != expected.size())
        return QStringLiteral("length %1, expected %2").arg(actual.size()).arg(expected.size());
    return {};
}

} // namespace kestavo::test

#define KESTAVO_COMPARE_BYTES(actual, expected)                                                              \
    do {                                                                                                     \
        const QString kestavoDiff = kestavo::test::byteDifference((actual), (expected));                     \
        QVERIFY2(kestavoDiff.isEmpty(), qPrintable(kestavoDiff));                                            \
    } while (false)
