// Checks the converter's own number routes against the C library: they are
// there for speed, and may never give another byte or another bit.
//
//   check_number_text [values]   default 500,000 a check (bench/run.sh); CTest
//                                runs it on 100,000 (NumberText.MatchesTheCLibrary)
//
// - coordinates written for output.eff.imd against snprintf's "%.4f";
// - decimals read by the constraint and the export passes against strtod,
//   bit for bit.
// Prints one line per check and exits with 1 when any value differs or is
// refused.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "export/record_line.h"
#include "translate/geometry/eff_format.h"
#include "translate/tuples/term_values.h"

namespace {

using vorn2shp::Point;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class Tally {
public:
    explicit Tally(const char* name) : name_(name) {}

    void check(bool same, const std::string& what) {
        ++checked_;
        if (!same && ++differing_ <= 5) {
            std::printf("  %s differs: %s\n", name_, what.c_str());
        }
    }

    bool report() const {
        std::printf("%s: %ld values, %ld differ\n", name_, checked_, differing_);
        return differing_ == 0;
    }

private:
    const char* name_;
    long checked_ = 0;
    long differing_ = 0;
};

std::string printfText(double x, double y) {
    const int length = std::snprintf(nullptr, 0, "(%.4f,%.4f),", x, -1.0 * y);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "(%.4f,%.4f),", x, -1.0 * y);
    text.pop_back();
    return text;
}

// Doubles of every kind: any bit pattern, ties at the fifth decimal, values
// on the 1/4 grid of the benchmark maps, and tiny and huge magnitudes.
double anyDouble(std::mt19937_64& random, long i) {
    const std::uint64_t bits = random();
    double value = 0.0;
    switch (i % 5) {
        case 0:
            std::memcpy(&value, &bits, sizeof value);
            return std::isfinite(value) ? value : 0.0;
        case 1:
            return static_cast<double>(static_cast<std::int64_t>(bits % 2000000001) - 1000000000) /
                   32.0;
        case 2:
            return static_cast<double>(static_cast<std::int64_t>(bits % 400001) - 200000) / 4.0;
        case 3:
            return std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(random() % 90));
        default:
            return std::ldexp(static_cast<double>(bits >> 11),
                              static_cast<int>(random() % 200) - 60);
    }
}

bool checkPointText(long count) {
    Tally tally("coordinates as \"%.4f\"");
    std::mt19937_64 random(1);
    for (const double special : {0.0, -0.0, 0.00005, -0.00005, 0.03125, 1e300, -1.7e308, 5e-324}) {
        std::string out;
        vorn2shp::appendEffPoint(out, Point{special, special});
        tally.check(out == printfText(special, special), out);
    }
    std::string out;
    for (long i = 0; i < count; ++i) {
        const Point p{anyDouble(random, i), anyDouble(random, i + 1)};
        out.clear();
        vorn2shp::appendEffPoint(out, p);
        const std::string expected = printfText(p.x, p.y);
        tally.check(out == expected, out + " instead of " + expected);
    }
    return tally.report();
}

// Digit strings of 1 to 24 digits, some with a point and a fraction, some
// signed, some with an exponent or other text behind them.
std::string decimalText(std::mt19937_64& random) {
    std::string text;
    const auto digits = [&](std::uint64_t most) {
        for (std::uint64_t k = random() % most + 1; k > 0; --k) {
            text += static_cast<char>('0' + random() % 10);
        }
    };
    if (random() % 4 == 0) {
        text += random() % 2 == 0 ? "-" : "+";
    }
    switch (random() % 4) {
        case 0:
            digits(24);
            break;
        case 1:
            digits(8);
            text += '.';
            digits(8);
            break;
        case 2:
            text += '.';
            digits(24);
            break;
        default:
            digits(12);
            text += '.';
    }
    static const char* const kBehind[] = {"", "", "", "x", "y", "e5", "E-3", "e", ".5", "z9"};
    text += kBehind[random() % (sizeof kBehind / sizeof kBehind[0])];
    return text;
}

bool checkConstraintNumbers(long count) {
    Tally tally("constraint terms and constants against strtod");
    std::mt19937_64 random(3);
    for (long i = 0; i < count; ++i) {
        // Decimal texts only (no hex, no "inf", no "nan"): a whole one reads
        // to strtod's bits, and one with anything behind its number is
        // refused, not read by its prefix.
        const std::string text = decimalText(random);
        char* end = nullptr;
        const double expected = std::strtod(text.c_str(), &end);
        vorn2shp::WrittenNumber number;
        const bool read = vorn2shp::readWrittenNumber(text, number);
        const bool whole = *end == '\0';
        tally.check(read == whole && (!read || sameBits(number.value, expected)), text);
    }
    return tally.report();
}

bool checkRecordCoordinates(long count) {
    Tally tally("output.eff.imd coordinates against strtod");
    std::mt19937_64 random(4);
    vorn2shp::RecordLine record;
    for (long i = 0; i < count; ++i) {
        const std::string x = decimalText(random);
        const std::string y = decimalText(random);
        const std::string line = "(" + x + "," + y + "),(1,2),(3,4),(" + x + "," + y + "),Lake";
        // Whatever the numbers hold, the pairs are well formed: a line
        // refused here would be a route that reads nothing, never a match.
        if (vorn2shp::parseRecordLine(line, record) != vorn2shp::LineFault::None) {
            tally.check(false, line + " refused");
            continue;
        }
        tally.check(sameBits(record.x[0], std::strtod(x.c_str(), nullptr)) &&
                        sameBits(record.y[0], std::strtod(y.c_str(), nullptr)),
                    line);
    }
    return tally.report();
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 500000;
    bool same = checkPointText(count);
    same = checkConstraintNumbers(count) && same;
    same = checkRecordCoordinates(count) && same;
    return same ? 0 : 1;
}
