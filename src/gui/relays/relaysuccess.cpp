#include "gui/relays/relaysuccess.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kestavo::relays {

namespace {

QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

struct KindText
{
    int kind;
    const char* caption;
    const char* message;
};

// Acknowledgement kinds 3 … 12 of the unit's replies; 100 is the daughter-board dialog's own.
constexpr KindText kKinds[] = {
    {3, "Relay Script", "Relay Script Executed !"},
    {4, "Timer", "Timer Stopped Forcefully !"},
    {5, "Timer", "Timer Data Received !"},
    {6, "I/O Action", "I/O Data Received !"},
    {7, "Temperature Action", "Temperature Data Received !"},
    {8, "HTTP Server Action", "HTTP Server Status Changed !"},
    {9, "Relay Daughter Board", "RDB Command Success !"},
    {10, "Relay Daughter Board", "RDB Command Failure !"},
    {11, "Relay Daughter Board", "RDB Timer Failure !"},
    {12, "SNMP Server Action", "SNMP Access Changed !"},
    {100, "Relay Daughter Board", "One Toggle Timer Only !"},
};

// The window's resting texts, kept for any kind outside the table.
constexpr KindText kResting{0, "Relay Script", "Relay Script Executed !"};

const KindText& lookup(int kind)
{
    for (const KindText& entry : kKinds) {
        if (entry.kind == kind)
            return entry;
    }
    return kResting;
}

} // namespace

QString RelaySuccess::captionFor(int kind)
{
    return qs(lookup(kind).caption);
}

QString RelaySuccess::messageFor(int kind)
{
    return qs(lookup(kind).message);
}

RelaySuccess::RelaySuccess(int kind, int closeMs) : QWidget(nullptr, Qt::Dialog), m_kind(kind)
{
    setObjectName(qs("RelaySuccess"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It only informs: typing in the dialog the user is working with must not be interrupted.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(captionFor(kind));

    m_message = new QLabel(messageFor(kind), this);
    m_message->setObjectName(qs("Label1"));
    m_message->setAccessibleName(m_message->text());
    m_message->setAlignment(Qt::AlignCenter);
    QFont large = m_message->font();
    large.setPointSizeF(13.5);
    m_message->setFont(large);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(m_message);
    setMinimumWidth(320);

    m_closeTimer.setObjectName(qs("Timer1"));
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(closeMs);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    m_closeTimer.start();
}

RelaySuccess::~RelaySuccess() = default;

} // namespace kestavo::relays
