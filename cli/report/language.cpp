#include "language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTranslator>

#include <vector>

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

// The forms of the texts the run keeps in English. Where a placeholder is
// marked as ours (a bit for each, %1 the lowest), what fills it may be one
// of our own phrases below, translated too; anything else in it is the
// library's, or a name, and is never touched.
struct Form
{
    const char *source;
    int ours;
};

// Where two forms fit a text, the first in this list is taken.
const Form forms[] = {
    // What the calling process and the watcher find.
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote %2 bytes to standard output"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote %2 bytes to standard output %3"), 1 | 4},
    {QT_TRANSLATE_NOOP("Finding", "%1 closed or replaced the calling process's descriptors"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 closed or replaced the calling process's descriptors %2"), 1 | 2},
    {QT_TRANSLATE_NOOP("Finding", "%1 closed or replaced the calling process's standard output"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 lowered the calling process's file size limit (RLIMIT_FSIZE)"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 forked the calling process"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 forked the calling process %2"), 1 | 2},
    {QT_TRANSLATE_NOOP("Finding", "%1 replaced the handler of segmentation faults (SIGSEGV)"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 replaced the handler of segmentation faults (SIGSEGV) %2"), 1 | 2},
    {QT_TRANSLATE_NOOP("Finding", "%1, or a call before it, replaced the handler of segmentation "
                                  "faults (SIGSEGV) by the bare system call"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 is missing from the library"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote past the end of its %2-byte %3 buffer"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote past the end of its int output"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote before the start of its %2-byte %3 buffer"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote before the start of its int output"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 left no NUL in its %2-byte %3 buffer"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 wrote text that is not UTF-8 into its %2-byte %3 buffer"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 made cardreader-cli its tracer (ptrace)"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 sent %2 to cardreader-cli"), 1 | 2},
    {QT_TRANSLATE_NOOP("Finding", "the library file was changed during the run; its SHA-256 is not given"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1 did not return within %2 s"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 ended the process with exit status %2"), 1},
    {QT_TRANSLATE_NOOP("Finding", "%1 crashed: %2"), 1 | 2},
    {QT_TRANSLATE_NOOP("Finding", "the library cannot be loaded: %1"), 0},
    {QT_TRANSLATE_NOOP("Finding", "cannot load the reader library %1: %2"), 0},
    // Where the loader finds a function the library lacks.
    {QT_TRANSLATE_NOOP("Finding", "the loader finds it at an address of no file"), 0},
    {QT_TRANSLATE_NOOP("Finding", "the loader finds it in the library, whose symbol table has it "
                                  "as no function"), 0},
    {QT_TRANSLATE_NOOP("Finding", "the loader finds it in %1"), 0},
    // A call that failed.
    {QT_TRANSLATE_NOOP("Finding", "failed with %1: %2"), 0},
    // Against the expected answers.
    {QT_TRANSLATE_NOOP("Finding", "result: expected %1, got %2"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1: expected %2, got %3 (code points: expected %4, got %5)"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1: expected %2, got %3"), 0},
    {QT_TRANSLATE_NOOP("Finding", "%1: differs from the expected text (--show-pin shows both)"), 0},
    // What no genuine card answers.
    {QT_TRANSLATE_NOOP("Finding", "date of birth %1: not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "date of birth %1: does not match the birth date %2 in the identity card number"), 0},
    {QT_TRANSLATE_NOOP("Finding", "identity card number %1: region code 000000 names no region"), 0},
    {QT_TRANSLATE_NOOP("Finding", "identity card number %1: check character should be %2"), 0},
    {QT_TRANSLATE_NOOP("Finding", "identity card number %1: birth date %2 is not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "identity card number %1: birth date %2 is after today %3"), 0},
    {QT_TRANSLATE_NOOP("Finding", "identity card number %1: birth date %2 is before 1900"), 0},
    {QT_TRANSLATE_NOOP("Finding", "sex %1: the identity card number's 17th digit %2 is even (女)"), 0},
    {QT_TRANSLATE_NOOP("Finding", "sex %1: the identity card number's 17th digit %2 is odd (男)"), 0},
    {QT_TRANSLATE_NOOP("Finding", "validity period %1: start %2 is not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "validity period %1: end %2 is not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "validity period %1: starts %2, after its end %3"), 0},
    {QT_TRANSLATE_NOOP("Finding", "card validity period %1: start %2 is not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "card validity period %1: end %2 is not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "card validity period %1: starts %2, after its end %3"), 0},
    {QT_TRANSLATE_NOOP("Finding", "validity end date %1: not a real date"), 0},
    {QT_TRANSLATE_NOOP("Finding", "validity end date %1: does not match the end %2 of the validity period"), 0},
    {QT_TRANSLATE_NOOP("Finding", "card number %1: is all zeros"), 0},
    {QT_TRANSLATE_NOOP("Finding", "card number %1: fails the Luhn check"), 0},
    {QT_TRANSLATE_NOOP("Finding", "second track %1: card number is all zeros"), 0},
    {QT_TRANSLATE_NOOP("Finding", "second track %1: card number fails the Luhn check"), 0},
    {QT_TRANSLATE_NOOP("Finding", "second track %1: expiry month %2 is not 01 to 12"), 0},
    // Of every form, the one that says least: tried last.
    {QT_TRANSLATE_NOOP("Finding", "%1 lacks %2"), 0},
};

// Our own words that fill a form: who did it, when, and the signals.
const char *const phrases[] = {
    QT_TRANSLATE_NOOP("Finding", "the library"),
    QT_TRANSLATE_NOOP("Finding", "the library, outside any call,"),
    QT_TRANSLATE_NOOP("Finding", "at load"),
    QT_TRANSLATE_NOOP("Finding", "after the last call"),
    QT_TRANSLATE_NOOP("Finding", "segmentation fault (SIGSEGV)"),
    QT_TRANSLATE_NOOP("Finding", "aborted (SIGABRT)"),
    QT_TRANSLATE_NOOP("Finding", "bus error (SIGBUS)"),
    QT_TRANSLATE_NOOP("Finding", "illegal instruction (SIGILL)"),
    QT_TRANSLATE_NOOP("Finding", "arithmetic error (SIGFPE)"),
    QT_TRANSLATE_NOOP("Finding", "killed (SIGKILL)"),
};

struct Matcher
{
    const Form *form;
    QString longest;  // its longest plain part: most texts are passed over on it alone
    QRegularExpression pattern;
};

// A placeholder takes quoted text whole, with its escapes, so that a value
// holding the form's own words cannot end it early.
const std::vector<Matcher> &matchers()
{
    static const std::vector<Matcher> all = [] {
        std::vector<Matcher> out;
        const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
        for (const Form &form : forms) {
            const QString source = QString::fromUtf8(form.source);
            QString pattern = QStringLiteral("^");
            QString longest;
            int at = 0;
            for (auto it = placeholder.globalMatch(source); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                const QString plain = source.mid(at, m.capturedStart() - at);
                longest = plain.size() > longest.size() ? plain : longest;
                pattern += QRegularExpression::escape(plain)
                    + QStringLiteral("((?:\"(?:[^\"\\\\]|\\\\.)*\"|\\\\.|[^\"\\\\])*?)");
                at = m.capturedEnd();
            }
            const QString plain = source.mid(at);
            longest = plain.size() > longest.size() ? plain : longest;
            pattern += QRegularExpression::escape(plain) + '$';
            out.push_back({&form, longest, QRegularExpression(pattern)});
        }
        return out;
    }();
    return all;
}

QString phrase(const QString &text)
{
    for (const char *known : phrases) {
        if (text == QLatin1String(known))
            return QCoreApplication::translate("Finding", known);
    }
    return text;
}

// The translated form with its placeholders filled in one pass, so that an
// argument holding "%2" stays as it is.
QString filled(const QString &form, const QStringList &arguments)
{
    QString out;
    for (int i = 0; i < form.size(); ++i) {
        const int n = i + 1 < form.size() ? form[i + 1].digitValue() : -1;
        if (form[i] == '%' && n >= 1 && n <= arguments.size()) {
            out += arguments[n - 1];
            ++i;
        } else {
            out += form[i];
        }
    }
    return out;
}

} // namespace

QString forPeople(const QString &english)
{
    // An English run, as most are, looks no further.
    const char *const probe = forms[0].source;
    if (QCoreApplication::translate("Finding", probe) == QLatin1String(probe))
        return english;
    for (const Matcher &matcher : matchers()) {
        if (!english.contains(matcher.longest))
            continue;
        const QRegularExpressionMatch m = matcher.pattern.match(english);
        if (!m.hasMatch())
            continue;
        QStringList arguments;
        for (int n = 1; n <= m.lastCapturedIndex(); ++n)
            arguments << (matcher.form->ours & (1 << (n - 1)) ? phrase(m.captured(n))
                                                              : m.captured(n));
        return filled(QCoreApplication::translate("Finding", matcher.form->source), arguments);
    }
    return english;
}

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
