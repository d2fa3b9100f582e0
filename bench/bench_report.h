// The benchmark programs' reporter: the usual console output, and the measured time of every run
// kept by name, so that a program can print ratios against its peers at the end.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "png/pngdeflate.h"
#include "png/pnginflate.h"

namespace bench {

// The console output as usual, and the measured seconds per iteration of every run kept by name.
class TCapturingReporter : public benchmark::ConsoleReporter {
public:
    using benchmark::ConsoleReporter::ConsoleReporter;

    struct TTimes {
        std::vector<double> Wall;
        std::vector<double> Cpu;
        double MedianWall = 0; // from the median aggregate, when only aggregates are reported
        double MedianCpu = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            TTimes& times = FTimes[run.run_name.function_name];
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times.Wall.push_back(run.real_accumulated_time / double(run.iterations));
                times.Cpu.push_back(run.cpu_accumulated_time / double(run.iterations));
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                       run.aggregate_unit == benchmark::kTime) {
                const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
                times.MedianWall = run.GetAdjustedRealTime() / unit;
                times.MedianCpu = run.GetAdjustedCPUTime() / unit;
            }
        }
    }

    // Median seconds per run, wall and CPU; false when the benchmark did not run.
    bool Median(const std::string& name, double& wall, double& cpu) const {
        const auto it = FTimes.find(name);
        if (it == FTimes.end()) return false;
        const TTimes& t = it->second;
        if (!t.Wall.empty()) {
            wall = MedianOf(t.Wall);
            cpu = MedianOf(t.Cpu);
            return true;
        }
        wall = t.MedianWall;
        cpu = t.MedianCpu;
        return wall > 0;
    }

private:
    static double MedianOf(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    std::map<std::string, TTimes> FTimes;
};

// The programs' own option --image_size=N (default 4096) and the benchmark flags, with three
// repetitions unless asked otherwise. False when the command line is not valid.
inline bool InitializeBenchmarks(int argc, char** argv, std::int32_t& side) {
    side = 4096;
    std::vector<char*> args;
    bool repetitionsGiven = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i > 0 && arg.rfind("--image_size=", 0) == 0) {
            side = std::int32_t(std::strtol(arg.c_str() + 13, nullptr, 10));
            continue;
        }
        // The library's compression engines, to compare them: --inflate=zlib|isal,
        // --deflate=zlib|libdeflate (by default the library's own choice).
        if (i > 0 && (arg == "--inflate=zlib" || arg == "--inflate=isal")) {
            SetImageInflateEngine(arg == "--inflate=isal" ? TInflateEngine::Isal : TInflateEngine::Zlib);
            if (ImageInflateEngine() !=
                (arg == "--inflate=isal" ? TInflateEngine::Isal : TInflateEngine::Zlib)) {
                std::fprintf(stderr, "%s: this build lacks that engine\n", arg.c_str());
                return false;
            }
            continue;
        }
        if (i > 0 && (arg == "--deflate=zlib" || arg == "--deflate=libdeflate")) {
            const TDeflateEngine engine =
                arg == "--deflate=zlib" ? TDeflateEngine::Zlib : TDeflateEngine::Libdeflate;
            SetImageDeflateEngine(engine);
            if (ImageDeflateEngine() != engine) {
                std::fprintf(stderr, "%s: this build lacks that engine\n", arg.c_str());
                return false;
            }
            continue;
        }
        if (arg.rfind("--benchmark_repetitions", 0) == 0) repetitionsGiven = true;
        args.push_back(argv[i]);
    }
    static char defaultRepetitions[] = "--benchmark_repetitions=3";
    if (!repetitionsGiven) args.insert(args.begin() + 1, defaultRepetitions);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return false;
    if (side < 16 || side > 16384) {
        std::fprintf(stderr, "--image_size must be between 16 and 16384\n");
        return false;
    }
    return true;
}

} // namespace bench
