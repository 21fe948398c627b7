// Framing throughput of one receiver: a realistic report stream cut into chunks of random
// sizes, walked with a dispatch that switches on a handful of codes as the drivers do.
#include "link/ReplyState.h"

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace {

QString reportStream(int bursts)
{
    QString stream;
    for (int i = 0; i < bursts; ++i) {
        const QString n = QString::number(i % 1000);
        stream += QStringLiteral(":s 1") + n + QStringLiteral(" :a 1") + n + QStringLiteral(" :h 1 :mo 0 :t1 68")
                  + n + QStringLiteral(" :t2 67") + n + QStringLiteral(" :t3 70") + n
                  + QStringLiteral(" :t4 512 :fs 40 :ss 0 :vr 2.13a :rs -14400 :rt ") + n
                  + QStringLiteral(" :wr 72") + n + QStringLiteral(" :d1 0 :d2 35 :CS 2 ");
    }
    return stream;
}

QStringList cut(const QString &stream, int minSize, int maxSize, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<qsizetype> size(minSize, maxSize);
    QStringList chunks;
    for (qsizetype from = 0; from < stream.size();) {
        const qsizetype n = std::min(size(rng), stream.size() - from);
        chunks << stream.mid(from, n);
        from += n;
    }
    return chunks;
}

struct Sink
{
    long long positions = 0;
    long long temperatures = 0;
    long long other = 0;
};

// MB/s over whole passes of `chunks` until at least `minSeconds` have gone.
double measure(const QStringList &chunks, qsizetype bytes, double minSeconds, Sink &sink)
{
    ReplyState state([&sink](QStringView code, QStringView value) {
        if (code == u":s" || code == u":a")
            sink.positions += value.size();
        else if (code == u":t1" || code == u":t2" || code == u":t3")
            sink.temperatures += value.size();
        else if (code == u":rt" || code == u":vr")
            sink.other += value.size();
    });
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double seconds = 0;
    long long passes = 0;
    do {
        for (const QString &chunk : chunks)
            state.Handle_Received(chunk);
        ++passes;
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < minSeconds);
    return double(bytes) * double(passes) / seconds / 1e6;
}

} // namespace

int main()
{
    const QString stream = reportStream(20000);
    Sink sink;
    struct
    {
        const char *label;
        int minSize;
        int maxSize;
    } const mixes[] = {{"1..64", 1, 64}, {"1..8", 1, 8}, {"16..64", 16, 64}, {"64", 64, 64}};

    std::printf("report stream: %lld bytes\n", static_cast<long long>(stream.size()));
    for (const auto &mix : mixes) {
        const QStringList chunks = cut(stream, mix.minSize, mix.maxSize, 42);
        measure(chunks, stream.size(), 0.1, sink); // warm-up
        const double mbps = measure(chunks, stream.size(), 1.0, sink);
        std::printf("chunks of %-7s bytes: %8.1f MB/s\n", mix.label, mbps);
    }
    // Keeps the dispatch's work observable.
    std::printf("(dispatched value bytes: %lld)\n", sink.positions + sink.temperatures + sink.other);
    return 0;
}
