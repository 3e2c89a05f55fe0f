#include "gui/alarms/routespanel.h"

#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include "protocol/ipv4.h"

#include "alarms/alarmengine.h"
#include "gui/alarms/alarmtables.h"
#include "gui/alarms/alarmwindows.h"
#include "gui/main/readoutaccessible.h"
#include "notify/curltransport.h"
#include "notify/message.h"
#include "notify/notifier.h"
#include "notify/notifystore.h"
#include "platform/prompter.h"

namespace kestavo::alarmwindows {

using namespace Qt::StringLiterals;
using notify::Route;
using notify::RouteKind;

namespace {

constexpr int kDeliveryRows = 200; // the delivery log shows the latest this many

QSpinBox* spin(QWidget* parent, const QString& name, const QString& accessible, int maximum,
               const QString& suffix)
{
    auto* box = named(new QSpinBox(parent), name, accessible);
    box->setRange(0, maximum);
    box->setSuffix(suffix);
    box->setSpecialValueText(QObject::tr("none"));
    return box;
}

} // namespace

RoutesPanel::RoutesPanel(AlarmServices& services, platform::Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_services(services), m_prompter(prompter)
{
    m_routes = rowTable(this, u"RouteList"_s, tr("Notification routes"),
                        {tr("No."), tr("Kind"), tr("To"), tr("Takes")});
    sizeColumns(m_routes, {u"9999"_s, u"webhook"_s, u"https://push.example.net/ops-night"_s});
    connect(m_routes, &QTableWidget::currentCellChanged, this, [this](int row) { showRoute(row); });

    m_deliveries = rowTable(this, u"DeliveryLog"_s, tr("Notification deliveries"),
                            {tr("Time"), tr("Route"), tr("Alarm"), tr("Station"), tr("What"), tr("Outcome"),
                             tr("Attempt"), tr("Detail")});
    sizeColumns(m_deliveries, {localTime(0), u"9999"_s, u"99999"_s, u"255.255.255.255"_s, u"acknowledged"_s,
                               u"queue full"_s, u"9"_s});

    auto* top = new QHBoxLayout;
    top->addWidget(m_routes, 3);
    top->addWidget(buildForm(), 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 3);
    layout->addWidget(new QLabel(tr("Deliveries, newest first:"), this));
    layout->addWidget(m_deliveries, 2);

    if (m_services.notifier)
        connect(m_services.notifier, &notify::Notifier::delivered, this, &RoutesPanel::refreshDeliveries);
    refresh();
}

QWidget* RoutesPanel::buildForm()
{
    auto* box = new QWidget(this);
    m_kind = named(new QComboBox(box), u"RouteKind"_s, tr("Route kind"));
    m_kind->addItem(tr("Webhook (HTTP POST)"), int(RouteKind::Webhook));
    m_kind->addItem(tr("Email (SMTP)"), int(RouteKind::Email));
    m_target = named(new QLineEdit(box), u"RouteTarget"_s, tr("Route URL or mail address"));
    m_preset = named(new QComboBox(box), u"RoutePreset"_s, tr("Webhook body"));
    for (notify::WebhookPreset p :
         {notify::WebhookPreset::Json, notify::WebhookPreset::Text, notify::WebhookPreset::Chat})
        m_preset->addItem(notify::presetText(p), int(p));
    m_headerFile = named(new QLineEdit(box), u"RouteHeaderFile"_s, tr("Webhook header file"));
    m_headerFile->setPlaceholderText(tr("file of \"Name: value\" lines (a token)"));
    m_smtp = named(new QLineEdit(box), u"RouteSmtp"_s, tr("SMTP server"));
    m_smtp->setPlaceholderText(u"smtps://mail.example.net:465"_s);
    m_from = named(new QLineEdit(box), u"RouteFrom"_s, tr("Mail from"));
    m_smtpUser = named(new QLineEdit(box), u"RouteSmtpUser"_s, tr("SMTP user"));
    m_passwordFile = named(new QLineEdit(box), u"RoutePasswordFile"_s, tr("SMTP password file"));
    m_high = named(new QCheckBox(tr("high"), box), u"RouteHigh"_s, tr("Send high-priority alarms"));
    m_medium = named(new QCheckBox(tr("medium"), box), u"RouteMedium"_s, tr("Send medium-priority alarms"));
    m_low = named(new QCheckBox(tr("low"), box), u"RouteLow"_s, tr("Send low-priority alarms"));
    for (QCheckBox* c : {m_high, m_medium, m_low})
        c->setChecked(true);
    m_station = named(new QLineEdit(box), u"RouteStation"_s, tr("Route station"));
    m_station->setPlaceholderText(tr("empty: every station"));
    m_tag = named(new QLineEdit(box), u"RouteTag"_s, tr("Route tag"));
    m_tag->setPlaceholderText(tr("or every station with this tag (north takes in north/pumps)"));
    m_cooldown = spin(box, u"RouteCooldown"_s, tr("Cooldown in seconds"), 7 * 86400, tr(" s"));
    m_maxPerHour = spin(box, u"RouteMaxPerHour"_s, tr("Most messages per hour"), 10000, tr(" an hour"));
    m_repeat = spin(box, u"RouteRepeat"_s, tr("Repeat minutes"), 24 * 60, tr(" min"));
    m_sendCleared =
        named(new QCheckBox(tr("cleared"), box), u"RouteSendCleared"_s, tr("Send cleared messages"));
    m_sendAcknowledged = named(new QCheckBox(tr("acknowledged"), box), u"RouteSendAcknowledged"_s,
                               tr("Send acknowledged messages"));

    auto* priorities = new QHBoxLayout;
    for (QCheckBox* c : {m_high, m_medium, m_low})
        priorities->addWidget(c);
    auto* sends = new QHBoxLayout;
    sends->addWidget(m_sendCleared);
    sends->addWidget(m_sendAcknowledged);
    auto* form = new QFormLayout;
    form->addRow(tr("Kind"), m_kind);
    form->addRow(tr("URL or mail to"), m_target);
    form->addRow(tr("Body"), m_preset);
    form->addRow(tr("Header file"), m_headerFile);
    form->addRow(tr("SMTP server"), m_smtp);
    form->addRow(tr("From"), m_from);
    form->addRow(tr("SMTP user"), m_smtpUser);
    form->addRow(tr("Password file"), m_passwordFile);
    form->addRow(tr("Priorities"), priorities);
    form->addRow(tr("Station"), m_station);
    form->addRow(tr("Tag"), m_tag);
    form->addRow(tr("Cooldown"), m_cooldown);
    form->addRow(tr("At most"), m_maxPerHour);
    form->addRow(tr("Repeat high alarms every"), m_repeat);
    form->addRow(tr("Also send"), sends);

    auto* add = named(new QPushButton(tr("Add"), box), u"AddRoute"_s, tr("Add the route"));
    auto* save = named(new QPushButton(tr("Save"), box), u"SaveRoute"_s, tr("Save the selected route"));
    auto* remove =
        named(new QPushButton(tr("Remove"), box), u"RemoveRoute"_s, tr("Remove the selected route"));
    m_test = named(new QPushButton(tr("Send test"), box), u"TestRoute"_s,
                   tr("Send a test message on the selected route"));
    m_testOutcome = new QLabel(box);
    m_testOutcome->setObjectName(u"RouteTestOutcome"_s);
    m_testOutcome->setWordWrap(true);
    core::markReadout(m_testOutcome, tr("Test outcome"));
    connect(add, &QPushButton::clicked, this, [this] { saveRoute(true); });
    connect(save, &QPushButton::clicked, this, [this] { saveRoute(false); });
    connect(remove, &QPushButton::clicked, this, &RoutesPanel::removeRoute);
    connect(m_test, &QPushButton::clicked, this, &RoutesPanel::sendTest);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &RoutesPanel::kindChanged);
    kindChanged();

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, save, remove, m_test})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(m_testOutcome);
    layout->addStretch();
    return box;
}

