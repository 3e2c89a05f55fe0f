#pragma once

#include <memory>
#include <string>

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>
#include <QUdpSocket>

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/context.h"
#include "session/session.h"

#include "gui/main/dialogregistry.h"
#include "support/fakeprompter.h"
#include "support/fakesystemcommands.h"

namespace kestavo::testsupport {

/// Stands in for a unit on 127.0.0.1: records every datagram the console sends and can answer.
class RecordingPeer
{
public:
    RecordingPeer();
    quint16 port() const { return m_socket.localPort(); }
    /// Waits (event loop, at most timeoutMs) until at least `count` frames arrived in total.
    bool waitFrames(int count, int timeoutMs = 2000);
    /// Frames received so far, oldest first (reads pending datagrams first).
    QList<QByteArray> frames();
    QByteArray lastFrame();
    void clear();
    /// Sends a reply to the address the last frame came from.
    void reply(const QByteArray& datagram);

private:
    void drain();
    QUdpSocket m_socket;
    QList<QByteArray> m_frames;
    QHostAddress m_lastSender;
    quint16 m_lastSenderPort = 0;
};

/// Builds replies byte by byte: a 137-byte status report (revision 1.7.2 unless set), with
/// setters by 1-based position.
class ReplyBuilder
{
public:
    explicit ReplyBuilder(std::size_t length = 137, int kind = 0);
    ReplyBuilder& at(std::size_t position, int value);
    ReplyBuilder& text(std::size_t position, const std::string& text);
    ReplyBuilder& verdict(int value) { return at(11, value); }
    ReplyBuilder& revision(int a, int b, int c);
    ReplyBuilder& truncate(std::size_t length);
    QByteArray bytes() const;

    /// Kind-2 slot table: code field and description for slots 1..8 (space-padded to 16).
    static QByteArray slotTable(const QList<QPair<QString, QString>>& entries);

private:
    std::string m_bytes;
};

/// A console without windows: temp station database with one station on 127.0.0.1 whose unit is
/// the recording peer, the console state, fakes for prompts and OS commands, and a session with
/// short timings.
class ConsoleFixture
{
public:
    explicit ConsoleFixture(const QString& password = QStringLiteral("secret"));
    ~ConsoleFixture();

    /// Start with the fixture's station; waits for the start frame at the peer.
    bool start();
    /// Feeds a reply straight into the decoder.
    void feed(const QByteArray& datagram) { session.handleDatagram(datagram); }
    /// Feeds a status report of the given revision (other fields zero).
    void feedStatus(int a = 1, int b = 7, int c = 2);
    /// The 10 password characters as they go on the wire.
    QByteArray wirePassword() const;
    QString stationEntry() const;

    QTemporaryDir dir;
    stations::StationStore store;
    core::ConsoleState state;
    FakePrompter prompter;
    FakeSystemCommands commands;
    core::Session session;
    RecordingPeer peer;
    core::Context context;
    core::DialogRegistry dialogs;
};

} // namespace kestavo::testsupport
