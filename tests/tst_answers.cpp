#include "childprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>

// cardreader-cli judging what the answers say, not only how they were
// given: against the answers expected of the terminal, and for what no
// genuine card could hold. The simulated reader's scripts play readers that
// misread.
class tst_Answers : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void wrongAnswers_data();
    void wrongAnswers();
    void verdicts_data();
    void verdicts();
    void recordingCheckedAgainstItself();
    void savedAnswersServeAsExpected();
    void refusedBeforeAnyCall_data();
    void refusedBeforeAnyCall();
    void countedEverywhere();
    void reportsHoweverTheRunEnds_data();
    void reportsHoweverTheRunEnds();
    void reportThatCannotBeWrittenSaidOnce();

private:
    // stopAfterMs: SIGTERM then; outputPath: where standard output goes.
    ChildProcess run(const QStringList &arguments, const QMap<QString, QString> &variables = {},
                     int stopAfterMs = 0, const QString &outputPath = QString());
    QString path(const QString &name) const { return directory->filePath(name); }
    void write(const QString &name, const QByteArray &content);

    QScopedPointer<QTemporaryDir> directory;
};

namespace {

// An identity card read as the simulated reader's script gives it: name,
// sex, ethnic group, date of birth, place of birth, identity card number,
// issuing authority, validity period and its end.
QByteArray idCard(const QByteArray &name, const QByteArray &sex, const QByteArray &birthDate,
                  const QByteArray &number, const QByteArray &validity = "20200101-20400101",
                  const QByteArray &validUntil = "20400101")
{
    return "VRK_IDCard_Read 0 \"" + name + "\" \"" + sex + "\" \"汉\" \"" + birthDate
        + "\" \"福建省演示市\" \"" + number + "\" \"演示市公安局\" \"" + validity + "\" \""
        + validUntil + "\"\n";
}

// 350000199001010018 is a valid number of a man born on 1 January 1990.
const QByteArray goodIdCard = idCard("张演示", "男", "19900101", "350000199001010018");

// The identity card of a man born on the date, his number with its check
// character.
QByteArray bornOn(const QDate &date)
{
    const QByteArray birth = date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    QByteArray number = "350000" + birth + "001";
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (number[i] - '0') * weights[i];
    number += "10X98765432"[sum % 11];
    return idCard("张演示", "男", birth, number);
}

} // namespace

void tst_Answers::init()
{
    directory.reset(new QTemporaryDir);
    QVERIFY(directory->isValid());
}

ChildProcess tst_Answers::run(const QStringList &arguments,
                              const QMap<QString, QString> &variables, int stopAfterMs,
                              const QString &outputPath)
{
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    ChildProcess child(directory->path());
    child.outputPath = outputPath;
    if (!child.start(command << CLI << arguments, variables))
        qWarning("could not run %s", CLI);
    if (stopAfterMs > 0) {
        QTest::qWait(stopAfterMs);
        child.interrupt(SIGTERM);
    }
    if (!child.finish())
        qWarning("could not run %s", CLI);
    return child;
}

