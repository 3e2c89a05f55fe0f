#include "gui/backup/rolloutwindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/session.h"

#include "alarms/auditrecorder.h"
#include "backup/unitconfig.h"
#include "fleet/unitjobs.h"
#include "gui/backup/rollouttablemodel.h"
#include "gui/main/readoutaccessible.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "text/boundedfile.h"

namespace kestavo::unitbackup {

namespace {

using fleet::UnitOutcome;

constexpr backup::Group kGroups[] = {backup::Group::Name,     backup::Group::Scripts,  backup::Group::Boards,
                                     backup::Group::Triggers, backup::Group::Security, backup::Group::Delays};

template <typename Widget>
Widget* named(Widget* widget, const QString& objectName, const QString& accessibleName)
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& objectName, const QString& caption)
{
    return named(new QPushButton(caption, parent), objectName, caption);
}

QString stationCount(qsizetype count)
{
    return count == 1 ? RolloutWindow::tr("1 station") : RolloutWindow::tr("%1 stations").arg(count);
}

// What a unit's row says, as `kestavo-cli rollout` prints it: a unit that wrote says what it
// wrote; the others say how it ended first.
QString resultText(const UnitOutcome& outcome)
{
    const QString word = UnitOutcome::word(outcome.result);
    if (outcome.result == UnitOutcome::Result::Done && !outcome.text.isEmpty())
        return outcome.text;
    if (outcome.text.isEmpty() || outcome.text == word)
        return word;
    return word + QStringLiteral(": ") + outcome.text;
}

} // namespace

