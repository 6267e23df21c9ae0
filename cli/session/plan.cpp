#include "plan.h"

#include "readertext.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <string>

namespace {

// A plan is typed by a person: a larger file is a mistake.
const qint64 planLimit = 64 * 1024;

struct DefaultStep
{
    const char *operation;
    bool optional;
    const char *prompt;
};

// In the order a technician has the cards at hand: the social security
// card stays on the reader for its four reads. The prompts are written in
// English in the plan and shown in the technician's language.
const DefaultStep defaultSteps[] = {
    {"card-number", false,
     QT_TRANSLATE_NOOP("Plan", "Place the test social security card on the reader.")},
    {"card-info", false, nullptr},
    {"card-id-code", false, nullptr},
    {"card-region", false, nullptr},
    {"id-card", false, QT_TRANSLATE_NOOP("Plan", "Place the test identity card on the reader.")},
    {"bank-chip", false,
     QT_TRANSLATE_NOOP("Plan", "Insert the test bank card into the chip slot, chip first.")},
    {"bank-stripe", false,
     QT_TRANSLATE_NOOP("Plan", "Swipe the test bank card through the stripe reader.")},
    {"tracks", true,
     QT_TRANSLATE_NOOP("Plan", "Swipe the test stripe card through the stripe reader.")},
    // The scanner's settings, ending in automatic scanning, as the device
    // is once opened: the scan then answers as in a run of "all", whose
    // saved answers serve as the expected ones.
    {"scan-manual", false, nullptr},
    {"scan-interval", false, nullptr},
    {"scan-auto", false, nullptr},
    {"scan", false, QT_TRANSLATE_NOOP("Plan", "Show the test QR code to the scanner.")},
    {"pin", false,
     QT_TRANSLATE_NOOP("Plan", "Enter the test PIN on the PIN pad, then press its Enter key.")},
};

// The words of a line: bare words, and quoted texts as the scripts write
// them.
bool wordsOf(const std::string &line, QStringList &words, std::string &why)
{
    std::size_t pos = 0;
    for (;;) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos == line.size() || line[pos] == '#')
            return true;
        std::string word;
        if (line[pos] == '"') {
            if (!unquote(line, pos, word, why))
                return false;
        } else {
            const std::size_t end = line.find_first_of(" \t", pos);
            word = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? line.size() : end;
        }
        words << QString::fromStdString(word);
    }
}

QString lineError(int number, const QString &what)
{
    return QCoreApplication::translate("Plan", "line %1: %2").arg(number).arg(what);
}

} // namespace

