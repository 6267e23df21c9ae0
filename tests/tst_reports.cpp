// The reports written at the end of a run, built from a run made by hand:
// the JUnit XML read back by junitparser as CI servers read it, the web page
// opened by a headless Chromium, the run's notes and timeline that feed
// them, and the private files they are written to.

#include "childprocess.h"
#include "htmlreport.h"
#include "junitreport.h"
#include "notes.h"
#include "privatefile.h"
#include "report.h"
#include "tally.h"
#include "timeline.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <csignal>
#include <memory>

namespace {

const char host[] = "terminal-7";
const char sha256[] = "c187d5425dd63ef9c23c18eaab6529fbe8cf37705087d4e9b8ce0879f8fc3643";
const char buildId[] = "078c28b0ed4f9123b82bf83b85767696b14be7ff";

Notes::Kind kindOf(Tally::Outcome outcome)
{
    switch (outcome) {
    case Tally::Failed: return Notes::Failure;
    case Tally::Implausible: return Notes::Doubt;
    case Tally::Differs: return Notes::Difference;
    default: return Notes::Breach;
    }
}

// A run made by hand, as the calling process would have recorded it.
struct Run
{
    Run()
    {
        summary.rounds = 1;
        summary.roundsAsked = 1;
        summary.host = host;
        summary.startTimeMs = 1700000000000;
        summary.deviceType = 21;
        summary.regionCode = "3502";
        summary.library.path = "/usr/lib/cardreader-tool/libVrkReaderClient.so";
        summary.library.size = 96352;
        summary.library.sha256 = sha256;
        summary.library.soname = "libVrkReaderClient.so";
        summary.library.buildId = buildId;
        summary.library.simulated = "simulated reader 1.0";
        summary.library.exportsKnown = true;
        summary.library.exported = 0x1fff;
    }

    void call(const char *operation, const char *function, Tally::Outcome outcome, double ms,
              int round = 1, const QString &message = QString())
    {
        tally->add(operation, function, outcome, ms);
        timeline->add(atMs, outcome, ms);
        atMs += 100;
        if (outcome != Tally::Succeeded)
            notes->add(kindOf(outcome), round, operation,
                       message.isEmpty() ? QStringLiteral("%1 went wrong").arg(operation) : message);
    }

    void calls(const char *operation, const char *function, Tally::Outcome outcome, int n)
    {
        for (int i = 0; i < n; ++i)
            call(operation, function, outcome, 1.5 + i % 7);
    }

    const RunSummary &done()
    {
        summary.figures = tally->figures();
        summary.notes = notes.get();
        summary.timeline = timeline.get();
        return summary;
    }

    std::unique_ptr<Tally> tally{new Tally()};
    std::unique_ptr<Notes> notes{new Notes()};
    std::unique_ptr<Timeline> timeline{new Timeline()};
    long long atMs = 0;
    RunSummary summary;
};

// Started by hand, as ChildProcess does: under qemu-user, which runs the
// cross build's tests, QProcess starts nothing.
QByteArray run(const QString &program, const QStringList &arguments)
{
    QTemporaryDir outputs;
    ChildProcess child(outputs.path());
    if (!child.start(QStringList{program} + arguments, {}) || !child.finish())
        qWarning("could not run %s", qPrintable(program));
    else if (child.exitCode != 0)
        qWarning("%s: %s", qPrintable(program), child.err.constData());
    return child.out;
}

// The report as junitparser reads it.
QJsonObject readBack(const QByteArray &xml, const QTemporaryDir &dir)
{
    const QString path = QDir(dir.path()).filePath("report.xml");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        return QJsonObject();
    file.close();
    return QJsonDocument::fromJson(run("/usr/bin/python3", {JUNITCOUNTS, path})).object();
}

// The page as a browser makes it, after every script it would run has run.
QString dumpDom(const QByteArray &html, const QTemporaryDir &dir)
{
    const QString path = QDir(dir.path()).filePath("report.html");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size())
        return QString();
    file.close();
    const QString chromium = QStandardPaths::findExecutable("chromium");
    return QString::fromUtf8(run(chromium, {"--headless", "--no-sandbox", "--disable-gpu",
                                            "--user-data-dir=" + QDir(dir.path()).filePath("profile"),
                                            "--dump-dom", QUrl::fromLocalFile(path).toString()}));
}

QString textOf(const QString &html)
{
    QString text = html;
    return text.remove(QRegularExpression("<[^>]*>")).trimmed();
}

