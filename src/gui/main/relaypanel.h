#pragma once

#include <array>

#include <QGroupBox>

#include "protocol/reply.h"

class QDateTime;
class QLabel;

namespace kestavo::core {

/// "Power relays": the three relay buttons (`Command6`…`Command8`) and the state each relay last
/// reported (`Label9`…`Label11`).
class RelayPanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelayPanel)

public:
    explicit RelayPanel(QWidget* parent = nullptr);

    /// Shows the states the report carries; a relay it says nothing of keeps its label.
    void showReport(const protocol::StatusReport& report);
    /// Back to "====": no session, nothing known.
    void reset();
    /// Dims the states and says their age once the unit has gone quiet (`asOf` valid), or shows
    /// them live again.
    void showAge(const QDateTime& asOf, const QString& age);

Q_SIGNALS:
    /// A relay button was pressed (1…3).
    void relayClicked(int relay);

private:
    void paint(QLabel* label);

    std::array<QLabel*, 3> m_labels{};
    bool m_old = false;
};

} // namespace kestavo::core
