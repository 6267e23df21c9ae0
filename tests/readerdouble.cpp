#include "readerdouble.h"

#include "vrkreaderclient.h"

#include <QHash>

#include <cstring>

namespace ReaderDouble {

namespace {

QHash<QByteArray, Answer> answers;
QList<Call> recorded;

class Recorder
{
public:
    explicit Recorder(const char *function)
        : m_answer(answers.value(function))
    {
        m_call.function = function;
    }

    Recorder &number(int value)
    {
        m_call.numbers << value;
        return *this;
    }

    Recorder &regionCode(char *buffer)
    {
        const int length = int(strnlen(buffer, 10));
        m_call.regionCode = QByteArray(buffer, length);
        checkZeroed(buffer + length, 10 - length);
        return *this;
    }

    Recorder &output(int *value)
    {
        if (*value != 0)
            m_call.zeroFilled = false;
        return *this;
    }

    Recorder &value(char *buffer, int size)
    {
        checkZeroed(buffer, size);
        write(buffer, size, m_answer.values.value(m_nextValue++));
        return *this;
    }

    int error(char *buffer)
    {
        checkZeroed(buffer, 1024);
        write(buffer, 1024, m_answer.error);
        recorded << m_call;
        return m_answer.result;
    }

private:
    void checkZeroed(const char *buffer, int size)
    {
        for (int i = 0; i < size; ++i) {
            if (buffer[i] != 0)
                m_call.zeroFilled = false;
        }
    }

    static void write(char *buffer, int size, const QByteArray &bytes)
    {
        if (bytes.size() > size)
            qFatal("a scripted value of %d bytes does not fit its %d-byte buffer",
                   int(bytes.size()), size);
        std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
    }

    Answer m_answer;
    Call m_call;
    int m_nextValue = 0;
};

} // namespace

void reset()
{
    answers.clear();
    recorded.clear();
}

void setAnswer(const QByteArray &function, const Answer &answer)
{
    answers.insert(function, answer);
}

QList<Call> calls()
{
    return recorded;
}

} // namespace ReaderDouble

using ReaderDouble::Recorder;

int VRK_OpenDev(int deviceType, char *regionCode, char *error)
{
    return Recorder("VRK_OpenDev").number(deviceType).regionCode(regionCode).error(error);
}

int VRK_ReadCarNo(char *cardNumber, char *error)
{
    return Recorder("VRK_ReadCarNo").value(cardNumber, 36).error(error);
}

int VRK_ReadCardBas(char *cardIdCode, char *cardType, char *cardVersion, char *issuerCode,
                    char *issueDate, char *validity, char *cardNumber, char *idNumber,
                    char *name, char *sex, char *ethnicGroup, char *birthPlace,
                    char *birthDate, char *error)
{
    return Recorder("VRK_ReadCardBas")
        .value(cardIdCode, 36).value(cardType, 36).value(cardVersion, 36)
        .value(issuerCode, 36).value(issueDate, 36).value(validity, 36)
        .value(cardNumber, 36).value(idNumber, 36).value(name, 36).value(sex, 36)
        .value(ethnicGroup, 36).value(birthPlace, 36).value(birthDate, 36)
        .error(error);
}

int VRK_ReadCardCertID(char *cardNumber, char *cardIdCode, char *error)
{
    return Recorder("VRK_ReadCardCertID").value(cardNumber, 36).value(cardIdCode, 36)
        .error(error);
}

int VRK_ReadCardCity(char *regionCode, char *error)
{
    return Recorder("VRK_ReadCardCity").value(regionCode, 36).error(error);
}

int VRK_IDCard_Read(char *name, char *sex, char *ethnicGroup, char *birthDate,
                    char *birthPlace, char *idNumber, char *authority, char *validity,
                    char *validUntil, char *error)
{
    return Recorder("VRK_IDCard_Read")
        .value(name, 36).value(sex, 36).value(ethnicGroup, 36).value(birthDate, 36)
        .value(birthPlace, 256).value(idNumber, 36).value(authority, 256)
        .value(validity, 36).value(validUntil, 36)
        .error(error);
}

int VRK_ICBankCard_ReadNO(char *cardNumber, char *error)
{
    return Recorder("VRK_ICBankCard_ReadNO").value(cardNumber, 36).error(error);
}

int VRK_MagicBankCard_ReadNo(int timeout, char *cardNumber, char *error)
{
    return Recorder("VRK_MagicBankCard_ReadNo").number(timeout).value(cardNumber, 1024)
        .error(error);
}

int VRK_ECard_SetAutoRead(int mode, char *error)
{
    return Recorder("VRK_ECard_SetAutoRead").number(mode).error(error);
}

int VRK_ECard_Read(int *output, char *scan, int waitMs, char *error)
{
    return Recorder("VRK_ECard_Read").output(output).value(scan, 1024).number(waitMs)
        .error(error);
}

int VRK_ECard_AutoReadTime(int intervalMs, char *error)
{
    return Recorder("VRK_ECard_AutoReadTime").number(intervalMs).error(error);
}

int VRK_MagCardRead(int timeout, char *track1, char *track2, char *track3, char *track4,
                    char *error)
{
    return Recorder("VRK_MagCardRead").number(timeout)
        .value(track1, 1024).value(track2, 1024).value(track3, 1024).value(track4, 1024)
        .error(error);
}

int VRK_KeyBoard_InputKey(int timeout, int keySize, char *key, int *output, char *error)
{
    return Recorder("VRK_KeyBoard_InputKey").number(timeout).number(keySize)
        .value(key, 1024).output(output)
        .error(error);
}
