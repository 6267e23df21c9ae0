#include "childprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>

// The examples of cardreader-cli in the README, in every page of docs/ and
// in the manual page's EXAMPLES run as printed, against the built program and the simulated reader, so
// that none prints what the text does not say. An example is a line of a
// ```sh block whose first word past any
// VAR=value is cardreader-cli, or a line after "$ " in a plain block, where
// the lines up to the next "$ " are what it prints. Lines that end in a
// backslash go on on the next. Examples that name no such first word (ssh,
// ansible-playbook) need terminals and are not run. In the manual page, a
// block of EXAMPLES is read as a plain block where it shows a "$ " line,
// and as a ```sh block otherwise.
class tst_Readme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examples_data();
    void examples();
    void links_data();
    void links();

private:
    QTemporaryDir m_dir;
};

namespace {

struct Example
{
    QString page;  // the file it is printed in, as README.md or docs/fleets.md
    QString command;
    bool printsShown = false;
    QStringList shown;
};

QVector<Example> examplesIn(const QString &page, const QString &text)
{
    const QRegularExpression ofTheChecker("^(?:[A-Z_]+=\\S+\\s+)*cardreader-cli(?:\\s|$)");
    QVector<Example> examples;
    bool inBlock = false;
    bool shell = false;
    bool showing = false;
    int indent = 0;
    QString logical;  // a line and those it goes on to
    for (const QString &raw : text.split('\n')) {
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
            examples.append(Example{page, text});
        } else if (!shell && text.startsWith("$ ")) {
            showing = ofTheChecker.match(text.mid(2)).hasMatch();
            if (showing)
                examples.append(Example{page, text.mid(2), true});
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

// The folder of the README, with its slash: the pages' paths are under it.
QString source()
{
    return QFileInfo(QStringLiteral(README)).absolutePath() + '/';
}

QString contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The README, then the pages of docs/ by name, each path as the project
// names it.
QStringList pages()
{
    QStringList pages{QStringLiteral("README.md")};
    for (const QString &name : QDir(source() + "docs").entryList({"*.md"}, QDir::Files, QDir::Name))
        pages << "docs/" + name;
    return pages;
}

const char manualPage[] = "cli/cardreader-cli.1";

// The manual page's EXAMPLES, each .nf block a block of the README's kind,
// with roff's escapes of a backslash and a minus undone.
QString examplesOfTheManual(const QString &roff)
{
    QString out;
    bool inExamples = false;
    QStringList block;
    for (QString line : roff.split('\n')) {
        if (line.startsWith(".SH "))
            inExamples = line == ".SH EXAMPLES";
        if (!inExamples)
            continue;
        if (line == ".nf") {
            block = QStringList();
        } else if (line == ".fi") {
            const bool showing = std::any_of(block.begin(), block.end(),
                                             [](const QString &l) { return l.startsWith("$ "); });
            out += (showing ? "```\n" : "```sh\n") + block.join('\n') + "\n```\n";
        } else {
            block << line.replace("\\e", "\\").replace("\\-", "-");
        }
    }
    return out;
}

QVector<Example> allExamples()
{
    QVector<Example> all;
    for (const QString &page : pages())
        all += examplesIn(page, contentsOf(source() + page));
    all += examplesIn(manualPage, examplesOfTheManual(contentsOf(source() + manualPage)));
    return all;
}

} // namespace

// One working folder for all, in the order of the pages and of each page:
// an example may use what an earlier one made (a recording, then a check
// against it).
void tst_Readme::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY2(pages().size() > 1, "no page found in docs/ beside " README);
    for (const QString &page : pages())
        QVERIFY2(!contentsOf(source() + page).isEmpty(), qPrintable(page));
    const QVector<Example> all = allExamples();
    QVERIFY2(std::any_of(all.begin(), all.end(), [](const Example &e) { return e.page == "README.md"; }),
             "no example found in README.md");
    QVERIFY2(std::any_of(all.begin(), all.end(), [](const Example &e) { return e.page.startsWith("docs/"); }),
             "no example found in docs/");
    QVERIFY2(std::any_of(all.begin(), all.end(), [](const Example &e) { return e.page == manualPage && e.printsShown; }),
             "no example that shows its output in " + QByteArray(manualPage));
}

void tst_Readme::examples_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("printsShown");
    QTest::addColumn<QStringList>("shown");

    for (const Example &example : allExamples())
        QTest::newRow(qPrintable(example.page + ": " + example.command))
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

// Every relative link of the pages (a picture, another page, a script) names
// a file of the project, and an anchor into a page one of its headings, as
// GitHub makes them: lower case, spaces as hyphens, other punctuation gone.
void tst_Readme::links_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("target");
    const QRegularExpression link("\\]\\(([^)\\s]+)\\)");
    for (const QString &page : pages()) {
        QStringList seen;  // a page may link to the same place twice
        QRegularExpressionMatchIterator found = link.globalMatch(contentsOf(source() + page));
        while (found.hasNext()) {
            const QString target = found.next().captured(1);
            if (target.contains("://") || seen.contains(target))
                continue;
            seen << target;
            QTest::newRow(qPrintable(page + " -> " + target)) << page << target;
        }
    }
}

void tst_Readme::links()
{
    QFETCH(QString, page);
    QFETCH(QString, target);

    const int hash = target.indexOf('#');
    const QString file = hash < 0 ? target : target.left(hash);
    const QString path = file.isEmpty()
        ? source() + page
        : QDir::cleanPath(QFileInfo(source() + page).path() + '/' + file);
    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    if (hash < 0)
        return;
    QStringList anchors;
    for (const QString &line : contentsOf(path).split('\n')) {
        if (!line.startsWith('#'))
            continue;
        QString heading = line.mid(line.indexOf(' ') + 1).trimmed().toLower();
        heading.remove(QRegularExpression("[^\\w\\- ]", QRegularExpression::UseUnicodePropertiesOption));
        anchors << heading.replace(' ', '-');
    }
    QVERIFY2(anchors.contains(target.mid(hash + 1)), qPrintable(anchors.join(", ")));
}

QTEST_GUILESS_MAIN(tst_Readme)
#include "tst_readme.moc"
