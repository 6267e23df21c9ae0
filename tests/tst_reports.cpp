#include "childprocess.h"

#include "report/htmlreport.h"
#include "report/junitreport.h"
#include "report/privatefile.h"
#include "report/report.h"
#include "run/notes.h"
#include "run/tally.h"
#include "run/timeline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

namespace {

// A run made by hand, as the calling process would have recorded it.
struct Run
{
    void call(Tally::Outcome outcome, const QString &message = "no card",
              const char *operation = "card-number", const char *function = "VRK_ReadCarNo")
    {
        static const Notes::Kind kinds[] = {Notes::Failure, Notes::Failure, Notes::Doubt,
                                            Notes::Difference, Notes::Breach};
        tally->add(operation, function, outcome, 3);
        timeline->add(clockMs += 50, outcome, 3);
        if (outcome != Tally::Succeeded)
            notes->add(kinds[outcome], 1, operation, message);
    }

    // A call a letter, as Tally orders the outcomes: "sfidc".
    void calls(const QByteArray &outcomes)
    {
        for (const char outcome : outcomes)
            call(Tally::Outcome(QByteArray("sfidc").indexOf(outcome)));
    }

    const RunSummary &done()
    {
        summary.figures = tally->figures();
        summary.notes = notes.get();
        summary.timeline = timeline.get();
        return summary;
    }

    // Too large for the stack: their size is fixed for a burn-in of days.
    std::unique_ptr<Tally> tally{new Tally()};
    std::unique_ptr<Notes> notes{new Notes()};
    std::unique_ptr<Timeline> timeline{new Timeline()};
    long long clockMs = 0;
    RunSummary summary;
};

// A burn-in on the simulated reader, checked against expected answers, with
// every outcome and finding, text from the library in every place it shows,
// and counts and durations as wide as those of a run of days.
QByteArray burnInPage()
{
    Run r;
    for (int i = 0; i < 40; ++i)
        r.call(i % 13 == 1 ? Tally::Failed : i % 17 == 2 ? Tally::Differs : Tally::Succeeded,
               QString::fromUtf8("failed with -1: 未检测到卡片"));
    for (int i = 0; i < 30; ++i)
        r.call(i % 11 == 3 ? Tally::Implausible : i == 20 ? Tally::BrokeContract : Tally::Succeeded,
               "card number 6200000000000000092: fails the Luhn check", "bank-stripe",
               "VRK_MagicBankCard_ReadNO");
    r.call(Tally::Succeeded, QString(), "open", "VRK_OpenDev");
    RunSummary &summary = r.summary;
    summary.exitStatus = 3;
    summary.rounds = summary.roundsAsked = 40;
    summary.host = "terminal-<b>7</b>";
    summary.findings << "VRK_ReadCardCity wrote text that is not UTF-8 into its 36-byte region code buffer";
    summary.expectPath = "/home/technician/expected answers.txt";
    summary.expectSha256 = QByteArray(64, 'e');
    summary.library.path = "/usr/lib/libVrkReaderClient.so";
    summary.library.size = 915712;
    summary.library.sha256 = QByteArray(64, 'a');
    summary.library.simulated = "simulated reader 1.0 <i>";
    r.done();
    for (Tally::Figures &f : summary.figures) {
        const std::uint64_t scale = 100003;
        f.calls *= scale;
        f.succeeded *= scale;
        f.failed *= scale;
        f.implausible *= scale;
        f.differs *= scale;
        f.brokeContract *= scale;
        f.maxMs = 12345.678;
    }
    return htmlReport(summary);
}

} // namespace

