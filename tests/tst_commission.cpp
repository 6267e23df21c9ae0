// A technician commissioning a terminal with cardreader-cli, through a
// terminal of the test's own, on the simulated reader scripted to fail,
// differ and wait: what they read, what the session keeps, and that a
// session cut short in any way resumes with nothing lost or made twice.

#include "childprocess.h"
#include "terminal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray idCardAnswer =
    "VRK_IDCard_Read 0 \"李演示\" \"女\" \"汉\" \"19920315\" \"福建省演示市示例区演示街道示例路88号\" "
    "\"350000199203150000\" \"福建省演示市公安局示例区分局\" \"20200101-20400101\" \"20400101\"\n";

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The functions the simulated reader was called with, in order, but the
// opening of the device, which every run makes.
QStringList callsMade(const QString &log)
{
    QStringList calls;
    for (const QByteArray &line : readFile(log).split('\n')) {
        const QString function = QString::fromUtf8(line.split(' ').first());
        if (!function.isEmpty() && function != "VRK_OpenDev")
            calls << function;
    }
    return calls;
}

QJsonObject sessionOf(const QString &bundle)
{
    return QJsonDocument::fromJson(readFile(bundle + "/session.json")).object();
}

} // namespace

class tst_Commission : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void technicianTypes();
    void resumes_data();
    void resumes();
    void resumeRefused_data();
    void resumeRefused();
    void recordFinishedOnResume();
    void oneRunAFolder();
    void sessionThatCannotBeKeptEnds();
    void hangKeptAndOfferedAgain();
    void waitShown();
    void verdictLoggedWithoutALibrary();
    void refusedBeforeAnything_data();
    void refusedBeforeAnything();

private:
    QStringList command(const QStringList &arguments) const;
    bool startSession(Terminal &terminal) const;
    void leaveAtStepTwo();
    QMap<QString, QString> variables() const;

    QScopedPointer<QTemporaryDir> m_directory;
    QString m_bundle;
};

void tst_Commission::init()
{
    m_directory.reset(new QTemporaryDir);
    QVERIFY(m_directory->isValid());
    m_bundle = m_directory->filePath("bundle");
}

QStringList tst_Commission::command(const QStringList &arguments) const
{
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    return command << CLI << arguments << "--history" << m_directory->filePath("history");
}

QMap<QString, QString> tst_Commission::variables() const
{
    return {{"VRK_SIM_SCRIPT", m_directory->filePath("script")},
            {"VRK_SIM_LOG", m_directory->filePath("calls")},
            {"LC_ALL", ""},
            {"LC_MESSAGES", ""},
            {"LANGUAGE", ""},
            {"LANG", "C.UTF-8"},
            {"NO_COLOR", "1"}};
}

// The plan in the folder, on a terminal, the operator and work order given.
bool tst_Commission::startSession(Terminal &terminal) const
{
    return terminal.start(command({"commission", "--plan", m_directory->filePath("plan"),
                                   "--bundle", m_bundle, "--operator", "Wang", "--work-order",
                                   "WO-17"}),
                          variables());
}

