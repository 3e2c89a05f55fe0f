#pragma once

// The unit's small status web page: HTTP/1.0 on a loopback TCP port, one page of the unit's
// readings, served only while the unit's HTTP server is switched on ('Q').

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

namespace kestavo::sim {

class UnitModel;

class StatusPage final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusPage)

public:
    explicit StatusPage(const UnitModel& model, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

    /// The whole HTTP response to a request line ("GET / HTTP/1.0").
    QByteArray respond(const QByteArray& requestLine) const;
    QByteArray html() const;

private:
    void accept();

    const UnitModel& m_model;
    QTcpServer m_server;
};

} // namespace kestavo::sim
