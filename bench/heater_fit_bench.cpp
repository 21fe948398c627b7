// The heater model fit on a full data set: 250 half-minute points of a heat challenge
// (50 % after 2 minutes, 3 minutes' dead time, a 40-minute time constant), fitted again
// and again; prints the median and the slowest time of one fit, in CPU time of this thread
// (the wall time of a busy machine says little) and in wall time.
#include "tools/HeaterModel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

} // namespace

int main()
{
    HeaterModel model;
    model.PointCount = 250;
    for (int i = 1; i <= 250; ++i) {
        const double t = 0.5 * i;
        model.DataSet[i - 1] = {float(t), t <= 2.0 ? 0.0f : 50.0f,
                                float(t <= 5.5 ? 40.0 : 40 + 10 * (1 - std::exp(-(t - 5.5) / 40)))};
    }
    model.PrepareModelData();
    std::vector<double> cpu, wall;
    bool fitted = true;
    for (int run = 0; run < 50; ++run) {
        const double cpuStart = cpuMs();
        const auto start = std::chrono::steady_clock::now();
        fitted = model.FitHeaterModel() && fitted;
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(cpuMs() - cpuStart);
    }
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    std::printf("fit of 250 points: CPU median %.2f ms, slowest %.2f ms; wall median %.2f ms\n", cpu[cpu.size() / 2],
                cpu.back(), wall[wall.size() / 2]);
    std::printf("%s: gain %.4f, time constant %.2f, dead time %.2f\n", fitted ? "converged" : "NOT converged",
                double(model.Gain), double(model.TimeConstant), double(model.DeadTime));
    return fitted ? 0 : 1;
}
