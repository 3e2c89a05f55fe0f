#include "text/printable.h"

#include <algorithm>

namespace kestavo::text {

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0);
}

} // namespace

QString printable(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (isControl(c))
            c = u'?';
    }
    return out;
}

bool hasControl(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), isControl);
}

} // namespace kestavo::text