// The body rows of the page's table, each cell as its text.
QList<QStringList> tableRows(const QString &dom)
{
    QList<QStringList> rows;
    const int body = dom.indexOf("<tbody>");
    const QString table = dom.mid(body, dom.indexOf("</tbody>") - body);
    QRegularExpressionMatchIterator row = QRegularExpression("<tr>(.*?)</tr>").globalMatch(table);
    while (row.hasNext()) {
        QStringList cells;
        QRegularExpressionMatchIterator cell =
            QRegularExpression("<td[^>]*>(.*?)</td>").globalMatch(row.next().captured(1));
        while (cell.hasNext())
            cells << textOf(cell.next().captured(1));
        rows << cells;
    }
    return rows;
}

int modeOf(const QString &path)
{
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

} // namespace

class tst_Reports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // JUnit XML
    void junitCounts_data();
    void junitCounts();
    void junitMillionCalls();
    void junitHostileText_data();
    void junitHostileText();

    // The web page
    void htmlInBrowser();
    void htmlVerdict_data();
    void htmlVerdict();
    void htmlLibraryTextStaysText_data();
    void htmlLibraryTextStaysText();
    void htmlCharts_data();
    void htmlCharts();
    void htmlListsTheFirstHundred();

    // What the reports are made from
    void tallyLatencyHistogram_data();
    void tallyLatencyHistogram();
    void timelineKeepsEveryCall_data();
    void timelineKeepsEveryCall();
    void notesListTheFirstHundred_data();
    void notesListTheFirstHundred();
    void notesDistinctPerOperation_data();
    void notesDistinctPerOperation();
    void notesCutAtWholeCharacters_data();
    void notesCutAtWholeCharacters();

    // Private files
    void privateFileWritten_data();
    void privateFileWritten();
    void privateFileRefused_data();
    void privateFileRefused();

private:
    QTemporaryDir m_dir;
};

void tst_Reports::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_Reports::junitCounts_data()
{
    QTest::addColumn<int>("failed");
    QTest::addColumn<int>("differs");
    QTest::addColumn<int>("implausible");
    QTest::addColumn<int>("contract");
    QTest::addColumn<QStringList>("findings");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<int>("stoppedBy");
    QTest::addColumn<int>("tests");
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("errors");
    QTest::addColumn<QStringList>("results");

    QTest::newRow("every call succeeded")
        << 0 << 0 << 0 << 0 << QStringList() << 0 << 0 << 2 << 0 << 0 << QStringList();
    QTest::newRow("failed calls are a failure")
        << 3 << 0 << 0 << 0 << QStringList() << 1 << 0 << 2 << 1 << 0
        << QStringList{"card-number failure: 3 of 10 calls failed, 0 differed, 0 implausible"};
    QTest::newRow("wrong answers are a failure")
        << 0 << 2 << 1 << 0 << QStringList() << 5 << 0 << 2 << 1 << 0
        << QStringList{"card-number failure: 0 of 10 calls failed, 2 differed, 1 implausible"};
    QTest::newRow("contract breaches are an error")
        << 0 << 0 << 0 << 4 << QStringList() << 3 << 0 << 2 << 0 << 1
        << QStringList{"card-number error: 4 of 10 calls broke the contract"};
    QTest::newRow("failures and breaches in one operation")
        << 1 << 0 << 0 << 2 << QStringList() << 3 << 0 << 2 << 1 << 1
        << QStringList{"card-number failure: 1 of 10 calls failed, 0 differed, 0 implausible",
                       "card-number error: 2 of 10 calls broke the contract"};
    QTest::newRow("findings about the run are an error of their own")
        << 0 << 0 << 0 << 0 << QStringList{"VRK_ReadCarNo forked the calling process"} << 3 << 0
        << 3 << 0 << 1 << QStringList{"run error: 1 finding(s) about the run as a whole"};
    QTest::newRow("a stop by the operator fails nothing")
        << 0 << 0 << 0 << 0 << QStringList() << 130 << SIGINT << 2 << 0 << 0 << QStringList();
    QTest::newRow("an exit status nothing else explains is an error")
        << 0 << 0 << 0 << 0 << QStringList() << 4 << 0 << 3 << 0 << 1
        << QStringList{"run error: exit status 4: output or a report could not be written"};
}

