#ifndef CLI_HISTORY_H
#define CLI_HISTORY_H

#include <QJsonObject>
#include <QString>
#include <QVector>

// The terminal's own log of verdicts: one JSON object per line, appended
// by every run that ends with a verdict. A write cut short never damages an
// earlier line: a line is added by one write, after a newline if the last
// one was left unfinished, and a line that does not read as whole is shown
// as damaged, not taken for a verdict.

// CARDREADER_HISTORY when set; installed, the package's state folder
// (/var/lib/cardreader-tool) where this user may write it; otherwise the
// user's state folder ($XDG_STATE_HOME or ~/.local/state).
QString defaultHistoryPath();
bool appendHistory(const QString &path, const QJsonObject &entry, QString &why);

struct HistoryLine
{
    QJsonObject entry;  // empty for a damaged line
    int lineNumber = 0;
};
// Newest first.
QVector<HistoryLine> readHistory(const QString &path, QString &why);
// `cardreader-cli history`: for people, one verdict per line, newest first,
// or, with json, the lines as they are kept.
QString describeHistory(const QVector<HistoryLine> &lines);

#endif
