#include "childprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

// What cardreader-cli says to people is in Simplified Chinese where the
// locale asks for it, every text of it translated; what programs read stays
// English, byte for byte.
class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void catalogueHoldsEveryText();
    void buttonsAsTheWindowNamesThem();
    void chosenByTheLocale_data();
    void chosenByTheLocale();
    void programsReadEnglish();
    void findingsForPeople();
    void helpAndUsageErrors();
    void burnInOnATerminal();

private:
    // locale: NAME=value for the locale's variables that are set; the
    // others are unset.
    ChildProcess run(const QStringList &arguments, const QStringList &locale);
    QString path(const QString &name) const { return directory->filePath(name); }
    QByteArray readFile(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QScopedPointer<QTemporaryDir> directory;
};

namespace {

const QStringList chinese{"LANG=zh_CN.UTF-8"};
const QStringList english{"LANG=C.UTF-8"};

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type;  // "unfinished", "vanished", "obsolete", or empty
};

QVector<Message> messagesOf(const QString &catalogue)
{
    QVector<Message> messages;
    QFile file(catalogue);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            Message message;
            message.context = context;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("source")) {
                    message.source = xml.readElementText();
                } else if (xml.name() == QLatin1String("translation")) {
                    message.type = xml.attributes().value("type").toString();
                    message.translation =
                        xml.readElementText(QXmlStreamReader::IncludeChildElements);
                } else {
                    xml.skipCurrentElement();
                }
            }
            messages << message;
        }
    }
    if (xml.hasError())
        qWarning("%s: %s", qPrintable(catalogue), qPrintable(xml.errorString()));
    return messages;
}

// The arguments a text takes: %1, %2, ... and %n.
QStringList placeholders(const QString &text)
{
    QStringList found;
    auto match = QRegularExpression("%([0-9]+|n)").globalMatch(text);
    while (match.hasNext())
        found << match.next().captured();
    found.removeDuplicates();
    found.sort();
    return found;
}