void tst_Reports::junitCounts()
{
    QFETCH(int, failed);
    QFETCH(int, differs);
    QFETCH(int, implausible);
    QFETCH(int, contract);
    QFETCH(QStringList, findings);
    QFETCH(int, exitStatus);
    QFETCH(int, stoppedBy);
    QFETCH(int, tests);
    QFETCH(int, failures);
    QFETCH(int, errors);
    QFETCH(QStringList, results);

    Run r;
    r.calls("card-number", "VRK_ReadCarNo", Tally::Succeeded,
            10 - failed - differs - implausible - contract);
    r.calls("card-number", "VRK_ReadCarNo", Tally::Failed, failed);
    r.calls("card-number", "VRK_ReadCarNo", Tally::Differs, differs);
    r.calls("card-number", "VRK_ReadCarNo", Tally::Implausible, implausible);
    r.calls("card-number", "VRK_ReadCarNo", Tally::BrokeContract, contract);
    r.calls("id-card", "VRK_IDCard_Read", Tally::Succeeded, 5);
    r.summary.findings = findings;
    r.summary.exitStatus = exitStatus;
    r.summary.stoppedBy = stoppedBy;
    const QJsonObject read = readBack(junitReport(r.done()), m_dir);

    QCOMPARE(read.value("suites").toArray().size(), 1);
    const QJsonObject suite = read.value("suites").toArray().first().toObject();
    for (const char *counts : {"written", "recounted"}) {
        QCOMPARE(suite.value(counts).toObject().value("tests").toInt(), tests);
        QCOMPARE(suite.value(counts).toObject().value("failures").toInt(), failures);
        QCOMPARE(suite.value(counts).toObject().value("errors").toInt(), errors);
    }
    QCOMPARE(read.value("totals").toObject().value("failures").toInt(), failures);
    QCOMPARE(read.value("totals").toObject().value("errors").toInt(), errors);
    QCOMPARE(suite.value("name").toString(), QString(host));
    QCOMPARE(suite.value("timestamp").toString(),
             QDateTime::fromMSecsSinceEpoch(1700000000000).toString("yyyy-MM-ddTHH:mm:ss"));
    const QJsonObject properties = suite.value("properties").toObject();
    QCOMPARE(properties.value("library.path").toString(),
             QString("/usr/lib/cardreader-tool/libVrkReaderClient.so"));
    QCOMPARE(properties.value("library.sha256").toString(), QString(sha256));
    QCOMPARE(properties.value("library.build_id").toString(), QString(buildId));
    QCOMPARE(properties.value("device").toString(), QString("21"));
    QCOMPARE(properties.value("region").toString(), QString("3502"));

    QStringList seen;
    QStringList names;
    for (const QJsonValue &value : suite.value("cases").toArray()) {
        const QJsonObject c = value.toObject();
        names << c.value("name").toString() + ' ' + c.value("classname").toString();
        for (const QJsonValue &result : c.value("results").toArray()) {
            seen << c.value("name").toString() + ' ' + result.toObject().value("kind").toString()
                    + ": " + result.toObject().value("message").toString();
            QVERIFY2(!result.toObject().value("text").toString().isEmpty(), qPrintable(seen.last()));
        }
    }
    QCOMPARE(seen, results);
    QCOMPARE(names.mid(0, 2), (QStringList{"card-number VRK_ReadCarNo", "id-card VRK_IDCard_Read"}));
    QCOMPARE(suite.value("system_err").toArray().size(), stoppedBy ? 1 : 0);
}

void tst_Reports::junitMillionCalls()
{
    Run r;
    for (int i = 0; i < 1000000; ++i) {
        const Tally::Outcome outcome = i % 1000 == 1 ? Tally::Failed
            : i % 2000 == 3                         ? Tally::BrokeContract
                                                    : Tally::Succeeded;
        r.call("bank-chip", "VRK_ICBankCard_ReadNO", outcome, 2 + i % 13, 1 + i / 10,
               QStringLiteral("failed with -%1: no card in the slot").arg(i));
    }
    r.summary.rounds = r.summary.roundsAsked = 100000;
    r.summary.exitStatus = 3;
    const QByteArray xml = junitReport(r.done());
    QVERIFY2(xml.size() < 16 * 1024, QByteArray::number(xml.size()).constData());

    const QJsonObject suite = readBack(xml, m_dir).value("suites").toArray().first().toObject();
    QCOMPARE(suite.value("recounted").toObject().value("failures").toInt(), 1);
    QCOMPARE(suite.value("recounted").toObject().value("errors").toInt(), 1);
    const QJsonArray results =
        suite.value("cases").toArray().first().toObject().value("results").toArray();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).toObject().value("message").toString(),
             QString("1000 of 1000000 calls failed, 0 differed, 0 implausible"));
    QCOMPARE(results.at(1).toObject().value("message").toString(),
             QString("500 of 1000000 calls broke the contract"));
    QCOMPARE(results.at(0).toObject().value("text").toString().count("no card in the slot"),
             int(Notes::distinct));
}

