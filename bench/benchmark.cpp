// Runs the start-up programs side by side, alternating tool and baseline, and
// the press-to-box program, then prints each figure's median with its ratio
// to Qt's floor and whether it meets its target.
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

bool start(const std::string &program, Sample &sample)
{
    const double begin = now();
    const pid_t child = fork();
    if (child == 0) {
        // Qt's warnings about the offscreen platform are not the figures.
        std::freopen("/dev/null", "w", stderr);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
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
        std::printf("| %-22s | %9.2f | %9.2f | %5.3f | %6.2f | %-5s |\n", figure, tool, baseline,
                    ratio, target, ratio <= target ? "yes" : "no");
    else
        std::printf("| %-22s | %9.2f | %9.2f | %5.3f | %6s | %-5s |\n", figure, tool, baseline,
                    ratio, "-", "-");
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string directory = argc > 1 ? argv[1] : ".";
    const int runs = argc > 2 ? std::max(10, std::atoi(argv[2])) : 21;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::vector<double> toolCpu, toolWall, toolPeak, baseCpu, baseWall, basePeak;
    Sample sample{};
    for (int i = 0; i < runs + 2; ++i) {
        if (!start(directory + "/toolstart", sample))
            return std::fprintf(stderr, "toolstart failed\n"), 1;
        if (i >= 2) {
            toolCpu.push_back(sample.cpuMs);
            toolWall.push_back(sample.wallMs);
            toolPeak.push_back(sample.peakMiB);
        }
        if (!start(directory + "/baselinestart", sample))
            return std::fprintf(stderr, "baselinestart failed\n"), 1;
        if (i >= 2) {
            baseCpu.push_back(sample.cpuMs);
            baseWall.push_back(sample.wallMs);
            basePeak.push_back(sample.peakMiB);
        }
    }

    double toolPress = 0, basePress = 0;
    const std::string press = directory + "/presstobox";
    FILE *out = popen(press.c_str(), "r");
    if (!out || std::fscanf(out, "%lf %lf", &toolPress, &basePress) != 2)
        return std::fprintf(stderr, "presstobox failed\n"), 1;
    pclose(out);

    std::printf("Medians of %d runs each, tool and baseline alternating.\n\n", runs);
    std::printf("| %-22s | %9s | %9s | %5s | %6s | %-5s |\n", "figure", "tool", "baseline",
                "ratio", "target", "holds");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", "------------------------", "-----------",
                "-----------", "-------", "--------", "-------");
    row("start-up CPU (ms)", median(toolCpu), median(baseCpu), 1.10);
    row("start-up wall (ms)", median(toolWall), median(baseWall), 0);
    row("peak memory (MiB)", median(toolPeak), median(basePeak), 1.05);
    row("press to box (us)", toolPress, basePress, 1.10);
    return 0;
}