void tst_Commission::technicianTypes()
{
    // As a Windows editor saves it: a byte order mark and CRLF lines.
    writeFile(m_directory->filePath("plan"),
              "\xEF\xBB\xBF# the counter's reader: no PIN pad\r\n"
              "device 21\r\n"
              "expect expected\r\n"
              "step id-card \"Place the identity card.\"\r\n"
              "step bank-chip \"Insert the bank card.\"\r\n"
              "step tracks optional \"Swipe the stripe card.\"\r\n"
              "step scan-auto\r\n"
              "not-fitted pin\r\n");
    // A retry is compared with the answer its first attempt was: the next
    // identity card read would be another card.
    writeFile(m_directory->filePath("expected"),
              idCardAnswer + "VRK_ICBankCard_ReadNO 0 \"6200000000000000018\"\n"
                  + QByteArray(idCardAnswer).replace("李演示", "王演示"));
    writeFile(m_directory->filePath("script"),
              "VRK_IDCard_Read -1 error=\"no card\"\n" + idCardAnswer);

    Terminal terminal;
    QVERIFY(terminal.start(command({"commission", "--plan", m_directory->filePath("plan"),
                                    "--bundle", m_bundle}),
                           variables()));
    QVERIFY(terminal.waitFor("Operator: "));
    terminal.type("Wang");
    QVERIFY(terminal.waitFor("Work order: "));
    terminal.type("WO-17");
    QVERIFY(terminal.waitFor("Step 1 of 5: id-card"));
    QVERIFY(terminal.waitFor("Place the identity card."));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("c");
    QVERIFY(terminal.waitFor("Comment: "));
    terminal.type("corner \"bent\"\tC:\\cards");
    QVERIFY(terminal.waitFor("> "));
    terminal.type("s");
    QVERIFY(terminal.waitFor("This step may not be skipped"));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("");
    QVERIFY(terminal.waitFor("failed with -1"));
    QVERIFY2(terminal.waitFor("Present the card as asked, then retry"), terminal.shown.constData());
    QVERIFY(terminal.waitFor("r: retry"));
    terminal.type("r");
    QVERIFY(terminal.waitFor("id-card (VRK_IDCard_Read): ok"));
    QVERIFY(terminal.waitFor("Step 2 of 5: bank-chip"));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("");
    QVERIFY(terminal.waitFor("Is it the right test card?"));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("");
    QVERIFY(terminal.waitFor("Step 3 of 5: tracks"));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("s");
    QVERIFY(terminal.waitFor("Why is it skipped? "));
    terminal.type("");
    QVERIFY(terminal.waitFor("Why is it skipped? "));
    terminal.type("no stripe card at hand");
    QVERIFY(terminal.waitFor("Step 4 of 5: scan-auto"));
    QCOMPARE(terminal.finish(), 5);
    QVERIFY2(terminal.shown.contains("FAILED on the simulated reader: 1 answer differs (bank-chip); "
                                     "1 step skipped (tracks)"),
             terminal.shown.constData());
    QVERIFY(terminal.shown.contains("not fitted: pin"));

    QCOMPARE(callsMade(m_directory->filePath("calls")),
             QStringList({"VRK_IDCard_Read", "VRK_IDCard_Read", "VRK_ICBankCard_ReadNO",
                          "VRK_ECard_SetAutoRead"}));
    const QJsonObject session = sessionOf(m_bundle);
    QCOMPARE(session.value("operator").toString(), QString("Wang"));
    QCOMPARE(session.value("work_order").toString(), QString("WO-17"));
    const QJsonArray steps = session.value("steps").toArray();
    QCOMPARE(steps.size(), 5);
    const QJsonObject idCard = steps[0].toObject();
    QCOMPARE(idCard.value("attempts").toArray().size(), 2);
    QCOMPARE(idCard.value("comments").toArray(), QJsonArray({"corner \"bent\"\tC:\\cards"}));
    QCOMPARE(idCard.value("state").toString(), QString("done"));
    QCOMPARE(steps[2].toObject().value("state").toString(), QString("skipped"));
    QCOMPARE(steps[2].toObject().value("reason").toString(), QString("no stripe card at hand"));
    QCOMPARE(steps[4].toObject().value("state").toString(), QString("not-fitted"));
    // Both attempts are on record; the step counts as its last.
    const QByteArray output = readFile(m_bundle + "/output.txt");
    QCOMPARE(output.count("id-card (VRK_IDCard_Read)"), 2);
    QVERIFY(output.contains("FAILED on the simulated reader"));
}

void tst_Commission::resumes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("left with q at a prompt") << "q";
    QTest::newRow("hung up at a prompt, as a lost SSH connection") << "hang up";
    QTest::newRow("power cut between steps") << "power cut";
}

