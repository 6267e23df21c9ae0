#include "session/bundle.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// A commissioning's record, checked with the programs a field engineer or
// a control machine would use on it: sha256sum and tar.
class tst_Bundle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void manifestVerifies_data();
    void manifestVerifies();
    void unsafeFolderRefused_data();
    void unsafeFolderRefused();
    void archiveUnpacks_data();
    void archiveUnpacks();

private:
    QString bundleWith(const QMap<QString, QByteArray> &files);
    QScopedPointer<QTemporaryDir> m_scratch;
};

typedef QMap<QString, QByteArray> Files;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777
                                                                       : mode_t(-1);
}

int run(const QString &program, const QStringList &arguments, const QString &folder,
        QByteArray *output = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

void tst_Bundle::init()
{
    // The umask of a shared account: private modes must not rest on it.
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

void tst_Bundle::manifestVerifies_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QString>("changed");   // a file altered after the manifest, or none
    QTest::addColumn<QStringList>("listed");

    const Files session{{"output.txt", "PASSED\n"},
                        {"calls.jsonl", "{\"summary\":{}}\n"},
                        {"terminal.json", "{}"},
                        {"report.xml", "<testsuites/>"}};
    const QStringList sorted{"calls.jsonl", "output.txt", "report.xml", "terminal.json"};
    QTest::newRow("as written, every file verifies") << session << QString() << sorted;
    QTest::newRow("a report changed afterwards fails") << session << "report.xml" << sorted;
    QTest::newRow("an empty file, changed afterwards, fails")
        << Files{{"expected.txt", ""}} << "expected.txt" << QStringList{"expected.txt"};
    // A run that died while writing leaves privatefile's temporary behind.
    QTest::newRow("a left-over temporary is no part of it")
        << Files{{"output.txt", "x"}, {".output.txt.Ab12Cd", "half"}} << QString()
        << QStringList{"output.txt"};
    QTest::newRow("names that sha256sum escapes verify")
        << Files{{"back\\slash", "1"}, {"line\nbreak", "2"}} << QString()
        << QStringList{"back\\\\slash", "line\\nbreak"};
}

void tst_Bundle::manifestVerifies()
{
    QFETCH(Files, files);
    QFETCH(QString, changed);
    QFETCH(QStringList, listed);

    // A umask that takes away even the owner's bits: the modes are the
    // bundle's own.
    ::umask(0277);
    const QString folder = bundleWith(files);
    QString why;
    QVERIFY2(writeManifest(folder, why), qPrintable(why));
    QCOMPARE(modeOf(folder), mode_t(0700));
    const QStringList written = files.keys() << "SHA256SUMS";
    for (const QString &name : written)
        QCOMPARE(modeOf(folder + '/' + name), mode_t(0600));

    QStringList names;
    for (const QByteArray &line : bytesOf(folder + "/SHA256SUMS").split('\n')) {
        if (!line.isEmpty())
            names << QString::fromUtf8(line.mid(line.indexOf("  ") + 2));
    }
    QCOMPARE(names, listed);

    if (!changed.isEmpty()) {
        QFile file(folder + '/' + changed);
        QVERIFY(file.open(QIODevice::Append));
        file.write("!");
    }
    QByteArray said;
    const int status = run("sha256sum", {"--strict", "-c", "SHA256SUMS"}, folder, &said);
    QVERIFY2((status == 0) == changed.isEmpty(), said.constData());
    if (!changed.isEmpty())
        QVERIFY2(said.contains(changed.toUtf8() + ": FAILED"), said.constData());
}

void tst_Bundle::unsafeFolderRefused_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("reason");  // empty: taken as it is

    QTest::newRow("a private folder of ours is used") << "mkdir 700" << QString();
    QTest::newRow("a folder others may enter") << "mkdir 711" << "open to other users (mode 0711)";
    QTest::newRow("a folder its group may read") << "mkdir 740" << "open to other users (mode 0740)";
    QTest::newRow("another user's private folder") << "chown" << "belongs to another user";
    QTest::newRow("a file in its place") << "file" << "is not a folder";
    QTest::newRow("a link to a private folder") << "link" << "is not a folder";
}

