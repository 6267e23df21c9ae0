#include "childprocess.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

// cardreader-cli against a library that does what a careless or malicious
// maker's library could do to the process that calls it: each fault must be
// named, exit status 3, and the run's word about which file was loaded and
// how its process ended must stay true.
class tst_HostileLibrary : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void faultsNamed_data();
    void faultsNamed();
    void identityOfTheFileLoaded_data();
    void identityOfTheFileLoaded();
    void pathsAsBytes();
    void describedThoughItsLoadingHangs();
    void operatorsStopThroughTheLibrary_data();
    void operatorsStopThroughTheLibrary();

private:
    QStringList command(const QStringList &arguments) const;
    ChildProcess shell(const QString &script, const QMap<QString, QString> &variables = {});
    static QVector<QJsonObject> objects(const QByteArray &out);
    QString path(const QString &name) const { return directory->filePath(name); }

    QScopedPointer<QTemporaryDir> directory;
};

namespace {

const QString badReader = QStringLiteral(BADREADER_DIR "/libVrkReaderClient.so");

QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()
        : QByteArray();
}

QJsonObject summaryOf(const QVector<QJsonObject> &lines)
{
    return lines.isEmpty() ? QJsonObject() : lines.last().value("summary").toObject();
}

} // namespace

void tst_HostileLibrary::init()
{
    directory.reset(new QTemporaryDir);
    QVERIFY(directory->isValid());
}

QStringList tst_HostileLibrary::command(const QStringList &arguments) const
{
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    return command << CLI << arguments;
}

// For what a plain argument list cannot give: a working directory, a file
// name that is not UTF-8. "$CLI" is the program.
ChildProcess tst_HostileLibrary::shell(const QString &script, const QMap<QString, QString> &variables)
{
    QMap<QString, QString> all = variables;
    all.insert("CLI", command({}).join(' '));
    ChildProcess child(directory->path());
    if (!child.start({"sh", "-c", script}, all) || !child.finish())
        qWarning("could not run %s", qPrintable(script));
    return child;
}

QVector<QJsonObject> tst_HostileLibrary::objects(const QByteArray &out)
{
    QVector<QJsonObject> lines;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

void tst_HostileLibrary::faultsNamed_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("named");

    QTest::newRow("closes every descriptor it does not own") << "close-all"
        << "VRK_ReadCarNo closed or replaced the calling process's descriptors";
    QTest::newRow("forks in a call") << "fork" << "VRK_ReadCarNo forked the calling process";
    QTest::newRow("own SIGSEGV handler hides an overrun") << "own-segv-handler"
        << "VRK_ReadCarNo wrote past the end of its 36-byte card number buffer";
    QTest::newRow("own SIGSEGV handler is named") << "own-segv-handler"
        << "the library replaced the handler of segmentation faults (SIGSEGV) at load";
    QTest::newRow("sets a SIGSEGV handler in a call") << "segv-handler-in-call"
        << "VRK_ReadCarNo replaced the handler of segmentation faults (SIGSEGV)";
    QTest::newRow("sets a SIGSEGV handler by the bare system call") << "raw-segv-handler"
        << "VRK_ReadCarNo, or a call before it, replaced the handler of segmentation faults"
           " (SIGSEGV) by the bare system call";
    QTest::newRow("writes 2000 bytes below a buffer") << "write-below-2000-once"
        << "VRK_ReadCarNo wrote before the start of its 36-byte card number buffer";
    QTest::newRow("signals the watching process") << "signal-parent"
        << "VRK_ReadCarNo sent SIGTERM to cardreader-cli";
    QTest::newRow("a process it left behind signals the watching process") << "orphan-sigterm"
        << "VRK_ReadCarNo sent SIGTERM to cardreader-cli";
    QTest::newRow("prints from its constructor") << "load-chatter"
        << "the library wrote 20 bytes to standard output at load";
    QTest::newRow("lowers the file size limit") << "fsize"
        << "VRK_ReadCarNo lowered the calling process's file size limit (RLIMIT_FSIZE)";
    QTest::newRow("sends SIGTERM by sigqueue, naming no sender") << "sigqueue"
        << "VRK_ReadCarNo sent SIGTERM to cardreader-cli";
    QTest::newRow("forks by the bare system call") << "raw-fork"
        << "VRK_ReadCarNo forked the calling process";
    QTest::newRow("makes the watcher its tracer") << "traced"
        << "VRK_ReadCarNo made cardreader-cli its tracer (ptrace)";
    QTest::newRow("changes its own file") << "grow-own-file"
        << "the library file was changed during the run; its SHA-256 is not given";
    QTest::newRow("writes escape sequences over the names in the shared state") << "scribble"
        << "\\x1b[31mEVIL\\x1b[0 crashed: segmentation fault (SIGSEGV)";
    QTest::newRow("fills the shared state with 0x80, then crashes") << "flood-shared"
        << "crashed: segmentation fault (SIGSEGV)";
    QTest::newRow("fills the shared state with zeros, then crashes") << "flood-shared:00"
        << "crashed: segmentation fault (SIGSEGV)";
    QTest::newRow("fills the shared state with 0xff, then crashes") << "flood-shared:ff"
        << "crashed: segmentation fault (SIGSEGV)";
}