void tst_Reports::junitHostileText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("markup") << "</failure><error message=\"x\">&amp; ]]> <![CDATA["
                            << "</failure><error message=\"x\">&amp; ]]> <![CDATA[";
    QTest::newRow("control characters") << QString::fromLatin1("a\x01" "b\x08\x1b[31mc\x7f" "d")
                                        << "a\\x01b\\x08\\x1b[31mc\\x7fd";
    QTest::newRow("noncharacters and a lone surrogate")
        << QString("x") + QChar(0xfffe) + QChar(0xd800) + "y" + QChar(0xffff)
        << "x\\ufffe\\ud800y\\uffff";
    QTest::newRow("chinese") << QString::fromUtf8("读卡失败：无卡") << QString::fromUtf8("读卡失败：无卡");
}

void tst_Reports::junitHostileText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);

    Run r;
    r.calls("card-number", "VRK_ReadCarNo", Tally::Succeeded, 1);
    r.summary.host = text;
    r.summary.findings = QStringList{text};
    r.summary.exitStatus = 3;
    const QJsonObject read = readBack(junitReport(r.done()), m_dir);
    QVERIFY2(!read.isEmpty(), "junitparser could not read the report");

    const QJsonObject suite = read.value("suites").toArray().first().toObject();
    QCOMPARE(suite.value("name").toString(), shown);
    const QJsonObject runCase = suite.value("cases").toArray().last().toObject();
    QVERIFY2(runCase.value("results").toArray().first().toObject().value("text").toString().contains(
                 shown),
             qPrintable(runCase.value("results").toArray().first().toObject().value("text").toString()));
}

void tst_Reports::htmlInBrowser()
{
    if (QStandardPaths::findExecutable("chromium").isEmpty())
        QSKIP("chromium is not installed");
    Run r;
    r.calls("card-number", "VRK_ReadCarNo", Tally::Succeeded, 7);
    for (int i = 0; i < 3; ++i)
        r.call("card-number", "VRK_ReadCarNo", Tally::Failed, 4.25, 2 + i,
               QString::fromUtf8("读卡失败：无卡"));
    r.calls("id-card", "VRK_IDCard_Read", Tally::Succeeded, 4);
    r.call("id-card", "VRK_IDCard_Read", Tally::BrokeContract, 12.5, 5,
           "VRK_IDCard_Read wrote past the end of its 32-byte name buffer");
    r.summary.exitStatus = 3;
    const RunSummary &summary = r.done();
    const QString dom = dumpDom(htmlReport(summary), m_dir);
    QVERIFY2(dom.contains("</table>"), qPrintable(dom.left(2000)));

    const QList<QStringList> rows = tableRows(dom);
    QCOMPARE(rows.size(), 2);
    // Operation, function, a bar of the outcomes, calls, succeeded, failed,
    // differs, implausible, contract, then the durations.
    QCOMPARE(rows[0].mid(0, 9),
             (QStringList{"card-number", "VRK_ReadCarNo", "", "10", "7", "3", "0", "0", "0"}));
    QCOMPARE(rows[1].mid(0, 9),
             (QStringList{"id-card", "VRK_IDCard_Read", "", "5", "4", "0", "0", "0", "1"}));
    QCOMPARE(rows[0].at(9), QString::number(summary.figures[0].minMs, 'f', 3));
    QCOMPARE(rows[1].at(13), QString("12.500"));

    QVERIFY(dom.contains("class=\"verdict fail\""));
    QVERIFY(dom.contains("Exit status 3: the library broke its contract"));
    QVERIFY(dom.contains(QString::fromUtf8("读卡失败：无卡")));
    // Declared where every browser looks for it, not left to its guess.
    QVERIFY(htmlReport(summary).left(1024).contains("<meta charset=\"utf-8\">"));
    QVERIFY(dom.contains(sha256));
    QVERIFY(dom.contains(buildId));
}

