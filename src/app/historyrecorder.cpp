#include "app/historyrecorder.h"

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "history/historystore.h"

namespace kestavo::app {

namespace {

// The range jumpers of the selected station, as the main window applies them to its boxes.
history::RangeFlags rangesOf(const stations::StationStore& store)
{
    if (store.count() == 0)
        return {};
    const auto flag = [&store](const char* column) {
        const QVariant v = store.value(QString::fromLatin1(column));
        return v.isNull() ? 0 : v.toInt();
    };
    return {flag("JP6"), flag("JP7")};
}

} // namespace

HistoryRecorder::HistoryRecorder(history::HistoryStore& history, core::Session& session,
                                 core::ConsoleState& state, stations::StationStore& stations, QObject* parent)
    : QObject(parent), m_history(history), m_state(state), m_stations(stations)
{
    using history::LinkEvent;
    const auto event = [this](LinkEvent kind) {
        m_history.recordEvent(m_state.selectedAddress(), m_history.now(), kind);
    };
    connect(&session, &core::Session::started, this, [this, event] {
        m_running = true;
        m_awaitingFirstReport = true;
        event(LinkEvent::Started);
    });
    connect(&session, &core::Session::watchdogExpired, this, [event] { event(LinkEvent::LinkLost); });
    connect(&session, &core::Session::passwordRefused, this, [event] { event(LinkEvent::BadPassword); });
    connect(&session, &core::Session::stopped, this, [this, event] {
        if (!m_running)
            return;
        m_running = false;
        event(LinkEvent::Stopped);
    });
    connect(&state, &core::ConsoleState::statusDecoded, this,
            [this, event](const protocol::StatusReport& report) {
                const qint64 now = m_history.now();
                if (m_awaitingFirstReport) {
                    m_awaitingFirstReport = false;
                    event(LinkEvent::FirstReport);
                }
                m_history.record(m_state.selectedAddress(), QString::fromStdString(report.macText), now,
                                 report, rangesOf(m_stations));
            });
}

} // namespace kestavo::app
