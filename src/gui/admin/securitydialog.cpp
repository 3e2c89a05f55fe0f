#include "gui/admin/securitydialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QUdpSocket>
#include <QVBoxLayout>

#include "protocol/frames.h"
#include "protocol/unitrules.h"

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/admin/admininput.h"
#include "gui/admin/keyfilter.h"
#include "platform/prompter.h"

namespace kestavo::admin {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}

// Revision numbers from which the unit has the switch behind each tab.
constexpr long long kFirstHttpRevision = protocol::kHttpRevision;
constexpr long long kFirstSnmpRevision = protocol::kSnmpRevision;

QLabel* captionLabel(const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setAccessibleName(caption.trimmed());
    return label;
}

QPushButton* pushButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(qs(name));
    button->setAccessibleName(caption);
    return button;
}

QRadioButton* radioButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(qs(name));
    option->setAccessibleName(caption);
    return option;
}

QHBoxLayout* buttonRow(QPushButton* ok, QPushButton* cancel)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
} // namespace

SecurityDialog::SecurityDialog(core::Context& context)
    : ConsoleDialog(context), m_tabs(new QTabWidget(this)), m_passwordSocket(new QUdpSocket(this)),
      m_allowedSocket(new QUdpSocket(this))
{
    setObjectName(qs("Security"));
    setWindowTitle(qs("Security"));

    m_passwordSocket->setObjectName(qs("Winsock2"));
    m_allowedSocket->setObjectName(qs("Winsock3"));
    connect(m_passwordSocket, &QUdpSocket::readyRead, this, &SecurityDialog::onPasswordReply);
    connect(m_allowedSocket, &QUdpSocket::readyRead, this, &SecurityDialog::onAllowedIpReply);
    m_passwordTimeout.setSingleShot(true);
    m_passwordTimeout.setInterval(5000);
    connect(&m_passwordTimeout, &QTimer::timeout, this, &SecurityDialog::onPasswordTimeout);

    m_tabs->setObjectName(qs("TabStrip1"));
    m_tabs->setAccessibleName(QCoreApplication::translate("kestavo::admin", "Security settings"));
    m_tabs->addTab(buildPasswordPanel(), qs("Change Password"));
    m_tabs->addTab(buildAllowedPanel(), qs("Allowed IP Numbers"));
    m_tabs->addTab(buildHttpPanel(), qs("HTTP Server"));
    m_tabs->addTab(buildSnmpPanel(), qs("SNMP Server"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);

    loadFromState();
    waitForUnitReport({m_allowAll, m_allowListed, m_allowedOk, m_httpEnable, m_httpDisable, m_httpUpload,
                       m_snmpEnable, m_snmpDisable, m_snmpUpload},
                      [this] {
                          loadFromState();
                          chooseAllowedRule(m_allowListed->isChecked());
                      });
}

SecurityDialog::~SecurityDialog()
{
    if (m_holdingPolls)
        context().session.setPollsHeld(false);
}

void SecurityDialog::holdPolls(bool hold)
{
    if (hold == m_holdingPolls)
        return;
    m_holdingPolls = hold;
    context().session.setPollsHeld(hold);
}

QWidget* SecurityDialog::buildPasswordPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(qs("PasswordPanel"));
    m_address = new QLabel(panel);
    m_address->setObjectName(qs("StationAddress"));
    m_address->setAccessibleName(tr("Station address"));

    m_newPassword = new QLineEdit(panel);
    m_newPassword->setObjectName(qs("Text1"));
    m_newPassword->setAccessibleName(tr("New password"));
    m_newPassword->setMaxLength(int(protocol::kPasswordLength));
    m_newPassword->setEchoMode(QLineEdit::Password);
    // One byte per character on the wire: printable ASCII, no space.
    m_newPassword->setValidator(
        new QRegularExpressionValidator(QRegularExpression(qs("[!-~]*")), m_newPassword));

    m_passwordOk = pushButton("Command1", qs("OK"), panel);
    auto* cancel = pushButton("Command2", qs("Cancel"), panel);
    connect(m_passwordOk, &QPushButton::clicked, this, &SecurityDialog::changePassword);
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_passwordSocket->abort();
        m_passwordSocketConnected = false;
        close();
    });

    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(captionLabel(qs("Change Remote Password"), panel));
    layout->addWidget(m_address);
    layout->addWidget(captionLabel(qs("Passwords are 10 characters max."), panel));
    layout->addWidget(
        captionLabel(qs("Passwords will be padded out with * characters Automatically"), panel));
    layout->addWidget(m_newPassword);
    layout->addStretch();
    layout->addLayout(buttonRow(m_passwordOk, cancel));
    return panel;
}