void tst_Reports::htmlVerdict_data()
{
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<int>("failed");
    QTest::addColumn<QString>("banner");

    QTest::newRow("every call succeeded")
        << 0 << 0 << "verdict pass\"><div class=\"inner\"><div class=\"word\">Passed</div>"
                     "<div class=\"meaning\">Exit status 0: every call succeeded</div>";
    QTest::newRow("a call failed")
        << 1 << 2 << "verdict fail\"><div class=\"inner\"><div class=\"word\">Failed</div>"
                     "<div class=\"meaning\">Exit status 1: a call failed</div>";
    QTest::newRow("stopped with nothing wrong")
        << 130 << 0 << "verdict stopped\"><div class=\"inner\"><div class=\"word\">Stopped</div>"
                       "<div class=\"meaning\">Exit status 130: stopped by Ctrl-C (SIGINT)</div>";
    QTest::newRow("stopped after a failure")
        << 130 << 1 << "verdict fail\"><div class=\"inner\"><div class=\"word\">Failed</div>"
                       "<div class=\"meaning\">Exit status 130: stopped by Ctrl-C (SIGINT)</div>";
}

void tst_Reports::htmlVerdict()
{
    QFETCH(int, exitStatus);
    QFETCH(int, failed);
    QFETCH(QString, banner);

    Run r;
    r.calls("card-number", "VRK_ReadCarNo", Tally::Succeeded, 5);
    r.calls("card-number", "VRK_ReadCarNo", Tally::Failed, failed);
    r.summary.exitStatus = exitStatus;
    const QString page = QString::fromUtf8(htmlReport(r.done()));
    QVERIFY2(page.contains(banner), qPrintable(page.mid(page.indexOf("<header"), 300)));
}

void tst_Reports::htmlLibraryTextStaysText_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("text");

    const QString image = "<img src=x onerror=\"document.title='ran'\">";
    const QString script = "<script>document.title='ran'</script>";
    QTest::newRow("an image in a failure message") << "message" << image;
    QTest::newRow("a script in a failure message") << "message" << script;
    QTest::newRow("an image in a finding") << "finding" << image;
    QTest::newRow("a closed title and an image as the host") << "host" << "</title>" + image;
    QTest::newRow("a closed style and a script in the library path") << "path" << "</style>" + script;
    QTest::newRow("an attribute's end in the region") << "region" << "\"><img src=x onerror=\"document.title='ran'\">";
}

void tst_Reports::htmlLibraryTextStaysText()
{
    QFETCH(QString, where);
    QFETCH(QString, text);
    if (QStandardPaths::findExecutable("chromium").isEmpty())
        QSKIP("chromium is not installed");

    Run r;
    r.call("card-number", "VRK_ReadCarNo", Tally::Failed, 3, 1,
           where == "message" ? text : QStringLiteral("no card"));
    r.summary.exitStatus = 1;
    if (where == "finding")
        r.summary.findings << text;
    if (where == "host")
        r.summary.host = text;
    if (where == "path")
        r.summary.library.path = text.toUtf8();
    if (where == "region")
        r.summary.regionCode = text.toUtf8();
    const QString dom = dumpDom(htmlReport(r.done()), m_dir);
    QVERIFY2(dom.contains("</table>"), qPrintable(dom.left(2000)));

    QVERIFY2(!dom.contains("<img") && !dom.contains("<script"), qPrintable(dom));
    const QRegularExpressionMatch title = QRegularExpression("<title>(.*?)</title>").match(dom);
    QVERIFY(title.hasMatch());
    QVERIFY2(title.captured(1).startsWith("cardreader-cli on "), qPrintable(title.captured(1)));
    QString shown = text;
    shown.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    if (where == "path" || where == "region")
        shown.replace('"', "\\\"");
    QVERIFY2(dom.contains(shown), qPrintable(shown));
}

void tst_Reports::htmlCharts_data()
{
    QTest::addColumn<int>("roundsAsked");
    QTest::addColumn<bool>("overTime");

    QTest::newRow("one round has no charts over time") << 1 << false;
    QTest::newRow("a burn-in has charts over time") << 2000 << true;
}

void tst_Reports::htmlCharts()
{
    QFETCH(int, roundsAsked);
    QFETCH(bool, overTime);

    Run r;
    r.calls("card-number", "VRK_ReadCarNo", Tally::Succeeded, 50);
    r.calls("card-number", "VRK_ReadCarNo", Tally::Failed, 5);
    r.calls("id-card", "VRK_IDCard_Read", Tally::Succeeded, 50);
    r.summary.roundsAsked = roundsAsked;
    const QString page = QString::fromUtf8(htmlReport(r.done()));

    QCOMPARE(page.count("<div class=\"chart\">"), 2);
    QCOMPARE(page.contains("<h2>Over time</h2>"), overTime);
    QCOMPARE(page.contains(QRegularExpression("<path d=\"[^\"]+\" fill=\"#e58a1f\"/>")), overTime);
    QCOMPARE(page.contains("<polyline"), overTime);
    QVERIFY(!page.contains("<script"));
}

