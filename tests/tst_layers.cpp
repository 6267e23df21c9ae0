#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

// cardreader-cli's folders are layers: a file includes only from its own
// folder or from a layer below it, so that a reader of report/ never has to
// learn the caller or the watcher first. The reader library's own headers
// lie below them all.
namespace {

const QString cli = QStringLiteral(CLI_SOURCE);
const QString reader = QStringLiteral(READER_SOURCE);

// Siblings share a rank and must not include each other either.
int rankOf(const QString &folder)
{
    static const QHash<QString, int> ranks{
        {"run", 1},    {"judge", 2},   {"report", 2}, {"libraryfile", 2},
        {"session", 3}, {"caller", 4}, {"watcher", 5}, {".", 6},
    };
    return ranks.value(folder, -1);
}

// The folder of cli/ an include names, "reader" for the reader
// library's headers, or empty when it names nothing there.
QString folderOf(const QString &include, const QString &includer)
{
    if (include.contains('/'))
        return QFileInfo(cli + '/' + include).isFile() ? include.section('/', 0, 0) : QString();
    if (QFileInfo(cli + '/' + includer + '/' + include).isFile())
        return includer;
    if (QFileInfo(reader + '/' + include).isFile())
        return QStringLiteral("reader");
    return QString();
}

} // namespace

class tst_Layers : public QObject
{
    Q_OBJECT

private slots:
    void includesOnlyFromBelow_data();
    void includesOnlyFromBelow();
};

void tst_Layers::includesOnlyFromBelow_data()
{
    QTest::addColumn<QString>("file");
    QDirIterator it(cli, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString file = QDir(cli).relativeFilePath(it.next());
        QTest::newRow(qPrintable(file)) << file;
        ++files;
    }
    QVERIFY2(files > 20, qPrintable(cli));
}

void tst_Layers::includesOnlyFromBelow()
{
    QFETCH(QString, file);
    const QString folder = file.contains(QLatin1Char('/')) ? file.section('/', 0, 0) : QStringLiteral(".");
    QVERIFY2(rankOf(folder) > 0, qPrintable("cli/" + folder + " is in no layer"));

    QFile source(cli + '/' + file);
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Text));
    // cli/ is on the include path, so <report/output.h> reaches it too.
    const QRegularExpression included(
        QStringLiteral("^\\s*#\\s*include\\s*(?:\"([^\"]+)\"|<([^>]+)>)"),
        QRegularExpression::MultilineOption);
    auto match = included.globalMatch(QString::fromUtf8(source.readAll()));
    while (match.hasNext()) {
        const QRegularExpressionMatch next = match.next();
        const bool quoted = next.capturedLength(1) > 0;
        const QString include = next.captured(quoted ? 1 : 2);
        const QString from = folderOf(include, folder);
        if (!quoted && (from.isEmpty() || !include.contains('/')))
            continue;
        QVERIFY2(!from.isEmpty(), qPrintable(include + " names no header of cli/ or reader/"));
        if (from == folder || from == "reader")
            continue;
        QVERIFY2(rankOf(from) >= 0 && rankOf(from) < rankOf(folder),
                 qPrintable(include + " is not below cli/" + folder));
    }
}

QTEST_MAIN(tst_Layers)
#include "tst_layers.moc"