// The columns a terminal gives a text: two for a Chinese character or a
// full-width sign.
int columns(const QString &text)
{
    int width = 0;
    for (const uint code : text.toUcs4()) {
        const bool wide = (code >= 0x2E80 && code <= 0x9FFF) || (code >= 0xF900 && code <= 0xFAFF)
            || (code >= 0xFF00 && code <= 0xFF60) || (code >= 0xFFE0 && code <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

// The output of a run, with what differs from run to run taken out:
// durations, times, memory, descriptors, every number as N, and the
// spaces that align numbers of any width.
QString steady(const QByteArray &out)
{
    return QString::fromUtf8(out)
        .replace(QRegularExpression("[0-9]+(\\.[0-9]+)?(e[-+]?[0-9]+)?"), "N")
        .replace(QRegularExpression(" +"), " ");
}

// The columns at which each field of a line ends, on a terminal; a heading
// "max ms" is one field.
QList<int> fieldEnds(const QString &line)
{
    QList<int> ends;
    int column = 0;
    for (int i = 0; i < line.size(); ++i) {
        column += columns(line.mid(i, 1));
        const bool last = i + 1 == line.size() || line[i + 1] == ' ';
        if (line[i] != ' ' && last && !line.mid(i + 1).startsWith(" ms"))
            ends << column;
    }
    return ends;
}

} // namespace

void tst_Language::init()
{
    directory.reset(new QTemporaryDir);
    QVERIFY(directory->isValid());
}

ChildProcess tst_Language::run(const QStringList &arguments, const QStringList &locale)
{
    QMap<QString, QString> variables{
        {"LANG", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}};
    for (const QString &setting : locale)
        variables.insert(setting.section('=', 0, 0), setting.section('=', 1));
    if (QFile::exists(path("script.txt")))
        variables.insert("VRK_SIM_SCRIPT", path("script.txt"));
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    ChildProcess child(directory->path());
    if (!child.start(command << CLI << arguments, variables) || !child.finish())
        qWarning("could not run %s", CLI);
    return child;
}

// lupdate, run on the sources into a copy of the catalogue, finds every
// text people read there, translated: a new text would come in unfinished,
// one gone from the sources would be marked vanished.
void tst_Language::catalogueHoldsEveryText()
{
    QVERIFY2(QFileInfo(LUPDATE).isExecutable(),
             "lupdate is missing: install qttools5-dev-tools (Qt 6: qt6-l10n-tools)");
    const QString updated = path("catalogue.ts");
    QVERIFY(QFile::copy(CATALOGUE, updated));
    ChildProcess lupdate(directory->path());
    QVERIFY(lupdate.start({LUPDATE, "-silent", "-locations", "none", CLI_SOURCE, "-ts", updated},
                          {}));
    QVERIFY(lupdate.finish());
    QVERIFY2(lupdate.exitCode == 0, lupdate.err.constData());

    const QVector<Message> messages = messagesOf(updated);
    QVERIFY2(messages.size() > 100, qPrintable(QString::number(messages.size())));
    for (const Message &message : messages) {
        const QByteArray where = (message.context + ": \"" + message.source + '"').toUtf8();
        QVERIFY2(message.type.isEmpty(), (where + " is " + message.type.toUtf8()).constData());
        QVERIFY2(!message.translation.trimmed().isEmpty(),
                 (where + " has no translation").constData());
        QVERIFY2(placeholders(message.translation) == placeholders(message.source),
                 (where + " takes other arguments in \"" + message.translation.toUtf8() + '"')
                     .constData());
    }
    QCOMPARE(messages.size(), messagesOf(CATALOGUE).size());
}

// In Chinese each operation is shown with the text of the window's button
// that calls the same library function.
void tst_Language::buttonsAsTheWindowNamesThem()
{
    QMap<QString, QString> buttonText;  // by the button's object name
    QFile form(APP_SOURCE "/widget.ui");
    QVERIFY(form.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&form);
    QString button;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("widget"))
            button = xml.attributes().value("class") == QLatin1String("QPushButton")
                ? xml.attributes().value("name").toString()
                : QString();
        else if (xml.name() == QLatin1String("property") && !button.isEmpty()
                 && xml.attributes().value("name") == QLatin1String("text")) {
            xml.readNextStartElement();
            buttonText.insert(button, xml.readElementText());
        }
    }
    QCOMPARE(buttonText.size(), 14);

    QFile widget(APP_SOURCE "/widget.cpp");
    QVERIFY(widget.open(QIODevice::ReadOnly));
    const QString code = QString::fromUtf8(widget.readAll());
    QMap<QString, QString> buttonCalls;  // the library function its slot calls
    const QRegularExpression slot("void Widget::on_(\\w+)_clicked\\(\\)");
    const QRegularExpression function("VRK_\\w+");
    auto handlers = slot.globalMatch(code);
    while (handlers.hasNext()) {
        const QRegularExpressionMatch found = handlers.next();
        buttonCalls.insert(found.captured(1),
                           function.match(code, found.capturedEnd()).captured());
    }

    ChildProcess cli = run({"--json", "all", "scan-auto", "scan-manual", "scan-interval"}, english);
    QCOMPARE(cli.exitCode, 0);
    QMap<QString, QString> operationCalls;
    for (const QByteArray &line : cli.out.split('\n')) {
        const QJsonObject call = QJsonDocument::fromJson(line).object();
        if (call.contains("operation"))
            operationCalls.insert(call.value("operation").toString(),
                                  call.value("function").toString());
    }
    QCOMPARE(operationCalls.size(), 14);

    QStringList shown;
    for (const Message &message : messagesOf(CATALOGUE)) {
        if (message.context != "WindowButton")
            continue;
        const QStringList buttons = buttonText.keys(message.translation);
        QVERIFY2(buttons.size() == 1,
                 qPrintable(message.source + ": no button reads " + message.translation));
        QVERIFY2(operationCalls.contains(message.source), qPrintable(message.source));
        QCOMPARE(buttonCalls.value(buttons[0]), operationCalls.value(message.source));
        shown << message.source;
    }
    shown.sort();
    QStringList operations = operationCalls.keys();
    operations.sort();
    QCOMPARE(shown, operations);
}

