#pragma once

// The agent's MQTT side over libmosquitto: retained state and availability per unit, Home
// Assistant discovery configs, and the agent's own status topic with a last will of "offline".
// libmosquitto's network thread does the I/O and the reconnecting with back-off; its callbacks
// are handed to this object's thread through queued calls, so everything else runs on the GUI
// (main) thread like the rest of the agent.

#include <atomic>

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

struct mosquitto;
struct mosquitto_message;

namespace kestavo::agent {

class MqttPublisher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MqttPublisher)

public:
    struct Settings
    {
        QString host = QStringLiteral("127.0.0.1");
        int port = 1883;
        QString prefix = QStringLiteral("kestavo");
        QString discoveryPrefix = QStringLiteral("homeassistant");
        QString user;
        QString password;  // read from --mqtt-password-file; never logged
        QString caFile;    // TLS when set
        QString agentName; // <prefix>/agent/<agentName>/status: the configured client id, else the host
        // Unique per process: the broker drops the older of two connections with one id, so two
        // agents sharing one would take turns kicking each other off.
        QString clientId;
        int keepAliveSeconds = 30;
        QStringList subscriptions; // topic filters subscribed on every connect
    };

    explicit MqttPublisher(const Settings& settings, QObject* parent = nullptr);
    ~MqttPublisher() override;

    /// Starts connecting in the background. False with errorString() when the settings are unusable.
    bool start();
    /// Publishes the agent's "offline" and disconnects, waiting at most timeoutMs for it to go out.
    void stop(int timeoutMs = 2000);
    QString errorString() const { return m_error; }
    bool isConnected() const { return m_connected; }
    quint64 published() const { return m_published; }
    const Settings& settings() const { return m_settings; }

    /// Publishes one message; retained messages are remembered and sent again after a reconnect.
    void publish(const QString& topic, const QByteArray& payload, bool retain);
    QString agentTopic() const;

Q_SIGNALS:
    void connectionChanged(bool connected);
    /// A message on one of the subscriptions; `retained`: the broker kept it from before we
    /// subscribed (or before it restarted), so nobody is asking for it now.
    void messageReceived(const QString& topic, const QByteArray& payload, bool retained);

private:
    void onConnected(int rc);
    void onDisconnected(int rc);

    static void connectCallback(mosquitto* client, void* self, int rc);
    static void disconnectCallback(mosquitto* client, void* self, int rc);
    static void messageCallback(mosquitto* client, void* self, const mosquitto_message* message);

    Settings m_settings;
    mosquitto* m_client = nullptr;
    QString m_error;
    bool m_connected = false;
    bool m_started = false;
    quint64 m_published = 0;
    QHash<QString, QByteArray> m_retained; // topic -> last retained payload
};

} // namespace kestavo::agent