QWidget* SecurityDialog::buildAllowedPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(qs("AllowedPanel"));
    m_allowAll = radioButton("Option1", qs("Allow ALL IP numbers"), panel);
    m_allowListed = radioButton("Option2", qs("Allow only these IP numbers"), panel);
    connect(m_allowAll, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseAllowedRule(false);
    });
    connect(m_allowListed, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseAllowedRule(true);
    });

    auto* grid = new QGridLayout;
    for (int i = 0; i < 20; ++i) {
        const int row = i / 4;
        const int column = i % 4;
        auto* box = new QLineEdit(panel);
        box->setObjectName(QStringLiteral("Text%1").arg(i + 2));
        box->setAccessibleName(tr("IP number %1 octet %2").arg(row + 1).arg(column + 1));
        box->setMaxLength(3);
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(qs("[0-9]*")), box));
        new KeyFilter(box, &KeyFilter::isDecimalDigit);
        if (column == 0)
            grid->addWidget(captionLabel(QStringLiteral("%1)").arg(row + 1), panel), row, 0);
        grid->addWidget(box, row, column + 1);
        m_octets[std::size_t(i)] = box;
    }

    m_allowedOk = pushButton("Command3", qs("OK"), panel);
    auto* cancel = pushButton("Command4", qs("Cancel"), panel);
    connect(m_allowedOk, &QPushButton::clicked, this, &SecurityDialog::changeAllowedIps);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(m_allowAll);
    layout->addWidget(m_allowListed);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttonRow(m_allowedOk, cancel));
    return panel;
}