void tst_Bundle::unsafeFolderRefused()
{
    QFETCH(QString, setUp);
    QFETCH(QString, reason);

    const QString folder = m_scratch->path() + "/bundle";
    const QByteArray path = QFile::encodeName(folder);
    const QString elsewhere = m_scratch->path() + "/elsewhere";
    if (setUp.startsWith("mkdir")) {
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(path.constData(), setUp.mid(6).toUInt(nullptr, 8)), 0);
    } else if (setUp == "chown") {
        if (::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(path.constData(), 0700), 0);
        QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
    } else if (setUp == "file") {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkdir(elsewhere));
        QCOMPARE(::chmod(QFile::encodeName(elsewhere).constData(), 0700), 0);
        QVERIFY(QFile::link(elsewhere, folder));
    }
    const mode_t before = modeOf(folder);

    QString why;
    QCOMPARE(makeBundleFolder(folder, why), reason.isEmpty());
    QVERIFY2(why.contains(reason), qPrintable(why));
    // Refused, it is left as it was found.
    QCOMPARE(modeOf(folder), before);
}

void tst_Bundle::archiveUnpacks_data()
{
    QTest::addColumn<Files>("files");

    QTest::newRow("a bundle's files")
        << Files{{"output.txt", "PASSED on the simulated reader\n"},
                 {"calls.jsonl", "{\"summary\":{}}\n"},
                 {"report.html", "<html></html>\n"}};
    QTest::newRow("files that fill their blocks exactly, and an empty one")
        << Files{{"a", QByteArray(512, 'a')}, {"b", QByteArray(1024, 'b')}, {"c", ""}};
    // A burn-in's calls span several of the archive's compressed pieces.
    QByteArray calls;
    for (int i = 0; calls.size() < 3 * 1024 * 1024 + 17; ++i)
        calls += "{\"operation\":\"card-number\",\"call\":" + QByteArray::number(i) + "}\n";
    QTest::newRow("a long burn-in's calls") << Files{{"calls.jsonl", calls}};
}

void tst_Bundle::archiveUnpacks()
{
    QFETCH(Files, files);

    const QString folder = bundleWith(files);
    QString why;
    QVERIFY2(writeManifest(folder, why), qPrintable(why));
    QString archive;
    QVERIFY2(archiveBundle(folder, archive, why), qPrintable(why));
    QCOMPARE(archive, folder + ".tar.gz");
    QCOMPARE(modeOf(archive), mode_t(0600));

    QByteArray said;
    QCOMPARE(run("gzip", {"-t", archive}, m_scratch->path(), &said), 0);
    const QString unpacked = m_scratch->path() + "/unpacked";
    QVERIFY(QDir().mkdir(unpacked));
    QVERIFY2(run("tar", {"-xzf", archive}, unpacked, &said) == 0, said.constData());
    QVERIFY2(said.isEmpty(), said.constData());

    const QString copy = unpacked + "/WO-1234 counter-01";
    QCOMPARE(QDir(unpacked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"WO-1234 counter-01"});
    QCOMPARE(modeOf(copy), mode_t(0700));
    QStringList names = files.keys() << "SHA256SUMS";
    names.sort();
    QCOMPARE(QDir(copy).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);
    for (const QString &name : names) {
        QCOMPARE(bytesOf(copy + '/' + name), bytesOf(folder + '/' + name));
        QCOMPARE(modeOf(copy + '/' + name), mode_t(0600));
    }
    QVERIFY2(run("sha256sum", {"--strict", "-c", "SHA256SUMS"}, copy, &said) == 0,
             said.constData());
}

QTEST_MAIN(tst_Bundle)
#include "tst_bundle.moc"
