#include "support/Fuzz.h"

#include "support/SimulatorReports.h"

#include <QtGlobal>
#include <cctype>
#include <cstdio>
#include <chrono>
#include <gtest/gtest.h>

namespace Fuzz {

int Gen::between(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_rng);
}

bool Gen::chance(double p)
{
    return std::bernoulli_distribution(p)(m_rng);
}

QByteArray Gen::bytes(int maxLength)
{
    QByteArray out(between(0, maxLength), '\0');
    for (char &c : out)
        c = char(between(0, 255));
    return out;
}

QByteArray Gen::text(int maxLength)
{
    QByteArray out(between(0, maxLength), '\0');
    for (char &c : out) {
        const int kind = between(0, 19);
        c = kind == 0 ? char(between(0, 31)) : kind == 1 ? char(between(128, 255)) : char(between(32, 126));
    }
    return out;
}

QByteArray Gen::number()
{
    static const QList<QByteArray> odd = {
        "", "-", "+", ".", "-0", "0", "1e10", "-1e10", "1e308", "1e309", "-1e309", "1e-400", "NaN", "nan", "-nan",
        "inf", "-inf", "Infinity", "1.#INF", "1.#QNAN", "&H7FFF", "&HFFFFFFFF", "0x10", "1,5", "1.5.5", "--1", "1e",
        "99999999999", "-99999999999", "2147483647", "2147483648", "-2147483649", "32767", "32768", "-32769",
        "65535", "4294967296", "123456789012345678901234567890", "1d3", "\xb5", " 1", "1 ", "\t7",
    };
    switch (between(0, 3)) {
    case 0: return pick(odd);
    case 1: return QByteArray::number(between(-2000, 2000));
    case 2: return QByteArray::number(between(-30000, 30000) / 100.0, 'f', between(0, 4));
    default: return QByteArray::number(qint64(m_rng()) >> between(0, 63));
    }
}

QByteArray Gen::mutate(const QByteArray &valid)
{
    QByteArray out = valid;
    const int steps = between(1, 6);
    for (int s = 0; s < steps; ++s) {
        const int at = out.isEmpty() ? 0 : between(0, int(out.size()) - 1);
        switch (between(0, 6)) {
        case 0: if (!out.isEmpty()) out[at] = char(between(0, 255)); break;
        case 1: out.insert(at, char(between(0, 255))); break;
        case 2: out.remove(at, between(1, 8)); break;
        case 3: out.insert(at, out.mid(at, between(1, 64))); break;
        case 4: out.truncate(at); break;
        case 5: out.insert(at, number()); break;
        default: {
            // A number in the text replaced by another.
            int begin = at;
            while (begin < out.size() && !(std::isdigit(uchar(out[begin])) || out[begin] == '-'))
                ++begin;
            int end = begin;
            while (end < out.size() && (std::isdigit(uchar(out[end])) || out[end] == '.' || out[end] == '-'))
                ++end;
            out.replace(begin, end - begin, number());
        }
        }
    }
    return out;
}

QList<QByteArray> Gen::cut(const QByteArray &data, int maxChunk)
{
    QList<QByteArray> chunks;
    for (qsizetype at = 0; at < data.size();) {
        const int length = between(1, maxChunk);
        chunks << data.mid(at, length);
        at += length;
    }
    return chunks;
}

void Run(int defaultIterations, const std::function<void(Gen &gen)> &body)
{
    const QByteArray seedText = qgetenv("VKM_FUZZ_SEED");
    const QByteArray countText = qgetenv("VKM_FUZZ_ITERATIONS");
    const bool bounded = (seedText.isEmpty() || seedText == "random") && countText.isEmpty();
    // A fixed first seed keeps the suite repeatable; VKM_FUZZ_SEED=random draws a new one.
    const uint64_t first = seedText.isEmpty()        ? 20261209u
                           : seedText == "random" ? std::random_device()()
                                                  : seedText.toULongLong();
    const int cases = countText.isEmpty() ? defaultIterations : countText.toInt();
    std::printf("fuzz seed %llu, up to %d cases (replay: VKM_FUZZ_SEED=%llu)\n", (unsigned long long)first, cases,
                (unsigned long long)first);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < cases; ++i) {
        const uint64_t seed = first + uint64_t(i);
        Gen gen(seed);
        try {
            body(gen);
        } catch (const std::exception &e) {
            ADD_FAILURE() << "escaped: " << e.what();
        }
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "fuzz case " << i << " failed; replay the run with VKM_FUZZ_SEED=" << first
                          << " VKM_FUZZ_ITERATIONS=" << i + 1 << ", or the case alone (when cases share no state) with VKM_FUZZ_SEED="
                          << seed << " VKM_FUZZ_ITERATIONS=1";
            return;
        }
        if (bounded && std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500))
            return;
    }
}

QStringList ReportCodes()
{
    static const QStringList codes = [] {
        QStringList all = SimulatorReports::defaultValues().keys();
        for (const QStringList &burst : SimulatorReports::queries())
            all << burst;
        all << QStringLiteral(":!") << QStringLiteral(":") << QStringLiteral("::");
        all.removeDuplicates();
        all.sort();
        return all;
    }();
    return codes;
}

QByteArray ReportStream(Gen &gen, int reports)
{
    const QStringList codes = ReportCodes();
    QByteArray out;
    for (int r = 0; r < reports; ++r) {
        if (gen.chance(0.85))
            out += codes.at(gen.between(0, int(codes.size()) - 1)).toLatin1();
        else
            out += ":" + gen.text(4);
        out += gen.chance(0.9) ? " " : "";
        switch (gen.between(0, 5)) {
        case 0: out += gen.text(12); break;
        case 1: break;
        default: out += gen.number();
        }
        out += gen.chance(0.9) ? QByteArray(" ") : gen.text(3);
        if (gen.chance(0.05))
            out += gen.bytes(16);
        if (gen.chance(0.01))
            out += QByteArray(gen.between(250, 1200), char(gen.between(33, 126))); // no blank for long
    }
    return out;
}

} // namespace Fuzz
