#include "gui/alarms/alarmtables.h"

#include <algorithm>

#include <QDateTime>
#include <QHeaderView>
#include <QSettings>
#include <QTableWidget>

namespace kestavo::alarmwindows {

QTableWidget* rowTable(QWidget* parent, const QString& name, const QString& accessible,
                       const QStringList& header)
{
    auto* t = new QTableWidget(0, int(header.size()), parent);
    t->setObjectName(name);
    t->setAccessibleName(accessible);
    t->setHorizontalHeaderLabels(header);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the buttons (Acknowledge…); the arrow keys move inside it.
    t->setTabKeyNavigation(false);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    return t;
}

void fillTable(QTableWidget* t, const QList<QStringList>& rows)
{
    t->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size() && c < t->columnCount(); ++c)
            t->setItem(r, c, new QTableWidgetItem(rows[r][c]));
}

void sizeColumns(QTableWidget* t, const QStringList& samples)
{
    QHeaderView* header = t->horizontalHeader();
    const QFontMetrics metrics(t->font());
    const QString key = QStringLiteral("alarmsWindow/%1/columnWidths").arg(t->objectName());
    const QVariantList stored = QSettings().value(key).toList();
    for (int c = 0; c + 1 < t->columnCount(); ++c) {
        const QString headerText = t->horizontalHeaderItem(c)->text();
        const int fit =
            std::max(metrics.horizontalAdvance(samples.value(c)), metrics.horizontalAdvance(headerText)) +
            3 * metrics.averageCharWidth();
        const int remembered = c < stored.size() ? stored[c].toInt() : 0;
        header->resizeSection(c, remembered > 0 ? remembered : fit);
    }
    // Saved as they are dragged; the last column only fills the rest and is not kept.
    QObject::connect(header, &QHeaderView::sectionResized, t, [t, key](int column) {
        if (column + 1 >= t->columnCount())
            return;
        QVariantList widths;
        for (int c = 0; c + 1 < t->columnCount(); ++c)
            widths.append(t->horizontalHeader()->sectionSize(c));
        QSettings().setValue(key, widths);
    });
}

QString localTime(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace kestavo::alarmwindows
