#ifndef CLI_TERMINAL_H
#define CLI_TERMINAL_H

#include <QJsonObject>
#include <QString>

// The terminal a session commissions, as its own system states it. Fields
// the system does not give are empty. Every text is read within a bound and
// made printable: a device tree's model may hold anything.
struct TerminalIdentity
{
    QString host;
    QString machineId;
    QString boardModel;   // DMI's product or board name, or the device tree's model
    QString boardSerial;  // DMI's serial, or the device tree's serial-number
    QString osRelease;    // PRETTY_NAME of os-release
    QString kernel;       // release and machine, as uname gives them
    QString packageVersion;
};

// root is "/" but for tests, which give a folder laid out as a system.
TerminalIdentity readTerminalIdentity(const QString &root = QStringLiteral("/"));
QJsonObject terminalJson(const TerminalIdentity &terminal);
// For people: one field per line, labels translated.
QString describeTerminal(const TerminalIdentity &terminal);

#endif
