#include "childprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The README's examples of cardreader-cli run as printed, against the built
// program and the simulated reader, so that none prints what the text does
// not say. An example is a line of a ```sh block whose first word past any
// VAR=value is cardreader-cli, or a line after "$ " in a plain block, where
// the lines up to the next "$ " are what it prints. Lines that end in a
// backslash go on on the next. Examples that name no such first word (ssh,
// ansible-playbook) need terminals and are not run.
class tst_Readme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examples_data();
    void examples();

private:
    QTemporaryDir m_dir;
};

namespace {

struct Example
{
    QString command;
    bool printsShown = false;
    QStringList shown;
};

QVector<Example> examplesIn(const QString &readme)
{
    const QRegularExpression ofTheChecker("^(?:[A-Z_]+=\\S+\\s+)*cardreader-cli(?:\\s|$)");
    QVector<Example> examples;
    bool inBlock = false;
    bool shell = false;
    bool showing = false;
    int indent = 0;
    QString logical;  // a line and those it goes on to
    for (const QString &raw : readme.split('\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith("```")) {
            inBlock = !inBlock;
            shell = line == "```sh";
            indent = raw.indexOf('`');
            showing = false;
            logical.clear();
            continue;
        }
        if (!inBlock)
            continue;
        if (line.endsWith('\\')) {
            logical += line.left(line.size() - 1).trimmed() + ' ';
            continue;
        }
        const QString text = logical + line;
        logical.clear();
        if (shell && ofTheChecker.match(text).hasMatch()) {
            examples.append(Example{text});
        } else if (!shell && text.startsWith("$ ")) {
            showing = ofTheChecker.match(text.mid(2)).hasMatch();
            if (showing)
                examples.append(Example{text.mid(2), true});
        } else if (showing) {
            examples.last().shown << raw.mid(indent);
        }
    }
    return examples;
}

// A shown line "  size: 96352 bytes" by its label: paths, sizes and hashes
// differ from build to build. Other lines whole.
QString labelOf(const QString &line)
{
    const QRegularExpressionMatch labelled = QRegularExpression("^(\\s*[^:]+): ").match(line);
    return labelled.hasMatch() ? labelled.captured(1) + ':' : line;
}

QString readme()
{
    QFile file(QStringLiteral(README));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// One working folder for all, in the README's order: an example may use what
// an earlier one made (a recording, then a check against it).
void tst_Readme::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY2(!examplesIn(readme()).isEmpty(), "no example found in " README);
}

void tst_Readme::examples_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("printsShown");
    QTest::addColumn<QStringList>("shown");

    for (const Example &example : examplesIn(readme()))
        QTest::newRow(qPrintable(example.command))
            << example.command << example.printsShown << example.shown;
}

// An absolute path is taken under a scratch root, where a library file is a
// second build of the simulated reader standing for the maker's, and the
// folder of any other file is made. Every example is of a run where each
// call succeeds, exit status 0 with nothing said; a burn-in still running
// after a second is stopped as by Ctrl-C, and must close with its summary.
void tst_Readme::examples()
{
    QFETCH(QString, command);
    QFETCH(bool, printsShown);
    QFETCH(QStringList, shown);

    QString prepared = command;
    QRegularExpressionMatchIterator paths =
        QRegularExpression("(?<=[\\s=])/[^\\s'\"|;&]+").globalMatch(command);
    while (paths.hasNext()) {
        const QString path = paths.next().captured(0);
        const QString there = m_dir.filePath("root") + path;
        QVERIFY(QDir().mkpath(QFileInfo(there).path()));
        if (path.endsWith(".so") && !QFile::exists(there))
            QVERIFY(QFile::copy(QStringLiteral(MAKER), there));
        prepared.replace(path, there);
    }
    const bool burnIn = command.contains(QRegularExpression("--(repeat|duration)\\b"));

    ChildProcess example(m_dir.path());
    // The shell waits for the program when it is stopped, and ends with its
    // exit status, as an interactive one does.
    QVERIFY(example.start({"sh", "-c", "trap : INT; " + prepared},
                          {{"PATH", QFileInfo(CLI).path() + ':' + qgetenv("PATH")}}));
    if (burnIn) {
        QTest::qWait(1000);
        example.interruptGroup(SIGINT);
    }
    QVERIFY(example.finish());
    const QString said = QString::fromUtf8(example.out + example.err);
    if (burnIn) {
        QVERIFY2(example.exitCode == 0 || example.exitCode == 128 + SIGINT, qPrintable(said));
        QVERIFY2(example.out.contains("summary of "), qPrintable(said));
    } else {
        QVERIFY2(example.exitCode == 0, qPrintable(said));
        QVERIFY2(example.err.isEmpty(), qPrintable(said));
    }
    if (printsShown) {
        QStringList printed = QString::fromUtf8(example.out).split('\n');
        if (printed.last().isEmpty())
            printed.removeLast();
        while (!shown.isEmpty() && shown.last().isEmpty())
            shown.removeLast();
        QCOMPARE(printed.size(), shown.size());
        for (int i = 0; i < shown.size(); ++i)
            QCOMPARE(labelOf(printed[i]), labelOf(shown[i]));
    }
}

QTEST_GUILESS_MAIN(tst_Readme)
#include "tst_readme.moc"