bool parsePlan(const QByteArray &content, const QByteArrayList &operations, Plan &plan,
               QString &why)
{
    Plan read;
    read.content = content;
    read.sha256 = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    if (!isUtf8(content.constData(), std::size_t(content.size()))) {
        why = QCoreApplication::translate("Plan", "is not UTF-8 text");
        return false;
    }
    QByteArrayList notFitted;
    // As an editor on any system saves it: a byte order mark, CRLF lines.
    const QByteArray text = content.startsWith("\xEF\xBB\xBF") ? content.mid(3) : content;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].left(lines[i].size() - 1)
                                                        : lines[i];
        QStringList words;
        std::string problem;
        if (!wordsOf(line.toStdString(), words, problem)) {
            why = lineError(number, QString::fromStdString(problem));
            return false;
        }
        if (words.isEmpty())
            continue;
        const QString keyword = words.takeFirst();
        const auto operation = [&](QByteArray &name) {
            name = words.isEmpty() ? QByteArray() : words.takeFirst().toUtf8();
            if (operations.contains(name))
                return true;
            why = lineError(number, QCoreApplication::translate("Plan", "unknown operation %1")
                                        .arg(QString::fromStdString(quoted(name.toStdString()))));
            return false;
        };
        if (keyword == "step") {
            PlanStep step;
            if (!operation(step.operation))
                return false;
            if (!words.isEmpty() && words.first() == "optional") {
                step.optional = true;
                words.removeFirst();
            }
            if (!words.isEmpty())
                step.prompt = words.takeFirst();
            // A prompt is shown on the technician's terminal as it is: one
            // that could drive the terminal is no prompt.
            for (const QChar c : step.prompt) {
                if (c.category() == QChar::Other_Control) {
                    why = lineError(number, QCoreApplication::translate(
                                                "Plan", "the prompt holds a control character"));
                    return false;
                }
            }
            read.steps << step;
        } else if (keyword == "not-fitted") {
            QByteArray name;
            if (!operation(name))
                return false;
            notFitted << name;
        } else if (keyword == "device") {
            read.deviceType = words.isEmpty() ? 0 : words.takeFirst().toInt();
            if (read.deviceType != 21 && read.deviceType != 19) {
                why = lineError(number,
                    QCoreApplication::translate("Plan", "the device type must be 21 or 19"));
                return false;
            }
        } else if (keyword == "region") {
            const int region = words.isEmpty() ? 0 : words.first().toInt();
            if (region < 3500 || region > 3509 || words.takeFirst() != QString::number(region)) {
                why = lineError(number,
                    QCoreApplication::translate("Plan", "the region must be one of 3500 to 3509"));
                return false;
            }
            read.region = QByteArray::number(region);
        } else if (keyword == "expect") {
            read.expectPath = words.isEmpty() ? QByteArray() : words.takeFirst().toUtf8();
            if (read.expectPath.isEmpty()) {
                why = lineError(
                    number, QCoreApplication::translate("Plan", "expect names no file"));
                return false;
            }
        } else {
            why = lineError(number,
                QCoreApplication::translate("Plan",
                    "unknown keyword %1; a line is step, not-fitted, device, region or expect")
                    .arg(QString::fromStdString(quoted(keyword.toStdString()))));
            return false;
        }
        if (!words.isEmpty()) {
            why = lineError(number,
                QCoreApplication::translate("Plan", "unexpected %1 at the end")
                    .arg(QString::fromStdString(quoted(words.first().toStdString()))));
            return false;
        }
    }
    for (PlanStep &step : read.steps) {
        if (notFitted.contains(step.operation)) {
            why = QCoreApplication::translate("Plan", "%1 is both a step and not fitted")
                      .arg(QString::fromLatin1(step.operation));
            return false;
        }
    }
    // A plan of nothing fitted would pass a terminal that was never checked.
    if (read.steps.isEmpty()) {
        why = QCoreApplication::translate("Plan", "has no step to run");
        return false;
    }
    for (const QByteArray &name : notFitted) {
        PlanStep step;
        step.operation = name;
        step.fitted = false;
        read.steps << step;
    }
    plan = read;
    return true;
}

bool loadPlan(const QString &path, const QByteArrayList &operations, Plan &plan, QString &why)
{
    // Not a FIFO or a device, which a read would wait on or never end.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        why = QFileInfo(path).exists() ? file.errorString()
                                       : QCoreApplication::translate("Plan", "does not exist");
        return false;
    }
    const QByteArray content = file.read(planLimit + 1);
    if (content.size() > planLimit) {
        why = QCoreApplication::translate("Plan", "is larger than %1 KiB").arg(planLimit / 1024);
        return false;
    }
    if (!parsePlan(content, operations, plan, why))
        return false;
    // The expected answers a plan names lie beside it, wherever it is run from.
    if (!plan.expectPath.isEmpty() && !plan.expectPath.startsWith('/'))
        plan.expectPath = QFile::encodeName(QFileInfo(path).absolutePath()) + '/' + plan.expectPath;
    return true;
}

QByteArray defaultPlan(int deviceType)
{
    QByteArray text = "# cardreader-cli commissioning plan: every function of the "
        + QByteArray(deviceType == 19 ? "TQ-660" : "TQ-880") + "\ndevice "
        + QByteArray::number(deviceType) + '\n';
    for (const DefaultStep &step : defaultSteps) {
        text += "step " + QByteArray(step.operation);
        if (step.optional)
            text += " optional";
        if (step.prompt)
            text += ' ' + QByteArray::fromStdString(quoted(step.prompt));
        text += '\n';
    }
    return text;
}