RolloutWindow::RolloutWindow(core::Context& context, platform::FileChooser& files,
                             alarms::AuditRecorder* recorder, const backup::Timing& timing)
    : ConsoleDialog(context, false), m_files(files), m_recorder(recorder), m_timing(timing),
      m_file(named(new QLineEdit(this), QStringLiteral("RolloutFile"), tr("Configuration file"))),
      m_chooseFile(button(this, QStringLiteral("ChooseFileButton"), tr("Choose\u2026"))),
      m_byTag(named(new QRadioButton(tr("Stations with the tag"), this), QStringLiteral("ByTag"),
                    tr("Stations with the tag"))),
      m_tag(named(new QComboBox(this), QStringLiteral("Tag"), tr("Tag"))),
      m_byList(named(new QRadioButton(tr("Stations chosen from the list"), this), QStringLiteral("ByList"),
                     tr("Stations chosen from the list"))),
      m_stations(named(new QListView(this), QStringLiteral("Stations"), tr("Stations"))),
      m_stationModel(new QStringListModel(this)),
      m_parallel(named(new QSpinBox(this), QStringLiteral("Parallel"), tr("Units at a time"))),
      m_maxFailures(named(new QSpinBox(this), QStringLiteral("MaxFailures"), tr("Maximum failures"))),
      m_dryRun(named(new QCheckBox(tr("Dry run: compare only, write nothing"), this),
                     QStringLiteral("DryRun"), tr("Dry run"))),
      m_table(named(new QTableView(this), QStringLiteral("Units"), tr("Units"))),
      m_units(new RolloutTableModel(this)),
      m_progress(named(new QProgressBar(this), QStringLiteral("Progress"), tr("Progress"))),
      m_status(new QLabel(this)), m_start(button(this, QStringLiteral("StartButton"), tr("Start"))),
      m_pause(button(this, QStringLiteral("PauseButton"), tr("Pause"))),
      m_stop(button(this, QStringLiteral("StopButton"), tr("Stop"))),
      m_close(button(this, QStringLiteral("CloseButton"), tr("Close")))
{
    setObjectName(QStringLiteral("Rollout"));
    setWindowTitle(tr("Rollout"));

    m_file->setReadOnly(true);
    m_file->setPlaceholderText(tr("A unit backup (.json)"));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_chooseFile);

    auto* items = named(new QGroupBox(tr("Items"), this), QStringLiteral("Items"), tr("Items"));
    auto* itemRow = new QHBoxLayout(items);
    const QList<backup::Group> defaults = backup::defaultGroups();
    for (const backup::Group group : kGroups) {
        const QString name = backup::groupName(group);
        auto* box = named(new QCheckBox(name, items), QStringLiteral("Item_") + name, name);
        box->setChecked(defaults.contains(group));
        itemRow->addWidget(box);
        m_groups << box;
    }

    // Every level of every tag: "north" takes in north/pumps, as --tag does.
    QStringList tags;
    for (const QString& tag : context.store.allTags()) {
        for (qsizetype slash = tag.indexOf(u'/'); slash > 0; slash = tag.indexOf(u'/', slash + 1))
            tags << tag.left(slash);
        tags << tag;
    }
    tags.removeDuplicates();
    tags.sort();
    m_tag->addItems(tags);
    m_stations->setModel(m_stationModel);
    m_stations->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_stations->setUniformItemSizes(true);
    m_stations->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_stations->setFont(mono);
    fillStations();
    (m_tag->count() > 0 ? m_byTag : m_byList)->setChecked(true);
    const auto followGroup = [this] {
        m_tag->setEnabled(m_byTag->isChecked() && !isRunning());
        m_stations->setEnabled(m_byList->isChecked() && !isRunning());
    };
    connect(m_byTag, &QRadioButton::toggled, this, followGroup);
    followGroup();
    auto* who = named(new QGroupBox(tr("Group"), this), QStringLiteral("Group"), tr("Group"));
    auto* whoLayout = new QVBoxLayout(who);
    auto* tagRow = new QHBoxLayout;
    tagRow->addWidget(m_byTag);
    tagRow->addWidget(m_tag, 1);
    whoLayout->addLayout(tagRow);
    whoLayout->addWidget(m_byList);
    whoLayout->addWidget(m_stations, 1);

    m_parallel->setRange(1, 64);
    m_parallel->setValue(4);
    m_maxFailures->setRange(0, 1000000);
    m_maxFailures->setValue(1);
    m_maxFailures->setSpecialValueText(tr("never stop"));

    auto* form = new QFormLayout;
    form->addRow(tr("Configuration file:"), fileRow);
    form->addRow(items);
    form->addRow(who);
    form->addRow(tr("Units at a time:"), m_parallel);
    form->addRow(tr("Stop after failures:"), m_maxFailures);
    form->addRow(m_dryRun);

    m_table->setModel(m_units);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (auto* corner = m_table->findChild<QAbstractButton*>())
        corner->setAccessibleName(tr("Select every unit"));
    m_status->setObjectName(QStringLiteral("Status"));
    core::markReadout(m_status, tr("Status"));
    m_status->setWordWrap(true);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_pause);
    buttons->addWidget(m_stop);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_chooseFile, &QPushButton::clicked, this, &RolloutWindow::chooseFile);
    connect(m_start, &QPushButton::clicked, this, &RolloutWindow::start);
    connect(m_pause, &QPushButton::clicked, this, &RolloutWindow::togglePause);
    connect(m_stop, &QPushButton::clicked, this, &RolloutWindow::stop);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    setRunning(false);
    resize(760, 640);
}

RolloutWindow::~RolloutWindow() = default;

bool RolloutWindow::isRunning() const
{
    return m_operation && m_operation->isRunning();
}

void RolloutWindow::fillStations()
{
    m_stationModel->setStringList(context().store.fillList().entries);
}

void RolloutWindow::chooseFile()
{
    const QString path = m_files.openFile(this, tr("Configuration to roll out"));
    if (!path.isEmpty())
        m_file->setText(path);
}

QList<backup::Group> RolloutWindow::chosenGroups() const
{
    QList<backup::Group> groups;
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i)->isChecked())
            groups << kGroups[i];
    }
    return groups;
}

