#include "history.h"

#include "report/report.h"
#include "run/librarytext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const char fileName[] = "history.jsonl";

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Whether this program is the installed one: the package's log is then
// the terminal's own, kept whoever runs it, where this user may write it.
bool runsInstalled()
{
    const QString installed =
        QFileInfo(QStringLiteral(CARDREADER_INSTALL_DIR)).canonicalFilePath();
    return !installed.isEmpty()
        && QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath() == installed;
}

// Each missing folder on the way private, as the XDG base directories are
// made: the log names operators and work orders. Exactly 0700, whatever
// the umask took away, or the next folder could not be made in it.
bool makeFolders(const QString &folder, QString &why)
{
    QStringList missing;
    for (QString path = QDir::cleanPath(folder); !QFileInfo(path).exists();
         path = QFileInfo(path).absolutePath())
        missing.prepend(path);
    for (const QString &path : missing) {
        const QByteArray encoded = QFile::encodeName(path);
        if ((::mkdir(encoded.constData(), S_IRWXU) != 0 && errno != EEXIST)
            || ::chmod(encoded.constData(), S_IRWXU) != 0) {
            why = QCoreApplication::translate("History", "cannot make %1: %2")
                      .arg(path, systemReason());
            return false;
        }
    }
    return true;
}

// The log itself, never what a link there points to, nor a FIFO or a
// device that would take the line elsewhere or wait for a reader.
int openLog(const QByteArray &path)
{
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.constData(), flags | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
    if (fd < 0 && errno == EEXIST)
        fd = ::open(path.constData(), flags);
    struct stat status;
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // Exactly 0600, whatever the umask took away or an older file had: it
    // names operators and work orders.
    if (fd >= 0 && status.st_uid == ::geteuid())
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    return fd;
}

// A write cut short leaves the last line without its newline: the next
// line starts on a line of its own, and the cut one stays as it was.
bool endsUnfinished(int fd)
{
    struct stat status;
    char last = '\n';
    return ::fstat(fd, &status) == 0 && status.st_size > 0
        && ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n';
}

QString text(const QJsonObject &entry, const char *key)
{
    return printable(entry.value(QLatin1String(key)).toString().toUtf8());
}

QString shownTime(const QString &iso)
{
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    return time.isValid() ? localTime(time.toMSecsSinceEpoch()) : printable(iso.toUtf8());
}

QString usualHistoryPath()
{
    const QByteArray chosen = qgetenv("CARDREADER_HISTORY");
    if (!chosen.isEmpty())
        return QFile::decodeName(chosen);
    const QString state = QStringLiteral(CARDREADER_STATE_DIR);
    if (runsInstalled() && ::access(QFile::encodeName(state).constData(), W_OK | X_OK) == 0)
        return state + '/' + QLatin1String(fileName);
    const QByteArray xdg = qgetenv("XDG_STATE_HOME");
    // The base directory specification ignores a relative path.
    const QString base = xdg.startsWith('/') ? QFile::decodeName(xdg)
                                             : QDir::homePath() + QLatin1String("/.local/state");
    return base + QLatin1String("/cardreader-tool/") + QLatin1String(fileName);
}

} // namespace

// Worked out once: a run asks at its start, so that no report replaces the
// history, and again as it adds its verdict.
QString defaultHistoryPath()
{
    static const QString path = usualHistoryPath();
    return path;
}

bool appendHistory(const QString &path, const QJsonObject &entry, QString &why)
{
    if (!makeFolders(QFileInfo(path).absolutePath(), why))
        return false;
    const int fd = openLog(QFile::encodeName(path));
    if (fd < 0) {
        why = errno == EINVAL || errno == ELOOP
            ? QCoreApplication::translate("History", "%1 is not a regular file").arg(path)
            : QCoreApplication::translate("History", "cannot open %1: %2").arg(path, systemReason());
        return false;
    }
    QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    if (endsUnfinished(fd))
        line.prepend('\n');
    // One write, which O_APPEND places at the end whoever else appends.
    ssize_t written;
    do
        written = ::write(fd, line.constData(), std::size_t(line.size()));
    while (written < 0 && errno == EINTR);
    // Not synced: every run that made calls adds its line, a single read
    // too, and a sync costs it a tenth of its time. A power cut can take
    // the last line with it, never an earlier one; the bundle is the record
    // that is kept whole.
    bool ok = written == line.size();
    if (!ok) {
        why = written >= 0 && written < line.size()
            ? QCoreApplication::translate("History", "%1: only part of the line was written")
                  .arg(path)
            : QCoreApplication::translate("History", "cannot write %1: %2")
                  .arg(path, systemReason());
    }
    if (::close(fd) != 0 && ok) {
        why = QCoreApplication::translate("History", "cannot write %1: %2")
                  .arg(path, systemReason());
        ok = false;
    }
    return ok;
}

QVector<HistoryLine> readHistory(const QString &path, QString &why)
{
    QVector<HistoryLine> lines;
    QFile file(path);
    // A FIFO there would wait for a writer for ever.
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile()) {
        why = QCoreApplication::translate("History", "%1 is not a regular file").arg(path);
        return lines;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            why = QCoreApplication::translate("History", "cannot read %1: %2")
                      .arg(path, file.errorString());
        return lines;
    }
    const QList<QByteArray> content = file.readAll().split('\n');
    // The last piece follows the last newline: empty unless a write was cut.
    const int count = content.size() - (content.last().isEmpty() ? 1 : 0);
    for (int i = 0; i < count; ++i) {
        HistoryLine line;
        line.lineNumber = i + 1;
        const QJsonDocument document = QJsonDocument::fromJson(content.at(i));
        if (document.isObject() && document.object().value("verdict").isString())
            line.entry = document.object();
        lines.append(line);
    }
    std::reverse(lines.begin(), lines.end());
    return lines;
}

QString describeHistory(const QVector<HistoryLine> &lines)
{
    QString out;
    for (const HistoryLine &line : lines) {
        if (line.entry.isEmpty()) {
            out += QCoreApplication::translate("History", "line %1: damaged, not read as a verdict")
                       .arg(line.lineNumber)
                + '\n';
            continue;
        }
        const QJsonObject &entry = line.entry;
        // As the person who ran it read it, in their language, where kept.
        const QString verdict = !text(entry, "shown").isEmpty() ? text(entry, "shown")
            : !text(entry, "line").isEmpty()                    ? text(entry, "line")
                                                                : text(entry, "verdict");
        out += shownTime(entry.value("time").toString()) + "  " + verdict + '\n';
        QStringList who;
        if (!text(entry, "operator").isEmpty())
            who << QCoreApplication::translate("History", "operator: %1")
                       .arg(text(entry, "operator"));
        if (!text(entry, "work_order").isEmpty())
            who << QCoreApplication::translate("History", "work order: %1")
                       .arg(text(entry, "work_order"));
        if (!who.isEmpty())
            out += "  " + who.join(QCoreApplication::translate("History", ", ")) + '\n';
        if (!text(entry, "bundle").isEmpty())
            out += "  "
                + QCoreApplication::translate("History", "bundle: %1").arg(text(entry, "bundle"))
                + '\n';
    }
    return out;
}
