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
        return summary;
    }

    // Too large for the stack: their size is fixed for a burn-in of days.
    std::unique_ptr<Tally> tally{new Tally()};
    std::unique_ptr<Notes> notes{new Notes()};
    RunSummary summary;
};

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
        ChildProcess child(m_dir.path());
        if (!child.start(command << file.fileName(), {}) || !child.finish() || child.exitCode != 0)
            qWarning("%s: %s", qPrintable(command.first()), child.err.constData());
        return child.out;
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
        const QString chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty())
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
        const QString dom = QString::fromUtf8(
            readWith({"timeout", "60", chromium, "--headless", "--no-sandbox", "--disable-gpu",
                      "--user-data-dir=" + m_dir.filePath("profile"), "--dump-dom"},
                     "report.html", html));
        QVERIFY2(dom.contains("</table>"), "no page from Chromium within a minute");

        // Each row's operation, function, outcome bar, calls, succeeded,
        // failed, differs, implausible, contract, then the durations.
        const int body = dom.indexOf("<tbody>");
        const QStringList rows = dom.mid(body, dom.indexOf("</tbody>") - body).replace("</td>", "|")
                                     .remove(QRegularExpression("<[^>]*>")).trimmed().split('\n');
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows[0].startsWith("card-number|VRK_ReadCarNo||13|7|3|2|1|0|3.000|"), qPrintable(rows[0]));
        QVERIFY2(rows[1].startsWith("id-card|VRK_IDCard_Read||5|4|0|0|0|1|3.000|"), qPrintable(rows[1]));
        QVERIFY2(!dom.contains("<img"), qPrintable(dom));
        QVERIFY(dom.contains("&lt;img src=x onerror=alert(1)&gt;"));
        // The library's own "&lt;" shows as those four characters.
        QVERIFY2(dom.contains("expected \"&amp;lt;\""), qPrintable(dom));
    }

    // The first hundred listed and every one counted; per operation the
    // first ten distinct, in the order they came.
    void htmlVerdict_data()
    {
        QTest::addColumn<QByteArray>("outcomes");  // a letter a call, "sfidc"
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QString>("verdict");

        QTest::newRow("every call succeeded") << QByteArray("ss") << 0 << "pass";
        QTest::newRow("stopped by the operator, nothing wrong") << QByteArray("ss") << 130 << "stopped";
        QTest::newRow("stopped by the operator after calls failed") << QByteArray("sf") << 130 << "fail";
    }

    // The banner's word says how the run went, whatever stopped it.
    void htmlVerdict()
    {
        QFETCH(QByteArray, outcomes);
        QFETCH(int, exitStatus);
        QFETCH(QString, verdict);

        Run r;
        r.calls(outcomes);
        r.summary.exitStatus = exitStatus;
        const QString html = QString::fromUtf8(htmlReport(r.done()));
        QVERIFY2(html.contains("<header class=\"verdict " + verdict + "\">"), qPrintable(html.left(2000)));
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
