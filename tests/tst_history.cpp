#include "session/history.h"

#include <QtTest>

#include <sys/stat.h>

// The terminal's log of verdicts: what a write cut short by a crash or a
// power cut leaves, and what is read back from it.
class tst_History : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cutWriteLeavesOtherLinesWhole_data();
    void cutWriteLeavesOtherLinesWhole();
    void newestFirstForPeople();

private:
    QScopedPointer<QTemporaryDir> m_scratch;
};

namespace {

QJsonObject entry(const QString &verdict, const QString &time)
{
    return QJsonObject{{"time", time}, {"verdict", verdict}, {"line", verdict + ": on counter-01"}};
}

mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace

void tst_History::init()
{
    ::umask(022);
    m_scratch.reset(new QTemporaryDir);
    QVERIFY(m_scratch->isValid());
}

void tst_History::cutWriteLeavesOtherLinesWhole_data()
{
    QTest::addColumn<QByteArray>("damage");  // what a write cut short, or a hand, left

    const QByteArray whole =
        QJsonDocument(entry("PASSED", "2024-05-01T10:00:00+08:00")).toJson(QJsonDocument::Compact);
    QTest::newRow("cut inside a line") << whole.left(whole.size() / 2);
    QTest::newRow("cut just before the closing brace") << whole.left(whole.size() - 1);
    QTest::newRow("an object, but no verdict") << QByteArray("{\"time\":\"2024-05-01\"}\n");
}

void tst_History::cutWriteLeavesOtherLinesWhole()
{
    QFETCH(QByteArray, damage);

    // A umask that takes away even the owner's bits: the modes are the
    // log's own.
    ::umask(0277);
    const QString path = m_scratch->path() + "/state/cardreader-tool/history.jsonl";
    QString why;
    QVERIFY2(appendHistory(path, entry("FAILED", "2024-05-01T09:00:00+08:00"), why),
             qPrintable(why));
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(modeOf(m_scratch->path() + "/state/cardreader-tool"), mode_t(0700));
    QCOMPARE(modeOf(m_scratch->path() + "/state"), mode_t(0700));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append) && file.write(damage) == damage.size());
    file.close();
    QVERIFY2(appendHistory(path, entry("STOPPED", "2024-05-01T11:00:00+08:00"), why),
             qPrintable(why));

    const QVector<HistoryLine> lines = readHistory(path, why);
    QVERIFY2(why.isEmpty() && lines.size() == 3, qPrintable(why));
    QCOMPARE(lines[0].entry.value("verdict").toString(), QString("STOPPED"));
    QCOMPARE(lines[0].lineNumber, 3);
    QVERIFY(lines[1].entry.isEmpty());
    QCOMPARE(lines[1].lineNumber, 2);
    QCOMPARE(lines[2].entry, entry("FAILED", "2024-05-01T09:00:00+08:00"));
    QVERIFY(describeHistory(lines).contains("line 2: damaged, not read as a verdict\n"));
}

void tst_History::newestFirstForPeople()
{
    // A POSIX rule, for a machine without the time zone database.
    qputenv("TZ", "CST-8");
    qputenv("CARDREADER_HISTORY", QFile::encodeName(m_scratch->path() + "/history.jsonl"));
    const QString path = defaultHistoryPath();
    QString why;
    QJsonObject first = entry("PASSED", "2024-05-01T02:00:00Z");
    first.insert("operator", "Li Wei");
    first.insert("work_order", "WO-\x1b[31m7");
    QJsonObject second = entry("FAILED", "2024-05-02T12:30:05+08:00");
    second.insert("bundle", "/var/lib/cardreader-tool/WO-8");
    for (const QJsonObject &verdict : {first, second, entry("NOT CHECKED", "yesterday")})
        QVERIFY(appendHistory(path, verdict, why));

    QCOMPARE(describeHistory(readHistory(path, why)),
             QString("yesterday  NOT CHECKED: on counter-01\n"
                     "2024-05-02 12:30:05 UTC+08:00  FAILED: on counter-01\n"
                     "  bundle: /var/lib/cardreader-tool/WO-8\n"
                     "2024-05-01 10:00:00 UTC+08:00  PASSED: on counter-01\n"
                     "  operator: Li Wei, work order: WO-\\x1b[31m7\n"));
}

QTEST_MAIN(tst_History)
#include "tst_history.moc"
