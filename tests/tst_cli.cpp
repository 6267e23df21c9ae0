#include "childprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// cardreader-cli, run as a shell user runs it, against the simulated
// reader's scripted answers and against a library that breaks its contract.
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void argumentsOfEachOperation();
    void forPeople_data();
    void forPeople();
    void forPrograms();
    void usageErrors_data();
    void usageErrors();
    void repeatSummary();
    void interruptKeepsSummary();
    void contractFindings_data();
    void contractFindings();

private:
    QStringList command(const QStringList &arguments) const;
    ChildProcess run(const QStringList &arguments, QMap<QString, QString> variables = {});
    QString path(const QString &name) const { return directory->filePath(name); }
    void write(const QString &name, const QByteArray &content);

    QScopedPointer<QTemporaryDir> directory;
};

namespace {

// Durations differ from run to run.
QString timeless(const QByteArray &out)
{
    return QString::fromUtf8(out).replace(QRegularExpression("[0-9]+\\.[0-9]+ ms"), "N ms");
}

} // namespace

void tst_Cli::init()
{
    directory.reset(new QTemporaryDir);
    QVERIFY(directory->isValid());
}

QStringList tst_Cli::command(const QStringList &arguments) const
{
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    return command << CLI << arguments;
}

ChildProcess tst_Cli::run(const QStringList &arguments, QMap<QString, QString> variables)
{
    if (QFile::exists(path("script.txt")))
        variables.insert("VRK_SIM_SCRIPT", path("script.txt"));
    ChildProcess child(directory->path());
    if (!child.start(command(arguments), variables) || !child.finish())
        qWarning("could not run %s", CLI);
    return child;
}

void tst_Cli::write(const QString &name, const QByteArray &content)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void tst_Cli::argumentsOfEachOperation()
{
    const ChildProcess cli = run({"--device", "19", "--region", "3507", "--seconds", "3",
                                  "card-number", "card-info", "card-id-code", "card-region",
                                  "id-card", "bank-chip", "bank-stripe", "scan-auto",
                                  "scan-manual", "scan", "scan-interval", "tracks", "pin"},
                                 {{"VRK_SIM_LOG", path("calls.log")}});
    QCOMPARE(cli.exitCode, 0);
    QFile log(path("calls.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()),
             QStringLiteral("VRK_OpenDev deviceType=19 regionCode=\"3507\"\n"
                            "VRK_ReadCarNo\nVRK_ReadCardBas\nVRK_ReadCardCertID\n"
                            "VRK_ReadCardCity\nVRK_IDCard_Read\nVRK_ICBankCard_ReadNO\n"
                            "VRK_MagicBankCard_ReadNo timeout=10\n"
                            "VRK_ECard_SetAutoRead mode=1\nVRK_ECard_SetAutoRead mode=0\n"
                            "VRK_ECard_Read wait=3000\nVRK_ECard_AutoReadTime interval=3000\n"
                            "VRK_MagCardRead timeout=10\n"
                            "VRK_KeyBoard_InputKey timeout=20 keySize=1024\n"));
}

void tst_Cli::forPeople_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("success, with the library's message")
        << QByteArray("VRK_ReadCardCertID 0 \"A1\" \"B2\" error=\"注意\"\n")
        << QStringList{"card-id-code"}
        << QStringLiteral("card-id-code (VRK_ReadCardCertID): ok, N ms\n"
                          "  card_number: A1\n  card_id_code: B2\n  message: 注意\n")
        << 0;
    QTest::newRow("failure shows the code and message, no values")
        << QByteArray("VRK_ReadCarNo -3 \"X\" error=\"无卡\"\n") << QStringList{"card-number"}
        << QStringLiteral("card-number (VRK_ReadCarNo): failed with -3, N ms\n"
                          "  message: 无卡\n")
        << 1;
    QTest::newRow("control characters escaped")
        << QByteArray("VRK_ReadCarNo 0 \"\\x1b]2;x\\x07\\xc2\\x9b\" error=\"a\\nb\"\n")
        << QStringList{"card-number"}
        << QStringLiteral("card-number (VRK_ReadCarNo): ok, N ms\n"
                          "  card_number: \\x1b]2;x\\x07\\xc2\\x9b\n  message: a\\nb\n")
        << 0;
    QTest::newRow("PIN masked")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"123456\" output=6\n") << QStringList{"pin"}
        << QStringLiteral("pin (VRK_KeyBoard_InputKey): ok, N ms\n"
                          "  key: ******\n  output: 6\n")
        << 0;
    QTest::newRow("PIN shown when asked")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"123456\" output=6\n")
        << QStringList{"--show-pin", "pin"}
        << QStringLiteral("pin (VRK_KeyBoard_InputKey): ok, N ms\n"
                          "  key: 123456\n  output: 6\n")
        << 0;
}

void tst_Cli::forPeople()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(int, exitCode);

    write("script.txt", script);
    const ChildProcess cli = run(QStringList{"--no-open"} + arguments);
    QCOMPARE(timeless(cli.out), output);
    QCOMPARE(cli.err, QByteArray());
    QCOMPARE(cli.exitCode, exitCode);
}