void tst_Language::chosenByTheLocale_data()
{
    QTest::addColumn<QStringList>("locale");
    QTest::addColumn<bool>("inChinese");

    QTest::newRow("LANG Chinese") << chinese << true;
    QTest::newRow("LC_ALL Chinese over LANG=C")
        << QStringList{"LANG=C", "LC_ALL=zh_CN.UTF-8"} << true;
    QTest::newRow("LC_MESSAGES Chinese over LANG=C")
        << QStringList{"LANG=C", "LC_MESSAGES=zh_CN.UTF-8"} << true;
    QTest::newRow("LC_ALL=C over a Chinese LANG")
        << QStringList{"LANG=zh_CN.UTF-8", "LC_ALL=C"} << false;
    QTest::newRow("LC_MESSAGES=C over a Chinese LANG")
        << QStringList{"LANG=zh_CN.UTF-8", "LC_MESSAGES=C"} << false;
    QTest::newRow("nothing set") << QStringList() << false;
    QTest::newRow("LANGUAGE in the C locale, as gettext has it")
        << QStringList{"LANG=C", "LANGUAGE=zh_CN"} << false;
    QTest::newRow("LANGUAGE's first choice")
        << QStringList{"LANG=en_US.UTF-8", "LANGUAGE=zh_CN:en"} << true;
    QTest::newRow("English first in LANGUAGE")
        << QStringList{"LANG=zh_CN.UTF-8", "LANGUAGE=en:zh_CN"} << false;
    QTest::newRow("Traditional Chinese, which has no catalogue")
        << QStringList{"LANG=zh_TW.UTF-8"} << false;
}

// The call's line, the summary's heading and table and the verdict in the
// locale's language; an English run exactly as before.
void tst_Language::chosenByTheLocale()
{
    QFETCH(QStringList, locale);
    QFETCH(bool, inChinese);

    const ChildProcess cli = run({"card-info"}, locale);
    QCOMPARE(cli.exitCode, 0);
    QCOMPARE(cli.err, QByteArray());
    const QStringList lines = steady(cli.out).split('\n');
    if (inChinese) {
        QCOMPARE(lines.value(0), QStringLiteral("open（打开设备）(VRK_OpenDev): 成功, N ms"));
        QCOMPARE(lines.value(1),
                 QStringLiteral("card-info（基本信息）(VRK_ReadCardBas): 成功, N ms"));
        QVERIFY2(lines.contains("汇总 N 轮:"), qPrintable(lines.join('\n')));
        const QStringList table = QString::fromUtf8(cli.out).split('\n');
        const QStringList header = table.filter(QRegularExpression("^  操作 "));
        const QStringList row = table.filter(QRegularExpression("^  card-info（基本信息） "));
        QCOMPARE(header.size(), 1);
        QCOMPARE(row.size(), 1);
        QCOMPARE(header[0].simplified(),
                 QStringLiteral("操作 调用 成功 失败 不符 不可信 违约 最小 ms 中位 ms p95 ms p99 ms "
                                "最大 ms"));
        // Left-aligned, the operation's column ends where its text does.
        QCOMPARE(fieldEnds(row[0]).mid(1), fieldEnds(header[0]).mid(1));
        QCOMPARE(lines.value(lines.size() - 2),
                 QStringLiteral("通过（模拟读卡器）: 未检查任何终端；N 次调用中 N 次成功，"
                                "所有答案均可信"));
    } else {
        QCOMPARE(steady(run({"card-info"}, {"LANG=C"}).out).split('\n'), lines);
        QCOMPARE(lines.value(1), QStringLiteral("card-info (VRK_ReadCardBas): ok, N ms"));
        QVERIFY2(lines.contains("summary of N round(s):"), qPrintable(lines.join('\n')));
        QCOMPARE(lines.value(lines.size() - 2),
                 QStringLiteral("PASSED on the simulated reader: no terminal was checked; N of N "
                                "calls succeeded, every answer plausible"));
    }
}

