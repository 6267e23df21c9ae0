#include "markup.h"

#include "readertext.h"

QString markupSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const ushort c = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate();
        const uint code = pair ? QChar::surrogateToUcs4(c, text.at(i + 1).unicode()) : c;
        if (isInvisible(code)) {
            out += code > 0xffff ? QString::asprintf("\\U%08x", code)
                                 : QString::asprintf("\\u%04x", code);
            i += pair ? 1 : 0;
        } else if (pair) {
            out += text.at(i);
            out += text.at(++i);
        } else if (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7f)
                   || (c > 0x9f && !QChar::isSurrogate(c))) {
            out += text.at(i);
        } else if (c < 0x100) {
            out += QString::asprintf("\\x%02x", c);
        } else {
            out += QString::asprintf("\\u%04x", c);
        }
    }
    return out;
}
