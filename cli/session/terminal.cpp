#include "terminal.h"

#include "run/librarytext.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <sys/utsname.h>

namespace {

// Firmware and /etc state a line or two; a bound keeps a device tree or a
// file someone put there from filling a report.
const qint64 readLimit = 4096;

// What the file states, up to its first NUL (device-tree properties end
// with one), trimmed; empty when it is missing or unreadable, as DMI's
// serials are to all but root.
QByteArray fileText(const QString &root, const char *path)
{
    QFile file(root + QLatin1String(path));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray text = file.read(readLimit);
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    return text.trimmed();
}

QString firstStated(const QString &root, std::initializer_list<const char *> paths)
{
    for (const char *path : paths) {
        const QByteArray text = fileText(root, path);
        if (!text.isEmpty())
            return printable(text);
    }
    return QString();
}

// os-release is shell-like: KEY=value, the value maybe quoted, with
// backslash escapes inside double quotes.
QByteArray osReleaseValue(const QByteArray &content, const QByteArray &key)
{
    for (const QByteArray &line : content.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith(key + '='))
            continue;
        const QByteArray value = trimmed.mid(key.size() + 1);
        const char quote = value.isEmpty() ? '\0' : value.at(0);
        if ((quote != '"' && quote != '\'') || value.size() < 2 || !value.endsWith(quote))
            return value;
        const QByteArray inner = value.mid(1, value.size() - 2);
        if (quote == '\'')
            return inner;
        QByteArray out;
        for (int i = 0; i < inner.size(); ++i) {
            if (inner.at(i) == '\\' && i + 1 < inner.size())
                ++i;
            out += inner.at(i);
        }
        return out;
    }
    return QByteArray();
}

QString osRelease(const QString &root)
{
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(root + QLatin1String(path));
        if (file.open(QIODevice::ReadOnly))
            return printable(osReleaseValue(file.read(readLimit), "PRETTY_NAME").trimmed());
    }
    return QString();
}

QString kernel()
{
    struct utsname names;
    if (::uname(&names) != 0)
        return QString();
    return printable(QByteArray(names.release) + ' ' + QByteArray(names.machine));
}

QString field(const char *label, const QString &text)
{
    return QCoreApplication::translate("Session", label) + ' '
        + (text.isEmpty() ? QCoreApplication::translate("Session", "not stated") : text) + '\n';
}

} // namespace

TerminalIdentity readTerminalIdentity(const QString &root)
{
    const QString base = root.endsWith('/') ? root.left(root.size() - 1) : root;
    TerminalIdentity terminal;
    terminal.host = printable(QSysInfo::machineHostName().toUtf8());
    terminal.machineId = firstStated(base, {"/etc/machine-id"});
    // DMI on PCs and most x86 boards, the device tree on ARM boards.
    terminal.boardModel = firstStated(base, {"/sys/class/dmi/id/product_name",
                                             "/sys/class/dmi/id/board_name",
                                             "/proc/device-tree/model"});
    terminal.boardSerial = firstStated(base, {"/sys/class/dmi/id/product_serial",
                                              "/sys/class/dmi/id/board_serial",
                                              "/proc/device-tree/serial-number"});
    terminal.osRelease = osRelease(base);
    terminal.kernel = kernel();
    terminal.packageVersion = QStringLiteral(CARDREADER_VERSION);
    return terminal;
}

QJsonObject terminalJson(const TerminalIdentity &terminal)
{
    QJsonObject object;
    object.insert("host", terminal.host);
    object.insert("machine_id", terminal.machineId);
    object.insert("board_model", terminal.boardModel);
    object.insert("board_serial", terminal.boardSerial);
    object.insert("os_release", terminal.osRelease);
    object.insert("kernel", terminal.kernel);
    object.insert("package_version", terminal.packageVersion);
    return object;
}

QString describeTerminal(const TerminalIdentity &terminal)
{
    return field(QT_TRANSLATE_NOOP("Session", "host:"), terminal.host)
        + field(QT_TRANSLATE_NOOP("Session", "machine id:"), terminal.machineId)
        + field(QT_TRANSLATE_NOOP("Session", "board model:"), terminal.boardModel)
        + field(QT_TRANSLATE_NOOP("Session", "board serial:"), terminal.boardSerial)
        + field(QT_TRANSLATE_NOOP("Session", "system:"), terminal.osRelease)
        + field(QT_TRANSLATE_NOOP("Session", "kernel:"), terminal.kernel)
        + field(QT_TRANSLATE_NOOP("Session", "package version:"), terminal.packageVersion);
}
