#include "session/consolestate.h"

namespace kestavo::core {

ConsoleState::ConsoleState(QObject* parent) : QObject(parent)
{
    m_boardDescriptions.fill(QStringLiteral("0"));
}

void ConsoleState::setAcquiring(bool on)
{
    if (m_acquiring == on)
        return;
    m_acquiring = on;
    Q_EMIT acquiringChanged(on);
}

void ConsoleState::beginSession(const QString& unitAddress)
{
    if (unitAddress == m_sessionUnit)
        return;
    m_sessionUnit = unitAddress;
    m_unitSettingsKnown = false;
    m_lastReport.reset();
    m_allowedRule = 0;
    m_allowedOctets.fill(0);
    m_httpState = 0;
    m_snmpState = 0;
    m_ioSettings.fill(0);
    m_tempSetting.fill(0);
}

void ConsoleState::applyStatus(const protocol::StatusReport& report)
{
    m_unitSettingsKnown = true;
    m_lastReport = report;
    m_revision = report.revision;
    m_allowedRule = report.allowedRule;
    for (std::size_t i = 0; i < m_allowedOctets.size(); ++i)
        m_allowedOctets[i] = report.allowedOctets[i];
    for (std::size_t i = 0; i < 3; ++i)
        m_relayDelays[i] = report.relayDelays[i];
    m_uptimeCount = report.uptimeCount;
    m_uptimeText = QString::fromStdString(report.uptimeText);
    m_stationName =
        QString::fromLatin1(report.stationNameRaw.data(), qsizetype(report.stationNameRaw.size()));
    for (std::size_t i = 0; i < m_ioSettings.size(); ++i)
        m_ioSettings[i] = report.ioSettings[i];
    for (std::size_t i = 0; i < m_tempSetting.size(); ++i)
        m_tempSetting[i] = report.temperatureSetting[i];
    if (report.httpState)
        m_httpState = *report.httpState;
    if (report.boardPresence)
        for (std::size_t i = 0; i < 6; ++i)
            m_boardPresence[i] = (*report.boardPresence)[i];
    if (report.boardState)
        for (std::size_t i = 0; i < 6; ++i)
            m_boardState[i] = (*report.boardState)[i];
    if (report.toggleCountdown)
        m_toggleCountdown = *report.toggleCountdown;
    if (report.snmpState)
        m_snmpState = *report.snmpState;
    Q_EMIT statusDecoded(report);
}

QString ConsoleState::revisionDotted() const
{
    if (!m_lastReport)
        return QStringLiteral("*.*");
    return QString::fromStdString(protocol::revisionDotted(m_lastReport->revisionBytes));
}

void ConsoleState::setTemperatureText(const QString& text)
{
    if (text == m_temperatureText)
        return;
    m_temperatureText = text;
    Q_EMIT temperatureTextChanged(text);
}

void ConsoleState::setSlotTable(const protocol::SlotTable& table)
{
    m_slotTable = table;
    Q_EMIT slotTableChanged();
}

void ConsoleState::setReplyIndicator(int value)
{
    m_replyIndicator = value;
    Q_EMIT replyIndicatorChanged(value);
}

void ConsoleState::setBoardDescriptions(const std::array<std::string, 16>& descriptions)
{
    for (std::size_t i = 0; i < descriptions.size(); ++i)
        m_boardDescriptions[i] =
            QString::fromLatin1(descriptions[i].data(), qsizetype(descriptions[i].size()));
    Q_EMIT boardTableChanged();
}

void ConsoleState::setBoardCodes(const protocol::BoardCodes& codes)
{
    m_boardCodes = codes;
    Q_EMIT boardTableChanged();
}

void ConsoleState::raiseNotification(int kind)
{
    m_notificationKind = kind;
    Q_EMIT notificationRaised(kind);
}

} // namespace kestavo::core