void tst_Reports::htmlListsTheFirstHundred()
{
    Run r;
    for (int i = 0; i < 150; ++i)
        r.call("card-number", "VRK_ReadCarNo", Tally::Failed, 3, i + 1,
               QStringLiteral("failure number %1").arg(i));
    for (int i = 0; i < 3; ++i)
        r.call("card-number", "VRK_ReadCarNo", Tally::BrokeContract, 3, 151 + i,
               QStringLiteral("breach number %1").arg(i));
    r.summary.exitStatus = 3;
    const QString page = QString::fromUtf8(htmlReport(r.done()));

    const QStringList sections = page.split("<h3>");
    const QString breaches = sections.filter(QRegularExpression("^Contract breaches")).value(0);
    const QString failures = sections.filter(QRegularExpression("^Failed calls")).value(0);
    QVERIFY(breaches.startsWith("Contract breaches (3)"));
    QCOMPARE(breaches.count("<li>"), 3);
    QVERIFY(!breaches.contains("more</p>"));
    QVERIFY(failures.startsWith("Failed calls (150)"));
    QCOMPARE(failures.count("<li>"), 100);
    QVERIFY(failures.contains("round 100</span><span class=\"op\">card-number</span>failure number 99"));
    QVERIFY(!failures.contains("failure number 100<"));
    QVERIFY(failures.contains("<p class=\"more\">and 50 more</p>"));
}

void tst_Reports::tallyLatencyHistogram_data()
{
    QTest::addColumn<double>("milliseconds");
    QTest::addColumn<int>("bucket");

    QTest::newRow("under a microsecond") << 0.0005 << 0;
    QTest::newRow("a microsecond and a half") << 0.0015 << 1;
    QTest::newRow("a millisecond") << 1.0 << 10;
    QTest::newRow("three milliseconds") << 3.0 << 12;
    QTest::newRow("a minute") << 60000.0 << 26;
    QTest::newRow("ten hours, in the last bucket") << 36e6 << Tally::latencyBuckets - 1;
}

void tst_Reports::tallyLatencyHistogram()
{
    QFETCH(double, milliseconds);
    QFETCH(int, bucket);

    std::unique_ptr<Tally> tally(new Tally());
    for (int i = 0; i < 3; ++i)
        tally->add("pin", "VRK_KeyBoard_InputKey", Tally::Succeeded, milliseconds);
    tally->add("pin", "VRK_KeyBoard_InputKey", Tally::Failed, 0.0005);
    const Tally::Figures f = tally->figures().at(0);
    for (int b = 1; b < Tally::latencyBuckets; ++b)
        QCOMPARE(f.latency[b], std::uint64_t(b == bucket ? 3 : 0));
    QCOMPARE(f.latency[0], std::uint64_t(bucket == 0 ? 4 : 1));
    if (bucket > 0 && bucket < Tally::latencyBuckets - 1) {
        QVERIFY(milliseconds >= Tally::latencyBoundMs(bucket - 1));
        QVERIFY(milliseconds < Tally::latencyBoundMs(bucket));
    }
}

void tst_Reports::timelineKeepsEveryCall_data()
{
    QTest::addColumn<int>("calls");
    QTest::addColumn<long long>("everyMs");

    QTest::newRow("a minute, ten calls a second") << 600 << 100LL;
    QTest::newRow("a day, a call a second") << 86400 << 1000LL;
    QTest::newRow("a month, a call a minute") << 43200 << 60000LL;
    QTest::newRow("a few calls days apart") << 5 << 3LL * 24 * 3600 * 1000;
}