void tst_Answers::write(const QString &name, const QByteArray &content)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void tst_Answers::wrongAnswers_data()
{
    QTest::addColumn<QByteArray>("script");    // how the reader answers
    QTest::addColumn<QByteArray>("expected");  // the answers expected, if any
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("judged");   // every judgement, in order
    QTest::addColumn<int>("exitCode");

    const QByteArray misread("VRK_ICBankCard_ReadNO 0 \"6222021234567890129\"\n");
    QTest::newRow("name and sex swapped")
        << idCard("男", "张演示", "19900101", "350000199001010018") << goodIdCard
        << QStringList{"id-card"}
        << QStringList{"differs: name: expected \"张演示\", got \"男\"",
                       "differs: sex: expected \"男\", got \"张演示\""}
        << 5;
    QTest::newRow("a bank card digit misread, worse than a failed call")
        << "VRK_ReadCarNo -1\n" + misread << QByteArray()
        << QStringList{"card-number", "bank-chip"}
        << QStringList{"implausible: card number 6222021234567890129: "} << 5;
    QTest::newRow("a broken contract, worse than a wrong answer")
        << "VRK_ReadCarNo 0 \"\\xff\"\n" + misread << QByteArray()
        << QStringList{"card-number", "bank-chip"}
        << QStringList{"implausible: card number 6222021234567890129: "} << 3;
    QTest::newRow("wrong identity card check character")
        << idCard("张演示", "男", "19900101", "350000199001010019") << QByteArray()
        << QStringList{"id-card"}
        << QStringList{"implausible: identity card number 350000199001010019: check character"
                       " should be 8"}
        << 5;
    QTest::newRow("date of birth not the identity card number's")
        << idCard("张演示", "男", "1990-01-02", "350000199001010018") << QByteArray()
        << QStringList{"id-card"} << QStringList{"implausible: date of birth 1990-01-02: "} << 5;
    QTest::newRow("sex not the identity card number's")
        << idCard("张演示", "女", "19900101", "350000199001010018") << QByteArray()
        << QStringList{"id-card"} << QStringList{"implausible: sex 女"} << 5;
    QTest::newRow("validity starting after its end")
        << idCard("张演示", "男", "19900101", "350000199001010018", "20400101-20200101",
                  "20200101")
        << QByteArray() << QStringList{"id-card"}
        << QStringList{"implausible: validity period 20400101-20200101: "} << 5;
    // Today as the calendar on the wall has it, not a day or a month off.
    QTest::newRow("a holder born today") << bornOn(QDate::currentDate()) << QByteArray()
        << QStringList{"id-card"} << QStringList{} << 0;
    QTest::newRow("a holder born tomorrow") << bornOn(QDate::currentDate().addDays(1))
        << QByteArray() << QStringList{"id-card"} << QStringList{"is after today"} << 5;
    QTest::newRow("a failed bank card read, a failure only")
        << QByteArray("VRK_ICBankCard_ReadNO -1 \"6222021234567890129\"\n") << QByteArray()
        << QStringList{"bank-chip"} << QStringList{} << 1;
    QTest::newRow("a date in a form no rule knows")
        << idCard("张演示", "男", "1990年1月1日", "350000199001010018") << QByteArray()
        << QStringList{"id-card"} << QStringList{} << 0;
    QTest::newRow("plausibility turned off")
        << idCard("张演示", "男", "19900101", "350000199001010019") << QByteArray()
        << QStringList{"--no-plausibility", "id-card"} << QStringList{} << 0;
    QTest::newRow("a failure where success was expected")
        << QByteArray("VRK_ReadCarNo -1 error=\"无卡\"\n")
        << QByteArray("VRK_ReadCarNo 0 \"A1\"\n") << QStringList{"card-number"}
        << QStringList{"differs: result: expected 0, got -1"} << 5;
    QTest::newRow("the expected failure, its message aside")
        << QByteArray("VRK_ReadCarNo -1 \"junk\" error=\"无卡\"\n")
        << QByteArray("VRK_ReadCarNo -1 error=\"no card\"\n") << QStringList{"card-number"}
        << QStringList{} << 1;
    QTest::newRow("the int output")
        << QByteArray("VRK_ECard_Read 0 \"QR1\" output=3\n")
        << QByteArray("VRK_ECard_Read 0 \"QR1\" output=4\n") << QStringList{"scan"}
        << QStringList{"differs: output: expected 4, got 3"} << 5;
    QTest::newRow("no int output expected where the line gives none")
        << QByteArray("VRK_ECard_Read 0 \"QR1\" output=3\n")
        << QByteArray("VRK_ECard_Read 0 \"QR1\"\n") << QStringList{"scan"}
        << QStringList{} << 0;
    QTest::newRow("a success where a failure was expected, one difference")
        << QByteArray("VRK_IDCard_Read 0 \"张演示\" \"男\"\n")
        << QByteArray("VRK_IDCard_Read -1 error=\"无卡\"\n") << QStringList{"id-card"}
        << QStringList{"differs: result: expected -1, got 0"} << 5;
    QTest::newRow("the PIN's stand-in, a plain text elsewhere")
        << QByteArray("VRK_ReadCarNo 0 \"A1\"\n") << QByteArray("VRK_ReadCarNo 0 \"******\"\n")
        << QStringList{"card-number"}
        << QStringList{"differs: card_number: expected \"******\", got \"A1\""} << 5;
    QTest::newRow("a number turned round by direction marks cannot pass for the expected")
        << QByteArray("VRK_ICBankCard_ReadNO 0 \"\\xe2\\x80\\xae" "1900000000000000026\\xe2\\x80\\xac\"\n")
        << QByteArray("VRK_ICBankCard_ReadNO 0 \"6200000000000000091\"\n") << QStringList{"bank-chip"}
        << QStringList{"differs: card_number: expected \"6200000000000000091\", "
                       "got \"\\xe2\\x80\\xae" "1900000000000000026\\xe2\\x80\\xac\""}
        << 5;
    QTest::newRow("texts that look alike, told apart by their code points")
        << QByteArray("VRK_ReadCarNo 0 \"Jose\\xcc\\x81\"\n")
        << QByteArray("VRK_ReadCarNo 0 \"Jos\\xc3\\xa9\"\n") << QStringList{"card-number"}
        << QStringList{"(code points: expected U+004A U+006F U+0073 U+00E9, "
                       "got U+004A U+006F U+0073 U+0065 U+0301)"}
        << 5;
    QTest::newRow("a Cyrillic letter for a Latin one, told apart by its code point")
        << QByteArray("VRK_ReadCarNo 0 \"\\xd0\\x90" "BC\"\n")
        << QByteArray("VRK_ReadCarNo 0 \"ABC\"\n") << QStringList{"card-number"}
        << QStringList{"differs: card_number: expected \"ABC\", got \"\u0410BC\" (code points: "
                       "expected U+0041 U+0042 U+0043, got U+0410 U+0042 U+0043)"}
        << 5;
    QTest::newRow("a Kangxi radical for the character it looks like")
        << QByteArray("VRK_ReadCarNo 0 \"\xe2\xbc\x88\"\n")
        << QByteArray("VRK_ReadCarNo 0 \"\xe4\xba\xba\"\n") << QStringList{"card-number"}
        << QStringList{"(code points: expected U+4EBA, got U+2F08)"} << 5;
    // Only the code points about the difference, however long the value.
    const QString a(" U+0041");
    QTest::newRow("a long value that looks alike where it differs")
        << "VRK_ECard_Read 0 \"" + QByteArray(300, 'A') + "e\\xcc\\x81" + QByteArray(300, 'A') + "\"\n"
        << "VRK_ECard_Read 0 \"" + QByteArray(300, 'A') + "\\xc3\\xa9" + QByteArray(300, 'A') + "\"\n"
        << QStringList{"scan"}
        << QStringList{"(603 bytes) (code points: expected …" + a.repeated(4) + " U+00E9"
                       + a.repeated(7) + " …, got …" + a.repeated(4) + " U+0065 U+0301"
                       + a.repeated(6) + " …)"}
        << 5;
    QTest::newRow("a long value, shown where it differs")
        << "VRK_ECard_Read 0 \"" + QByteArray(300, 'A') + "B" + QByteArray(300, 'A') + "\"\n"
        << "VRK_ECard_Read 0 \"" + QByteArray(601, 'A') + "\"\n" << QStringList{"scan"}
        << QStringList{"differs: scan: expected …\"" + QString(16, 'A') + QString(32, 'A')
                       + "\"… (601 bytes), got …\"" + QString(16, 'A') + 'B' + QString(31, 'A')
                       + "\"… (601 bytes)"}
        << 5;
    QTest::newRow("a PIN shown when asked")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"1234\"\n")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"4321\"\n") << QStringList{"--show-pin", "pin"}
        << QStringList{"differs: key: expected \"4321\", got \"1234\""} << 5;
    QTest::newRow("a PIN, whose texts stay hidden")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"1234\"\n")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"4321\"\n") << QStringList{"pin"}
        << QStringList{"differs: key: differs from the expected text (--show-pin shows both)"}
        << 5;
    QTest::newRow("a PIN as recordings keep it, which stands for any")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"1234\"\n")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"******\"\n") << QStringList{"pin"}
        << QStringList{} << 0;
    QTest::newRow("a call that broke the contract still takes its line")
        << QByteArray("VRK_ReadCarNo 0 \"\\xff\"\nVRK_ReadCarNo 0 \"B\"\n")
        << QByteArray("VRK_ReadCarNo 0 \"A\"\nVRK_ReadCarNo 0 \"B\"\n")
        << QStringList{"card-number", "card-number"} << QStringList{} << 3;
    QTest::newRow("functions the expected answers leave out, named once")
        << QByteArray("VRK_ReadCarNo 0 \"A\"\nVRK_ICBankCard_ReadNO 0 \"6200000000000000091\"\n")
        << QByteArray("VRK_ReadCarNo 0 \"A\"\n")
        << QStringList{"card-number", "bank-chip", "bank-chip"}
        << QStringList{"names no answer for them: VRK_ICBankCard_ReadNO"} << 0;
}

