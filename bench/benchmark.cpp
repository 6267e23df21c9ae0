// Runs the start-up programs side by side, alternating the tool, the same
// window made by plain code and a bare label, and the press-to-box program,
// then prints each figure's median with its ratio to its baseline and whether
// it meets its target. The plain-code window is the floor the targets hold
// the tool to; the bare label is a reference. Then the burn-in figures of
// cardreader-cli, each against its own floor or against what a user would
// write instead.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Sample
{
    double cpuMs;
    double wallMs;
    double peakMiB;
};

double milliseconds(const timeval &t)
{
    return t.tv_sec * 1000.0 + t.tv_usec / 1000.0;
}

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// Runs the program to its end; the figures cover it and every process it
// waited for. Its standard output is kept in output where one is given.
bool start(const std::vector<std::string> &command, Sample &sample,
           std::string *output = nullptr)
{
    std::vector<char *> arguments;
    for (const std::string &argument : command)
        arguments.push_back(const_cast<char *>(argument.c_str()));
    arguments.push_back(nullptr);
    int ends[2] = {-1, -1};
    if (output && pipe(ends) != 0)
        return false;
    // What this program printed so far must not be printed again by a child.
    std::fflush(nullptr);
    const double begin = now();
    const pid_t child = fork();
    if (child == 0) {
        // Qt's warnings about the offscreen platform are not the figures,
        // nor is a burn-in's own output.
        std::freopen("/dev/null", "w", stderr);
        if (output) {
            dup2(ends[1], STDOUT_FILENO);
            close(ends[0]);
            close(ends[1]);
        } else {
            std::freopen("/dev/null", "w", stdout);
        }
        execv(arguments[0], arguments.data());
        _exit(127);
    }
    if (output) {
        close(ends[1]);
        char block[256];
        for (ssize_t n; (n = read(ends[0], block, sizeof block)) > 0;)
            output->append(block, n);
        close(ends[0]);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)
        || WEXITSTATUS(status) != 0)
        return false;
    sample.wallMs = now() - begin;
    sample.cpuMs = milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
    sample.peakMiB = usage.ru_maxrss / 1024.0;
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void row(const char *figure, double tool, double baseline, double target)
{
    const double ratio = tool / baseline;
    // Ten times and more the baseline needs no third decimal, and keeps the
    // column's width.
    const int decimals = ratio < 10 ? 3 : 1;
    if (target > 0)
        std::printf("| %-38s | %9.2f | %9.2f | %5.*f | %6.2f | %-5s |\n", figure, tool,
                    baseline, decimals, ratio, target, ratio <= target ? "yes" : "no");
    else
        std::printf("| %-38s | %9.2f | %9.2f | %5.*f | %6s | %-5s |\n", figure, tool,
                    baseline, decimals, ratio, "-", "-");
}

// A row whose figures could not be taken here.
void missing(const char *figure, const char *target)
{
    std::printf("| %-38s | %9s | %9s | %5s | %6s | %-5s |\n", figure, "-", "-", "-", target, "-");
}

struct Figures
{
    std::vector<double> cpu, wall, peak;
};

bool measure(const std::vector<std::string> &command, bool keep, Figures &figures)
{
    Sample sample{};
    if (!start(command, sample))
        return std::fprintf(stderr, "%s failed\n", command.front().c_str()), false;
    if (keep) {
        figures.cpu.push_back(sample.cpuMs);
        figures.wall.push_back(sample.wallMs);
        figures.peak.push_back(sample.peakMiB);
    }
    return true;
}

// A copy of the library padded with zeros to 20 MiB, as big as some makers'
// libraries are: the loader maps only what the ELF headers name, so the
// trailing bytes change nothing but the file's size. It sits beside the
// original so that it is on the same file system and may be mapped
// executable.
std::string padLibrary(const std::string &directory)
{
    std::string padded = directory + "/padded-XXXXXX";
    if (!mkdtemp(&padded[0]))
        return std::string();
    padded += "/libVrkReaderClient.so";
    FILE *in = std::fopen((directory + "/libVrkReaderClient.so").c_str(), "rb");
    FILE *out = std::fopen(padded.c_str(), "wb");
    if (!in || !out)
        return std::string();
    static char block[65536];
    long size = 0;
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;)
        size += std::fwrite(block, 1, n, out);
    std::fclose(in);
    const long padSize = 20L << 20;
    std::memset(block, 0, sizeof block);
    while (size < padSize && !std::ferror(out))
        size += std::fwrite(block, 1, std::min<long>(sizeof block, padSize - size), out);
    return std::fclose(out) == 0 && size == padSize ? padded : std::string();
}