void tst_Cli::forPrograms()
{
    write("script.txt", "VRK_OpenDev 0\n"
                        "VRK_ECard_Read 0 \"QR-\\xff\" output=4\n"
                        "VRK_ECard_Read -2 error=\"超时\"\n");
    const ChildProcess cli = run({"--json", "--seconds", "5", "scan", "scan"});
    const QList<QByteArray> lines = cli.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QJsonObject open = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(open.value("arguments").toObject(),
             QJsonObject({{"device_type", 21}, {"region_code", "3500"}}));

    // A byte that is not UTF-8 stays visible, and is a contract finding.
    QJsonObject scan = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(scan.value("operation").toString(), QStringLiteral("scan"));
    QCOMPARE(scan.value("function").toString(), QStringLiteral("VRK_ECard_Read"));
    QCOMPARE(scan.value("arguments").toObject(), QJsonObject({{"wait", 5000}}));
    QCOMPARE(scan.value("result").toInt(), 0);
    QCOMPARE(scan.value("ok").toBool(), true);
    QCOMPARE(scan.value("values").toObject(),
             QJsonObject({{"scan", "QR-\\xff"}, {"output", 4}}));
    QCOMPARE(scan.value("findings").toArray().size(), 1);
    QVERIFY(scan.value("duration_ms").isDouble());

    QJsonObject failed = QJsonDocument::fromJson(lines[2]).object();
    QCOMPARE(failed.value("result").toInt(), -2);
    QCOMPARE(failed.value("ok").toBool(), false);
    QCOMPARE(failed.value("message").toString(), QStringLiteral("超时"));
    QCOMPARE(cli.exitCode, 3);
}

void tst_Cli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("names");

    QTest::newRow("device 20") << QStringList{"--device", "20", "all"} << "21 or 19";
    QTest::newRow("region 3510") << QStringList{"--region", "3510", "all"} << "3500 to 3509";
    QTest::newRow("seconds not a number") << QStringList{"--seconds", "abc", "scan"}
                                          << "whole number";
    QTest::newRow("seconds beyond int milliseconds")
        << QStringList{"--seconds", "2147484", "scan"} << "2147483";
    QTest::newRow("unknown operation") << QStringList{"card-numbr"} << "card-number, ";
    QTest::newRow("no operation") << QStringList{} << "card-number, ";
    QTest::newRow("no rounds") << QStringList{"--repeat", "0", "all"} << "at least 1";
    QTest::newRow("unknown option") << QStringList{"--colour", "all"} << "colour";
}

void tst_Cli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, names);

    const ChildProcess cli = run(arguments, {{"VRK_SIM_LOG", path("calls.log")}});
    QCOMPARE(cli.exitCode, 2);
    QCOMPARE(cli.out, QByteArray());
    QCOMPARE(cli.err.count('\n'), 1);
    QVERIFY2(cli.err.contains(names.toUtf8()), cli.err.constData());
    QVERIFY2(!QFile::exists(path("calls.log")), "the library was called");
}

void tst_Cli::repeatSummary()
{
    write("script.txt", "VRK_ReadCarNo 0 \"1\"\nVRK_ReadCarNo 0 \"2\"\nVRK_ReadCarNo -1\n");
    const ChildProcess cli = run({"--repeat", "5", "card-number", "bank-chip"});
    QCOMPARE(cli.exitCode, 1);
    const QString out = QString::fromUtf8(cli.out);
    // In a burn-in only what went wrong is described, then the summary.
    QCOMPARE(out.count("card-number (VRK_ReadCarNo): failed with -1"), 3);
    QVERIFY2(!out.contains("ok, "), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  open +1 +1 +0 ")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  card-number +5 +2 +3 ")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  bank-chip +5 +5 +0 ")), qPrintable(out));
}

void tst_Cli::interruptKeepsSummary()
{
    write("script.txt", "VRK_ReadCarNo 0 \"1\" delay=20\n");
    ChildProcess cli(directory->path());
    QVERIFY(cli.start(command({"--repeat", "1000", "card-number"}),
                      {{"VRK_SIM_SCRIPT", path("script.txt")}}));
    QTest::qWait(1000);
    cli.interrupt();
    QVERIFY(cli.finish());
    QCOMPARE(cli.exitCode, 130);
    const QRegularExpressionMatch row = QRegularExpression("\n  card-number +([0-9]+) ")
                                            .match(QString::fromUtf8(cli.out));
    QVERIFY2(row.hasMatch(), cli.out.constData());
    QVERIFY(row.captured(1).toInt() > 0 && row.captured(1).toInt() < 1000);
}

void tst_Cli::contractFindings_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("finding");

    QTest::newRow("past the end") << "card-number"
        << "VRK_ReadCarNo wrote past the end of its 36-byte card number buffer";
    QTest::newRow("no NUL") << "bank-chip"
        << "VRK_ICBankCard_ReadNO left no NUL in its 36-byte card number buffer";
    QTest::newRow("not UTF-8") << "card-region"
        << "VRK_ReadCardCity wrote text that is not UTF-8 into its 36-byte region code buffer";
}

void tst_Cli::contractFindings()
{
    QFETCH(QString, operation);
    QFETCH(QString, finding);

    // The way an integrator checks a new build of the maker's library.
    const ChildProcess cli = run({operation}, {{"LD_LIBRARY_PATH", BADREADER_DIR}});
    QVERIFY2(cli.out.contains(finding.toUtf8()), cli.out.constData());
    QCOMPARE(cli.exitCode, 3);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
