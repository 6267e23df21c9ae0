#include "session/bundle.h"
#include "session/terminal.h"

#include "childprocess.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

typedef QMap<QString, QByteArray> Files;

// A commissioning's record, checked with the programs a field engineer or a
// control machine uses on it (sha256sum, tar), and the terminal's identity
// it keeps, read from folders laid out as systems.
class tst_Bundle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void recordVerifies_data();
    void recordVerifies();
    void unsafeFolderRefused_data();
    void unsafeFolderRefused();
    void terminalIdentity_data();
    void terminalIdentity();

private:
    QString bundleWith(const Files &files);
    QScopedPointer<QTemporaryDir> m_scratch;
};

namespace {

mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The exit status, and what it printed in said.
// Started by hand, as under qemu-user QProcess cannot start a program; in
// folder, its output kept apart from it.
int run(const QString &program, const QStringList &arguments, const QString &folder,
        QByteArray &said)
{
    QTemporaryDir outputs;
    ChildProcess child(outputs.path());
    if (!child.start(QStringList{"sh", "-c", "cd \"$0\" && exec \"$@\" 2>&1", folder, program}
                         + arguments,
                     {})
        || !child.finish())
        return -1;
    said = child.out + child.err;
    return child.exitCode;
}

} // namespace

void tst_Bundle::init()
{
    ::umask(022);
    m_scratch.reset(new QTemporaryDir);
    QVERIFY(m_scratch->isValid());
}

QString tst_Bundle::bundleWith(const Files &files)
{
    const QString folder = m_scratch->path() + "/WO-1234 counter-01";
    QString why;
    if (!makeBundleFolder(folder, why))
        qWarning("%s", qPrintable(why));
    for (auto file = files.begin(); file != files.end(); ++file) {
        if (!writeBundleFile(folder, file.key(), file.value(), why))
            qWarning("%s", qPrintable(why));
    }
    return folder;
}

void tst_Bundle::recordVerifies_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QString>("changed");  // altered after it was packed, or none
    QTest::addColumn<QStringList>("listed");

    const Files session{{"output.txt", "PASSED\n"}, {"report.xml", QByteArray(512, 'x')},
                        {"report.html", QByteArray(1024, 'h')}, {"expected.txt", ""}};
    const QStringList sorted{"expected.txt", "output.txt", "report.html", "report.xml"};
    QTest::newRow("files on and off tar's blocks, and an empty one")
        << session << QString() << sorted;
    QTest::newRow("a report changed afterwards fails") << session << "report.xml" << sorted;
    // A run that died while writing leaves privatefile's temporary behind.
    QTest::newRow("a left-over temporary is no part of it")
        << Files{{"output.txt", "x"}, {".output.txt.Ab12Cd", "half"}} << QString()
        << QStringList{"output.txt"};
    QTest::newRow("names that sha256sum escapes")
        << Files{{"back\\slash", "1"}, {"line\nbreak", "2"}} << QString()
        << QStringList{"back\\\\slash", "line\\nbreak"};
    // More than one of the archive's compressed pieces.
    QByteArray calls;
    for (int i = 0; calls.size() < 3 * 1024 * 1024 + 17; ++i)
        calls += "{\"operation\":\"card-number\",\"call\":" + QByteArray::number(i) + "}\n";
    QTest::newRow("a long burn-in's calls") << Files{{"calls.jsonl", calls}} << QString()
                                            << QStringList{"calls.jsonl"};
}

void tst_Bundle::recordVerifies()
{
    QFETCH(Files, files);
    QFETCH(QString, changed);
    QFETCH(QStringList, listed);

    // A umask that takes away even the owner's bits: the modes are the
    // bundle's own.
    ::umask(0277);
    const QString folder = bundleWith(files);
    QString why;
    QString archive;
    QVERIFY2(writeManifest(folder, why) && archiveBundle(folder, archive, why), qPrintable(why));
    ::umask(022);
    QCOMPARE(archive, folder + ".tar.gz");
    QCOMPARE(modeOf(archive), mode_t(0600));
    QStringList names;
    for (const QByteArray &line : bytesOf(folder + "/SHA256SUMS").split('\n')) {
        if (!line.isEmpty())
            names << QString::fromUtf8(line.mid(line.indexOf("  ") + 2));
    }
    QCOMPARE(names, listed);

    // Unpacked as a control machine gathers it, checked as anyone can.
    const QString unpacked = m_scratch->path() + "/unpacked";
    QVERIFY(QDir().mkdir(unpacked));
    QByteArray said;
    const int status = run("tar", {"-xzf", archive}, unpacked, said);
    QVERIFY2(status == 0 && said.isEmpty(), said.constData());
    QCOMPARE(QDir(unpacked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"WO-1234 counter-01"});
    const QString copy = unpacked + "/WO-1234 counter-01";
    QStringList kept = files.keys().filter(QRegularExpression("^[^.]")) << "SHA256SUMS";
    kept.sort();
    QCOMPARE(QDir(copy).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
    for (const QString &where : {folder, copy}) {
        QCOMPARE(modeOf(where), mode_t(0700));
        for (const QString &name : kept) {
            QCOMPARE(modeOf(where + '/' + name), mode_t(0600));
            QCOMPARE(bytesOf(where + '/' + name), bytesOf(folder + '/' + name));
        }
    }
    if (!changed.isEmpty()) {
        QFile file(copy + '/' + changed);
        QVERIFY(file.open(QIODevice::Append) && file.write("!") == 1);
    }
    const int verified = run("sha256sum", {"--strict", "-c", "SHA256SUMS"}, copy, said);
    QVERIFY2((verified == 0) == changed.isEmpty(), said.constData());
    QVERIFY2(changed.isEmpty() || said.contains(changed.toUtf8() + ": FAILED"), said.constData());
}

void tst_Bundle::unsafeFolderRefused_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("reason");  // empty: taken as it is

    QTest::newRow("a private folder of ours is used") << "mkdir 700" << QString();
    QTest::newRow("a folder others may enter") << "mkdir 701" << "to other users (mode 0701)";
    QTest::newRow("another user's private folder") << "chown" << "belongs to another user";
    QTest::newRow("a link to a private folder") << "link" << "is not a folder";
}

