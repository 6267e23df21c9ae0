#ifndef CLI_PLAN_H
#define CLI_PLAN_H

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QVector>

// What a commissioning does, step by step. A plan is a short text file a
// site keeps beside its expected answers:
//   # comment
//   device 21                   the reader model it is for (21 or 19)
//   region 3500                 the region code (3500 to 3509)
//   expect answers.txt          the expected answers, beside the plan
//   step id-card "Place the test identity card on the reader."
//   step scan-auto              a step that needs nobody runs at once
//   step tracks optional "Swipe the test stripe card."
//   not-fitted pin              the model has no PIN pad: not a failure
// Each model has a default plan of every function, in the same words.
struct PlanStep
{
    QByteArray operation;
    QString prompt;         // what the technician does first; empty: nothing
    bool optional = false;  // the technician may skip it
    bool fitted = true;     // false: the model lacks the function
};

struct Plan
{
    int deviceType = 0;     // 0: the plan names none
    QByteArray region;      // empty: the plan names none
    QByteArray expectPath;  // as the plan names it, resolved beside the plan
    QVector<PlanStep> steps;
    QByteArray content;     // the text the steps were read from
    QByteArray sha256;      // its SHA-256, hex
};

// Reads a plan; operations are the names a step may use. A bad plan is
// refused whole, with why in words that follow the file's name:
// "line 3: unknown operation "id-crad"".
bool loadPlan(const QString &path, const QByteArrayList &operations, Plan &plan, QString &why);
bool parsePlan(const QByteArray &content, const QByteArrayList &operations, Plan &plan,
               QString &why);

// The default plan of a reader model: every function, in the order a
// technician presents the cards.
QByteArray defaultPlan(int deviceType);

#endif