// JSON, JUnit, the metrics and the exit status are the same in Chinese as in
// English, word for word; the text for people is not.
void tst_Language::programsReadEnglish()
{
    QFile script(path("script.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("VRK_ReadCarNo -3 error=\"无卡\"\n");
    script.close();

    const ChildProcess text = run({"card-number", "card-info"}, chinese);
    QCOMPARE(text.exitCode, 1);
    const QStringList lines = steady(text.out).split('\n');
    QVERIFY2(lines.contains("card-number（读取卡号）(VRK_ReadCarNo): 失败，返回值 -N, N ms"),
             qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains(" 消息: 无卡"), qPrintable(lines.join('\n')));
    QCOMPARE(lines.value(lines.size() - 2),
             QStringLiteral("未通过（模拟读卡器）: N 次调用失败 (card-number（读取卡号）)"));
    QCOMPARE(run({"card-number", "card-info"}, english).exitCode, 1);

    QMap<QString, QString> reports;
    for (const QStringList &locale : {english, chinese}) {
        const QString name = locale == chinese ? "zh" : "en";
        const ChildProcess json = run({"--json", "--junit", path("junit.xml"), "--metrics",
                                       path("metrics.prom"), "card-number", "card-info"},
                                      locale);
        QCOMPARE(json.exitCode, 1);
        QCOMPARE(json.err, QByteArray());
        reports.insert(name + " json", steady(json.out));
        reports.insert(name + " junit", steady(readFile("junit.xml")));
        reports.insert(name + " metrics", steady(readFile("metrics.prom")));
    }
    QVERIFY2(reports.value("en json").contains(
                 "\"verdict\":\"FAILED on the simulated reader: N call failed (card-number)\""),
             qPrintable(reports.value("en json")));
    QVERIFY2(reports.value("en junit").contains("FAILED on the simulated reader"),
             qPrintable(reports.value("en junit")));
    for (const QString &kind : {"json", "junit", "metrics"})
        QCOMPARE(reports.value("zh " + kind).split('\n'), reports.value("en " + kind).split('\n'));
}

// What the run finds, kept in English for programs, reads in Chinese where
// people read it, the text and the HTML report, with the values as the
// library gave them; JUnit stays English, word for word.
void tst_Language::findingsForPeople()
{
    QFile script(path("script.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("VRK_ReadCarNo 0 \"2\"\nVRK_ReadCardBas 0 delay=4000\n");
    script.close();
    QFile expected(path("expected.txt"));
    QVERIFY(expected.open(QIODevice::WriteOnly));
    expected.write("VRK_ReadCarNo 0 \"1\"\n");
    expected.close();

    QMap<QString, QString> reports;
    for (const QStringList &locale : {english, chinese}) {
        const QString name = locale == chinese ? "zh" : "en";
        const ChildProcess cli = run({"--timeout", "1", "--expect", path("expected.txt"), "--junit",
                                      path("junit.xml"), "--html", path("report.html"),
                                      "card-number", "card-info"},
                                     locale);
        QCOMPARE(cli.exitCode, 3);
        reports.insert(name + " text", QString::fromUtf8(cli.out));
        reports.insert(name + " html", QString::fromUtf8(readFile("report.html")));
        reports.insert(name + " junit", steady(readFile("junit.xml")));
    }
    const QString difference = QStringLiteral("card_number: 预期 \"1\"，实际 \"2\"");
    const QString finding = QStringLiteral("VRK_ReadCardBas 在 1 秒内没有返回");
    const QString text = reports.value("zh text");
    QVERIFY2(text.contains("\n  不符: " + difference + '\n'), qPrintable(text));
    QVERIFY2(text.contains("\n  违反约定: " + finding + '\n'), qPrintable(text));
    QVERIFY2(text.contains("库违反了接口约定: " + finding), qPrintable(text));

    const QString html = reports.value("zh html");
    QVERIFY(html.contains("<html lang=\"zh-CN\">"));
    QVERIFY2(html.contains("<h2>出了什么问题</h2>"), qPrintable(html));
    QVERIFY2(html.contains("</span>" + QString(difference).replace("\"", "&quot;") + "</li>"),
             qPrintable(html));
    QVERIFY2(html.contains("</span>" + finding + "</li>"), qPrintable(html));
    QVERIFY(reports.value("en html").contains("<html lang=\"en\">"));
    QVERIFY(reports.value("en html").contains("VRK_ReadCardBas did not return within 1 s</li>"));
    QVERIFY(reports.value("en text").contains("  differs: card_number: expected \"1\", got \"2\"\n"));

    QCOMPARE(reports.value("zh junit").split('\n'), reports.value("en junit").split('\n'));
    QVERIFY2(reports.value("zh junit").contains("VRK_ReadCardBas did not return within N s"),
             qPrintable(reports.value("zh junit")));
}

// Qt's own words in the help and its usage errors come in Chinese too, the
// help within a terminal's 80 columns, and the exit status is the same.
void tst_Language::helpAndUsageErrors()
{
    const ChildProcess help = run({"--help"}, chinese);
    QCOMPARE(help.exitCode, 0);
    const QString shown = QString::fromUtf8(help.out);
    for (const QString &word : {"用法: ", "[选项] OPERATION...", "\n选项:\n", "\n参数:\n",
                                "  -v, --version          显示版本信息。",
                                "  --device <type>        读卡器型号的设备类型: 21 或 19。"})
        QVERIFY2(shown.contains(word), qPrintable(word + " is not in\n" + shown));
    for (const QString &word : {"Usage", "Options", "Arguments", "Displays", "Drives"})
        QVERIFY2(!shown.contains(word), qPrintable(word + " is in\n" + shown));
    for (const QString &line : shown.split('\n'))
        QVERIFY2(columns(line) <= 80, qPrintable(line));

    const QString hint = "\n运行 'cardreader-cli --help' 查看更多信息。\n";
    const QPair<QStringList, QString> errors[] = {
        {{"--devcie", "21", "card-info"}, "未知选项 'devcie'。 是否要输入 --device？"},
        {{"card-numbr"}, "未知操作 \"card-numbr\"；是否要输入 card-number？"},
    };
    for (const auto &error : errors) {
        const ChildProcess cli = run(error.first, chinese);
        QCOMPARE(cli.exitCode, 2);
        QCOMPARE(QString::fromUtf8(cli.err), "cardreader-cli: " + error.second + hint);
        QCOMPARE(run(error.first, english).exitCode, 2);
    }
}

// A burn-in on a terminal in Chinese: its progress line within the
// terminal's columns, the rate given up for the time left, the notice of the first
// Ctrl-C, the summary of a stopped run and its verdict in colour.
void tst_Language::burnInOnATerminal()
{
    QFile script(path("script.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("VRK_ReadCarNo 0 \"1\" delay=20\n");
    script.close();
    QStringList arguments;
    if (qstrlen(EMULATOR) > 0)
        arguments << EMULATOR;
    arguments << CLI << "--repeat" << "1000" << "card-number";
    const int width = 60;
    const TerminalRun run = runOnTerminal(
        arguments,
        {{"VRK_SIM_SCRIPT", path("script.txt")}, {"TERM", "xterm"}, {"LANG", "zh_CN.UTF-8"},
         {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}, {"NO_COLOR", ""}},
        width, 1500);
    QCOMPARE(run.exitCode, 130);
    const QByteArray &written = run.shown;

    const QString shown = QString::fromUtf8(written);
    QVERIFY2(!shown.contains(QChar::ReplacementCharacter), written.constData());
    // The time left once a round is done, and the rate where it fits.
    const QRegularExpression progress("^[0-9]+/1000 轮  0:00:0[0-9]  (每秒 [0-9.]+ 次调用  )?失败 0  "
                                      "问题 0(  剩余 [0-9]+:[0-9]{2}:[0-9]{2})?$");
    int drawn = 0;
    int withTimeLeft = 0;
    for (const QString &line : shown.split("\r\x1b[K")) {
        const QString row = line.section(QRegularExpression("[\r\n]"), 0, 0);
        if (!row.contains("轮  "))
            continue;
        QVERIFY2(row.contains(progress), qPrintable(row));
        QVERIFY2(columns(row) < width, qPrintable(row));
        ++drawn;
        withTimeLeft += row.contains("剩余") ? 1 : 0;
    }
    QVERIFY2(drawn > 0 && withTimeLeft > 0, written.constData());
    QVERIFY2(shown.contains("cardreader-cli: 当前调用结束后停止；再按 Ctrl-C 立即停止\r\n"),
             written.constData());
    QVERIFY2(shown.contains(QRegularExpression(
                 "(\n|\x1b\\[K)汇总 [0-9]+ 轮（共 1000 轮），被 Ctrl-C \\(SIGINT\\) 停止[^\r\n]*:\r\n")),
             written.constData());
    QVERIFY2(shown.contains("\x1b[1;33m已停止（模拟读卡器）\x1b[0m，因 Ctrl-C (SIGINT): 到停止时 "),
             written.constData());
}

QTEST_MAIN(tst_Language)
#include "tst_language.moc"