void tst_Commission::resumes()
{
    QFETCH(QString, how);
    writeFile(m_directory->filePath("plan"), "step id-card \"Place the identity card.\"\n"
                                             "step bank-chip \"Insert the bank card.\"\n"
                                             "step scan \"Show the QR code.\"\n");
    writeFile(m_directory->filePath("script"), QByteArray());
    Terminal terminal;
    QVERIFY(startSession(terminal));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("");
    QVERIFY(terminal.waitFor("Step 2 of 3: bank-chip"));
    QVERIFY(terminal.waitFor("> "));
    if (how == "q") {
        terminal.type("q");
        QVERIFY(terminal.waitFor("commission --resume " + m_bundle.toUtf8()));
        QVERIFY(terminal.waitFor("STOPPED on the simulated reader: 2 of 2 calls succeeded, every "
                                 "answer plausible so far; 2 steps left, to resume"));
    } else if (how == "hang up") {
        terminal.hangUp();
    } else {
        terminal.cutPower();
    }
    QVERIFY(terminal.finish() != -2);
    QCOMPARE(sessionOf(m_bundle).value("next").toInt(), 1);

    ChildProcess resumed(m_directory->path());
    QVERIFY(resumed.start(command({"commission", "--resume", m_bundle, "--yes"}), variables()));
    QVERIFY(resumed.finish());
    QVERIFY2(resumed.exitCode == 0, resumed.err.constData());
    QCOMPARE(callsMade(m_directory->filePath("calls")),
             QStringList({"VRK_IDCard_Read", "VRK_ICBankCard_ReadNO", "VRK_ECard_Read"}));
    QCOMPARE(sessionOf(m_bundle).value("next").toInt(), 3);
    // The summary of the whole session, the step made before the break too.
    QVERIFY2(resumed.out.contains("PASSED on the simulated reader: no terminal was checked; 4 of 4"),
             resumed.out.constData());
    QVERIFY(resumed.out.contains("operator: Wang"));
    const QByteArray junit = readFile(m_bundle + "/report.xml");
    QCOMPARE(junit.count("<testcase "), 4);

    ChildProcess check(m_directory->path());
    QVERIFY(check.start({"/bin/sh", "-c", "cd \"$0\" && sha256sum -c --quiet SHA256SUMS", m_bundle},
                        {}));
    QVERIFY(check.finish());
    QVERIFY2(check.exitCode == 0, check.out + check.err);

    ChildProcess again(m_directory->path());
    QVERIFY(again.start(command({"commission", "--resume", m_bundle, "--yes"}), variables()));
    QVERIFY(again.finish());
    QCOMPARE(again.exitCode, 2);
    QVERIFY(again.err.contains("is finished"));
}

// A session of three steps, the first made, left with q at the second.
void tst_Commission::leaveAtStepTwo()
{
    writeFile(m_directory->filePath("plan"), "step id-card \"Place the identity card.\"\n"
                                             "step bank-chip \"Insert the bank card.\"\n"
                                             "step scan \"Show the QR code.\"\n");
    writeFile(m_directory->filePath("script"), QByteArray());
    writeFile(m_directory->filePath("expected"), idCardAnswer);
    Terminal terminal;
    QVERIFY(terminal.start(command({"commission", "--plan", m_directory->filePath("plan"),
                                    "--expect", m_directory->filePath("expected"), "--bundle",
                                    m_bundle, "--operator", "Wang", "--work-order", "WO-17"}),
                           variables()));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("");
    QVERIFY(terminal.waitFor("Step 2 of 3"));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("q");
    QCOMPARE(terminal.finish(), 0);
}

// A session goes on only with what it began with: its plan, its expected
// answers and its library, each by its SHA-256, and a session file this
// program could have written. Nothing is called when it is refused.
void tst_Commission::resumeRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("libraries");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("the expected answers edited in the folder")
        << "expected.txt" << QByteArray("李演示") << QByteArray("王演示") << QString()
        << QByteArray("the expected answers kept in");
    QTest::newRow("the next step moved past one never made")
        << "session.json" << QByteArray("\"next\":1") << QByteArray("\"next\":2") << QString()
        << QByteArray("is damaged: its steps do not match its next one");
    QTest::newRow("an outcome no report knows")
        << "session.json" << QByteArray("\"outcome\":0") << QByteArray("\"outcome\":42")
        << QString() << QByteArray("is not a session this program keeps");
    QTest::newRow("another library found where the first was")
        << QString() << QByteArray() << QByteArray() << QString(BADREADER_DIR)
        << QByteArray("the session began with the library");
}

void tst_Commission::resumeRefused()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, libraries);
    QFETCH(QByteArray, said);
    leaveAtStepTwo();
    if (!file.isEmpty()) {
        const QString path = m_bundle + '/' + file;
        const QByteArray content = readFile(path);
        QVERIFY2(content.contains(from), content.constData());
        writeFile(path, QByteArray(content).replace(from, to));
    }
    QMap<QString, QString> environment = variables();
    if (!libraries.isEmpty())
        environment.insert("LD_LIBRARY_PATH", libraries);
    ChildProcess resumed(m_directory->path());
    QVERIFY(resumed.start(command({"commission", "--resume", m_bundle, "--yes"}), environment));
    QVERIFY(resumed.finish());
    QCOMPARE(resumed.exitCode, 2);
    QVERIFY2(resumed.err.contains(said), resumed.err.constData());
    QCOMPARE(callsMade(m_directory->filePath("calls")), QStringList({"VRK_IDCard_Read"}));
}