// Each fault is named in the text the operator reads, the run still closes
// with its summary, and the exit status is 3: never a stop by signal, an
// output failure or success.
void tst_HostileLibrary::faultsNamed()
{
    QFETCH(QString, fault);
    QFETCH(QString, named);
    if (fault == "traced" && qstrlen(EMULATOR) > 0)
        QSKIP("qemu-user cannot trace the programs it runs");
    if (fault == "orphan-sigterm" && qstrlen(EMULATOR) > 0)
        QSKIP("under qemu-user a process the library leaves is not handed to the watcher");

    const QString fill = fault.section(':', 1);
    fault = fault.section(':', 0, 0);
    QStringList arguments{"--repeat", "2", "card-number"};
    // A handler set round the C library is read back now and then, not
    // after every call.
    if (fault == "raw-segv-handler")
        arguments << "--pause" << "100";
    // Its signal comes a while after the call.
    if (fault == "orphan-sigterm")
        arguments << "--pause" << "600";
    if (fault == "flood-shared")
        arguments << "--junit" << path("run.xml") << "--html" << path("run.html");
    ChildProcess cli(directory->path());
    // The output is a file: a lowered file size limit then meets it.
    cli.outputPath = path("out.txt");
    QVERIFY(cli.start(command(arguments), {{"LD_LIBRARY_PATH", BADREADER_DIR},
                                           {"BADREADER_FAULT", fault},
                                           {"BADREADER_FILL", fill.isEmpty() ? "80" : fill}}));
    QVERIFY(cli.finish());
    QFile file(cli.outputPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString said = QString::fromUtf8(file.readAll() + cli.err);
    QVERIFY2(said.contains(named), qPrintable(said));
    QVERIFY2(said.contains("summary of "), qPrintable(said));
    QVERIFY2(!said.contains('\x1b'), qPrintable(said));
    QCOMPARE(cli.exitCode, 3);
    // The write below, once: the guard is whole again for the next call.
    if (fault == "write-below-2000-once")
        QVERIFY2(said.contains(QRegularExpression("\n  card-number +2 +1 +0 +0 +0 +1 ")), qPrintable(said));
    // Nothing hashed after the library changed its file.
    if (fault == "grow-own-file")
        QVERIFY2(!said.contains("(sha256 "), qPrintable(said));
    // Reports made from a shared state the library filled are still whole,
    // and what it wrote is shown within the 64 KiB kept, whatever the count
    // says: each byte is four characters escaped.
    if (fault == "flood-shared") {
        for (const QString &line : said.split('\n'))
            QVERIFY2(line.size() <= 4 * 64 * 1024 + 64, qPrintable(QString::number(line.size())));
        QFile junit(path("run.xml"));
        QVERIFY(junit.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&junit);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QFile html(path("run.html"));
        QVERIFY(html.open(QIODevice::ReadOnly));
        QVERIFY(html.readAll().trimmed().endsWith("</html>"));
    }
    // A fork counts each call once: the copy reports nothing.
    if (fault == "fork" || fault == "raw-fork")
        QVERIFY2(said.contains(QRegularExpression("\n  card-number +2 +0 +0 +0 +0 +2 ")), qPrintable(said));
}

void tst_HostileLibrary::identityOfTheFileLoaded_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("machine");  // written over the copy's e_machine, or 0
    QTest::addColumn<QString>("ended");  // why the run ended early; empty: it did not

    QTest::newRow("overwrites hashes in shared memory") << "forge" << 0 << QString();
    QTest::newRow("renames the simulated reader over itself at load")
        << "rename-over" << 0 << QString();
    QTest::newRow("crashes at load") << "load-crash" << 0
        << "loading the library crashed: segmentation fault (SIGSEGV)";
    const bool aarch64 = QSysInfo::currentCpuArchitecture() == "arm64";
    QTest::newRow("built for another architecture") << "" << (aarch64 ? 62 : 183)
        << QStringLiteral("the library cannot be loaded: built for %1")
               .arg(aarch64 ? "x86-64, this is AArch64" : "AArch64, this is x86-64");
}

