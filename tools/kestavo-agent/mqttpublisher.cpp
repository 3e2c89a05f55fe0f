#include "mqttpublisher.h"

#include <mosquitto.h>
#include <mutex>

#include <QDeadlineTimer>
#include <QThread>

namespace kestavo::agent {

namespace {

// libmosquitto keeps global state: initialise it once per process.
void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

constexpr int kQos = 1;

} // namespace

MqttPublisher::MqttPublisher(const Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings)
{
    initialiseLibrary();
}

MqttPublisher::~MqttPublisher()
{
    if (m_client) {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, true);
        mosquitto_destroy(m_client);
    }
}

QString MqttPublisher::agentTopic() const
{
    return QStringLiteral("%1/agent/%2/status").arg(m_settings.prefix, m_settings.agentName);
}

bool MqttPublisher::start()
{
    const QByteArray clientId = m_settings.clientId.toUtf8();
    m_client = mosquitto_new(clientId.constData(), true, this);
    if (!m_client) {
        m_error = QStringLiteral("The MQTT client could not be created.");
        return false;
    }
    mosquitto_connect_callback_set(m_client, &MqttPublisher::connectCallback);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::disconnectCallback);
    mosquitto_message_callback_set(m_client, &MqttPublisher::messageCallback);
    // Reconnects back off from 1 s to 60 s, doubling.
    mosquitto_reconnect_delay_set(m_client, 1, 60, true);
    if (!m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8();
        const QByteArray password = m_settings.password.toUtf8();
        mosquitto_username_pw_set(m_client, user.constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    if (!m_settings.caFile.isEmpty()) {
        const QByteArray ca = m_settings.caFile.toLocal8Bit();
        if (mosquitto_tls_set(m_client, ca.constData(), nullptr, nullptr, nullptr, nullptr) !=
            MOSQ_ERR_SUCCESS) {
            m_error = QStringLiteral("The CA file \"%1\" cannot be used for TLS.").arg(m_settings.caFile);
            return false;
        }
    }
    const QByteArray will = agentTopic().toUtf8();
    mosquitto_will_set(m_client, will.constData(), 7, "offline", kQos, true);
    const QByteArray host = m_settings.host.toUtf8();
    // connect_async + loop_start: a broker that is down at start is retried like a lost one.
    const int rc =
        mosquitto_connect_async(m_client, host.constData(), m_settings.port, m_settings.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        m_error = QStringLiteral("MQTT broker %1:%2: %3")
                      .arg(m_settings.host)
                      .arg(m_settings.port)
                      .arg(QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    }
    if (mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS) {
        m_error = QStringLiteral("The MQTT network thread could not start.");
        return false;
    }
    m_started = true;
    return true;
}

void MqttPublisher::stop(int timeoutMs)
{
    if (!m_client || !m_started)
        return;
    if (m_connected) {
        int mid = 0;
        const QByteArray topic = agentTopic().toUtf8();
        mosquitto_publish(m_client, &mid, topic.constData(), 7, "offline", kQos, true);
        // Give the network thread a moment to put it on the wire before the disconnect.
        const QDeadlineTimer deadline(std::min(timeoutMs, 500));
        while (!deadline.hasExpired())
            QThread::msleep(20);
    }
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    m_started = false;
    m_connected = false;
}

void MqttPublisher::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    // An empty retained message clears the topic on the broker: nothing to send again later.
    if (retain && payload.isEmpty())
        m_retained.remove(topic);
    else if (retain)
        m_retained.insert(topic, payload);
    if (!m_client || !m_connected)
        return;
    const QByteArray name = topic.toUtf8();
    if (mosquitto_publish(m_client, nullptr, name.constData(), int(payload.size()), payload.constData(), kQos,
                          retain) == MOSQ_ERR_SUCCESS)
        ++m_published;
}

void MqttPublisher::connectCallback(mosquitto*, void* self, int rc)
{
    QMetaObject::invokeMethod(
        static_cast<MqttPublisher*>(self), [self, rc] { static_cast<MqttPublisher*>(self)->onConnected(rc); },
        Qt::QueuedConnection);
}

void MqttPublisher::disconnectCallback(mosquitto*, void* self, int rc)
{
    QMetaObject::invokeMethod(
        static_cast<MqttPublisher*>(self),
        [self, rc] { static_cast<MqttPublisher*>(self)->onDisconnected(rc); }, Qt::QueuedConnection);
}

void MqttPublisher::messageCallback(mosquitto*, void* self, const mosquitto_message* message)
{
    // The message belongs to the library and is gone after the callback: copy it first.
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    const bool retained = message->retain;
    QMetaObject::invokeMethod(
        static_cast<MqttPublisher*>(self),
        [self, topic, payload, retained] {
            Q_EMIT static_cast<MqttPublisher*>(self)->messageReceived(topic, payload, retained);
        },
        Qt::QueuedConnection);
}

void MqttPublisher::onConnected(int rc)
{
    if (rc != 0) {
        qWarning("MQTT broker %s:%d refused the connection: %s", qPrintable(m_settings.host), m_settings.port,
                 mosquitto_connack_string(rc));
        return;
    }
    m_connected = true;
    qInfo("MQTT broker %s:%d connected", qPrintable(m_settings.host), m_settings.port);
    publish(agentTopic(), "online", true);
    for (const QString& filter : std::as_const(m_settings.subscriptions)) {
        const QByteArray name = filter.toUtf8();
        mosquitto_subscribe(m_client, nullptr, name.constData(), kQos);
    }
    // What the broker may have lost with its session, or never had while we were away.
    for (auto it = m_retained.cbegin(); it != m_retained.cend(); ++it) {
        if (it.key() != agentTopic())
            publish(it.key(), it.value(), true);
    }
    Q_EMIT connectionChanged(true);
}

void MqttPublisher::onDisconnected(int rc)
{
    if (!m_connected)
        return;
    m_connected = false;
    if (rc != 0)
        qWarning("MQTT broker %s:%d lost; reconnecting", qPrintable(m_settings.host), m_settings.port);
    Q_EMIT connectionChanged(false);
}

} // namespace kestavo::agent
