#pragma once

#include <QGroupBox>

#include "protocol/reply.h"

#include "session/context.h"
#include "session/session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStringListModel;

namespace kestavo::core {

/// "Station": the station box (`Combo1`) with the buttons that keep the list and start or stop
/// the session, what the session is doing (`Label8`) and its packet counters. Picking another
/// station ends the running session first.
class StationBar final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationBar)

public:
    explicit StationBar(Context& context, QWidget* parent = nullptr);
    ~StationBar() override;

    /// Fills the station box from the store and positions on the default entry (or none).
    void fill();
    /// The station box's text: an entry of the list or what the user typed.
    QString text() const;
    /// Shows the current record's password and entry in the hidden mirrors (`Text9`, `Text1`).
    void showRecord();
    /// Select station: the entry of the station box was picked.
    void selectStation(const QString& entry);
    /// Puts the station with `address` in the station box and starts its session; see
    /// MainForm::startStation.
    bool startStation(const QString& address);
    /// Rebuilds the list after an addition or removal and positions on the station box's address.
    void refill();
    // Another program changed the directory (a team's store): the list follows, the station in the
    // box stays chosen while it exists.
    void refreshKeepingChoice();
    /// Stops listening to the station box. Called when the window goes: the editable box reports
    /// "activated" when it loses the focus on its way out.
    void detach();

Q_SIGNALS:
    /// Add IP was pressed (the session is stopped already).
    void addRequested();
    /// Another station was selected and its record shown.
    void selected(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setDefaultStation();
    void removeStation();
    void onPhase(Session::Phase phase);
    void onCounters(bool sentChanged);

    Context& m_ctx;
    QComboBox* m_box = nullptr;
    QStringListModel* m_model = nullptr;   // the station box's list
    QLineEdit* m_passwordMirror = nullptr; // Text9
    QLineEdit* m_entryMirror = nullptr;    // Text1
    QLabel* m_activity = nullptr;          // Label8
    QLabel* m_sentLabel = nullptr;         // Label19
    QLabel* m_receivedLabel = nullptr;     // Label17
    QLabel* m_lostLabel = nullptr;         // Label21
};

} // namespace kestavo::core
