#pragma once

#include <array>
#include <string>

#include <QTimer>

#include "gui/main/consoledialog.h"

class QLabel;
class QNetworkDatagram;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QUdpSocket;

namespace kestavo::admin {

/// `Security` ("Security"): the unit's remote password, its list of allowed client IP numbers,
/// and its HTTP and SNMP switches, one tab each. The password and allowed-IP frames go out on the
/// dialog's own sockets (`Winsock2`, `Winsock3`) and the dialog judges their replies itself; the
/// HTTP and SNMP frames go out on the main socket and are acknowledged through the main window.
class SecurityDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SecurityDialog)

public:
    explicit SecurityDialog(core::Context& context);
    ~SecurityDialog() override;

    /// How long a password change waits for the unit's 'G' answer (5 s; tests shorten it).
    void setPasswordReplyTimeout(int ms) { m_passwordTimeout.setInterval(ms); }

private:
    void holdPolls(bool hold);
    QWidget* buildPasswordPanel();
    QWidget* buildAllowedPanel();
    QWidget* buildHttpPanel();
    QWidget* buildSnmpPanel();
    void loadFromState();
    void chooseAllowedRule(bool onlyListed);

    void changePassword();
    void changeAllowedIps();
    void uploadSwitch(QRadioButton* enable, QRadioButton* disable, bool http);

    /// Addresses and connects `socket` to the unit the first time it is used in this dialog.
    bool ensureConnected(QUdpSocket* socket, bool& connectedFlag);
    bool sessionRunning();
    bool sendOn(QUdpSocket* socket, const std::string& frame, const QString& what);
    bool octetsInRange();
    bool confirmLockout(const std::array<int, 20>& octets);

    /// Whether a datagram comes from the unit's address (any port).
    bool fromUnit(const QNetworkDatagram& datagram) const;
    void onPasswordReply();
    void onPasswordTimeout();
    void onAllowedIpReply();

    QTabWidget* m_tabs;
    // Password tab
    QLabel* m_address;
    QLineEdit* m_newPassword;
    QPushButton* m_passwordOk;
    // Allowed-IP tab
    QRadioButton* m_allowAll;
    QRadioButton* m_allowListed;
    std::array<QLineEdit*, 20> m_octets{};
    QPushButton* m_allowedOk;
    // HTTP tab
    QLabel* m_httpHeading;
    QRadioButton* m_httpEnable;
    QRadioButton* m_httpDisable;
    QPushButton* m_httpUpload;
    // SNMP tab
    QLabel* m_snmpHeading;
    QRadioButton* m_snmpEnable;
    QRadioButton* m_snmpDisable;
    QPushButton* m_snmpUpload;

    QUdpSocket* m_passwordSocket;
    QUdpSocket* m_allowedSocket;
    bool m_passwordSocketConnected = false;
    bool m_holdingPolls = false;
    bool m_allowedSocketConnected = false;
    // The padded password of the frame in flight, written to the station record on success.
    QString m_pendingPassword;
    QTimer m_passwordTimeout;
};

} // namespace kestavo::admin