// The power went as the last step ended, before the record was made: the
// session finishes it, with no call made again.
void tst_Commission::recordFinishedOnResume()
{
    writeFile(m_directory->filePath("plan"), "step id-card\nstep bank-chip\n");
    writeFile(m_directory->filePath("script"), QByteArray());
    ChildProcess first(m_directory->path());
    QVERIFY(first.start(command({"commission", "--yes", "--plan", m_directory->filePath("plan"),
                                 "--bundle", m_bundle}),
                        variables()));
    QVERIFY(first.finish());
    QCOMPARE(first.exitCode, 0);
    QVERIFY(QFile::remove(m_bundle + "/SHA256SUMS"));
    ChildProcess resumed(m_directory->path());
    QVERIFY(resumed.start(command({"commission", "--resume", m_bundle, "--yes"}), variables()));
    QVERIFY(resumed.finish());
    QVERIFY2(resumed.exitCode == 0, resumed.err.constData());
    QVERIFY2(resumed.out.contains("PASSED on the simulated reader: no terminal was checked; 2 of 2"),
             resumed.out.constData());
    QCOMPARE(callsMade(m_directory->filePath("calls")),
             QStringList({"VRK_IDCard_Read", "VRK_ICBankCard_ReadNO"}));
    QVERIFY(QFileInfo::exists(m_bundle + "/SHA256SUMS"));
}

// Two runs at one folder would make every call twice.
void tst_Commission::oneRunAFolder()
{
    writeFile(m_directory->filePath("plan"), "step id-card \"Place the identity card.\"\n");
    writeFile(m_directory->filePath("script"), QByteArray());
    Terminal terminal;
    QVERIFY(startSession(terminal));
    QVERIFY(terminal.waitFor("> "));
    ChildProcess second(m_directory->path());
    QVERIFY(second.start(command({"commission", "--resume", m_bundle, "--yes"}), variables()));
    QVERIFY(second.finish());
    QCOMPARE(second.exitCode, 2);
    QVERIFY2(second.err.contains("another cardreader-cli keeps its record in"),
             second.err.constData());
    terminal.type("q");
    QCOMPARE(terminal.finish(), 0);
    QCOMPARE(callsMade(m_directory->filePath("calls")), QStringList());
}

// A session that can no longer be kept would be lost at the next power cut:
// it ends, and the run says its output failed.
void tst_Commission::sessionThatCannotBeKeptEnds()
{
    writeFile(m_directory->filePath("plan"), "step id-card \"Place the identity card.\"\n"
                                             "step bank-chip \"Insert the bank card.\"\n");
    writeFile(m_directory->filePath("script"), QByteArray());
    Terminal terminal;
    QVERIFY(startSession(terminal));
    QVERIFY(terminal.waitFor("> "));
    QVERIFY(QFile::remove(m_bundle + "/session.json"));
    QVERIFY(QDir().mkpath(m_bundle + "/session.json/in-the-way"));
    terminal.type("");
    QVERIFY(terminal.waitFor("cannot save the session"));
    QCOMPARE(terminal.finish(), 4);
    QVERIFY2(!terminal.shown.contains("Step 2 of 2"), terminal.shown.constData());
    QVERIFY2(terminal.shown.contains("FAILED on the simulated reader"), terminal.shown.constData());
}

void tst_Commission::hangKeptAndOfferedAgain()
{
    writeFile(m_directory->filePath("plan"), "step id-card \"Place the identity card.\"\n"
                                             "step bank-chip \"Insert the bank card.\"\n");
    writeFile(m_directory->filePath("script"), "VRK_IDCard_Read 0 delay=5000\n");
    ChildProcess hung(m_directory->path());
    QVERIFY(hung.start(command({"commission", "--yes", "--timeout", "1", "--plan",
                                m_directory->filePath("plan"), "--bundle", m_bundle}),
                       variables()));
    QVERIFY(hung.finish());
    QCOMPARE(hung.exitCode, 3);
    QVERIFY2(hung.err.contains("The call did not return in time")
                 && hung.err.contains("To go on: cardreader-cli commission --resume " + m_bundle.toUtf8()),
             hung.err.constData());
    QJsonObject session = sessionOf(m_bundle);
    QCOMPARE(session.value("next").toInt(), 0);
    QCOMPARE(session.value("steps").toArray()[0].toObject().value("attempts").toArray().size(), 1);

    writeFile(m_directory->filePath("script"), QByteArray());
    ChildProcess resumed(m_directory->path());
    QVERIFY(resumed.start(command({"commission", "--resume", m_bundle, "--yes"}), variables()));
    QVERIFY(resumed.finish());
    QVERIFY2(resumed.exitCode == 0, resumed.out + resumed.err);
    QCOMPARE(callsMade(m_directory->filePath("calls")),
             QStringList({"VRK_IDCard_Read", "VRK_IDCard_Read", "VRK_ICBankCard_ReadNO"}));
    session = sessionOf(m_bundle);
    QCOMPARE(session.value("steps").toArray()[0].toObject().value("attempts").toArray().size(), 2);
}

