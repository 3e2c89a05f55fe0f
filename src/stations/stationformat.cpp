#include "stations/stationformat.h"

#include <string>

#include "protocol/ipv4.h"

namespace kestavo::stations {

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString formatEntry(const QString& ip, const QString& description)
{
    return trimSpaces(ip).leftJustified(kAddressWidth, u' ') + QString(kEntryGap, u' ') + description;
}

QString addressOf(const QString& entryOrBoxText)
{
    return trimSpaces(entryOrBoxText.left(kAddressWidth));
}

QString descriptionOf(const QString& entry)
{
    return entry.mid(kAddressWidth + kEntryGap);
}

QString padPassword(const QString& typed)
{
    return typed.leftJustified(kPasswordWidth, kPasswordFill);
}

QString addressProblem(const QString& address)
{
    std::string problem;
    if (protocol::parseIpv4(address.toStdString(), &problem))
        return QString();
    return QString::fromStdString(problem);
}

QString addressRefusal(const QString& address)
{
    const QString problem = addressProblem(address);
    return problem.isEmpty() ? QString() : QStringLiteral("\"%1\" %2").arg(address, problem);
}

} // namespace kestavo::stations
