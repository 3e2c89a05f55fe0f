#include "support/consolefixture.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTest>

#include "stations/stationformat.h"

namespace kestavo::testsupport {

RecordingPeer::RecordingPeer()
{
    m_socket.bind(QHostAddress::LocalHost, 0);
}

void RecordingPeer::drain()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket.receiveDatagram();
        m_lastSender = d.senderAddress();
        m_lastSenderPort = quint16(d.senderPort());
        m_frames.append(d.data());
    }
}

bool RecordingPeer::waitFrames(int count, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    drain();
    while (m_frames.size() < count && t.elapsed() < timeoutMs) {
        m_socket.waitForReadyRead(10);
        QCoreApplication::processEvents();
        drain();
    }
    return m_frames.size() >= count;
}

QList<QByteArray> RecordingPeer::frames()
{
    drain();
    return m_frames;
}

QByteArray RecordingPeer::lastFrame()
{
    drain();
    return m_frames.isEmpty() ? QByteArray() : m_frames.last();
}

void RecordingPeer::clear()
{
    drain();
    m_frames.clear();
}

void RecordingPeer::reply(const QByteArray& datagram)
{
    drain();
    m_socket.writeDatagram(datagram, m_lastSender, m_lastSenderPort);
}

ReplyBuilder::ReplyBuilder(std::size_t length, int kind) : m_bytes(length, '\0')
{
    const std::string head = "&^ZQK2001X";
    m_bytes.replace(0, std::min(head.size(), length), head.substr(0, std::min(head.size(), length)));
    if (length >= 14)
        at(14, kind);
    if (length >= 68)
        revision(1, 7, 2);
}

ReplyBuilder& ReplyBuilder::at(std::size_t position, int value)
{
    if (position >= 1 && position <= m_bytes.size())
        m_bytes[position - 1] = char(value & 0xFF);
    return *this;
}

ReplyBuilder& ReplyBuilder::text(std::size_t position, const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        at(position + i, static_cast<unsigned char>(text[i]));
    return *this;
}

ReplyBuilder& ReplyBuilder::revision(int a, int b, int c)
{
    return at(66, a).at(67, b).at(68, c);
}

ReplyBuilder& ReplyBuilder::truncate(std::size_t length)
{
    m_bytes.resize(std::min(length, m_bytes.size()));
    return *this;
}

QByteArray ReplyBuilder::bytes() const
{
    return QByteArray(m_bytes.data(), qsizetype(m_bytes.size()));
}

QByteArray ReplyBuilder::slotTable(const QList<QPair<QString, QString>>& entries)
{
    ReplyBuilder b(270, 2);
    for (int s = 0; s < 8; ++s) {
        const QString code = s < entries.size() ? entries[s].first : QString();
        const QString desc = s < entries.size() ? entries[s].second : QString();
        b.text(std::size_t(15 + 32 * s), code.leftJustified(16, QLatin1Char(' '), true).toStdString());
        b.text(std::size_t(31 + 32 * s), desc.leftJustified(16, QLatin1Char(' '), true).toStdString());
    }
    return b.bytes();
}

ConsoleFixture::ConsoleFixture(const QString& password)
    : session(state, store, prompter), context{state, session, store, prompter, commands, nullptr}
{
    store.open(dir.filePath(QStringLiteral("ksv.dat")));
    store.add(QStringLiteral("127.0.0.1"), password, QStringLiteral("Test unit"));
    store.findAddress(QStringLiteral("127.0.0.1"));
    session.setUnitPort(peer.port());
    session.setTiming({50, 20, 400});
}

ConsoleFixture::~ConsoleFixture()
{
    session.stop();
}

QString ConsoleFixture::stationEntry() const
{
    return stations::formatEntry(QStringLiteral("127.0.0.1"), QStringLiteral("Test unit"));
}

bool ConsoleFixture::start()
{
    const int before = int(peer.frames().size());
    session.start(stationEntry());
    return peer.waitFrames(before + 1);
}

void ConsoleFixture::feedStatus(int a, int b, int c)
{
    feed(ReplyBuilder().revision(a, b, c).bytes());
}

QByteArray ConsoleFixture::wirePassword() const
{
    return store.password().toLatin1();
}

} // namespace kestavo::testsupport