void RolloutWindow::start()
{
    if (isRunning())
        return;
    const QString path = m_file->text();
    if (path.isEmpty()) {
        say(tr("Choose the configuration file to roll out first; nothing was sent."));
        return;
    }
    const text::BoundedRead file = text::readBoundedFile(path, backup::kMaxDocumentBytes);
    if (!file.ok) {
        say(tr("%1 Nothing was sent.").arg(file.error));
        return;
    }
    auto parsed = backup::fromDocument(file.bytes);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        say(tr("\"%1\" is refused: %2; nothing was sent.").arg(path, *error));
        return;
    }
    const QList<backup::Group> groups = chosenGroups();
    if (groups.isEmpty()) {
        say(tr("Tick at least one item to roll out; nothing was sent."));
        return;
    }

    const stations::StationStore& store = context().store;
    QStringList addresses;
    QString groupText;
    if (m_byTag->isChecked()) {
        const QString tag = m_tag->currentText();
        if (tag.isEmpty()) {
            say(tr("No station has a tag yet: choose the stations from the list; nothing was sent."));
            return;
        }
        addresses = store.addressesWithTag(tag);
        groupText = tr("tag %1").arg(tag);
        if (addresses.isEmpty()) {
            say(tr("No station has the tag %1; nothing was sent.").arg(tag));
            return;
        }
    } else {
        QModelIndexList rows = m_stations->selectionModel()->selectedRows();
        std::sort(rows.begin(), rows.end(),
                  [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
        QSet<QString> listed;
        for (const QModelIndex& row : std::as_const(rows)) {
            const QString address = stations::addressOf(row.data().toString());
            if (!listed.contains(address)) {
                listed.insert(address);
                addresses << address;
            }
        }
        groupText = tr("listed");
        if (addresses.isEmpty()) {
            say(tr("Choose the stations in the list first; nothing was sent."));
            return;
        }
    }

    // The stations' own passwords and descriptions, as the command-line rollout takes them.
    QList<fleet::OperationTarget> targets;
    QList<RolloutTableModel::Row> rows;
    const quint16 port = context().session.unitPort();
    for (const QString& address : std::as_const(addresses)) {
        const int position = store.positionOf(address);
        if (position < 0) {
            say(tr("%1 is no longer in the station database; nothing was sent.").arg(address));
            return;
        }
        const QString description = stations::descriptionOf(store.entryAt(position)).trimmed();
        const QString password = store.valueAt(position, QStringLiteral("password")).toString();
        targets << fleet::OperationTarget{address, description, password.toLatin1().toStdString(), port};
        rows << RolloutTableModel::Row{address, description, QString()};
    }

    QStringList names;
    for (const backup::Group group : groups)
        names << backup::groupName(group);
    const bool dryRun = m_dryRun->isChecked();
    // One question for the whole group, as the command line asks it; a dry run only reads.
    const QString question = tr("Roll out %1 (%2) at %3 (%4)?")
                                 .arg(QFileInfo(path).fileName(), names.join(QStringLiteral(", ")),
                                      stationCount(targets.size()), groupText);
    if (!dryRun && !context().prompter.confirmYesNo(question, tr("Rollout"))) {
        setStatus(tr("Cancelled; nothing was sent."));
        return;
    }

    auto plan = std::make_shared<fleet::RolloutPlan>();
    plan->file = std::get<backup::UnitConfig>(std::move(parsed));
    plan->groups = groups;
    plan->dryRun = dryRun;

    fleet::FleetOperation::Options options;
    options.parallel = m_parallel->value();
    options.maxFailures = m_maxFailures->value();
    options.timing = m_timing;
    m_operation = std::make_unique<fleet::FleetOperation>(options);
    m_targets = targets;
    m_dryRunning = dryRun;
    m_units->setRows(rows);
    m_progress->setRange(0, int(targets.size()));
    m_progress->setValue(0);
    connect(m_operation.get(), &fleet::FleetOperation::unitStarted, this,
            [this](int index) { m_units->setResult(index, tr("working\u2026")); });
    connect(m_operation.get(), &fleet::FleetOperation::unitFinished, this, &RolloutWindow::onUnitFinished);
    connect(m_operation.get(), &fleet::FleetOperation::finished, this, &RolloutWindow::onFinished);
    // One audit record for every frame that changes a unit, with the unit's answer.
    if (m_recorder && !dryRun) {
        alarms::AuditRecorder* recorder = m_recorder;
        connect(m_operation.get(), &fleet::FleetOperation::frameSent, recorder,
                [recorder](const QString& address, const QString& description, const QByteArray& frame) {
                    recorder->frameSent(address, description, frame);
                });
        connect(m_operation.get(), &fleet::FleetOperation::replyReceived, recorder,
                [recorder](const QString& address, const QByteArray& datagram) {
                    recorder->replyReceived(address, datagram);
                });
    }
    setRunning(true);
    setStatus(dryRun ? tr("Comparing %1 (%2)\u2026").arg(stationCount(targets.size()), groupText)
                     : tr("Rolling out to %1 (%2)\u2026").arg(stationCount(targets.size()), groupText));
    m_operation->start(targets, [plan](backup::UnitExchange& exchange, const fleet::OperationTarget&) {
        return fleet::rolloutUnit(exchange, *plan);
    });
}

void RolloutWindow::togglePause()
{
    if (!isRunning())
        return;
    if (m_operation->isPaused()) {
        m_operation->resume();
        m_pause->setText(tr("Pause"));
        m_pause->setAccessibleName(tr("Pause"));
        setStatus(tr("Resumed."));
    } else {
        m_operation->pause();
        m_pause->setText(tr("Resume"));
        m_pause->setAccessibleName(tr("Resume"));
        setStatus(tr("Paused: no further unit is started until Resume; the units in flight finish."));
    }
}

void RolloutWindow::stop()
{
    if (!isRunning())
        return;
    m_operation->stop();
    m_pause->setEnabled(false);
    m_stop->setEnabled(false);
    setStatus(tr("Stopping: the units in flight finish; no further unit is started."));
}

void RolloutWindow::onUnitFinished(int index, const UnitOutcome& outcome)
{
    m_units->setResult(index, resultText(outcome));
    m_progress->setValue(m_progress->value() + 1);
}

void RolloutWindow::onFinished(const fleet::FleetOperation::Summary& summary)
{
    QStringList parts{stationCount(m_targets.size())};
    if (summary.done > 0)
        parts << tr("%1 written").arg(summary.done);
    if (summary.equal > 0)
        parts << tr("%1 equal").arg(summary.equal);
    if (summary.differs > 0)
        parts << tr("%1 differ").arg(summary.differs);
    if (summary.failed > 0)
        parts << tr("%1 failed").arg(summary.failed);
    if (summary.notStarted > 0)
        parts
            << (summary.stopped
                    ? tr("%1 not started (stopped)").arg(summary.notStarted)
                    : tr("%1 not started (after %2 failure(s))").arg(summary.notStarted).arg(summary.failed));
    for (int row = 0; row < m_units->rowCount(); ++row) {
        if (m_units->row(row).result.isEmpty())
            m_units->setResult(row, tr("not started"));
    }
    setRunning(false);
    setStatus(parts.join(QStringLiteral(", ")) + u'.');
}

void RolloutWindow::setRunning(bool running)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_chooseFile, m_byTag, m_byList, m_parallel,
                                                      m_maxFailures, m_dryRun, m_start, m_close})
        w->setEnabled(!running);
    for (QCheckBox* box : std::as_const(m_groups))
        box->setEnabled(!running);
    m_tag->setEnabled(!running && m_byTag->isChecked());
    m_stations->setEnabled(!running && m_byList->isChecked());
    m_pause->setEnabled(running);
    m_stop->setEnabled(running);
    m_pause->setText(tr("Pause"));
    m_pause->setAccessibleName(tr("Pause"));
}

void RolloutWindow::say(const QString& text)
{
    setStatus(text);
    context().prompter.tell(text);
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void RolloutWindow::setStatus(const QString& text)
{
    m_status->setText(text);
}

void RolloutWindow::done(int result)
{
    if (!isRunning())
        ConsoleDialog::done(result);
}

void RolloutWindow::closeEvent(QCloseEvent* event)
{
    // The conversations run on the runner's threads: they finish before the window goes.
    if (isRunning()) {
        event->ignore();
        setStatus(tr("The rollout is running: press Stop, and close the window once the units in "
                     "flight have finished."));
        return;
    }
    ConsoleDialog::closeEvent(event);
}

} // namespace kestavo::unitbackup
