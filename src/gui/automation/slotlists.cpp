#include "gui/automation/slotlists.h"

#include <QListWidget>

#include "protocol/codes.h"

#include "stations/stationformat.h"

namespace kestavo::automation {

QString fieldText(const std::string& field)
{
    return QString::fromLatin1(field.data(), qsizetype(field.size()));
}

void fillSlotList(QListWidget& slotList, const protocol::SlotTable& table)
{
    slotList.clear();
    for (const protocol::SlotEntry& entry : table)
        slotList.addItem(fieldText(entry.description));
}

void showSlotPreview(QListWidget& steps, const protocol::SlotTable& table, int index)
{
    steps.clear();
    if (index < 0 || index >= protocol::kScriptSlots)
        return;
    for (const std::string& step : protocol::slotPreview(table[std::size_t(index)].codeField))
        steps.addItem(QString::fromStdString(step));
}

bool slotHoldsScript(const protocol::SlotTable& table, int index)
{
    if (index < 0 || index >= protocol::kScriptSlots)
        return false;
    return !stations::trimSpaces(fieldText(table[std::size_t(index)].codeField)).isEmpty();
}

int selectedRow(const QListWidget& list)
{
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

bool selectSlotByCode(QListWidget& slotList, int code)
{
    const std::optional<int> index = protocol::slotIndexForCode(code);
    if (!index || *index >= slotList.count())
        return false;
    slotList.setCurrentRow(*index);
    return true;
}

QStringList itemTexts(const QListWidget& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.item(i)->text());
    return texts;
}

} // namespace kestavo::automation
