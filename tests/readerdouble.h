#ifndef READERDOUBLE_H
#define READERDOUBLE_H

#include <QByteArray>
#include <QList>

// A recording double of the reader library, linked in its place: it records
// every call's arguments and answers with what the test scripted.
namespace ReaderDouble {

struct Call
{
    QByteArray function;
    QList<int> numbers;        // int arguments passed by value, in order
    QByteArray regionCode;     // VRK_OpenDev's region code, up to its NUL
    bool zeroFilled = true;    // every buffer and int output arrived zeroed
};

// How the following calls of one function answer. The values go into the
// output buffers in argument order, byte for byte: a value as long as its
// buffer is written without a NUL.
struct Answer
{
    int result = 0;
    QList<QByteArray> values;
    QByteArray error;
};

void reset();
void setAnswer(const QByteArray &function, const Answer &answer);
QList<Call> calls();

} // namespace ReaderDouble

#endif
