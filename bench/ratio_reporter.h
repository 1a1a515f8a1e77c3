// Benchmarks report ratios, not bare times: each program runs its references in the same run and
// prints, after Google Benchmark's own table, how the measured code compares with them.
//
//   int main(int argc, char **argv) {
//       benchmark::Initialize(&argc, argv);
//       Ratio_Reporter Reporter;
//       benchmark::RunSpecifiedBenchmarks(&Reporter);
//       Reporter.Print_Ratio("demosaic 960 vs memcpy", "Demosaic/960", "Memcpy/960");
//   }
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class Ratio_Reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &Runs) override
    {
        ConsoleReporter::ReportRuns(Runs);
        for (const auto &Each : Runs)
            if (!Each.error_occurred)
                Seconds_[Each.benchmark_name()] = Each.GetAdjustedRealTime();
    }

    // The measured time per iteration of a benchmark by its full name, or 0. Compare only benchmarks
    // that share a time unit.
    double Time_Of(const std::string &Name) const
    {
        auto Found = Seconds_.find(Name);
        return Found == Seconds_.end() ? 0.0 : Found->second;
    }

    // Prints "<Label>: <Measured / Reference> x" (time of Measured over time of Reference).
    void Print_Ratio(const char *Label, const std::string &Measured, const std::string &Reference) const
    {
        const double Top = Time_Of(Measured), Bottom = Time_Of(Reference);
        if (Top > 0 && Bottom > 0)
            printf("%-56s %8.2f x\n", Label, Top / Bottom);
        else
            printf("%-56s not measured\n", Label);
    }

  private:
    std::map<std::string, double> Seconds_;
};
