#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace kestavo::platform::browserprotocol {

// The console and kestavo-browser talk over the child's stdin and stdout in lines: a word, then
// arguments separated by single spaces, each percent-encoded so that spaces and line breaks in
// titles and addresses cannot split a line.
//
// Console -> browser:
//   go URL          load URL (the console has admitted it; a confined browser admits its host too)
//   back | forward | reload | stop
//   confine         from now on load only admitted hosts and ask about any other
//   embed WID W H   show the page inside the console's window WID (the page frame), at this size
//   show            no embedding on this display: show the page as a window of its own
//   size W H        the console's page frame changed size
// Browser -> console:
//   busy 1|0        a load started, or a request loaded nothing (Back with no history)
//   done URL TITLE  a load finished (either way)
//   ask URL         the page wanted to go to an address not admitted yet; nothing was loaded

inline QByteArray line(const QByteArray& word, const QStringList& arguments = {})
{
    QByteArray out = word;
    for (const QString& argument : arguments)
        out += ' ' + argument.toUtf8().toPercentEncoding();
    return out + '\n';
}

/// The word and the decoded arguments of one line (without its line break).
inline QStringList parse(const QByteArray& line)
{
    QStringList parts;
    const QByteArrayList fields = line.trimmed().split(' ');
    for (const QByteArray& field : fields)
        parts << QString::fromUtf8(QByteArray::fromPercentEncoding(field));
    return parts;
}

} // namespace kestavo::platform::browserprotocol
