#include "librarytext.h"

#include "readertext.h"

QString printable(const QByteArray &text)
{
    const std::string escaped = quoted(text.toStdString());
    return QString::fromUtf8(escaped.data() + 1, int(escaped.size()) - 2);
}