// Which file was loaded, named by a relative path, is taken from the file
// before its code runs: its absolute path, and the SHA-256 of its own bytes
// in the library line, the summary and the metrics, whether it loads or not.
void tst_HostileLibrary::identityOfTheFileLoaded()
{
    QFETCH(QString, fault);
    QFETCH(int, machine);
    QFETCH(QString, ended);

    const QString library = path("libVrkReaderClient.so");
    QVERIFY(QFile::copy(badReader, library));
    QVERIFY(QFile::copy(QFileInfo(CLI).dir().filePath("libVrkReaderClient.so"),
                        path("impostor.so")));
    if (machine) {
        QFile file(library);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(18));
        const char bytes[2] = {char(machine & 0xff), char(machine >> 8)};
        QCOMPARE(file.write(bytes, 2), qint64(2));
    }
    const QByteArray truth = sha256Of(library);

    const ChildProcess cli = shell("cd \"$DIR\" && exec $CLI --json --library libVrkReaderClient.so"
                                   " --metrics run.prom library card-number",
                                   {{"DIR", directory->path()}, {"BADREADER_FAULT", fault},
                                    {"BADREADER_IMPOSTOR", path("impostor.so")}});
    const QVector<QJsonObject> lines = objects(cli.out);
    QCOMPARE(lines.value(0).value("library").toObject().value("sha256").toString().toLatin1(),
             truth);
    const QJsonObject summary = summaryOf(lines);
    QCOMPARE(summary.value("ended_early").toString(), ended);
    const QJsonObject named = summary.value("library").toObject();
    QCOMPARE(named.value("path").toString(), QFileInfo(library).absoluteFilePath());
    QCOMPARE(named.value("sha256").toString().toLatin1(), truth);
    QCOMPARE(named.value("simulated_reader").toBool(), false);
    QFile metrics(path("run.prom"));
    QVERIFY(metrics.open(QIODevice::ReadOnly));
    QVERIFY(metrics.readAll().contains("sha256=\"" + truth + '"'));
    QCOMPARE(cli.exitCode, 3);
}

// A file name need not be UTF-8: the library is found, loaded and named by
// its own bytes.
void tst_HostileLibrary::pathsAsBytes()
{
    const ChildProcess cli = shell("dir=\"$DIR/$(printf '\\377')\" && mkdir \"$dir\" && cp \"$LIB\" \"$dir\" && "
                                   "$CLI --json --library \"$dir/libVrkReaderClient.so\" library; "
                                   // Qt cannot name the folder to remove it.
                                   "status=$?; rm -rf \"$dir\"; exit $status",
                                   {{"DIR", directory->path()},
                                    {"LIB", QFileInfo(CLI).dir().filePath("libVrkReaderClient.so")}});
    QCOMPARE(cli.exitCode, 0);
    const QJsonObject library = objects(cli.out).value(0).value("library").toObject();
    QCOMPARE(QByteArray::fromBase64(library.value("path_base64").toString().toLatin1()),
             QFile::encodeName(directory->path()) + "/\xff/libVrkReaderClient.so");
    QCOMPARE(library.value("simulated_reader").toBool(), true);
}

// The first question of a support case waits for no watchdog: a library
// whose loading hangs is described at once, from its file.
void tst_HostileLibrary::describedThoughItsLoadingHangs()
{
    ChildProcess cli(directory->path());
    cli.outputPath = path("out.json");
    QVERIFY(cli.start(command({"--json", "--timeout", "60", "library"}),
                      {{"LD_LIBRARY_PATH", BADREADER_DIR}, {"BADREADER_FAULT", "load-hang"}}));
    QTest::qWait(4000);
    QFile out(cli.outputPath);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray shown = out.readAll();
    cli.interruptGroup();
    QTest::qWait(100);
    cli.interruptGroup();
    QVERIFY(cli.finish());
    const QJsonObject library = objects(shown).value(0).value("library").toObject();
    QVERIFY2(library.value("path").toString().endsWith("/bad/libVrkReaderClient.so"), shown.constData());
}

void tst_HostileLibrary::operatorsStopThroughTheLibrary_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("a handler of its own ends the process") << "handle-interrupt";
    QTest::newRow("Ctrl-C's default action restored") << "default-interrupt";
}

// Ctrl-C at a terminal reaches the calling process too, where the library
// may have a handler of its own that ends it, or have put back the default
// action that ends it: the operator's stop, not a breach of the contract.
void tst_HostileLibrary::operatorsStopThroughTheLibrary()
{
    QFETCH(QString, fault);
    ChildProcess cli(directory->path());
    QVERIFY(cli.start(command({"--json", "--timeout", "0", "card-number"}),
                      {{"LD_LIBRARY_PATH", BADREADER_DIR}, {"BADREADER_FAULT", fault}}));
    QTest::qWait(500);
    cli.interruptGroup();
    QVERIFY(cli.finish());
    const QJsonObject summary = summaryOf(objects(cli.out));
    QCOMPARE(summary.value("stopped_call").toString(), QStringLiteral("card-number (VRK_ReadCarNo)"));
    QVERIFY2(!summary.contains("ended_early") && !cli.out.contains("crashed"), cli.out.constData());
    QCOMPARE(cli.exitCode, 130);
}

QTEST_GUILESS_MAIN(tst_HostileLibrary)
#include "tst_hostilelibrary.moc"