void tst_Commission::waitShown()
{
    writeFile(m_directory->filePath("plan"), "step id-card \"Place the identity card.\"\n");
    writeFile(m_directory->filePath("script"), "VRK_IDCard_Read -1 error=\"none\" delay=2300\n");
    Terminal terminal;
    QVERIFY(startSession(terminal));
    QVERIFY(terminal.waitFor("> "));
    terminal.type("");
    QVERIFY(terminal.waitFor("waiting for the reader: 1 s"));
    QVERIFY(terminal.waitFor("waiting for the reader: 2 s"));
    QVERIFY(terminal.waitFor("r: retry"));
    terminal.type("q");
    // Left unfinished, the failed call still counts in what the run says.
    QCOMPARE(terminal.finish(), 1);
    QVERIFY2(terminal.shown.contains("FAILED on the simulated reader: 1 call failed (id-card); "
                                     "1 step left, to resume"),
             terminal.shown.constData());
}

// A terminal whose library cannot even be loaded failed its check: the
// history says so, as it says every verdict.
void tst_Commission::verdictLoggedWithoutALibrary()
{
    writeFile(m_directory->filePath("not-a-library.so"), "not an ELF file\n");
    ChildProcess child(m_directory->path());
    QVERIFY(child.start(command({"--library", m_directory->filePath("not-a-library.so"),
                                 "card-number"}),
                        variables()));
    QVERIFY(child.finish());
    QCOMPARE(child.exitCode, 3);
    const QByteArray history = readFile(m_directory->filePath("history"));
    QVERIFY2(history.contains("\"verdict\":\"FAILED\""), history.constData());
}

// Refused before anything is touched: no folder made, no call.
void tst_Commission::refusedBeforeAnything_data()
{
    QTest::addColumn<QByteArray>("plan");  // none: the default plan, prompted
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("no terminal to prompt, and no --yes")
        << QByteArray() << QByteArray("needs a terminal on standard input; --yes runs every step "
                                      "unprompted");
    QTest::newRow("a mistyped operation")
        << QByteArray("step id-card\nstep id-crad \"Place it.\"\n")
        << QByteArray("line 2: unknown operation \"id-crad\"");
    QTest::newRow("a mistyped keyword")
        << QByteArray("# ours\n\nstpe id-card\n") << QByteArray("line 3: unknown keyword \"stpe\"");
    QTest::newRow("a step also not fitted")
        << QByteArray("step pin\nnot-fitted pin\n") << QByteArray("pin is both a step and not fitted");
    QTest::newRow("a model that does not exist")
        << QByteArray("device 20\nstep pin\n") << QByteArray("line 1: the device type must be 21 or 19");
    QTest::newRow("words after the prompt")
        << QByteArray("step pin \"Enter the PIN.\" now\n") << QByteArray("line 1: unexpected \"now\" at the end");
    QTest::newRow("nothing fitted, which would pass a terminal never checked")
        << QByteArray("device 21\nnot-fitted pin\n") << QByteArray("has no step to run");
    QTest::newRow("a prompt that would drive the terminal")
        << QByteArray("step pin \"Enter the PIN.\\x1b]0;title\\x07\"\n")
        << QByteArray("line 1: the prompt holds a control character");
}

void tst_Commission::refusedBeforeAnything()
{
    QFETCH(QByteArray, plan);
    QFETCH(QByteArray, said);
    QStringList arguments{"commission", "--bundle", m_bundle};
    if (!plan.isEmpty()) {
        writeFile(m_directory->filePath("plan"), plan);
        arguments << "--yes" << "--plan" << m_directory->filePath("plan");
    }
    ChildProcess child(m_directory->path());
    QVERIFY(child.start(command(arguments), variables()));
    QVERIFY(child.finish());
    QCOMPARE(child.exitCode, 2);
    QVERIFY2(child.err.contains(said), child.err.constData());
    QVERIFY(!QFileInfo::exists(m_bundle));
    QCOMPARE(callsMade(m_directory->filePath("calls")), QStringList());
}

QTEST_MAIN(tst_Commission)
#include "tst_commission.moc"