// The reports of runs made by hand: the JUnit XML as junitparser reads it, the
// web page as a headless Chromium makes it, what they are made from and the
// files they go to. Reports of real runs, however they end, are tst_answers'.
class tst_Reports : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // What a program writes of a report given as its last argument. Started
    // by hand, as ChildProcess does: under qemu-user QProcess starts nothing.
    QByteArray readWith(QStringList command, const QString &name, const QByteArray &report)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(report) != report.size())
            return QByteArray();
        file.close();
        return outputOf(command << file.fileName());
    }

    QByteArray outputOf(const QStringList &command)
    {
        ChildProcess child(m_dir.path());
        if (!child.start(command, {}) || !child.finish() || child.exitCode != 0)
            qWarning("%s: %s", qPrintable(command.first()), child.err.constData());
        return child.out;
    }

    // What Chromium makes of a page given as a file: its DOM, a PDF. Run as
    // root on a machine whose only network is a package registry.
    QByteArray chromium(const QStringList &arguments, const QString &name, const QByteArray &page)
    {
        static int profiles = 0;
        return readWith(QStringList{"timeout", "120", QStandardPaths::findExecutable("chromium"),
                                    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                    "--no-first-run", "--disable-background-networking",
                                    "--disable-component-update", "--disable-sync",
                                    "--user-data-dir=" + m_dir.filePath(QStringLiteral("profile%1").arg(++profiles))}
                            + arguments,
                        name, page);
    }

    // axe-core, installed from npm beside the test on its first run, or
    // empty where it cannot be.
    QByteArray axeCore()
    {
        const QString prefix = QCoreApplication::applicationDirPath() + "/axe";
        QFile axe(prefix + "/node_modules/axe-core/axe.min.js");
        if (!axe.exists() && !QStandardPaths::findExecutable("npm").isEmpty()) {
            ChildProcess npm(m_dir.path());
            if (!npm.start({"timeout", "300", "npm", "install", "--prefix", prefix, "--no-audit", "--no-fund",
                            "--no-save", "axe-core@4.14.1"},
                           {})
                || !npm.finish() || npm.exitCode != 0)
                qWarning("npm install axe-core: %s", npm.err.constData());
        }
        return axe.open(QIODevice::ReadOnly) ? axe.readAll() : QByteArray();
    }

    QJsonObject junitparserSuite(const QByteArray &xml)
    {
        const QByteArray read = readWith({"/usr/bin/python3", JUNITCOUNTS}, "report.xml", xml);
        return QJsonDocument::fromJson(read).object().value("suites").toArray().first().toObject();
    }

