#ifndef CLI_GUARDEDCALL_H
#define CLI_GUARDEDCALL_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>
#include <deque>
#include <vector>

// One call into the reader library: what it was given and what came back.
// Every buffer handed to the library is zero-filled and followed by guard
// bytes; finish() checks that the library kept inside each buffer, ended its
// text with a NUL and wrote UTF-8, and reads each buffer within its size.
class GuardedCall
{
public:
    struct Number
    {
        QString name;
        int value;
    };
    struct Value
    {
        QString name;
        QByteArray text;
        bool secret;
    };

    GuardedCall(const QString &operation, const char *function);

    // Each returns what is handed to the library, and notes it for the report.
    int argument(const char *name, int value);
    char *textArgument(const char *name, std::size_t size, const QByteArray &text);
    char *value(const char *name, std::size_t size);
    char *secret(const char *name, std::size_t size);
    int *output(const char *name);
    char *error();

    // Right before and right after the library call.
    void start();
    void finish(int result);

    bool ok() const { return result == 0; }

    QString operation;
    QString function;
    QVector<Number> arguments;
    QVector<Value> textArguments;
    int result = 0;
    QVector<Value> values;
    QVector<Number> outputs;
    QByteArray message;
    double milliseconds = 0;
    QStringList findings;

private:
    enum class Kind { Argument, Value, Secret, Error };
    struct Buffer
    {
        QString name;
        Kind kind;
        std::size_t size;
        std::vector<char> bytes;
    };

    char *add(const char *name, Kind kind, std::size_t size);
    void check(const Buffer &buffer, const QByteArray &text);

    std::deque<Buffer> m_buffers;
    std::deque<int> m_outputs;
    QElapsedTimer m_timer;
};

#endif
