// Runs the start-up programs side by side, alternating the tool, the same
// window made by plain code and a bare label, and the press-to-box program,
// then prints each figure's median with its ratio to its baseline and whether
// it meets its target. The plain-code window is the floor the targets hold
// the tool to; the bare label is a reference.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
// waited for.
bool start(const std::string &program, Sample &sample, const char *argument = nullptr,
           const char *operation = nullptr)
{
    // What this program printed so far must not be printed again by a child.
    std::fflush(nullptr);
    const double begin = now();
    const pid_t child = fork();
    if (child == 0) {
        // Qt's warnings about the offscreen platform are not the figures,
        // nor is a burn-in's own output.
        std::freopen("/dev/null", "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        if (operation)
            execl(program.c_str(), program.c_str(), "--repeat", argument, operation,
                  static_cast<char *>(nullptr));
        else
            execl(program.c_str(), program.c_str(), argument, static_cast<char *>(nullptr));
        _exit(127);
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
    if (target > 0)
        std::printf("| %-38s | %9.2f | %9.2f | %5.3f | %6.2f | %-5s |\n", figure, tool,
                    baseline, ratio, target, ratio <= target ? "yes" : "no");
    else
        std::printf("| %-38s | %9.2f | %9.2f | %5.3f | %6s | %-5s |\n", figure, tool,
                    baseline, ratio, "-", "-");
}

struct Figures
{
    std::vector<double> cpu, wall, peak;
};

bool measure(const std::string &program, bool keep, Figures &figures)
{
    Sample sample{};
    if (!start(program, sample))
        return std::fprintf(stderr, "%s failed\n", program.c_str()), false;
    if (keep) {
        figures.cpu.push_back(sample.cpuMs);
        figures.wall.push_back(sample.wallMs);
        figures.peak.push_back(sample.peakMiB);
    }
    return true;
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
        if (!measure(directory + "/toolstart", i >= 2, tool)
            || !measure(directory + "/plainstart", i >= 2, plain)
            || !measure(directory + "/baselinestart", i >= 2, bare))
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
    // calls; and its memory, which must not grow with the number of calls.
    Sample loop{}, cli{}, shortRun{}, longRun{};
    if (!start(directory + "/burnin", loop, "1000000")
        || !start(directory + "/cardreader-cli", cli, "1000000", "card-number")
        || !start(directory + "/cardreader-cli", shortRun, "20000", "card-number")
        || !start(directory + "/cardreader-cli", longRun, "2000000", "card-number"))
        return std::fprintf(stderr, "burn-in failed\n"), 1;
    std::printf("\nA burn-in of card-number reads on the simulated reader.\n\n");
    std::printf("| %-38s | %9s | %9s | %5s | %6s | %-5s |\n", "figure", "cli", "baseline",
                "ratio", "target", "holds");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", "----------------------------------------",
                "-----------", "-----------", "-------", "--------", "-------");
    row("1,000,000 calls, CPU (s), plain C loop", cli.cpuMs / 1000, loop.cpuMs / 1000, 3.0);
    const double growth = longRun.peakMiB - shortRun.peakMiB;
    std::printf("| %-38s | %9.2f | %9.2f | %5s | %6s | %-5s |\n",
                "peak memory (MiB), 2,000,000 / 20,000", longRun.peakMiB, shortRun.peakMiB,
                "-", "+2 MiB", growth <= 2 ? "yes" : "no");
    return 0;
}
