#pragma once

#include <array>

#include <QGroupBox>

#include "protocol/reply.h"

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

Q_SIGNALS:
    /// A relay button was pressed (1…3).
    void relayClicked(int relay);

private:
    std::array<QLabel*, 3> m_labels{};
};

} // namespace kestavo::core