void tst_Bundle::unsafeFolderRefused()
{
    QFETCH(QString, setUp);
    QFETCH(QString, reason);

    const QString folder = m_scratch->path() + "/bundle";
    const QByteArray path = QFile::encodeName(folder);
    if (setUp == "chown" && ::geteuid() != 0)
        QSKIP("giving a folder to another user needs root");
    if (setUp == "link")
        QVERIFY(QDir().mkdir(folder + ".real") && QFile::link(folder + ".real", folder)
                && ::chmod(path.constData(), 0700) == 0);
    else
        QVERIFY(QDir().mkdir(folder));
    if (setUp.startsWith("mkdir"))
        QCOMPARE(::chmod(path.constData(), setUp.mid(6).toUInt(nullptr, 8)), 0);
    if (setUp == "chown")
        QCOMPARE(::chmod(path.constData(), 0700) | ::chown(path.constData(), 65534, 65534), 0);
    const mode_t before = modeOf(folder);

    QString why;
    QCOMPARE(makeBundleFolder(folder, why), reason.isEmpty());
    QVERIFY2(why.contains(reason), qPrintable(why));
    QCOMPARE(modeOf(folder), before);
}

void tst_Bundle::terminalIdentity_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("expected");  // machine id, model, serial, system

    QTest::newRow("DMI: the product's before the board's, a blank one passed over")
        << Files{{"etc/machine-id", "4f2c9a0e51d64b8e\n"},
                 {"sys/class/dmi/id/product_name", " \n"},
                 {"sys/class/dmi/id/board_name", "MB-12\n"},
                 {"sys/class/dmi/id/product_serial", "PS-0042\n"},
                 {"sys/class/dmi/id/board_serial", "BS-0042\n"},
                 {"proc/device-tree/model", "ignored"},
                 {"etc/os-release", "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 \\\"x\\\"\"\n"}}
        << QStringList{"4f2c9a0e51d64b8e", "MB-12", "PS-0042", "Debian GNU/Linux 12 \\\"x\\\""};
    QTest::newRow("device tree only: NUL-ended, escaped, read within a bound")
        << Files{{"proc/device-tree/model", QByteArray("RK3399\x1b[2J Terminal\0", 20)},
                 {"proc/device-tree/serial-number", QByteArray("c3d9b8674f4b94f6\0junk", 21)},
                 {"etc/machine-id", QByteArray(8192, 'f')},
                 {"usr/lib/os-release", "PRETTY_NAME='Armbian 23.8 \\bookworm'\n"}}
        << QStringList{QString(4096, 'f'), "RK3399\\x1b[2J Terminal", "c3d9b8674f4b94f6",
                       "Armbian 23.8 \\\\bookworm"};
}

void tst_Bundle::terminalIdentity()
{
    QFETCH(Files, files);
    QFETCH(QStringList, expected);

    for (auto file = files.begin(); file != files.end(); ++file) {
        const QString path = m_scratch->path() + '/' + file.key();
        QFile out(path);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && out.open(QIODevice::WriteOnly));
        out.write(file.value());
    }
    const TerminalIdentity terminal = readTerminalIdentity(m_scratch->path());
    QCOMPARE((QStringList{terminal.machineId, terminal.boardModel, terminal.boardSerial,
                          terminal.osRelease}),
             expected);
    QVERIFY(!terminal.host.isEmpty() && !terminal.kernel.isEmpty()
            && !terminal.packageVersion.isEmpty());
    QCOMPARE(terminalJson(terminal).keys(),
             (QStringList{"board_model", "board_serial", "host", "kernel", "machine_id",
                          "os_release", "package_version"}));
    QVERIFY(describeTerminal(terminal).contains(
        "board model: " + (expected[1].isEmpty() ? "not stated" : expected[1]) + '\n'));
}

QTEST_MAIN(tst_Bundle)
#include "tst_bundle.moc"
