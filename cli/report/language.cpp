#include "language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace {

// East Asian Wide and Fullwidth characters, which a terminal draws two
// columns wide.
bool wide(uint code)
{
    static const uint ranges[][2] = {
        {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
        {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD}};
    for (const auto &range : ranges) {
        if (code >= range[0] && code <= range[1])
            return true;
    }
    return false;
}

// The code point that starts at i, and how many UTF-16 units it takes.
uint codePointAt(const QString &text, int i, int &units)
{
    units = 1;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    }
    return text[i].unicode();
}

} // namespace

void useTheLocalesLanguage()
{
    QByteArray messages = qgetenv("LC_ALL");
    if (messages.isEmpty())
        messages = qgetenv("LC_MESSAGES");
    if (messages.isEmpty())
        messages = qgetenv("LANG");
    // A C or POSIX locale speaks English whatever LANGUAGE lists, as with
    // gettext; Qt's list of languages would take LANGUAGE's even then.
    if (messages.isEmpty() || messages == "C" || messages == "POSIX" || messages.startsWith("C."))
        return;
    // A locale that names no Chinese, as most runs have, asks no more: Qt's
    // system locale and its list of languages would add nearly a tenth to
    // the instructions of a start.
    if (!messages.startsWith("zh") && !qgetenv("LANGUAGE").contains("zh"))
        return;
    // The first language of the list that the program speaks, as gettext
    // takes it; Traditional Chinese is not Simplified, and is passed over.
    for (const QString &name : QLocale::system().uiLanguages()) {
        const QLocale language(name);
        if (language.language() == QLocale::English || language.language() == QLocale::C)
            return;
        if (language.language() != QLocale::Chinese
            || language.script() != QLocale::SimplifiedHanScript)
            continue;
        QTranslator *catalogue = new QTranslator(QCoreApplication::instance());
        if (catalogue->load(QStringLiteral("cardreader-cli_zh_CN"), QStringLiteral(":/translations")))
            QCoreApplication::installTranslator(catalogue);
        return;
    }
}

QString operationLabel(const QString &operation)
{
    const QString button =
        QCoreApplication::translate("WindowButton", operation.toUtf8().constData());
    return button == operation ? operation
                               : operation + QStringLiteral("（") + button + QStringLiteral("）");
}

int columnsOf(const QString &text)
{
    int columns = 0;
    for (int i = 0, units = 1; i < text.size(); i += units)
        columns += wide(codePointAt(text, i, units)) ? 2 : 1;
    return columns;
}

QString padded(const QString &text, int width)
{
    const QString spaces(qMax(0, qAbs(width) - columnsOf(text)), QLatin1Char(' '));
    return width < 0 ? text + spaces : spaces + text;
}

QString fitted(const QString &text, int columns)
{
    int used = 0;
    for (int i = 0, units = 1; i < text.size(); i += units) {
        used += wide(codePointAt(text, i, units)) ? 2 : 1;
        if (used > columns)
            return text.left(i);
    }
    return text;
}