private slots:
    void junitCounts_data()
    {
        QTest::addColumn<QByteArray>("outcomes");  // a letter a call: as Tally orders them, "sfidc"
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QStringList>("results");  // each test case's failures and errors
        QTest::addColumn<bool>("compared");        // against expected answers naming its function

        QTest::newRow("every call succeeded") << QByteArray("ss") << 0 << QStringList() << true;
        QTest::newRow("wrong answers are a failure")
            << QByteArray("sid") << 5 << QStringList{"card-number failure: wrong answer"} << true;
        QTest::newRow("implausible answers alone are a failure")
            << QByteArray("si") << 5 << QStringList{"card-number failure: wrong answer"} << true;
        QTest::newRow("breaches beside a failed call are an error too")
            << QByteArray("fcc") << 3
            << QStringList{"card-number failure: call failed", "card-number error: contract broken"} << true;
        QTest::newRow("an exit status nothing else explains is an error")
            << QByteArray("s") << 4 << QStringList{"run error: exit status"} << true;
        QTest::newRow("not compared is skipped, not passed") << QByteArray("s") << 0
            << QStringList{"card-number skipped: not compared"} << false;
        QTest::newRow("a stop by the operator fails nothing") << QByteArray("s") << 130 << QStringList() << true;
    }

    void junitCounts()
    {
        QFETCH(QByteArray, outcomes);
        QFETCH(int, exitStatus);
        QFETCH(QStringList, results);
        QFETCH(bool, compared);

        Run r;
        r.calls(outcomes);
        r.summary.exitStatus = exitStatus;
        r.summary.expectPath = "expected.txt";
        if (!compared)
            r.summary.notCompared << "VRK_ReadCarNo";
        const QJsonObject suite = junitparserSuite(junitReport(r.done()));

        QStringList seen;
        for (const QJsonValue c : suite.value("cases").toArray()) {
            for (const QJsonValue result : c.toObject().value("results").toArray())
                seen << c.toObject().value("name").toString() + ' ' + result.toObject().value("kind").toString()
                        + ": " + result.toObject().value("type").toString();
            // In seconds, as CI servers read it: each call took 3 ms.
            if (c.toObject().value("name").toString() == "card-number")
                QCOMPARE(c.toObject().value("time").toDouble(), 0.003 * outcomes.size());
        }
        QCOMPARE(seen, results);
        // CI servers show the counts as written: they must be those of the cases.
        for (const char *count : {"tests", "failures", "errors", "skipped"}) {
            QCOMPARE(suite.value("written").toObject().value(count).toInt(),
                     suite.value("recounted").toObject().value(count).toInt());
        }
    }

    // Counts and the first distinct messages, never an element per call.
    void junitMillionCalls()
    {
        Run r;
        for (int i = 0; i < 1000000; ++i) {
            r.call(i % 1000 == 1 ? Tally::Failed : i % 2000 == 3 ? Tally::BrokeContract : Tally::Succeeded,
                   QStringLiteral("failed with -%1: no card in the slot").arg(i));
        }
        r.summary.exitStatus = 3;
        const QByteArray xml = junitReport(r.done());
        QVERIFY2(xml.size() < 16 * 1024, QByteArray::number(xml.size()).constData());

        const QJsonArray results =
            junitparserSuite(xml).value("cases").toArray().first().toObject().value("results").toArray();
        QCOMPARE(results.size(), 2);
        QVERIFY(results.at(0).toObject().value("message").toString().startsWith("1000 of 1000000 calls"));
        QVERIFY(results.at(1).toObject().value("message").toString().startsWith("500 of 1000000 calls"));
        QCOMPARE(results.at(0).toObject().value("text").toString().count("no card in the slot"), 10);
    }

    void junitHostileText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");

        const QString markup = "</failure><error message=\"x\">&amp; ]]> <![CDATA[";
        const QString chinese = QString::fromUtf8("读卡失败：无卡");
        QTest::newRow("markup") << markup << markup;
        QTest::newRow("control characters") << QString::fromLatin1("a\x01" "b\x1b[31mc\x7f" "d")
                                            << "a\\x01b\\x1b[31mc\\x7fd";
        QTest::newRow("noncharacters and a lone surrogate")
            << QString("x") + QChar(0xfffe) + QChar(0xd800) + "y" + QChar(0xffff) << "x\\ufffe\\ud800y\\uffff";
        QTest::newRow("chinese, as it is") << chinese << chinese;
    }

    // As the suite's name and in a finding about the run, both of which the
    // library can write: the file stays well-formed and shows the text.
    void junitHostileText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);

        Run r;
        r.call(Tally::Succeeded);
        r.summary.host = text;
        r.summary.findings = QStringList{text};
        r.summary.exitStatus = 3;
        const QJsonObject suite = junitparserSuite(junitReport(r.done()));
        QCOMPARE(suite.value("name").toString(), shown);
        const QString said = suite.value("cases").toArray().last().toObject().value("results").toArray()
                                 .first().toObject().value("text").toString();
        QVERIFY2(said.contains(shown), qPrintable(said));
    }

    // The page as a browser makes it, after every script it would run has
    // run: the table's figures, and what the library wrote, wherever it is
    // shown, left text that makes no element.
    void htmlInBrowser()
    {
        if (QStandardPaths::findExecutable("chromium").isEmpty())
            QSKIP("chromium is not installed");
        const QString hostile = "<img src=x onerror=alert(1)>";
        Run r;
        for (int i = 0; i < 10; ++i)
            r.call(i < 7 ? Tally::Succeeded : Tally::Failed, hostile);
        r.call(Tally::Differs, "card_number: expected \"&lt;\"");
        r.call(Tally::Differs);
        r.call(Tally::Implausible);
        for (int i = 0; i < 5; ++i)
            r.call(i < 4 ? Tally::Succeeded : Tally::BrokeContract, "no answer", "id-card", "VRK_IDCard_Read");
        r.summary.findings << hostile;
        r.summary.host = hostile;
        r.summary.library.path = r.summary.regionCode = hostile.toUtf8();
        const QByteArray html = htmlReport(r.done());
        // Nowhere as it came, not even where a browser would show it as text.
        QVERIFY(!html.contains(hostile.toUtf8()));
        // A script that ran would show a dialog, which holds Chromium for good.
        const QString dom = QString::fromUtf8(chromium({"--dump-dom"}, "report.html", html));
        QVERIFY2(dom.contains("</table>"), "no page from Chromium within two minutes");

        // Each row's operation, function, outcome bar, calls, succeeded,
        // failed, differs, implausible and contract; then in a table of
        // their own the durations.
        const auto rowsOf = [&dom](const QString &table) {
            const int body = dom.indexOf("<tbody>", dom.indexOf(table));
            return dom.mid(body, dom.indexOf("</tbody>", body) - body)
                .replace(QRegularExpression("</t[dh]>"), "|")
                .remove(QRegularExpression("<[^>]*>"))
                .trimmed()
                .split('\n');
        };
        QCOMPARE(rowsOf("<h2 id=\"operations\">"),
                 (QStringList{"card-number|VRK_ReadCarNo||13|7|3|2|1|0|", "id-card|VRK_IDCard_Read||5|4|0|0|0|1|"}));
        QCOMPARE(rowsOf("<h2 id=\"latency\">"),
                 (QStringList{"card-number|3.000|3.000|3.000|3.000|3.000|", "id-card|3.000|3.000|3.000|3.000|3.000|"}));
        QVERIFY2(!dom.contains("<img"), qPrintable(dom));
        QVERIFY(dom.contains("&lt;img src=x onerror=alert(1)&gt;"));
        // The library's own "&lt;" shows as those four characters.
        QVERIFY2(dom.contains("expected \"&amp;lt;\""), qPrintable(dom));
    }

    void htmlVerdict_data()
    {
        QTest::addColumn<QByteArray>("outcomes");  // a letter a call, "sfidc"
        QTest::addColumn<int>("stoppedBy");        // a signal, or 0; below 0, the exit status
        QTest::addColumn<bool>("simulated");       // the simulated reader answered
        QTest::addColumn<QString>("verdict");      // the banner's class
        QTest::addColumn<QString>("word");

        QTest::newRow("every call succeeded") << QByteArray("ss") << 0 << false << "pass" << "Passed";
        QTest::newRow("stopped by the operator, nothing wrong")
            << QByteArray("ss") << SIGINT << false << "stopped" << "Stopped";
        QTest::newRow("stopped by the operator after calls failed")
            << QByteArray("sf") << SIGINT << false << "fail" << "Failed";
        QTest::newRow("passed on the simulated reader")
            << QByteArray("ss") << 0 << true << "simulated" << "Passed on the simulated reader";
        QTest::newRow("failed on the simulated reader")
            << QByteArray("sf") << 0 << true << "fail" << "Failed on the simulated reader";
        // A negative signal stands for that exit status.
        QTest::newRow("every call succeeded, the output not written")
            << QByteArray("ss") << -4 << false << "fail" << "Failed";
    }

    // The banner's word says how the run went, whatever stopped it, and
    // answers from the simulated reader never pass for a terminal's.
    void htmlVerdict()
    {
        QFETCH(QByteArray, outcomes);
        QFETCH(int, stoppedBy);
        QFETCH(bool, simulated);
        QFETCH(QString, verdict);
        QFETCH(QString, word);

        Run r;
        r.calls(outcomes);
        r.summary.stoppedBy = std::max(0, stoppedBy);
        r.summary.exitStatus = stoppedBy < 0 ? -stoppedBy
            : stoppedBy ? 128 + stoppedBy : outcomes.contains('f') ? 1 : 0;
        if (simulated)
            r.summary.library.simulated = "simulated reader 1.0";
        const QString html = QString::fromUtf8(htmlReport(r.done()));
        QVERIFY2(html.contains("<header class=\"verdict " + verdict + "\">"), qPrintable(html.left(2000)));
        // The banner's colour comes with the page: it is opened offline.
        QVERIFY(html.contains(QRegularExpression("\\.verdict\\." + verdict + "\\b[^{}]*\\{ background")));
        QVERIFY2(html.contains("<h1 class=\"word\">" + word + "</h1>"), qPrintable(html.left(2000)));
        QCOMPARE(html.contains("(simulated reader 1.0), not from a card reader: no terminal was checked"),
                 simulated);
    }

    void sessionInEveryReport_data()
    {
        QTest::addColumn<QByteArray>("outcomes");     // a letter a call, "sfidc"
        QTest::addColumn<QStringList>("skipped");
        QTest::addColumn<QStringList>("notFitted");
        QTest::addColumn<QString>("verdict");         // as programs read it
        QTest::addColumn<QString>("banner");          // the HTML banner's class
        QTest::addColumn<QStringList>("skippedCases");  // JUnit's skipped cases and their type

        QTest::newRow("skipped steps leave a good run incomplete")
            << QByteArray("ss") << QStringList{"bank-stripe: no stripe card at hand", "pin: keypad covered"}
            << QStringList()
            << "INCOMPLETE: 2 of 2 answers as expected; 2 steps skipped (bank-stripe, pin)" << "incomplete"
            << QStringList{"bank-stripe skipped", "pin skipped"};
        QTest::newRow("a wrong answer still fails, and names the step skipped")
            << QByteArray("sd") << QStringList{"pin: keypad covered"} << QStringList()
            << "FAILED: 1 answer differs (card-number); 1 step skipped (pin)" << "fail"
            << QStringList{"pin skipped"};
        QTest::newRow("not fitted is named and changes nothing else")
            << QByteArray("ss") << QStringList() << QStringList{"tracks", "scan"}
            << "PASSED: 2 of 2 answers as expected; not fitted: tracks, scan" << "pass"
            << QStringList{"tracks not fitted", "scan not fitted"};
    }

    // A guided session names itself in every report, beside the expected
    // answers, and a step the technician skipped never passes.
    void sessionInEveryReport()
    {
        QFETCH(QByteArray, outcomes);
        QFETCH(QStringList, skipped);
        QFETCH(QStringList, notFitted);
        QFETCH(QString, verdict);
        QFETCH(QString, banner);
        QFETCH(QStringList, skippedCases);

        Run r;
        r.calls(outcomes);
        RunSummary &summary = r.summary;
        summary.exitStatus = outcomes.contains('d') ? 5 : 0;
        summary.expectPath = "good.txt";
        summary.expectSha256 = QByteArray(64, 'e');
        summary.planPath = "/etc/cardreader/plan.txt";
        summary.planSha256 = QByteArray(64, 'p');
        summary.operatorName = QString::fromUtf8("王工");
        summary.workOrder = "WO-2291";
        summary.bundlePath = "/var/lib/cardreader/sessions/counter-01";
        summary.skipped = skipped;
        summary.notFitted = notFitted;
        summary.comments = QStringList{"card-number: reader slow to wake"};
        r.done();

        const QString text = summaryTable(summary);
        QVERIFY2(text.contains("  plan: /etc/cardreader/plan.txt (sha256 " + QString(64, 'p') + ")\n"
                               + QString::fromUtf8("  operator: 王工\n  work order: WO-2291\n")
                               + "  record kept in: /var/lib/cardreader/sessions/counter-01\n"),
                 qPrintable(text));
        for (const QString &step : skipped)
            QVERIFY2(text.contains("  skipped: " + step + '\n'), qPrintable(text));
        QCOMPARE(text.contains("  not fitted: " + notFitted.join(", ") + '\n'), !notFitted.isEmpty());
        QVERIFY2(text.contains("  comment: card-number: reader slow to wake\n"), qPrintable(text));

        const QJsonObject json = QJsonDocument::fromJson(summaryJson(summary)).object().value("summary").toObject();
        QCOMPARE(json.value("verdict").toString(), verdict);
        QCOMPARE(json.value("plan_sha256").toString(), QString(64, 'p'));
        QCOMPARE(json.value("operator").toString(), summary.operatorName);
        QCOMPARE(json.value("work_order").toString(), summary.workOrder);
        QCOMPARE(json.value("bundle").toString(), summary.bundlePath);
        QCOMPARE(json.value("skipped").toArray().size(), skipped.size());
        if (!skipped.isEmpty())
            QCOMPARE(json.value("skipped").toArray().last().toObject().value("reason").toString(),
                     QStringLiteral("keypad covered"));
        QCOMPARE(json.value("not_fitted").toArray().size(), notFitted.size());
        QCOMPARE(json.value("comments").toArray().first().toObject().value("comment").toString(),
                 QStringLiteral("reader slow to wake"));

        const QByteArray xml = junitReport(summary);
        const QJsonObject suite = junitparserSuite(xml);
        QStringList seen;
        for (const QJsonValue c : suite.value("cases").toArray()) {
            for (const QJsonValue result : c.toObject().value("results").toArray()) {
                if (result.toObject().value("kind").toString() == "skipped")
                    seen << c.toObject().value("name").toString() + ' '
                            + result.toObject().value("type").toString();
            }
        }
        QCOMPARE(seen, skippedCases);
        QCOMPARE(suite.value("written").toObject().value("skipped").toInt(), skippedCases.size());
        for (const QString &property : {"name=\"verdict\" value=\"" + verdict + '"',
                                        "name=\"plan.sha256\" value=\"" + QString(64, 'p') + '"',
                                        QString::fromUtf8("name=\"operator\" value=\"王工\""),
                                        QStringLiteral("name=\"work_order\" value=\"WO-2291\""),
                                        "name=\"bundle\" value=\"" + summary.bundlePath + '"'})
            QVERIFY2(QString::fromUtf8(xml).contains(property), qPrintable(property));

        const QString html = QString::fromUtf8(htmlReport(summary));
        QVERIFY2(html.contains("<header class=\"verdict " + banner + "\">"), qPrintable(html.left(2000)));
        for (const QString &fact : {QStringLiteral("Plan</dt><dd><code>/etc/cardreader/plan.txt</code>"),
                                    QString::fromUtf8("Operator</dt><dd>王工"),
                                    QStringLiteral("Work order</dt><dd>WO-2291"),
                                    "Record kept in</dt><dd><code>" + summary.bundlePath + "</code>",
                                    QStringLiteral("Comments</dt><dd>card-number: reader slow to wake")})
            QVERIFY2(html.contains("<dt>" + fact + "</dd>"), qPrintable(fact));
        QCOMPARE(html.contains("<dt>Skipped</dt><dd>" + skipped.join("<br>") + "</dd>"), !skipped.isEmpty());
        QCOMPARE(html.contains("<dt>Not fitted</dt><dd>" + notFitted.join(", ") + "</dd>"), !notFitted.isEmpty());
    }

    // What failed and why comes first, then the table, then the figures: a
    // latency chart only where calls were enough to make one, and in the
    // outcome bar every outcome that happened, however rare.
    void htmlFailuresFirst()
    {
        Run r;
        r.call(Tally::Failed, "no card", "card-number", "VRK_ReadCarNo");
        for (int i = 0; i < 99999; ++i)
            r.call(Tally::Succeeded, QString(), "card-number", "VRK_ReadCarNo");
        for (int i = 0; i < 19; ++i)
            r.call(Tally::Succeeded, QString(), "id-card", "VRK_IDCard_Read");
        r.summary.exitStatus = 1;
        const QString html = QString::fromUtf8(htmlReport(r.done()));

        int at = 0;
        for (const char *heading : {"<h2>What went wrong</h2>", "<h2 id=\"operations\">Operations</h2>",
                                    "<h2 id=\"latency\">Latency</h2>", "<h2>Over time</h2>"}) {
            const int next = html.indexOf(QLatin1String(heading));
            QVERIFY2(next > at, heading);
            at = next;
        }
        QCOMPARE(html.count("<div class=\"chart\">"), 1);
        QVERIFY(html.contains("<div class=\"chart\"><h3>card-number</h3>"));

        const QRegularExpression failed("<rect [^>]*width=\"([0-9.]+)\" height=\"8\" fill=\"#e58a1f\"/>");
        const QRegularExpressionMatch bar = failed.match(html);
        QVERIFY2(bar.hasMatch(), "no failure in the outcome bar");
        QVERIFY2(bar.captured(1).toDouble() >= 3, qPrintable(bar.captured(0)));
    }

    void htmlEveryReader_data()
    {
        QTest::addColumn<int>("zoom");   // in per cent
        QTest::addColumn<bool>("fits");  // every column heading within the window

        QTest::newRow("every column on the screen") << 100 << true;
        // As a reader who needs larger text has it; axe-core judges a table
        // that scrolls only where it does scroll.
        QTest::newRow("at 200 %, tables that scroll, from the keyboard too") << 200 << false;
    }

    // Every reader: in a window 600 px wide, the page passes WCAG 2 A and AA
    // and the best practices as axe-core checks them, with its tables fitting
    // the window and with its text twice as large, when they scroll. Then no
    // more than they scroll: the page is never wider than the window.
    void htmlEveryReader()
    {
        QFETCH(int, zoom);
        QFETCH(bool, fits);

        if (QStandardPaths::findExecutable("chromium").isEmpty())
            QSKIP("chromium is not installed");
        const QByteArray axe = axeCore();
        if (axe.isEmpty())
            QSKIP("axe-core is not installed and npm could not install it");
        QFile checker(QFINDTESTDATA("pagecheck.js"));
        QVERIFY(checker.open(QIODevice::ReadOnly));
        QByteArray page = burnInPage();
        page.replace("</head>", QStringLiteral("<style>html { zoom: %1% }</style>\n</head>").arg(zoom).toUtf8());
        page.replace("</body>", "<script>" + axe + "</script>\n<script>" + checker.readAll()
                                    + "</script>\n</body>");
        const QString dom = QString::fromUtf8(chromium(
            {"--window-size=600,2000", "--virtual-time-budget=60000", "--dump-dom"}, "check.html", page));
        const int start = dom.lastIndexOf("<pre id=\"pagecheck\">");
        QVERIFY2(start >= 0, "no result from axe-core within two minutes");
        const QString json = dom.mid(start + 20, dom.indexOf("</pre>", start) - start - 20)
                                 .replace("&lt;", "<").replace("&gt;", ">").replace("&nbsp;", QChar(0xa0))
                                 .replace("&amp;", "&");
        const QJsonObject result = QJsonDocument::fromJson(json.toUtf8()).object();
        QVERIFY2(result.value("violations").isArray(), qPrintable(json));
        QVERIFY2(result.value("violations").toArray().isEmpty(), qPrintable(json));
        // Less a scroll bar, if the window has one.
        QVERIFY2(result.value("width").toInt() > 560 && result.value("width").toInt() <= 600, qPrintable(json));
        QVERIFY2(result.value("pageWidth").toInt() <= result.value("width").toInt(), qPrintable(json));
        QVERIFY2(result.value("offScreen").toArray().isEmpty() == fits, qPrintable(json));
    }

    // On A4 upright, every heading of the table is on the page, in its row.
    void htmlPrint()
    {
        if (QStandardPaths::findExecutable("chromium").isEmpty())
            QSKIP("chromium is not installed");
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed (poppler-utils)");
        const QString pdf = m_dir.filePath("report.pdf");
        chromium({"--print-to-pdf=" + pdf, "--no-pdf-header-footer"}, "print.html", burnInPage());
        const QString info = QString::fromUtf8(outputOf({"pdfinfo", pdf}));
        QVERIFY2(info.contains(QRegularExpression("Page size: +59[45](\\.[0-9]+)? x 84[12](\\.[0-9]+)? pts")),
                 qPrintable(info));

        // Soft hyphens, where a narrow screen may break a heading, are no text.
        const QStringList lines = QString::fromUtf8(outputOf({"pdftotext", "-layout", pdf, "-"}))
                                      .remove(QChar(0xad)).split('\n');
        const auto row = std::find_if(lines.begin(), lines.end(), [](const QString &line) {
            return line.contains(QRegularExpression("^ *Operation +Function "));
        });
        QVERIFY2(row != lines.end(), qPrintable(lines.join('\n')));
        int at = 0;
        for (const char *heading : {"Outcomes", "Calls", "Succeeded", "Failed", "Differs", "Implausible",
                                    "Contract"}) {
            at = row->indexOf(QLatin1String(heading), at);
            QVERIFY2(at > 0, qPrintable(heading + (": " + *row)));
        }
        QVERIFY2(std::any_of(row, lines.end(), [](const QString &line) {
                     return line.contains(QRegularExpression("^ *Operation +Min ms +Median ms +p95 ms +p99 ms +Max ms"));
                 }),
                 qPrintable(lines.join('\n')));
    }

    void timesAndRounds_data()
    {
        QTest::addColumn<int>("roundsAsked");  // 0: the time limit alone was to end the run
        QTest::addColumn<bool>("timeUp");
        QTest::addColumn<QString>("rounds");   // as both reports give them

        QTest::newRow("counted rounds") << 500 << false << "57 of 500";
        QTest::newRow("rounds that the time ended") << 0 << true << "57";
    }

    // When the run started and ended and how long it took, by the clock that
    // no clock change moves, and how many rounds it made of how many.
    void timesAndRounds()
    {
        QFETCH(int, roundsAsked);
        QFETCH(bool, timeUp);
        QFETCH(QString, rounds);

        Run r;
        r.calls("ss");
        RunSummary &summary = r.summary;
        summary.rounds = 57;
        summary.roundsAsked = roundsAsked;
        summary.timeLimitMs = timeUp ? 8 * 3600 * 1000 : 0;
        summary.timeUp = timeUp;
        summary.startTimeMs = 1700000000000;
        summary.endTimeMs = summary.startTimeMs + 8 * 3600 * 1000 + 1500;
        summary.elapsedMs = 8 * 3600 * 1000 + 1234;
        const QString timeLimit = timeUp ? QStringLiteral(", time up after 8h") : QString();

        QMap<QString, QString> properties;
        QXmlStreamReader xml(junitReport(r.done()));
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement
                && xml.name() == QLatin1String("property"))
                properties.insert(xml.attributes().value("name").toString(),
                                  xml.attributes().value("value").toString());
        }
        QCOMPARE(properties.value("started"), localTime(summary.startTimeMs));
        QCOMPARE(properties.value("ended"), localTime(summary.endTimeMs));
        QCOMPARE(properties.value("elapsed_seconds"), QStringLiteral("28801.234"));
        QCOMPARE(properties.value("rounds"), rounds);
        QCOMPARE(properties.value("time_limit"), timeUp ? QStringLiteral("8h, time up") : QString());

        const QString html = QString::fromUtf8(htmlReport(r.done()));
        for (const QString &fact : {"Started</dt><dd>" + localTime(summary.startTimeMs),
                                    "Ended</dt><dd>" + localTime(summary.endTimeMs),
                                    QStringLiteral("Elapsed</dt><dd>8:00:01.234"),
                                    "Rounds</dt><dd>" + rounds + timeLimit})
            QVERIFY2(html.contains("<dt>" + fact + "</dd>"), qPrintable(fact));
    }

    // The first hundred listed and every one counted; per operation the
    // first ten distinct, in the order they came.
    void notesKeepTheFirst()
    {
        std::unique_ptr<Notes> notes(new Notes());
        notes->add(Notes::Failure, 1, "id-card", "error 11");
        for (int i = 0; i < 150; ++i)
            notes->add(Notes::Failure, i + 1, "card-number", QStringLiteral("error %1").arg(i / 2 % 12));

        QCOMPARE(notes->count(Notes::Failure), std::uint64_t(151));
        QCOMPARE(notes->listedCount(Notes::Failure), 100);
        QCOMPARE(QString(notes->listedEntry(Notes::Failure, 0).text), QStringLiteral("error 11"));
        for (int i = 1; i < 100; ++i) {
            const Notes::Entry entry = notes->listedEntry(Notes::Failure, i);
            QCOMPARE(entry.round, i);
            QCOMPARE(QString(entry.text), QStringLiteral("error %1").arg((i - 1) / 2 % 12));
        }
        QCOMPARE(notes->distinctTexts("card-number", Notes::Failure),
                 (QStringList{"error 0", "error 1", "error 2", "error 3", "error 4", "error 5", "error 6",
                              "error 7", "error 8", "error 9"}));
        QCOMPARE(notes->distinctTexts("id-card", Notes::Failure), QStringList{"error 11"});

        // A message longer than is kept is cut between characters, and says so.
        notes->add(Notes::Difference, 1, "id-card", 'a' + QString(400, QChar(0x5f20)));
        const QByteArray cut(notes->listedEntry(Notes::Difference, 0).text);
        QVERIFY2(cut.endsWith("… (cut, 1201 bytes in all)"), cut.constData());
        QVERIFY(QString::fromUtf8(cut).toUtf8() == cut);
        QVERIFY(cut.startsWith('a' + QString(50, QChar(0x5f20)).toUtf8()));
    }

    void timelineKeepsEveryCall_data()
    {
        QTest::addColumn<int>("calls");
        QTest::addColumn<long long>("everyMs");

        QTest::newRow("a day, a call a second") << 86400 << 1000LL;
        QTest::newRow("a few calls days apart") << 5 << 3LL * 24 * 3600 * 1000;
    }

    // However long the run, its points (at most 1000) cover it, merged as
    // it grows, and still hold every call with its outcome.
    void timelineKeepsEveryCall()
    {
        QFETCH(int, calls);
        QFETCH(long long, everyMs);

        std::unique_ptr<Timeline> timeline(new Timeline());
        std::uint64_t outcomes[Tally::outcomes] = {};
        const auto duration = [](int call) { return 1.0 + (call * 7919) % 1000; };
        for (int i = 0; i < calls; ++i) {
            const Tally::Outcome outcome = Tally::Outcome(i % 17 == 0 ? i % Tally::outcomes : 0);
            timeline->add(everyMs * i, outcome, duration(i));
            ++outcomes[outcome];
        }
        // Each point's slowest call is the slowest of all it covers.
        std::vector<double> slowest(std::size_t(timeline->count()), 0.0);
        for (int i = 0; i < calls; ++i) {
            double &point = slowest[std::size_t(everyMs * i / timeline->width())];
            point = std::max(point, duration(i));
        }
        for (int i = 0; i < timeline->count(); ++i)
            QCOMPARE(timeline->at(i).maxMs, slowest[std::size_t(i)]);

        QCOMPARE(timeline->count(), int(everyMs * (calls - 1) / timeline->width()) + 1);
        for (int i = 0; i < timeline->count(); ++i) {
            calls -= int(timeline->at(i).calls);
            for (int o = 0; o < Tally::outcomes; ++o)
                outcomes[o] -= timeline->at(i).outcomes[o];
        }
        QCOMPARE(calls, 0);
        QVERIFY(std::all_of(std::begin(outcomes), std::end(outcomes), [](std::uint64_t n) { return n == 0; }));
    }

    void privateFile_data()
    {
        QTest::addColumn<QString>("path");  // in a new directory
        QTest::addColumn<int>("umask");
        QTest::addColumn<QString>("refused");

        QTest::newRow("under a umask that takes the owner's writing away") << "report.html" << 0277 << "";
        QTest::newRow("refused where no file can be made")
            << "/sys/report.html" << 022 << "cannot create a file in /sys";
        QTest::newRow("refused for a directory") << "." << 022 << "it is a directory";
        QTest::newRow("refused for a FIFO") << "fifo" << 022 << "it is not a regular file";
        // As a full disk would: tried at start, it fails only at the end.
        QTest::newRow("cut short by the file size limit") << "report.html" << 022
            << "cannot write it: File too large";
    }

    // Written whole and readable by its owner alone, or refused both before
    // the first call and at the end; nothing is left beside it.
    void privateFile()
    {
        QFETCH(QString, path);
        QFETCH(int, umask);
        QFETCH(QString, refused);

        QTemporaryDir dir;
        const QString target = path.startsWith('/') ? path : dir.filePath(path);
        if (path == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(target).constData(), 0600) == 0);
        const mode_t before = ::umask(mode_t(umask));
        QString why;
        const bool can = canWritePrivateFile(target, why);
        const bool full = refused.contains("too large");
        rlimit limit;
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit cut = {8, limit.rlim_max};
        const auto signal = std::signal(SIGXFSZ, SIG_IGN);
        if (full)
            ::setrlimit(RLIMIT_FSIZE, &cut);
        const bool written = writePrivateFile(target, "<p>card data</p>\n", why);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, signal);
        ::umask(before);

        QCOMPARE(can, refused.isEmpty() || full);
        QCOMPARE(written, refused.isEmpty());
        QVERIFY2(why.contains(refused), qPrintable(why));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                 written || path == "fifo" ? QStringList{path} : QStringList());
        if (!written)
            return;
        struct stat status;
        QVERIFY(::stat(QFile::encodeName(target).constData(), &status) == 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0600));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("<p>card data</p>\n"));
    }
};

QTEST_MAIN(tst_Reports)
#include "tst_reports.moc"
