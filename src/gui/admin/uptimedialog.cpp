#include "gui/admin/uptimedialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "protocol/conversions.h"

#include "session/consolestate.h"

#include "gui/main/readoutaccessible.h"

namespace kestavo::admin {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}

QString unitsText(double value)
{
    return QString::fromStdString(protocol::formatUnits(value));
}
} // namespace

UptimeDialog::UptimeDialog(core::Context& context, int refreshMs)
    : ConsoleDialog(context, /*holdMainWindow=*/false)
{
    setObjectName(qs("uptime"));
    setWindowTitle(qs("UPTIME"));

    auto* grid = new QGridLayout(this);
    const auto row = [this, grid](const char* caption, const char* name, const char* shortName) {
        const int r = grid->rowCount();
        auto* captionLabel = new QLabel(qs(caption), this);
        captionLabel->setAccessibleName(qs(caption));
        auto* value = new QLabel(this);
        value->setObjectName(qs(name));
        core::markReadout(value, qs(shortName));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(captionLabel, r, 0, Qt::AlignRight);
        grid->addWidget(value, r, 1);
        return value;
    };
    m_seconds = row("Total Seconds :", "Label6", "Total seconds");
    m_minutes = row("Total Minutes :", "Label7", "Total minutes");
    m_hours = row("Total Hours :", "Label8", "Total hours");
    m_days = row("Total Days :", "Label9", "Total days");
    m_weeks = row("Total Weeks :", "Label14", "Total weeks");
    m_months = row("Total Months :", "Label16", "Total months");
    m_years = row("Total Years :", "Label10", "Total years");
    m_hex = row("HexVal", "Label12", "Uptime counter");

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    grid->addWidget(ok, grid->rowCount(), 1, Qt::AlignRight);

    m_timer.setObjectName(qs("Timer1"));
    m_timer.setInterval(refreshMs);
    connect(&m_timer, &QTimer::timeout, this, &UptimeDialog::refresh);
    refresh();
    m_timer.start();
}

void UptimeDialog::refresh()
{
    const core::ConsoleState& state = context().state;
    const double count = state.uptimeCount();
    m_hex->setText(state.uptimeText());
    m_seconds->setText(QString::fromStdString(protocol::shortestText(count)));
    const protocol::UptimeUnits units = protocol::uptimeUnits(count);
    m_minutes->setText(unitsText(units.minutes));
    m_hours->setText(unitsText(units.hours));
    m_days->setText(unitsText(units.days));
    m_weeks->setText(unitsText(units.weeks));
    m_months->setText(unitsText(units.months));
    m_years->setText(unitsText(units.years));
}

} // namespace kestavo::admin