void RoutesPanel::kindChanged()
{
    const bool mail = RouteKind(m_kind->currentData().toInt()) == RouteKind::Email;
    m_target->setPlaceholderText(mail ? tr("oncall@example.net") : tr("https://push.example.net/topic"));
    for (QWidget* w : {static_cast<QWidget*>(m_preset), static_cast<QWidget*>(m_headerFile)})
        w->setEnabled(!mail);
    for (QLineEdit* e : {m_smtp, m_from, m_smtpUser, m_passwordFile})
        e->setEnabled(mail);
}

void RoutesPanel::refresh()
{
    m_routeList = m_services.notifyStore ? m_services.notifyStore->routes() : QList<Route>{};
    QList<QStringList> rows;
    for (const Route& r : m_routeList) {
        QStringList takes;
        takes << (r.priorities.isEmpty() ? tr("every priority") : notify::prioritiesText(r.priorities));
        if (!r.tag.isEmpty())
            takes << tr("tag %1").arg(r.tag);
        else
            takes << (r.station.isEmpty() ? tr("every station") : tr("station %1").arg(r.station));
        if (r.cooldownS > 0)
            takes << tr("cooldown %1 s").arg(r.cooldownS);
        if (r.maxPerHour > 0)
            takes << tr("at most %1 an hour").arg(r.maxPerHour);
        if (r.repeatMin > 0)
            takes << tr("repeat every %1 min").arg(r.repeatMin);
        rows.append({QString::number(r.id), notify::kindText(r.kind), r.target, takes.join(u" · "_s)});
    }
    fillTable(m_routes, rows);
    refreshDeliveries();
}