void removeLibrary(const std::string &padded)
{
    std::remove(padded.c_str());
    rmdir(padded.substr(0, padded.rfind('/')).c_str());
}

// A directory for a judged burn-in: the answers expected of the simulated
// reader's card-number reads, and room for the reports and metrics.
std::string judgingDirectory()
{
    std::string directory = "/tmp/cardreader-bench-XXXXXX";
    if (!mkdtemp(&directory[0]))
        return std::string();
    FILE *expected = std::fopen((directory + "/expected.txt").c_str(), "w");
    if (!expected)
        return std::string();
    std::fputs("VRK_OpenDev 0\nVRK_ReadCarNo 0 \"SIM350000001\"\n", expected);
    return std::fclose(expected) == 0 ? directory : std::string();
}

void removeJudging(const std::string &directory)
{
    for (const char *name : {"/expected.txt", "/run.xml", "/run.html", "/run.prom"})
        std::remove((directory + name).c_str());
    rmdir(directory.c_str());
}

// The system calls of the busiest thread of a run and of every process and
// thread it starts: the thread that makes the calls. The watcher's wake-ups
// come with time, not with calls, in a process of its own. -1 where strace
// is missing or cannot trace (a container may forbid ptrace).
long systemCalls(std::vector<std::string> command)
{
    char directory[] = "/tmp/cardreader-strace-XXXXXX";
    if (!mkdtemp(directory))
        return -1;
    command.insert(command.begin(),
                   {"/usr/bin/strace", "-f", "-ff", "-qq", "-o", std::string(directory) + "/thread"});
    Sample ignored{};
    long calls = -1;
    // One line a system call; signals, exits and a call resumed after
    // another thread's are not calls of their own.
    const std::string count = "for f in " + std::string(directory)
        + "/thread.*; do grep -cv '^\\(---\\|+++\\|<\\.\\.\\.\\)' \"$f\"; done | sort -n | tail -n 1";
    FILE *out = start(command, ignored) ? popen(count.c_str(), "r") : nullptr;
    if (out) {
        if (std::fscanf(out, "%ld", &calls) != 1)
            calls = -1;
        pclose(out);
    }
    std::system(("rm -rf " + std::string(directory)).c_str());
    return calls;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string directory = argc > 1 ? argv[1] : ".";
    const int runs = argc > 2 ? std::max(10, std::atoi(argv[2])) : 21;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The first two rounds warm the caches and are not counted.
    Figures tool, plain, bare;
    for (int i = 0; i < runs + 2; ++i) {
        if (!measure({directory + "/toolstart"}, i >= 2, tool)
            || !measure({directory + "/plainstart"}, i >= 2, plain)
            || !measure({directory + "/baselinestart"}, i >= 2, bare))
            return 1;
    }

    double toolPress = 0, basePress = 0;
    const std::string press = directory + "/presstobox";
    FILE *out = popen(press.c_str(), "r");
    if (!out || std::fscanf(out, "%lf %lf", &toolPress, &basePress) != 2)
        return std::fprintf(stderr, "presstobox failed\n"), 1;
    pclose(out);

    std::printf("Medians of %d runs each, the three start-ups alternating.\n\n", runs);
    std::printf("| %-38s | %9s | %9s | %5s | %6s | %-5s |\n", "figure", "tool", "baseline",
                "ratio", "target", "holds");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", "----------------------------------------",
                "-----------", "-----------", "-------", "--------", "-------");
    row("start-up CPU (ms), plain-code window", median(tool.cpu), median(plain.cpu), 1.03);
    row("start-up wall (ms), plain-code window", median(tool.wall), median(plain.wall), 0);
    row("peak memory (MiB), plain-code window", median(tool.peak), median(plain.peak), 1.02);
    row("press to box (us), bare box", toolPress, basePress, 1.10);
    row("start-up CPU (ms), bare label", median(tool.cpu), median(bare.cpu), 0);
    row("peak memory (MiB), bare label", median(tool.peak), median(bare.peak), 0);

    // A burn-in: cardreader-cli's checked, watched calls against the bare
    // calls and against a Python loop making them through ctypes, the three
    // alternating so that the machine's drift falls on each alike; and its
    // memory, which must not grow with the number of calls.
    const std::string cliProgram = directory + "/cardreader-cli";
    const std::string library = directory + "/libVrkReaderClient.so";
    const int burnInRounds = 3;
    Figures loop, cli, python;
    bool pythonRan = true;
    for (int i = 0; i < burnInRounds; ++i) {
        if (!measure({directory + "/burnin", "1000000"}, true, loop)
            || !measure({cliProgram, "--repeat", "1000000", "card-number"}, true, cli))
            return std::fprintf(stderr, "burn-in failed\n"), 1;
        // The Python loop's CPU time is taken inside Python around the reads
        // alone, not from here: the interpreter's start-up and import (tens
        // of milliseconds) are not what a call costs, and subtracting an
        // empty run would add the noise of two start-ups. The cli's figure
        // keeps its own start-up, a few milliseconds over a million calls,
        // which counts against the cli, not for it.
        Sample whole{};
        std::string printed;
        pythonRan = pythonRan
            && start({"/usr/bin/python3", directory + "/ctypesloop.py", library, "1000000"},
                     whole, &printed);
        const double seconds = pythonRan ? std::atof(printed.c_str()) : 0;
        pythonRan = seconds > 0;
        if (pythonRan)
            python.cpu.push_back(seconds * 1000);
    }
    Sample shortRun{}, longRun{};
    if (!start({cliProgram, "--repeat", "20000", "card-number"}, shortRun)
        || !start({cliProgram, "--repeat", "2000000", "card-number"}, longRun))
        return std::fprintf(stderr, "burn-in failed\n"), 1;

    // The system calls a checked call adds to the library's own. Start-up
    // and exit are the same in a run of 100,000 calls and in a run of one,
    // so their difference is the calls'; the plain loop's difference is what
    // the library itself makes.
    const auto perCall = [](long many, long one) {
        return many < 0 || one < 0 ? -1.0 : (many - one) / 99999.0;
    };
    const double cliSystemCalls =
        perCall(systemCalls({cliProgram, "--repeat", "100000", "card-number"}),
                systemCalls({cliProgram, "--repeat", "1", "card-number"}));
    const double loopSystemCalls = perCall(systemCalls({directory + "/burnin", "100000"}),
                                           systemCalls({directory + "/burnin", "1"}));

    // The same, judged against expected answers, with both reports and the
    // metrics written: its cost per call, and memory that stays flat.
    const std::string judging = judgingDirectory();
    if (judging.empty())
        return std::fprintf(stderr, "cannot make the expected answers\n"), 1;
    const auto judged = [&](const char *calls) {
        return std::vector<std::string>{cliProgram, "--expect", judging + "/expected.txt",
                                        "--junit", judging + "/run.xml", "--html",
                                        judging + "/run.html", "--metrics",
                                        judging + "/run.prom", "--repeat", calls,
                                        "card-number"};
    };
    Sample judgedRun{}, judgedShort{}, judgedLong{};
    const bool judgedOk = start(judged("1000000"), judgedRun)
        && start(judged("20000"), judgedShort) && start(judged("2000000"), judgedLong);
    removeJudging(judging);
    if (!judgedOk)
        return std::fprintf(stderr, "judged burn-in failed\n"), 1;

    // One read from a shell, what most uses of the cli are; and what a big
    // maker's library costs it beyond a small one.
    const std::string big = padLibrary(directory);
    if (big.empty())
        return std::fprintf(stderr, "cannot pad the library\n"), 1;
    Figures once, bareCall, forkedCall, bigText, smallText, bigJson, smallJson;
    bool measured = true;
    for (int i = 0; measured && i < runs + 2; ++i) {
        measured = measure({cliProgram, "card-number"}, i >= 2, once)
                   && measure({directory + "/barecall"}, i >= 2, bareCall)
                   && measure({directory + "/forkedcall"}, i >= 2, forkedCall)
                   && measure({cliProgram, "--library", big, "card-number"}, i >= 2, bigText)
                   && measure({cliProgram, "--library", library, "card-number"}, i >= 2, smallText)
                   && measure({cliProgram, "--json", "--library", big, "card-number"}, i >= 2,
                              bigJson)
                   && measure({cliProgram, "--json", "--library", library, "card-number"}, i >= 2,
                              smallJson);
    }
    removeLibrary(big);
    if (!measured)
        return 1;

    // A commissioning unprompted against the same calls made plainly, both
    // keeping their record: what the guidance itself costs.
    const std::string session = judgingDirectory();
    if (session.empty())
        return std::fprintf(stderr, "cannot make a directory\n"), 1;
    const std::string history = session + "/history";
    const std::vector<std::string> steps = {"card-number", "card-info", "card-id-code",
        "card-region", "id-card", "bank-chip", "bank-stripe", "tracks", "scan-auto",
        "scan-interval", "scan-manual", "scan", "pin"};
    const auto sessionRun = [&](const char *kind, bool guided, bool bundled) {
        std::vector<std::string> command{cliProgram, "--history", history};
        if (bundled)
            command.insert(command.end(), {"--bundle", session + "/" + kind});
        if (guided)
            command.insert(command.end(), {"commission", "--yes"});
        else
            command.insert(command.end(), steps.begin(), steps.end());
        return command;
    };
    Figures guided, plainBundled, plainBare;
    for (int i = 0; measured && i < runs + 2; ++i) {
        std::system(("rm -rf " + session + "/guided " + session + "/plain").c_str());
        measured = measure(sessionRun("guided", true, true), i >= 2, guided)
                   && measure(sessionRun("plain", false, true), i >= 2, plainBundled)
                   && measure(sessionRun("bare", false, false), i >= 2, plainBare);
    }
    std::system(("rm -rf " + session).c_str());
    if (!measured)
        return 1;

    std::printf("\nA burn-in of card-number reads on the simulated reader: the plain loop,\n"
                "the cli and the Python loop alternate, medians of %d rounds.\n\n",
                burnInRounds);
    std::printf("| %-38s | %9s | %9s | %5s | %6s | %-5s |\n", "figure", "cli", "baseline",
                "ratio", "target", "holds");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", "----------------------------------------",
                "-----------", "-----------", "-------", "--------", "-------");
    const double cliCpu = median(cli.cpu);
    row("1,000,000 calls, CPU (s), plain C loop", cliCpu / 1000, median(loop.cpu) / 1000, 8.0);
    // 1,000,000 calls: a millisecond of the run is a nanosecond per call.
    if (pythonRan)
        row("burn-in CPU per call (us), Python loop", cliCpu / 1000, median(python.cpu) / 1000,
            0.5);
    else
        missing("burn-in CPU per call (us), Python loop", "0.50");
    if (cliSystemCalls >= 0 && loopSystemCalls >= 0)
        std::printf("| %-38s | %9.2f | %9.2f | %5s | %6s | %-5s |\n",
                    "system calls per call, plain C loop", cliSystemCalls, loopSystemCalls,
                    "-", "+1", cliSystemCalls - loopSystemCalls <= 1 ? "yes" : "no");
    else
        missing("system calls per call, plain C loop", "+1");
    const double growth = longRun.peakMiB - shortRun.peakMiB;
    std::printf("| %-38s | %9.2f | %9.2f | %5s | %6s | %-5s |\n",
                "peak memory (MiB), 2,000,000 / 20,000", longRun.peakMiB, shortRun.peakMiB,
                "-", "+2 MiB", growth <= 2 ? "yes" : "no");
    row("judged, CPU per call (us), unjudged", judgedRun.cpuMs / 1000, cliCpu / 1000, 0);
    const double judgedGrowth = judgedLong.peakMiB - judgedShort.peakMiB;
    std::printf("| %-38s | %9.2f | %9.2f | %5s | %6s | %-5s |\n",
                "judged peak (MiB), 2,000,000 / 20,000", judgedLong.peakMiB,
                judgedShort.peakMiB, "-", "+2 MiB", judgedGrowth <= 2 ? "yes" : "no");
    row("one read, CPU (ms), forked bare call", median(once.cpu), median(forkedCall.cpu), 1.1);
    row("commission --yes, CPU (ms), plain run", median(guided.cpu), median(plainBundled.cpu),
        1.05);
    row("commission --yes, CPU (ms), no bundle", median(guided.cpu), median(plainBare.cpu), 0);
    row("one read, CPU (ms), bare Qt Core call", median(once.cpu), median(bareCall.cpu), 0);
    row("one read, CPU (ms), 20 MiB / small lib", median(bigText.cpu), median(smallText.cpu),
        1.2);
    const double bigPeak = median(bigJson.peak), smallPeak = median(smallJson.peak);
    std::printf("| %-38s | %9.2f | %9.2f | %5s | %6s | %-5s |\n",
                "JSON peak memory (MiB), 20 MiB / small", bigPeak, smallPeak, "-", "+2 MiB",
                bigPeak - smallPeak <= 2 ? "yes" : "no");
    return 0;
}