// The simulated reader answers as scripted; each judgement is shown under
// the call, the functions not compared once in the summary, and the exit
// status says an answer was wrong.
void tst_Answers::wrongAnswers()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, judged);
    QFETCH(int, exitCode);

    write("script.txt", script);
    if (!expected.isEmpty()) {
        write("expected.txt", expected);
        arguments.prepend("--expect=" + path("expected.txt"));
    }
    const ChildProcess cli =
        run(QStringList{"--no-open"} + arguments, {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QStringList shown;
    for (const QString &line : QString::fromUtf8(cli.out).split('\n')) {
        if (line.startsWith("  differs: ") || line.startsWith("  implausible: ")
            || line.startsWith("  not compared"))
            shown << line.mid(2);
    }
    QCOMPARE(shown.size(), judged.size());
    for (int i = 0; i < judged.size(); ++i)
        QVERIFY2(shown[i].contains(judged[i]), qPrintable(shown[i]));
    QCOMPARE(cli.exitCode, exitCode);
}

void tst_Answers::verdicts_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("simulated");      // else the same answers from a maker's library
    QTest::addColumn<QString>("status");      // the call's status word
    QTest::addColumn<QString>("verdict");     // the last line
    QTest::addColumn<int>("exitCode");

    const QByteArray card("VRK_ReadCarNo 0 \"A1\"\n");
    QTest::newRow("as expected, on a terminal") << card << card << false << "ok"
        << "PASSED: 1 of 1 answers as expected" << 0;
    QTest::newRow("as expected, on the simulated reader") << card << card << true << "ok"
        << "PASSED on the simulated reader: no terminal was checked; 1 of 1 answers as expected"
        << 0;
    QTest::newRow("a difference") << card << QByteArray("VRK_ReadCarNo 0 \"A2\"\n") << false
        << "differs" << "FAILED: 1 answer differs (card-number)" << 5;
    QTest::newRow("an implausible answer")
        << QByteArray("VRK_ICBankCard_ReadNO 0 \"6222021234567890129\"\n") << QByteArray()
        << false << "implausible" << "FAILED: 1 implausible (bank-chip)" << 5;
    QTest::newRow("nothing compared")
        << card << QByteArray("VRK_IDCard_Read 0 \"A\"\n") << false << "ok"
        << "NOT CHECKED: no answer was compared; not compared, as the expected answers name "
           "none: VRK_ReadCarNo" << 0;
}

