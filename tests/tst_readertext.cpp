#include "readertext.h"

#include <QtTest>

#include <cstring>
#include <string>

// The rules for library text, which the checker's reports and the simulated
// reader's scripts, logs and recordings all follow.
class tst_ReaderText : public QObject
{
    Q_OBJECT

private slots:
    void utf8Check_data();
    void utf8Check();
    void quoting_data();
    void quoting();
    void unquoting_data();
    void unquoting();
    void excerptEndsOnAWholeCharacter();
    void putTextTerminatesAndCuts();
};

void tst_ReaderText::utf8Check_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");

    QTest::newRow("ASCII") << QByteArray("SIM-01") << true;
    QTest::newRow("two, three and four bytes") << QByteArray("\xc3\xa9\xe5\xbc\xa0\xf0\x9f\x92\xb3") << true;
    QTest::newRow("largest code point") << QByteArray("\xf4\x8f\xbf\xbf") << true;
    QTest::newRow("smallest two-byte character, U+0080") << QByteArray("\xc2\x80") << true;
    QTest::newRow("smallest three-byte character, U+0800") << QByteArray("\xe0\xa0\x80") << true;
    QTest::newRow("smallest four-byte character, U+10000")
        << QByteArray("\xf0\x90\x80\x80") << true;
    QTest::newRow("overlong slash, two bytes") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("overlong, three bytes") << QByteArray("\xe0\x80\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("last surrogate, U+DFFF") << QByteArray("\xed\xbf\xbf") << false;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("cut short") << QByteArray("\xe5\xbc") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
}

void tst_ReaderText::utf8Check()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(isUtf8(bytes.toStdString()), valid);
}

void tst_ReaderText::quoting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("quoted");

    QTest::newRow("text as it is") << QByteArray("张 3") << QByteArray("\"张 3\"");
    QTest::newRow("quote, backslash, newline, tab")
        << QByteArray("\"\\\n\t") << QByteArray("\"\\\"\\\\\\n\\t\"");
    QTest::newRow("control characters") << QByteArray("\x1b[2J\x7f") << QByteArray("\"\\x1b[2J\\x7f\"");
    QTest::newRow("C1 control character") << QByteArray("\xc2\x9b") << QByteArray("\"\\xc2\\x9b\"");
    QTest::newRow("last C1 control character, U+009F")
        << QByteArray("\xc2\x9f") << QByteArray("\"\\xc2\\x9f\"");
    QTest::newRow("right-to-left mark, U+200F")
        << QByteArray("\xe2\x80\x8f") << QByteArray("\"\\xe2\\x80\\x8f\"");
    QTest::newRow("characters that show as nothing")
        << QByteArray("\xef\xbb\xbf" "A\xc2\xa0" "B\xe2\x80\x8b")
        << QByteArray("\"\\xef\\xbb\\xbfA\\xc2\\xa0" "B\\xe2\\x80\\x8b\"");
    QTest::newRow("soft hyphen, isolate, vowel separator, variation selector")
        << QByteArray("a\xc2\xad" "b\xe2\x81\xa6" "c\xe1\xa0\x8e" "d\xef\xb8\x8f")
        << QByteArray("\"a\\xc2\\xad" "b\\xe2\\x81\\xa6" "c\\xe1\\xa0\\x8e" "d\\xef\\xb8\\x8f\"");
    QTest::newRow("tag and supplementary variation selector, a rare CJK character kept")
        << QByteArray("\xf3\xa0\x81\x81\xf3\xa0\x84\x80\xf0\xa0\x80\x80")
        << QByteArray("\"\\xf3\\xa0\\x81\\x81\\xf3\\xa0\\x84\\x80\xf0\xa0\x80\x80\"");
    QTest::newRow("bytes that are not UTF-8")
        << QByteArray("a\xff\xc0\xaf") << QByteArray("\"a\\xff\\xc0\\xaf\"");
}

void tst_ReaderText::quoting()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, quoted);
    QCOMPARE(QByteArray::fromStdString(::quoted(bytes.toStdString())), quoted);

    // What is quoted reads back as the same bytes.
    std::size_t pos = 0;
    std::string text, why;
    QVERIFY(unquote(::quoted(bytes.toStdString()), pos, text, why));
    QCOMPARE(QByteArray::fromStdString(text), bytes);
}

void tst_ReaderText::unquoting_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("hex, lower case") << QByteArray("\"\\x4a\\x6b\\xff\"") << QByteArray("Jk\xff");
    QTest::newRow("hex, upper case") << QByteArray("\"\\x4A\\x6B\\xFF\"") << QByteArray("Jk\xff");
}

void tst_ReaderText::unquoting()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, text);
    std::size_t pos = 0;
    std::string out, why;
    QVERIFY2(unquote(line.toStdString(), pos, out, why), why.c_str());
    QCOMPARE(QByteArray::fromStdString(out), text);
    QCOMPARE(int(pos), line.size());
}

void tst_ReaderText::excerptEndsOnAWholeCharacter()
{
    // The first 40 bytes end inside the thirteenth 张.
    std::string text = "ab";
    for (int i = 0; i < 20; ++i)
        text += "张";
    QCOMPARE(QString::fromStdString(excerpt(text)),
             "\"ab" + QString("张").repeated(12) + "\"...");
}

void tst_ReaderText::putTextTerminatesAndCuts()
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    putText(buffer, sizeof buffer, "ab");
    QCOMPARE(QByteArray(buffer, 3), QByteArray("ab\0", 3));

    // Room for five bytes, cut back to the last whole character.
    std::memset(buffer, 'x', sizeof buffer);
    putText(buffer, 6, "a张张");
    QCOMPARE(QByteArray(buffer, 5), QByteArray("a张\0", 5));

    // No room at all: not even the NUL.
    std::memset(buffer, 'x', sizeof buffer);
    putText(buffer, 0, "ab");
    QCOMPARE(QByteArray(buffer, sizeof buffer), QByteArray(8, 'x'));
}

QTEST_GUILESS_MAIN(tst_ReaderText)
#include "tst_readertext.moc"
