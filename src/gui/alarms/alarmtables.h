#pragma once

// The tables and controls every tab of the Alarms window builds alike: read-only row tables that
// Tab leaves, default column widths from the font that a user's own widths override, and the
// local time the window shows.

#include <QList>
#include <QString>
#include <QStringList>

class QTableWidget;
class QWidget;

namespace kestavo::alarmwindows {

QTableWidget* rowTable(QWidget* parent, const QString& name, const QString& accessible,
                       const QStringList& header);
void fillTable(QTableWidget* table, const QList<QStringList>& rows);
/// Each column but the last as wide as its sample text (or its header); the last fills the rest.
/// Widths the user drags are kept per table (by objectName) in the user's settings and win.
void sizeColumns(QTableWidget* table, const QStringList& samples);
/// "2026-01-01 03:00:00", local time.
QString localTime(qint64 utcMs);

template <typename W> W* named(W* widget, const QString& name, const QString& accessible)
{
    widget->setObjectName(name);
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace kestavo::alarmwindows
