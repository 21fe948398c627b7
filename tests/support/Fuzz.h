#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <random>

// Seeded property tests over damaged and random input. Each case draws from a generator of
// its own seed (the run's seed + the case number), so a failing run can be replayed, and a
// case alone where cases share no state (a window's state carries over from case to case):
//   VKM_FUZZ_SEED=<seed>         the run's first seed (default: a fixed one; "random" draws one)
//   VKM_FUZZ_ITERATIONS=<count>  cases per test (default: the test's own count, cut short
//                                after a couple of seconds unless a count or seed is set);
//                                the count also lifts CTest's timeout (tests/FuzzTimeouts.cmake)
// The run's seed is printed at the start of each test and a failing case's seed with it.
namespace Fuzz {

class Gen
{
public:
    explicit Gen(uint64_t seed) : m_rng(seed) {}

    int between(int low, int high); // inclusive
    bool chance(double p);
    template <typename T> const T &pick(const QList<T> &items) { return items.at(between(0, int(items.size()) - 1)); }

    // Any bytes, up to `maxLength` of them.
    QByteArray bytes(int maxLength);
    // Bytes that are mostly printable, with controls and Latin-1 letters among them.
    QByteArray text(int maxLength);
    // A number's text as a controller or a file might hold it, sound or not: digits, signs,
    // decimals, exponents, huge and negative values, NaN and infinity spellings, empty.
    QByteArray number();
    // `valid` damaged a little: bytes changed, inserted, removed, slices repeated or cut,
    // numbers replaced by number(); several steps.
    QByteArray mutate(const QByteArray &valid);
    // `data` cut into chunks of 1 to `maxChunk` bytes.
    QList<QByteArray> cut(const QByteArray &data, int maxChunk);

private:
    std::mt19937_64 m_rng;
};

// Runs `body` for each case until one fails (its seed is added to the failure) or the
// cases or the time are used up.
void Run(int defaultIterations, const std::function<void(Gen &gen)> &body);

// The report codes the controller sends, with the simulator's own value of each.
QStringList ReportCodes();
// A report stream: codes from ReportCodes() or made up, each with a number, a text or
// nothing, separated by blanks mostly; noise between them at times.
QByteArray ReportStream(Gen &gen, int reports);

} // namespace Fuzz