void RoutesPanel::refreshDeliveries()
{
    const QList<notify::Delivery> log = m_services.notifyStore
                                            ? m_services.notifyStore->deliveries(0, kDeliveryRows)
                                            : QList<notify::Delivery>{};
    QList<QStringList> rows;
    for (const notify::Delivery& d : log)
        rows.append({localTime(d.timeMs), QString::number(d.route),
                     d.alarm ? QString::number(d.alarm) : QString(), d.address, d.kind, d.outcome,
                     QString::number(d.attempt), d.detail});
    fillTable(m_deliveries, rows);
}

void RoutesPanel::showRoute(int row)
{
    if (row < 0 || row >= m_routeList.size())
        return;
    const Route& r = m_routeList[row];
    m_kind->setCurrentIndex(m_kind->findData(int(r.kind)));
    m_target->setText(r.target);
    m_preset->setCurrentIndex(m_preset->findData(int(r.preset)));
    m_headerFile->setText(r.headerFile);
    m_smtp->setText(r.smtp);
    m_from->setText(r.from);
    m_smtpUser->setText(r.smtpUser);
    m_passwordFile->setText(r.passwordFile);
    m_high->setChecked(r.priorities.isEmpty() || r.priorities.contains(history::AlarmPriority::High));
    m_medium->setChecked(r.priorities.isEmpty() || r.priorities.contains(history::AlarmPriority::Medium));
    m_low->setChecked(r.priorities.isEmpty() || r.priorities.contains(history::AlarmPriority::Low));
    m_station->setText(r.station);
    m_tag->setText(r.tag);
    m_cooldown->setValue(r.cooldownS);
    m_maxPerHour->setValue(r.maxPerHour);
    m_repeat->setValue(r.repeatMin);
    m_sendCleared->setChecked(r.sendCleared);
    m_sendAcknowledged->setChecked(r.sendAcknowledged);
}

Route RoutesPanel::routeFromForm() const
{
    Route r;
    r.kind = RouteKind(m_kind->currentData().toInt());
    r.target = m_target->text().trimmed();
    if (r.kind == RouteKind::Webhook) {
        r.preset = notify::WebhookPreset(m_preset->currentData().toInt());
        r.headerFile = m_headerFile->text().trimmed();
    } else {
        r.smtp = m_smtp->text().trimmed();
        r.from = m_from->text().trimmed();
        r.smtpUser = m_smtpUser->text().trimmed();
        r.passwordFile = m_passwordFile->text().trimmed();
    }
    const std::pair<QCheckBox*, history::AlarmPriority> boxes[] = {{m_high, history::AlarmPriority::High},
                                                                   {m_medium, history::AlarmPriority::Medium},
                                                                   {m_low, history::AlarmPriority::Low}};
    for (const auto& [box, priority] : boxes)
        if (box->isChecked())
            r.priorities.insert(priority);
    if (r.priorities.size() == 3)
        r.priorities.clear(); // every priority, as the command line stores it
    r.station = m_station->text().trimmed();
    r.tag = m_tag->text().trimmed();
    r.cooldownS = m_cooldown->value();
    r.maxPerHour = m_maxPerHour->value();
    r.repeatMin = m_repeat->value();
    r.sendCleared = m_sendCleared->isChecked();
    r.sendAcknowledged = m_sendAcknowledged->isChecked();
    return r;
}

