// cardreader-cli: every reader function from a shell, for terminals without
// a desktop, factory scripts, burn-in runs and checking a new maker library.
//
// The library is called in a process of its own (caller/), which this one
// watches (watcher/), so that whatever the library does to its process (a
// crash, an exit, a hang, a fork, a signal) is named and the run still ends
// with its summary. This process finds and opens the library file and takes
// its identity before any of the library's code runs.

#include "commandline.h"
#include "commissioning.h"

#include "caller/caller.h"
#include "report/language.h"
#include "report/output.h"
#include "report/privatefile.h"
#include "report/savedanswers.h"
#include "run/runstate.h"
#include "watcher/watcher.h"

#include "standarddescriptors.h"

#include <QCoreApplication>

#include <unistd.h>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    holdStandardDescriptors();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("cardreader-cli");
    QCoreApplication::setApplicationVersion(CARDREADER_VERSION);
    useTheLocalesLanguage();

    Options options;
    Plan plan;
    int exitStatus = readOptions(argc, argv, options, plan);
    if (exitStatus >= 0)
        return exitStatus;
    if (options.showHistory)
        return showHistory(options);
    if (options.showPlan) {
        const QByteArray text = options.planPath.isEmpty()
            ? defaultPlan(options.settings.deviceType)
            : plan.content;
        std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
        return std::fflush(stdout) == 0 ? Success : OutputFailed;
    }

    LibraryIdentity library = findLibrary(options.library);
    const QString clash = clashingFiles(options, library.path);
    if (!clash.isEmpty())
        return usageError(clash);
    if (!options.saveAnswersPath.isEmpty()) {
        QString why;
        options.saveAnswersFd =
            beginPrivateFile(options.saveAnswersPath, options.saveAnswersTemporary, why);
        const QByteArray header = savedAnswersHeader(library.path);
        if (options.saveAnswersFd < 0
            || !writeWhole(options.saveAnswersFd, header.constData(), std::size_t(header.size()))) {
            std::fputs(("cardreader-cli: "
                        + QCoreApplication::translate("Run", "cannot write the answers to %1: %2")
                              .arg(options.saveAnswersPath, why)
                        + '\n').toUtf8().constData(), stderr);
            return OutputFailed;
        }
    }
    Commissioning commissioning;
    exitStatus = beginRecord(options, plan, commissioning);
    if (exitStatus >= 0)
        return exitStatus;
    StrayOutput strayOutput;
    if (!createRunState(options.timeoutSeconds) || !strayOutput.create()) {
        failedBecause(QT_TRANSLATE_NOOP("Run", "cannot prepare the calls"));
        return CallFailed;
    }
    struct sigaction pipeSignal;
    runState().quietBrokenPipe =
        sigaction(SIGPIPE, nullptr, &pipeSignal) == 0 && pipeSignal.sa_handler == SIG_DFL;
    Watcher::catchSignals();
    Watcher watcher(options, strayOutput, library, options.guided ? &commissioning : nullptr);
    pid_t caller = -1;
    if (watcher.prepare()) {
        exitStatus = checkSessionLibrary(options, commissioning, library);
        if (exitStatus >= 0)
            return exitStatus;
        prepareCalls();
        std::fflush(nullptr);
        caller = fork();
        if (caller < 0) {
            failedBecause(QT_TRANSLATE_NOOP("Run", "cannot start the calling process"));
            return CallFailed;
        }
        if (caller == 0)
            makeCalls(options, strayOutput, library.path, library.fd,
                      options.guided ? &commissioning : nullptr);
    }
    const int status = watcher.run(caller);
    return finishRecord(options, watcher.summary(), status);
}