// A run closes with one line that a person can act on: the worst news, and
// what the terminal was checked against, or that none was.
void tst_Answers::verdicts()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, expected);
    QFETCH(bool, simulated);
    QFETCH(QString, status);
    QFETCH(QString, verdict);
    QFETCH(int, exitCode);

    write("script.txt", script);
    QStringList arguments{"--no-open", script.startsWith("VRK_IC") ? "bank-chip" : "card-number"};
    if (!expected.isEmpty()) {
        write("expected.txt", expected);
        arguments.prepend("--expect=" + path("expected.txt"));
    }
    // The maker's library here is the simulated reader without its mark, as
    // a maker's build of it would be.
    if (!simulated)
        arguments.prepend("--library=" + QFileInfo(QStringLiteral(MAKER)).absoluteFilePath());
    const ChildProcess cli = run(arguments, {{"VRK_SIM_SCRIPT", path("script.txt")}});
    const QStringList lines = QString::fromUtf8(cli.out).trimmed().split('\n');
    QVERIFY2(lines.first().contains("): " + status + ", "), qPrintable(lines.first()));
    QCOMPARE(lines.last(), verdict);
    QCOMPARE(cli.exitCode, exitCode);
}

// A session recorded from a reader replays and checks against its own
// recording with no difference; one value edited in the replay gives
// exactly one difference, named by its field.
void tst_Answers::recordingCheckedAgainstItself()
{
    const ChildProcess recording =
        run({"all"}, {{"VRK_SIM_MAKER_LIBRARY", MAKER}, {"VRK_SIM_RECORD", path("good.txt")}});
    QCOMPARE(recording.exitCode, 0);
    QFile good(path("good.txt"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray recorded = good.readAll();

    const QString expect = "--expect=" + path("good.txt");
    const ChildProcess same = run({expect, "all"}, {{"VRK_SIM_SCRIPT", path("good.txt")}});
    QVERIFY2(!same.out.contains("differs: ") && !same.out.contains("not compared"),
             same.out.constData());
    QCOMPARE(same.exitCode, 0);

    QByteArray edited = recorded;
    edited.replace("VRK_IDCard_Read 0 \"李演示\"", "VRK_IDCard_Read 0 \"李示范\"");
    write("edited.txt", edited);
    const ChildProcess changed = run({expect, "all"}, {{"VRK_SIM_SCRIPT", path("edited.txt")}});
    QCOMPARE(changed.out.count("  differs: "), 1);
    QVERIFY2(changed.out.contains("  differs: name: expected \"李演示\", got \"李示范\"\n"),
             changed.out.constData());
    QCOMPARE(changed.exitCode, 5);
}

// The answers of a run saved, with no VRK_SIM_ variable, check the same
// reader with no difference; one value edited gives exactly one difference,
// named by its field. A run with a failed call says its answers are no
// known-good set.
void tst_Answers::savedAnswersServeAsExpected()
{
    const ChildProcess saving = run({"--save-answers", path("saved.txt"), "all"});
    QCOMPARE(saving.exitCode, 0);
    QVERIFY2(saving.out.contains("answers saved to " + path("saved.txt").toUtf8()
                                 + ": a known-good set for --expect\n"),
             saving.out.constData());
    QFile saved(path("saved.txt"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.permissions() & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    const QByteArray answers = saved.readAll();
    QVERIFY2(answers.contains("VRK_KeyBoard_InputKey 0 \"******\""), answers.constData());

    const ChildProcess same = run({"--expect", path("saved.txt"), "all"});
    QCOMPARE(same.exitCode, 0);
    QVERIFY2(same.out.endsWith("11 of 11 answers as expected\n"), same.out.constData());

    write("edited.txt", QByteArray(answers).replace("\"张演示\"", "\"王演示\""));
    const ChildProcess edited = run({"--expect", path("edited.txt"), "all"});
    QCOMPARE(edited.exitCode, 5);
    QCOMPARE(edited.out.count("  differs: "), 1);
    QVERIFY2(edited.out.contains("  differs: name: expected \"王演示\", got \"张演示\"\n"),
             edited.out.constData());

    const ChildProcess failing = run({"--no-open", "--save-answers", path("failed.txt"), "card-number"});
    QCOMPARE(failing.exitCode, 1);
    QVERIFY2(failing.out.contains(": NOT a known-good set"), failing.out.constData());
}

void tst_Answers::refusedBeforeAnyCall_data()
{
    QTest::addColumn<QByteArray>("expected");    // the expected answers' file, or how to make it
    QTest::addColumn<QStringList>("arguments");  // file names in the test's directory
    QTest::addColumn<QString>("names");

    const QStringList expect{"--expect", "expected.txt"};
    QTest::newRow("a malformed line, by its number")
        << QByteArray("VRK_ReadCarNo 0 \"A\"\nVRK_ReadCarNo 0 \"B\" colour=red\n") << expect
        << " line 2: ";
    QTest::newRow("an empty file, against which nothing is compared")
        << QByteArray("") << expect << "hold no answer, so nothing would be compared";
    QTest::newRow("a recording's header alone")
        << QByteArray("# cardreader simulated reader recording, made 2026-01-02T03:04:05Z with \"/x.so\"\n")
        << expect << "hold no answer, so nothing would be compared";
    QTest::newRow("a FIFO, which would hold the run") << QByteArray("fifo") << expect
                                                      << "not a regular file";
    QTest::newRow("beyond 16 MiB") << QByteArray("large") << expect << "larger than 16 MiB";
    QTest::newRow("a value longer than its buffer")
        << "VRK_ReadCarNo 0 \"" + QByteArray(36, '9') + "\"\n" << expect
        << " line 1: value 1 of VRK_ReadCarNo is 36 bytes";
    QTest::newRow("a value with a NUL") << QByteArray("VRK_IDCard_Read 0 \"A\" \"B\\x00\"\n")
                                        << expect
                                        << " line 1: value 2 of VRK_IDCard_Read holds a NUL";
    QTest::newRow("a value that is not UTF-8")
        << QByteArray("VRK_ReadCarNo 0 \"\\xff\"\n") << expect
        << " line 1: value 1 of VRK_ReadCarNo is not UTF-8";
    const QByteArray good("VRK_ReadCarNo 0 \"SIM350000001\"\n");
    QTest::newRow("both reports one file")
        << good << QStringList{"--junit", "run.txt", "--html", "./run.txt"} << "same file";
    QTest::newRow("both reports one file, one through a link to its folder")
        << good << QStringList{"--junit", "dl/run.txt", "--html", "run.txt"} << "same file";
    QTest::newRow("a report over the simulated reader's call log")
        << good << QStringList{"--html", "calls.log"} << "--html names the file of VRK_SIM_LOG";
    QTest::newRow("a report over the expected answers")
        << good << QStringList{"--expect", "expected.txt", "--junit", "expected.txt"}
        << "--junit names the file of --expect";
    QTest::newRow("the metrics over the library")
        << good << QStringList{"--library", "copy.so", "--metrics", "copy.so"}
        << "--metrics names the file of the reader library";
    QTest::newRow("a report over the history")
        << good << QStringList{"--history", "h.txt", "--junit", "h.txt"}
        << "--junit and --history name the same file";
    QTest::newRow("a report over the history CARDREADER_HISTORY names")
        << good << QStringList{"--html", "history.txt"}
        << "--html and CARDREADER_HISTORY name the same file";
    QTest::newRow("a report over the plan a commissioning follows")
        << good << QStringList{"commission", "--yes", "--plan", "plan.txt", "--junit", "plan.txt"}
        << "--junit names the file of --plan";
    QTest::newRow("a report over a file of the run's record")
        << good << QStringList{"--bundle", "record", "--junit", "record/output.txt"}
        << "--junit and the record's output.txt name the same file";
    QTest::newRow("a report without a name") << good << QStringList{"--html", ""}
                                             << "must name a path";
}

// Expected answers that cannot be used, or files the run would write over
// one it reads or another it writes: one message, before any library call,
// and every file stays as it was.
void tst_Answers::refusedBeforeAnyCall()
{
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, arguments);
    QFETCH(QString, names);

    const QString file = path("expected.txt");
    if (expected == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (expected == "large") {
        QFile large(file);
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(16 * 1024 * 1024 + 1));
    } else {
        write("expected.txt", expected);
    }
    QVERIFY(QFile::copy(QFileInfo(QStringLiteral(MAKER)).absoluteFilePath(), path("copy.so")));
    QVERIFY(QFile::link(directory->path(), path("dl")));
    write("plan.txt", "step card-number\n");
    QVERIFY(QDir(directory->path()).mkdir("record"));
    // Private, as a record's folder must be to be kept in.
    QVERIFY(QFile::setPermissions(path("record"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    for (QString &argument : arguments) {
        if (argument.endsWith(".txt") || argument.endsWith(".so") || argument.endsWith(".log")
            || argument == "record")
            argument = path(argument);
    }
    if (!arguments.contains("commission"))
        arguments << "card-number";
    const ChildProcess cli = run(arguments, {{"VRK_SIM_LOG", path("calls.log")},
                                             {"CARDREADER_HISTORY", path("history.txt")}});
    QCOMPARE(cli.exitCode, 2);
    QCOMPARE(cli.out, QByteArray());
    // One line, and where help is.
    QCOMPARE(cli.err.count('\n'), 2);
    QVERIFY2(cli.err.endsWith("\nTry 'cardreader-cli --help' for more information.\n"),
             cli.err.constData());
    QVERIFY2(cli.err.contains(names.toUtf8()), cli.err.constData());
    QVERIFY2(!QFile::exists(path("calls.log")), "the library was called");
    if (expected.startsWith("VRK_")) {
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), expected);
    }
    QCOMPARE(QFileInfo(path("copy.so")).size(), QFileInfo(QStringLiteral(MAKER)).size());
    QVERIFY(!QFile::exists(path("run.txt")));
    QVERIFY(!QFile::exists(path("h.txt")) && !QFile::exists(path("history.txt")));
    QVERIFY(QDir(path("record")).isEmpty());
}

// A difference and a doubt count in the summary, in each call's JSON and in
// the metrics, each under its own name.
void tst_Answers::countedEverywhere()
{
    write("script.txt", "VRK_ReadCarNo 0 \"B\"\n"
                        "VRK_ICBankCard_ReadNO 0 \"6222021234567890129\"\n");
    write("expected.txt", "VRK_ReadCarNo 0 \"A\"\n");
    const ChildProcess cli =
        run({"--json", "--no-open", "--expect", path("expected.txt"), "--metrics",
             path("run.prom"), "card-number", "bank-chip"},
            {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(cli.exitCode, 5);
    const QList<QByteArray> lines = cli.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);

    const QJsonObject differing = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(differing.value("outcome").toString(), QStringLiteral("differs"));
    const QJsonObject expected = differing.value("expected").toObject();
    QCOMPARE(expected.value("values").toObject(), QJsonObject({{"card_number", "A"}}));
    QCOMPARE(expected.value("differences").toArray().size(), 1);
    const QJsonObject doubted = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(doubted.value("outcome").toString(), QStringLiteral("implausible"));
    QCOMPARE(doubted.value("implausible").toArray().size(), 1);

    const QJsonArray rows = QJsonDocument::fromJson(lines[2]).object().value("summary")
                                .toObject().value("operations").toArray();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].toObject().value("differs").toInt(), 1);
    QCOMPARE(rows[1].toObject().value("implausible").toInt(), 1);
    QCOMPARE(rows[1].toObject().value("succeeded").toInt(), 0);

    QFile metrics(path("run.prom"));
    QVERIFY(metrics.open(QIODevice::ReadOnly));
    const QByteArray text = metrics.readAll();
    QVERIFY2(text.contains("cardreader_calls_total{operation=\"card-number\",function="
                           "\"VRK_ReadCarNo\",outcome=\"differed\",device=\"21\","
                           "region=\"3500\"} 1\n")
                 && text.contains("outcome=\"implausible\",device=\"21\",region=\"3500\"} 1\n"),
             text.constData());
}

void tst_Answers::reportsHoweverTheRunEnds_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("library");     // a directory to load it from, or a file
    QTest::addColumn<int>("stopAfterMs");     // SIGTERM then
    QTest::addColumn<QString>("outputPath");  // where standard output goes
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorIn");     // the test case with an error element
    QTest::addColumn<QString>("said");        // in both reports

    QTest::newRow("a crash after the device was opened")
        << QStringList{"--json", "card-number"} << QStringLiteral(BADREADER_DIR) << 0
        << QString() << 3 << "card-number" << "VRK_ReadCarNo crashed";
    // A wrong answer outranks the operator's stop.
    QTest::newRow("SIGTERM in a burn-in with a wrong answer")
        << QStringList{"--json", "--repeat", "100000", "card-number", "bank-chip"} << QString()
        << 500 << QString() << 5 << QString() << "SIGTERM";
    QTest::newRow("a library that cannot be loaded")
        << QStringList{"--json", "card-number"} << QStringLiteral(UNRESOLVEDREADER) << 0
        << QString() << 3 << QString() << "cannot load the reader library";
    QTest::newRow("output that fails only at the summary")
        << QStringList{"--repeat", "2", "card-number"} << QString() << 0 << "/dev/full" << 4
        << QString() << "output or a report could not be written";
}

// However the run ends, both reports are there, whole and private; a JUnit
// consumer reads the counts the summary gave and the exit status the run
// ended with.
void tst_Answers::reportsHoweverTheRunEnds()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, library);
    QFETCH(int, stopAfterMs);
    QFETCH(QString, outputPath);
    QFETCH(int, exitCode);
    QFETCH(QString, errorIn);
    QFETCH(QString, said);

    QMap<QString, QString> variables{{"BADREADER_FAULT", "crash"}};
    if (library.endsWith(".so"))
        arguments.prepend("--library=" + library);
    else if (!library.isEmpty())
        variables.insert("LD_LIBRARY_PATH", library);
    write("script.txt", "VRK_ReadCarNo 0 \"A\" delay=20\n"
                        "VRK_ICBankCard_ReadNO 0 \"6222021234567890129\"\n");
    variables.insert("VRK_SIM_SCRIPT", path("script.txt"));
    const ChildProcess cli =
        run(QStringList{"--junit", path("run.xml"), "--html", path("run.html")} + arguments,
            variables, stopAfterMs, outputPath);
    QCOMPARE(cli.exitCode, exitCode);
    const QJsonArray rows = QJsonDocument::fromJson(cli.out.trimmed().split('\n').last())
                                .object().value("summary").toObject().value("operations")
                                .toArray();

    for (const QString name : {"run.xml", "run.html"})
        QCOMPARE(QFileInfo(path(name)).permissions() & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    ChildProcess reader(directory->path());
    QVERIFY(reader.start({"/usr/bin/python3", JUNITCOUNTS, path("run.xml")}, {}));
    QVERIFY(reader.finish());
    QCOMPARE(reader.exitCode, 0);
    const QJsonObject suite = QJsonDocument::fromJson(reader.out).object().value("suites")
                                  .toArray().first().toObject();
    const QString status = QString::number(exitCode) + ": ";
    QVERIFY(suite.value("properties").toObject().value("exit_status").toString().startsWith(status));
    QVERIFY2(reader.out.contains(said.toUtf8()), reader.out.constData());
    const QJsonArray cases = suite.value("cases").toArray();
    bool errorSeen = false;
    for (const QJsonValue row : rows) {
        const QString operation = row.toObject().value("operation").toString();
        const auto found = std::find_if(cases.begin(), cases.end(), [&](const QJsonValue &c) {
            return c.toObject().value("name").toString() == operation;
        });
        QVERIFY2(found != cases.end(), qPrintable(operation));
        const QJsonArray results = found->toObject().value("results").toArray();
        const bool error = std::any_of(results.begin(), results.end(), [](const QJsonValue &r) {
            return r.toObject().value("kind").toString() == "error";
        });
        QCOMPARE(error, operation == errorIn);
        errorSeen = errorSeen || error;
        if (error)
            QVERIFY(results.first().toObject().value("message").toString().startsWith(
                QString::number(row.toObject().value("broke_contract").toInt())));
    }
    QCOMPARE(errorSeen, !errorIn.isEmpty());

    QFile html(path("run.html"));
    QVERIFY(html.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(html.readAll());
    QVERIFY2(page.trimmed().endsWith("</html>"), qPrintable(page.right(200)));
    QVERIFY2(page.contains(said) && page.contains("Exit status " + status), qPrintable(said));
    if (rows.isEmpty())
        return;
    const QString calls = QString::number(rows.last().toObject().value("calls").toInt());
    QVERIFY2(page.contains(QRegularExpression(">" + rows.last().toObject().value("operation")
                                                  .toString() + "<.*>" + calls + "<")),
             qPrintable(calls));
}

// A report whose place became a folder during the run: said once, the
// other report written with the exit status that says so.
void tst_Answers::reportThatCannotBeWrittenSaidOnce()
{
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    ChildProcess cli(directory->path());
    QVERIFY(cli.start(command << CLI << "--repeat" << "3" << "--pause" << "300" << "--junit"
                              << path("run.xml") << "--html" << path("run.html") << "card-number",
                      {}));
    QTest::qWait(150);
    QVERIFY(QDir(directory->path()).mkdir("run.html"));
    QVERIFY(cli.finish());
    QCOMPARE(cli.exitCode, 4);
    QCOMPARE(cli.err.count("cannot write the report"), 1);
    QFile junit(path("run.xml"));
    QVERIFY(junit.open(QIODevice::ReadOnly));
    QVERIFY(junit.readAll().contains("value=\"4: "));
}

QTEST_MAIN(tst_Answers)
#include "tst_answers.moc"