QString RoutesPanel::problem(const Route& route)
{
    // The checks of `kestavo-cli notify routes add`, in the order it makes them.
    if (route.kind == RouteKind::Webhook && route.target.isEmpty())
        return tr("URL: give the address the webhook posts to.");
    if (route.kind == RouteKind::Email && route.target.isEmpty())
        return tr("To: give the mail address messages go to.");
    if (!route.station.isEmpty() && !protocol::parseIpv4(route.station.toStdString()))
        return tr("Station: \"%1\" is not an IPv4 address (four numbers 0-255, no leading zeros).")
            .arg(route.station);
    for (const QString& file : {route.headerFile, route.passwordFile})
        if (!file.isEmpty() && !QFileInfo(file).isReadable())
            return tr("The file \"%1\" cannot be read; check the name and its permissions.").arg(file);
    return notify::validate(route);
}

void RoutesPanel::say(const QString& text)
{
    m_prompter.ask(text, tr("Kestavo"), platform::Prompter::Buttons::Ok, platform::Prompter::Icon::Warning);
}

void RoutesPanel::saveRoute(bool asNew)
{
    const int row = m_routes->currentRow();
    if (!asNew && (row < 0 || row >= m_routeList.size())) {
        say(tr("Select the route to save in the list first, or use Add."));
        return;
    }
    if (!m_services.notifyStore) {
        say(tr("Routes are kept in the history file, and this console runs without one."));
        return;
    }
    Route route = routeFromForm();
    if (!asNew) {
        route.id = m_routeList[row].id;
        route.enabled = m_routeList[row].enabled;
    }
    if (const QString why = problem(route); !why.isEmpty()) {
        say(tr("The route was not saved. ") + why);
        return;
    }
    if (!m_services.notifyStore->saveRoute(route)) {
        say(tr("The route could not be written to \"%1\"; check that the file is writable.")
                .arg(m_services.notifyStore->path()));
        return;
    }
    if (m_services.notifier)
        m_services.notifier->reload();
    refresh();
    for (int r = 0; r < m_routeList.size(); ++r)
        if (m_routeList[r].id == route.id)
            m_routes->selectRow(r);
}

void RoutesPanel::removeRoute()
{
    const int row = m_routes->currentRow();
    if (row < 0 || row >= m_routeList.size() || !m_services.notifyStore) {
        say(tr("Select the route to remove in the list first."));
        return;
    }
    const Route route = m_routeList[row];
    if (!m_prompter.confirmYesNo(tr("Remove route %1 (%2)? Its alarms will no longer be sent there.")
                                     .arg(route.id)
                                     .arg(route.target),
                                 tr("Kestavo")))
        return;
    if (!m_services.notifyStore->removeRoute(route.id)) {
        say(tr("Route %1 could not be removed from \"%2\"; check that the file is writable.")
                .arg(route.id)
                .arg(m_services.notifyStore->path()));
        return;
    }
    if (m_services.notifier)
        m_services.notifier->reload();
    refresh();
}

void RoutesPanel::sendTest()
{
    const int row = m_routes->currentRow();
    if (row < 0 || row >= m_routeList.size()) {
        say(tr("Select the route to test in the list first."));
        return;
    }
    const Route route = m_routeList[row];
    const QString description = m_services.stationName && !route.station.isEmpty()
                                    ? m_services.stationName(route.station)
                                    : QString();
    const notify::Message message = notify::testMessage(route, description, m_services.engine.now());
    std::shared_ptr<notify::Transport> transport = m_services.transport;
    if (!transport)
        transport = std::make_shared<notify::CurlTransport>();
    // The send may take up to the transport's timeout: off the window's thread, so the console
    // keeps polling and drawing meanwhile.
    auto result = std::make_shared<notify::SendResult>();
    QThread* thread =
        QThread::create([transport, route, message, result] { *result = transport->send(route, message); });
    m_test->setEnabled(false);
    m_testOutcome->setText(tr("Sending a test message on route %1…").arg(route.id));
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, route, message, result] {
        m_test->setEnabled(true);
        notify::Delivery row{0,
                             message.timeMs,
                             route.id,
                             0,
                             message.address,
                             notify::messageKindText(message.kind),
                             result->ok ? u"sent"_s : u"failed"_s,
                             1,
                             result->detail};
        if (m_services.notifyStore)
            m_services.notifyStore->record(row);
        m_testOutcome->setText(
            result->ok ? tr("Route %1: the test message was sent (%2).").arg(route.id).arg(result->detail)
                       : tr("Route %1: the test message failed: %2. Check the address and "
                            "that the server is reachable.")
                             .arg(route.id)
                             .arg(result->detail));
        refreshDeliveries();
    });
    thread->start();
}

} // namespace kestavo::alarmwindows