QWidget* SecurityDialog::buildHttpPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(qs("HttpPanel"));
    m_httpHeading = new QLabel(qs("HTTP Server"), panel);
    m_httpHeading->setObjectName(qs("Label10"));
    m_httpHeading->setAccessibleName(tr("HTTP Server status"));
    m_httpEnable = radioButton("Option3", qs("Enable Status Web Page"), panel);
    m_httpDisable = radioButton("Option4", qs("Disable Status Web Page"), panel);
    m_httpUpload = pushButton("Command5", qs("Upload Setting"), panel);
    auto* cancel = pushButton("Command6", qs("Cancel"), panel);
    connect(m_httpUpload, &QPushButton::clicked, this,
            [this] { uploadSwitch(m_httpEnable, m_httpDisable, true); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(m_httpHeading);
    layout->addWidget(m_httpEnable);
    layout->addWidget(m_httpDisable);
    layout->addStretch();
    layout->addLayout(buttonRow(m_httpUpload, cancel));
    return panel;
}

QWidget* SecurityDialog::buildSnmpPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(qs("SnmpPanel"));
    m_snmpHeading = new QLabel(qs("SNMP Access"), panel);
    m_snmpHeading->setObjectName(qs("Label11"));
    m_snmpHeading->setAccessibleName(tr("SNMP Access status"));
    m_snmpEnable = radioButton("Option6", qs("Enable SNMP Access"), panel);
    m_snmpDisable = radioButton("Option5", qs("Disable SNMP Access"), panel);
    m_snmpUpload = pushButton("Command8", qs("Upload Setting"), panel);
    auto* cancel = pushButton("Command7", qs("Cancel"), panel);
    connect(m_snmpUpload, &QPushButton::clicked, this,
            [this] { uploadSwitch(m_snmpEnable, m_snmpDisable, false); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(m_snmpHeading);
    layout->addWidget(m_snmpEnable);
    layout->addWidget(m_snmpDisable);
    layout->addStretch();
    layout->addLayout(buttonRow(m_snmpUpload, cancel));
    return panel;
}

void SecurityDialog::loadFromState()
{
    const core::ConsoleState& state = context().state;
    const bool httpKnown = state.revision() >= kFirstHttpRevision;
    for (QWidget* w : {static_cast<QWidget*>(m_httpEnable), static_cast<QWidget*>(m_httpDisable),
                       static_cast<QWidget*>(m_httpUpload)})
        w->setEnabled(httpKnown);
    const bool snmpKnown = state.revision() >= kFirstSnmpRevision;
    for (QWidget* w : {static_cast<QWidget*>(m_snmpEnable), static_cast<QWidget*>(m_snmpDisable),
                       static_cast<QWidget*>(m_snmpUpload)})
        w->setEnabled(snmpKnown);

    if (state.httpState() == 0) {
        m_httpHeading->setText(qs("HTTP Server Status (ON)"));
        m_httpEnable->setChecked(true);
    } else if (state.httpState() == 1) {
        m_httpHeading->setText(qs("HTTP Server Status (OFF)"));
        m_httpDisable->setChecked(true);
    }
    if (state.snmpState() == 0) {
        m_snmpHeading->setText(qs("SNMP Access (ENABLED)"));
        m_snmpEnable->setChecked(true);
    } else if (state.snmpState() == 1) {
        m_snmpHeading->setText(qs("SNMP Access (DISABLED)"));
        m_snmpDisable->setChecked(true);
    }

    m_address->setText(state.selectedAddress());
    m_passwordSocketConnected = false;
    m_allowedSocketConnected = false;
    m_newPassword->setText(QString::fromStdString(context().session.password()));

    if (state.allowedRule() == 0)
        m_allowAll->setChecked(true);
    else if (state.allowedRule() == 1)
        m_allowListed->setChecked(true);
}

void SecurityDialog::chooseAllowedRule(bool onlyListed)
{
    const core::ConsoleState& state = context().state;
    for (std::size_t i = 0; i < m_octets.size(); ++i) {
        QLineEdit* box = m_octets[i];
        box->setEnabled(onlyListed);
        // Locked boxes take the colour of the window around them, so they read as not in use.
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base,
                         onlyListed ? QPalette().color(QPalette::Base) : QPalette().color(QPalette::Button));
        box->setPalette(palette);
        // Repeated as a style sheet so that a skin styling line edits cannot paint over it.
        box->setStyleSheet(
            QStringLiteral("QLineEdit { background-color: %1; }").arg(palette.color(QPalette::Base).name()));
        box->setText(QString::number(state.allowedOctet(int(i))));
    }
}

bool SecurityDialog::sessionRunning()
{
    if (context().state.acquiring())
        return true;
    context().prompter.inform(noSessionText());
    return false;
}

bool SecurityDialog::ensureConnected(QUdpSocket* socket, bool& connectedFlag)
{
    if (connectedFlag && socket->state() == QAbstractSocket::BoundState)
        return true;
    const core::Session& session = context().session;
    socket->abort();
    // Bound, not connected, like the main socket: the unit's answer may come from another port
    // (port translation); the reply handlers filter by the unit's address.
    const bool v6 = session.unitAddress().protocol() == QAbstractSocket::IPv6Protocol;
    connectedFlag = socket->bind(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4, 0);
    if (!connectedFlag)
        context().prompter.inform(tr("No socket to the unit at %1 could be opened: %2. "
                                     "Check the network connection and try again.")
                                      .arg(session.unitAddress().toString(), socket->errorString()));
    return connectedFlag;
}

bool SecurityDialog::sendOn(QUdpSocket* socket, const std::string& frame, const QString& what)
{
    const QByteArray bytes(frame.data(), qsizetype(frame.size()));
    const core::Session& session = context().session;
    if (socket->writeDatagram(bytes, session.unitAddress(), session.unitPort()) == bytes.size()) {
        context().session.noteAdminFrame(bytes);
        return true;
    }
    context().prompter.inform(
        tr("The %1 could not be sent to the unit at %2: %3. "
           "Check the network connection and try again.")
            .arg(what, context().session.unitAddress().toString(), socket->errorString()));
    return false;
}

void SecurityDialog::changePassword()
{
    const std::string padded = protocol::padPassword(m_newPassword->text().toLatin1().toStdString());
    const QString paddedText = QString::fromLatin1(padded.data(), qsizetype(padded.size()));
    m_newPassword->setText(paddedText);
    const std::string stored = context().session.password();
    if (padded == stored) {
        context().prompter.inform(
            qs("Password has not changed because it is the same one stored in the database"));
        m_passwordSocket->abort();
        m_passwordSocketConnected = false;
        return;
    }
    if (!sessionRunning() || !ensureConnected(m_passwordSocket, m_passwordSocketConnected))
        return;
    m_pendingPassword = paddedText;
    // Polls after this frame would carry the old password once the unit has switched.
    holdPolls(true);
    if (sendOn(m_passwordSocket, protocol::passwordFrame(padded, stored), tr("password change"))) {
        m_passwordOk->setEnabled(false);
        m_passwordTimeout.start();
    } else {
        holdPolls(false);
    }
}

bool SecurityDialog::octetsInRange()
{
    for (std::size_t i = 0; i < m_octets.size(); ++i) {
        const int value = leadingDecimal(m_octets[i]->text());
        if (value <= kMaxOctet)
            continue;
        // Sent as it stands the value would wrap to another address and could shut out the
        // computer the user meant to allow.
        context().prompter.inform(
            tr("Allowed IP number %1, box %2 holds %3, but each part of an IP number is "
               "0 to 255. Correct it and press OK again; nothing was sent.")
                .arg(i / 4 + 1)
                .arg(i % 4 + 1)
                .arg(value));
        m_octets[i]->setFocus();
        m_octets[i]->selectAll();
        return false;
    }
    return true;
}

bool SecurityDialog::confirmLockout(const std::array<int, 20>& octets)
{
    const QHostAddress local = context().session.localAddress();
    bool isIpv4 = false;
    const quint32 ipv4 = local.toIPv4Address(&isIpv4);
    if (isIpv4 && listsAddress(octets, ipv4))
        return true;
    const QString self = isIpv4 ? QHostAddress(ipv4).toString() : tr("an address that could not be read");
    const QString text = tr("This computer reaches the unit from %1, which is not one of the five allowed IP "
                            "numbers. Once the unit takes this list it will stop answering this computer, "
                            "and only a computer on the list can change it back.\n\n"
                            "Send the list anyway?")
                             .arg(self);
    return context().prompter.ask(text, platform::Prompter::appTitle(), platform::Prompter::Buttons::YesNo,
                                  platform::Prompter::Icon::Warning) == platform::Prompter::Answer::Yes;
}

void SecurityDialog::changeAllowedIps()
{
    if (!m_allowAll->isChecked() && !m_allowListed->isChecked())
        return;
    const bool onlyListed = m_allowListed->isChecked();
    std::array<int, 20> octets{};
    if (onlyListed) {
        if (!octetsInRange())
            return;
        for (std::size_t i = 0; i < octets.size(); ++i)
            octets[i] = leadingDecimal(m_octets[i]->text());
    }
    if (!sessionRunning())
        return;
    if (onlyListed && !confirmLockout(octets))
        return;
    if (!ensureConnected(m_allowedSocket, m_allowedSocketConnected))
        return;
    const std::string frame = protocol::allowedIpFrame(onlyListed, octets, context().session.password());
    if (sendOn(m_allowedSocket, frame, tr("allowed IP numbers")))
        m_allowedOk->setEnabled(false);
}

void SecurityDialog::uploadSwitch(QRadioButton* enable, QRadioButton* disable, bool http)
{
    if (!enable->isChecked() && !disable->isChecked())
        return;
    const int flag = disable->isChecked() ? 1 : 0;
    const std::string password = context().session.password();
    if (sendFrame(http ? protocol::httpFrame(flag, password) : protocol::snmpFrame(flag, password)))
        close();
}

bool SecurityDialog::fromUnit(const QNetworkDatagram& datagram) const
{
    return datagram.senderAddress().isEqual(context().session.unitAddress(),
                                            QHostAddress::ConvertV4MappedToIPv4);
}

void SecurityDialog::onPasswordReply()
{
    auto& prompter = context().prompter;
    while (m_passwordSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_passwordSocket->receiveDatagram();
        if (!fromUnit(datagram))
            continue;
        const QByteArray reply = datagram.data();
        context().session.noteAdminReply(reply);
        const PasswordReply judged = judgePasswordReply(reply);
        if (judged != PasswordReply::Incomplete)
            m_passwordTimeout.stop();
        switch (judged) {
        case PasswordReply::Incomplete:
            continue;
        case PasswordReply::Rejected:
            holdPolls(false);
            m_passwordSocket->abort();
            prompter.critical(qs("Bad Password!"), qs("Lameness Detected!"));
            close();
            return;
        case PasswordReply::Refused:
            holdPolls(false);
            m_passwordSocket->abort();
            prompter.critical(qs("Password change error... re-try"), qs("Lameness Detected!"));
            close();
            return;
        case PasswordReply::Changed: {
            // The unit already uses the new password: every later frame must carry it, so the
            // station record is updated before anything else can send.
            auto& store = context().store;
            const QString address = context().state.selectedAddress();
            const bool written = store.setPassword(address, m_pendingPassword);
            holdPolls(false);
            m_passwordSocket->abort();
            m_passwordSocketConnected = false;
            if (written) {
                prompter.inform(qs("Remote Password successfully updated and written into Local data base."));
            } else {
                prompter.inform(tr("The unit at %1 now uses the new password, but the station "
                                   "record could not be updated: %2 Until the record holds "
                                   "the new password the unit will refuse this console.")
                                    .arg(address, store.lastError()));
            }
            m_passwordOk->setEnabled(true);
            close();
            return;
        }
        }
    }
}

void SecurityDialog::onPasswordTimeout()
{
    // The frame or its answer was lost: the unit may hold either password, so the record keeps
    // the one it has and the user learns how to put it right.
    holdPolls(false);
    m_passwordSocket->abort();
    m_passwordSocketConnected = false;
    m_pendingPassword.clear();
    m_passwordOk->setEnabled(true);
    const QString address = context().state.selectedAddress();
    context().prompter.inform(
        tr("The unit at %1 did not answer the password change within %2 seconds. It may or may "
           "not use the new password now; the station record still holds the old one. If the "
           "unit refuses this console from now on, press \"Add IP\" in the main window, enter "
           "%1 with the new password and let it update the station.")
            .arg(address)
            .arg(m_passwordTimeout.interval() / 1000.0));
}

void SecurityDialog::onAllowedIpReply()
{
    auto& prompter = context().prompter;
    while (m_allowedSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_allowedSocket->receiveDatagram();
        if (!fromUnit(datagram))
            continue;
        const QByteArray reply = datagram.data();
        context().session.noteAdminReply(reply);
        switch (judgeAllowedIpReply(reply)) {
        case AllowedIpReply::Incomplete:
            continue;
        case AllowedIpReply::Rejected:
            prompter.critical(qs("Bad Password!"), qs("Lameness Detected!"));
            close();
            return;
        case AllowedIpReply::Refused:
            prompter.critical(qs("IP Status change error... re-try"), qs("Lameness Detected!"));
            close();
            return;
        case AllowedIpReply::Changed:
            prompter.inform(qs("Allowable IP Status change successful!"));
            close();
            return;
        }
    }
}

} // namespace kestavo::admin