void tst_Reports::timelineKeepsEveryCall()
{
    QFETCH(int, calls);
    QFETCH(long long, everyMs);

    std::unique_ptr<Timeline> timeline(new Timeline());
    std::uint64_t outcomes[Tally::outcomes] = {};
    for (int i = 0; i < calls; ++i) {
        const Tally::Outcome outcome = Tally::Outcome(i % 17 == 0 ? i % Tally::outcomes : 0);
        timeline->add(everyMs * i, outcome, i == calls / 2 ? 900.0 : 2.0);
        ++outcomes[outcome];
    }

    QVERIFY(timeline->count() <= Timeline::points);
    const long long lastMs = everyMs * (calls - 1);
    QCOMPARE(timeline->count(), int(lastMs / timeline->width()) + 1);
    QVERIFY(timeline->width() >= 100);
    std::uint64_t seen = 0;
    std::uint64_t seenOutcomes[Tally::outcomes] = {};
    double slowest = 0;
    double sum = 0;
    for (int i = 0; i < timeline->count(); ++i) {
        seen += timeline->at(i).calls;
        for (int o = 0; o < Tally::outcomes; ++o)
            seenOutcomes[o] += timeline->at(i).outcomes[o];
        slowest = std::max(slowest, timeline->at(i).maxMs);
        sum += timeline->at(i).sumMs;
    }
    QCOMPARE(seen, std::uint64_t(calls));
    for (int o = 0; o < Tally::outcomes; ++o)
        QCOMPARE(seenOutcomes[o], outcomes[o]);
    QCOMPARE(slowest, 900.0);
    QCOMPARE(sum, 2.0 * (calls - 1) + 900.0);
    QCOMPARE(timeline->at(int((everyMs * (calls / 2)) / timeline->width())).maxMs, 900.0);
}

void tst_Reports::notesListTheFirstHundred_data()
{
    QTest::addColumn<int>("messages");

    QTest::newRow("one") << 1;
    QTest::newRow("a hundred") << 100;
    QTest::newRow("a hundred and one") << 101;
    QTest::newRow("a hundred thousand") << 100000;
}

void tst_Reports::notesListTheFirstHundred()
{
    QFETCH(int, messages);

    std::unique_ptr<Notes> notes(new Notes());
    for (int i = 0; i < messages; ++i)
        notes->add(Notes::Difference, i + 1, i % 2 ? "card-number" : "id-card",
                   QStringLiteral("message %1").arg(i));

    QCOMPARE(notes->count(Notes::Difference), std::uint64_t(messages));
    QCOMPARE(notes->count(Notes::Failure), std::uint64_t(0));
    QCOMPARE(notes->listedCount(Notes::Difference), std::min(messages, int(Notes::listed)));
    QCOMPARE(notes->listedCount(Notes::Breach), 0);
    for (int i = 0; i < notes->listedCount(Notes::Difference); ++i) {
        const Notes::Entry entry = notes->listedEntry(Notes::Difference, i);
        QCOMPARE(entry.round, i + 1);
        QCOMPARE(QString(entry.operation), QString(i % 2 ? "card-number" : "id-card"));
        QCOMPARE(QString(entry.text), QStringLiteral("message %1").arg(i));
    }
}

void tst_Reports::notesDistinctPerOperation_data()
{
    QTest::addColumn<QStringList>("cardNumber");
    QTest::addColumn<QStringList>("idCard");
    QTest::addColumn<QStringList>("distinct");

    QStringList many;
    for (int i = 0; i < 25; ++i)
        many << QStringLiteral("error %1").arg(i % 12);
    const QString longText(400, 'x');

    QTest::newRow("repeats kept once, in order")
        << QStringList{"b", "a", "b", "b", "c", "a"} << QStringList() << QStringList{"b", "a", "c"};
    QTest::newRow("the first ten")
        << many << QStringList()
        << QStringList{"error 0", "error 1", "error 2", "error 3", "error 4", "error 5",
                       "error 6", "error 7", "error 8", "error 9"};
    QTest::newRow("each operation its own")
        << QStringList{"a", "b"} << QStringList{"a", "c"} << QStringList{"a", "b"};
    QTest::newRow("texts the same once cut")
        << QStringList{longText + "1", longText + "2"} << QStringList()
        << QStringList{QString(int(Notes::textSize) - 1, 'x')};
}

void tst_Reports::notesDistinctPerOperation()
{
    QFETCH(QStringList, cardNumber);
    QFETCH(QStringList, idCard);
    QFETCH(QStringList, distinct);

    std::unique_ptr<Notes> notes(new Notes());
    // Another kind of the same operation, noted first, keeps its own.
    notes->add(Notes::Difference, 1, "card-number", "kept apart");
    for (int i = 0; i < std::max(cardNumber.size(), idCard.size()); ++i) {
        if (i < cardNumber.size())
            notes->add(Notes::Failure, 1, "card-number", cardNumber[i]);
        if (i < idCard.size())
            notes->add(Notes::Failure, 1, "id-card", idCard[i]);
    }
    QCOMPARE(notes->distinctTexts("card-number", Notes::Failure), distinct);
    QCOMPARE(notes->distinctTexts("card-number", Notes::Breach), QStringList());
    QCOMPARE(notes->distinctTexts("card-number", Notes::Difference), QStringList{"kept apart"});
    idCard.removeDuplicates();
    QCOMPARE(notes->distinctTexts("id-card", Notes::Failure), idCard);
    QCOMPARE(notes->count(Notes::Failure), std::uint64_t(cardNumber.size() + idCard.size()));
}

