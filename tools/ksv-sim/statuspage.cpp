#include "ksv-sim/statuspage.h"

#include <memory>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include "protocol/conversions.h"

#include "ksv-sim/unitmodel.h"

namespace kestavo::sim {

namespace {

constexpr qsizetype kMaxRequest = 8192;
constexpr int kRequestTimeoutMs = 5000;

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

QString row(const QString& name, const QString& value)
{
    return QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
        .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
}

} // namespace

StatusPage::StatusPage(const UnitModel& model, QObject* parent) : QObject(parent), m_model(model)
{
    connect(&m_server, &QTcpServer::newConnection, this, &StatusPage::accept);
}

bool StatusPage::listen(const QHostAddress& address, quint16 port)
{
    return m_server.listen(address, port);
}

void StatusPage::close()
{
    m_server.close();
}

void StatusPage::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            request->append(socket->readAll());
            const qsizetype end = request->indexOf('\n');
            if (end < 0 && request->size() < kMaxRequest)
                return; // the request line has not arrived yet
            // HTTP/1.0: answer the request line, then close; headers the client sends are ignored.
            socket->write(respond(request->left(end < 0 ? request->size() : end).trimmed()));
            socket->disconnectFromHost();
        });
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(kRequestTimeoutMs, this, [guard] {
            if (guard)
                guard->abort();
        });
    }
}

QByteArray StatusPage::respond(const QByteArray& requestLine) const
{
    const QList<QByteArray> parts = requestLine.split(' ');
    const QByteArray method = parts.value(0);
    if (method != "GET" && method != "HEAD") {
        return QByteArrayLiteral("HTTP/1.0 405 Method Not Allowed\r\nAllow: GET, HEAD\r\n"
                                 "Content-Length: 0\r\nConnection: close\r\n\r\n");
    }
    const QByteArray body = html();
    QByteArray response = QByteArrayLiteral("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n");
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (method == "GET")
        response += body;
    return response;
}

QByteArray StatusPage::html() const
{
    namespace p = kestavo::protocol;
    const QString name = fromStd(p::trimSpaces(m_model.stationName()));
    QString rows;
    rows += row(QStringLiteral("Station name"), name);
    rows += row(QStringLiteral("MAC address"), fromStd(p::macText(m_model.mac())));
    const auto& a = m_model.address();
    rows += row(QStringLiteral("IP address"),
                QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]));
    rows += row(QStringLiteral("Firmware"), fromStd(p::revisionDotted(m_model.firmware())));
    rows += row(QStringLiteral("Uptime"), QStringLiteral("%1 s").arg(m_model.uptime()));
    for (int relay = 1; relay <= UnitModel::kRelays; ++relay) {
        rows += row(QStringLiteral("Relay %1").arg(relay),
                    m_model.relayOn(relay) ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    for (int channel = 1; channel <= UnitModel::kChannels; ++channel) {
        const auto text = p::channelText(channel, m_model.channelRaw(channel), 0);
        rows += row(QStringLiteral("Voltage %1").arg(channel),
                    text ? fromStd(*text) + QStringLiteral(" V") : QStringLiteral("?"));
    }
    rows += row(QStringLiteral("Temperature"), fromStd(p::temperatureText(m_model.temperatureCelsius())));
    for (int pin = 1; pin <= UnitModel::kPins; ++pin)
        rows += row(QStringLiteral("I/O %1").arg(pin), QString::number(m_model.pin(pin)));
    rows += row(QStringLiteral("Relay timer"), m_model.timerActive()
                                                   ? QStringLiteral("%1 s left").arg(m_model.timerRemaining())
                                                   : QStringLiteral("inactive"));

    const QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                        "<meta http-equiv=\"refresh\" content=\"5\">"
                                        "<title>%1 - KSV unit status</title></head>\n<body><h1>%1</h1>\n"
                                        "<table>\n%2</table></body></html>\n")
                             .arg(name.toHtmlEscaped(), rows);
    return page.toUtf8();
}

} // namespace kestavo::sim
