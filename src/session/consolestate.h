#pragma once

#include <array>
#include <optional>

#include <QObject>
#include <QString>
#include <QUrl>

#include "protocol/reply.h"

namespace kestavo::core {

/// Console-wide values: written by one owner each (mostly the reply decoder), read by the dialogs.
/// Dialogs react to the signals instead of polling. Values keep their last state between reports
/// and after Stop; only the displayed readouts are reset.
class ConsoleState final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleState)

public:
    explicit ConsoleState(QObject* parent = nullptr);

    // Session
    bool acquiring() const { return m_acquiring; }
    void setAcquiring(bool on);
    QString selectedAddress() const { return m_selectedAddress; }
    void setSelectedAddress(const QString& address) { m_selectedAddress = address; }
    bool exiting() const { return m_exiting; }
    void setExiting(bool on) { m_exiting = on; }
    static QString versionText() { return QStringLiteral("1.7.2"); }
    /// The unit's status web page for the browser's Home; empty means http://<station address>/.
    QUrl statusPageUrl() const { return m_statusPageUrl; }
    void setStatusPageUrl(const QUrl& url) { m_statusPageUrl = url; }

    /// Start with `unitAddress`: when it is not the unit of the last session, the settings kept
    /// from that unit (allowed IPs and rule, HTTP and SNMP states, I/O and temperature trigger
    /// settings, the last report) are cleared, so no dialog offers them to this one.
    void beginSession(const QString& unitAddress);
    /// False from a Start with another unit until that unit's first status report.
    bool unitSettingsKnown() const { return m_unitSettingsKnown; }

    // From the latest status report
    /// Applies every field of a decoded report that the console keeps, then emits statusDecoded.
    void applyStatus(const protocol::StatusReport& report);
    const std::optional<protocol::StatusReport>& lastReport() const { return m_lastReport; }
    long long revision() const { return m_revision; }
    /// "1.7.0" style, or "*.*" before any report.
    QString revisionDotted() const;
    int relayDelay(int relay) const { return m_relayDelays.at(static_cast<std::size_t>(relay - 1)); }
    double uptimeCount() const { return m_uptimeCount; }
    QString uptimeText() const { return m_uptimeText; }
    QString stationName() const { return m_stationName; } // 20 characters as reported
    int allowedRule() const { return m_allowedRule; }
    int allowedOctet(int index) const { return m_allowedOctets.at(static_cast<std::size_t>(index)); }
    int httpState() const { return m_httpState; }
    int snmpState() const { return m_snmpState; }
    /// box 0..4, field 0 flag, 1 code for a change to 0, 2 code for a change to 1
    int ioSetting(int box, int field) const
    {
        return m_ioSettings.at(static_cast<std::size_t>(box * 3 + field));
    }
    /// 0 flag, 1 upper code, 2 lower code, 3 upper threshold, 4 lower threshold
    int temperatureSetting(int field) const { return m_tempSetting.at(static_cast<std::size_t>(field)); }
    int boardPresence(int board) const { return m_boardPresence.at(static_cast<std::size_t>(board - 1)); }
    int boardState(int board) const { return m_boardState.at(static_cast<std::size_t>(board - 1)); }
    int toggleCountdown() const { return m_toggleCountdown; }
    /// The main window's temperature readout text (empty after Stop).
    QString temperatureText() const { return m_temperatureText; }
    void setTemperatureText(const QString& text);

    // Relay-script slot table
    const protocol::SlotTable& slotTable() const { return m_slotTable; }
    void setSlotTable(const protocol::SlotTable& table);
    int replyIndicator() const { return m_replyIndicator; }
    void setReplyIndicator(int value);

    // Daughter-board slot table
    QString boardDescription(int slot) const
    {
        return m_boardDescriptions.at(static_cast<std::size_t>(slot));
    }
    const std::array<std::uint8_t, 16>& boardCodes(int slot) const
    {
        return m_boardCodes.at(static_cast<std::size_t>(slot));
    }
    void setBoardDescriptions(const std::array<std::string, 16>& descriptions);
    void setBoardCodes(const protocol::BoardCodes& codes);

    // Notifications
    int notificationKind() const { return m_notificationKind; }
    void raiseNotification(int kind);

    // Chosen by the main window / dialogs
    int optionsInput() const { return m_optionsInput; }
    void setOptionsInput(int input) { m_optionsInput = input; }
    int ioBoxIndex() const { return m_ioBoxIndex; }
    void setIoBoxIndex(int index) { m_ioBoxIndex = index; }
    int selectedBoard() const { return m_selectedBoard; }
    void setSelectedBoard(int board) { m_selectedBoard = board; }

Q_SIGNALS:
    void acquiringChanged(bool acquiring);
    void statusDecoded(const kestavo::protocol::StatusReport& report);
    void slotTableChanged();
    void replyIndicatorChanged(int value);
    void boardTableChanged();
    void notificationRaised(int kind);
    void temperatureTextChanged(const QString& text);

private:
    bool m_acquiring = false;
    bool m_exiting = false;
    QString m_selectedAddress;
    QString m_sessionUnit;
    bool m_unitSettingsKnown = false;
    QUrl m_statusPageUrl;
    std::optional<protocol::StatusReport> m_lastReport;
    long long m_revision = 0;
    std::array<int, 3> m_relayDelays{1, 1, 1};
    double m_uptimeCount = 0;
    QString m_uptimeText;
    QString m_stationName;
    int m_allowedRule = 0;
    std::array<int, 20> m_allowedOctets{};
    int m_httpState = 0;
    int m_snmpState = 0;
    std::array<int, 15> m_ioSettings{};
    std::array<int, 5> m_tempSetting{};
    std::array<int, 6> m_boardPresence{};
    std::array<int, 6> m_boardState{};
    int m_toggleCountdown = 0;
    QString m_temperatureText;
    protocol::SlotTable m_slotTable{};
    int m_replyIndicator = 0;
    std::array<QString, 16> m_boardDescriptions;
    protocol::BoardCodes m_boardCodes{};
    int m_notificationKind = 0;
    int m_optionsInput = 0;
    int m_ioBoxIndex = 0;
    int m_selectedBoard = 0;
};

} // namespace kestavo::core