void tst_Reports::notesCutAtWholeCharacters_data()
{
    QTest::addColumn<QString>("character");

    QTest::newRow("one byte") << "x";
    QTest::newRow("three bytes, Chinese") << QString::fromUtf8("卡");
    QTest::newRow("four bytes") << QString::fromUtf8("\xf0\x9f\x92\xb3");
    QTest::newRow("two bytes after one") << QString::fromUtf8("é");
}

void tst_Reports::notesCutAtWholeCharacters()
{
    QFETCH(QString, character);

    for (int lead = 0; lead < 4; ++lead) {
        const QString text = QString(lead, 'a') + character.repeated(400);
        std::unique_ptr<Notes> notes(new Notes());
        notes->add(Notes::Breach, 3, "pin", text);
        const Notes::Entry entry = notes->listedEntry(Notes::Breach, 0);
        const QByteArray stored(entry.text);
        const QByteArray whole = text.toUtf8();
        const int size = character.toUtf8().size();
        QVERIFY(stored.size() <= int(Notes::textSize) - 1);
        QVERIFY(stored.size() > int(Notes::textSize) - 1 - size);
        QVERIFY(whole.startsWith(stored));
        QCOMPARE((stored.size() - lead) % size, 0);
        QCOMPARE(notes->distinctTexts("pin", Notes::Breach), QStringList{QString::fromUtf8(stored)});
    }
}

void tst_Reports::privateFileWritten_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("modeBefore");
    QTest::addColumn<int>("umask");

    QTest::newRow("a new file") << QByteArray() << 0 << 022;
    QTest::newRow("under a umask that takes nothing away") << QByteArray() << 0 << 0;
    QTest::newRow("under a umask that takes the owner's writing away") << QByteArray() << 0 << 0277;
    QTest::newRow("a longer file replaced whole") << QByteArray(100000, 'z') << 0600 << 022;
    QTest::newRow("a file readable by all made private") << QByteArray("old") << 0644 << 022;
}

void tst_Reports::privateFileWritten()
{
    QFETCH(QByteArray, before);
    QFETCH(int, modeBefore);
    QFETCH(int, umask);

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("report.html");
    if (modeBefore) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(before);
        old.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(modeBefore)) == 0);
    }
    const mode_t saved = ::umask(mode_t(umask));
    QString why;
    QVERIFY(canWritePrivateFile(path, why));
    const bool written = writePrivateFile(path, "<p>card data</p>\n", why);
    ::umask(saved);

    QVERIFY2(written, qPrintable(why));
    QCOMPARE(modeOf(path), 0600);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("<p>card data</p>\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"report.html"});
}

void tst_Reports::privateFileRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("why");

    QTest::newRow("a directory that cannot be written") << "/sys/report.html"
                                                        << "cannot create a file in /sys: ";
    QTest::newRow("a directory that does not exist") << "missing/report.html"
                                                     << "No such file or directory";
    QTest::newRow("a directory in the target's place") << "." << "it is a directory";
    QTest::newRow("a FIFO") << "fifo" << "it is not a regular file";
}

void tst_Reports::privateFileRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, why);
    if (path.startsWith("/sys/") && !QFileInfo("/sys").isDir())
        QSKIP("no /sys here");

    QTemporaryDir dir;
    const QString target = path.startsWith('/') ? path : QDir(dir.path()).filePath(path);
    if (path == "fifo")
        QVERIFY(::mkfifo(QFile::encodeName(target).constData(), 0600) == 0);
    QString reason;
    QVERIFY(!canWritePrivateFile(target, reason));
    QVERIFY2(reason.contains(why), qPrintable(reason));
    reason.clear();
    QVERIFY(!writePrivateFile(target, "card data", reason));
    QVERIFY2(reason.contains(why), qPrintable(reason));
    QVERIFY(QFileInfo(dir.path()).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden
                                        | QDir::NoDotAndDotDot),
             QStringList(path == "fifo" ? QStringList{"fifo"} : QStringList()));
    QVERIFY(!QFileInfo(target).isFile());
}

QTEST_MAIN(tst_Reports)
#include "tst_reports.moc"
