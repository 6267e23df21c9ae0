#ifndef CLI_REPORT_H
#define CLI_REPORT_H

#include "guardedcall.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// Library text for a terminal: control characters, backslashes, quotes and
// bytes that are not UTF-8 escaped, so nothing from the library can drive it.
QString printable(const QByteArray &text);

// A call for people: a status line, each value under its field name, the
// library's message and every contract finding.
QString describe(const GuardedCall &call, bool showPin);

// A call for programs: one JSON object on one line.
QByteArray jsonLine(const GuardedCall &call, bool showPin);

// Every call of a burn-in, by operation, for the closing summary.
class Tally
{
public:
    void add(const GuardedCall &call);
    QString table(int rounds) const;
    QByteArray jsonLine(int rounds) const;

private:
    struct Figures
    {
        int calls;
        int succeeded;
        int failed;
        double minMs;
        double medianMs;
        double maxMs;
    };
    Figures figures(const QString &operation) const;

    struct Counts
    {
        int succeeded = 0;
        int failed = 0;
        QVector<double> milliseconds;
    };
    QVector<QString> m_order;
    QMap<QString, Counts> m_counts;
};

#endif
