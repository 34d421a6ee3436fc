// Writes a valid constraint file with its .def and .info for benchmarking:
// objects tiled by triangles, deterministic for a given seed.
//
//   generate_map <base> <tuples> [seed] [largest] [overlapping]
//
// Most objects are small (a fan of 2 to 8 triangles over a convex polygon); a
// few are large grids of 10,000 triangles or more. With `largest` given, the
// file holds exactly one object of that many triangles (a grid), for timing
// the merge of one big object. With the word "overlapping" after it, every
// triangle of that grid reaches a quarter unit past its square on all sides,
// so it overlaps all its neighbours: the object's outline is then the union
// of its triangles.
//
// Coordinates lie on a grid of 1/4 and every coefficient is printed exactly,
// so neighbouring triangles compute their shared corners exactly.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Point {
    double x;
    double y;
};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string s = text;
    while (s.back() == '0') {
        s.pop_back();
    }
    if (s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// The constraint whose boundary runs through p and q, with `inside` on its
// allowed side.
std::string edgeConstraint(Point p, Point q, Point inside) {
    const double a = q.y - p.y;
    const double b = -(q.x - p.x);
    const double c = a * p.x + b * p.y;
    const std::string bText = number(b);
    const std::string yTerm = bText[0] == '-' ? "- " + bText.substr(1) : "+ " + bText;
    const char* op = a * inside.x + b * inside.y <= c ? "<=" : ">=";
    return number(a) + "x " + yTerm + "y " + op + " " + number(c);
}

class MapWriter {
public:
    MapWriter(std::FILE* text, std::FILE* def) : text_(text), def_(def) {}

    // Corner 13 = p, corner 12 = q, corner 23 = r.
    void triangle(long id, Point p, Point q, Point r) {
        std::fprintf(text_, "parcel(id, x, y) :- id = %ld, %s, %s, %s.\n", id,
                     edgeConstraint(p, q, r).c_str(), edgeConstraint(q, r, p).c_str(),
                     edgeConstraint(r, p, q).c_str());
        ++tuples_;
    }

    void attributes(long id, const char* landuse, double area, bool last) {
        std::fprintf(def_, "Parcel %ld,%s,%s,Owner %ld%s\n", id, landuse, number(area).c_str(),
                     id % 977, last ? "." : ",");
    }

    long tuples() const { return tuples_; }

private:
    std::FILE* text_;
    std::FILE* def_;
    long tuples_ = 0;
};

constexpr double kPi = 3.14159265358979323846;

double snap(double value) { return std::round(value * 4.0) / 4.0; }

// A convex polygon of `triangles` + 2 corners around `centre`, fanned from corner 0.
long writeFan(MapWriter& out, long id, Point centre, int triangles, std::mt19937_64& random) {
    // Corners on a circle keep the polygon convex, so the fan never overlaps itself.
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    const int corners = triangles + 2;
    std::vector<Point> ring;
    for (int i = 0; i < corners; ++i) {
        const double angle = 2.0 * kPi * (i + jitter(random)) / corners;
        const double radius = 40.0;
        ring.push_back(
            {snap(centre.x + radius * std::cos(angle)), snap(centre.y + radius * std::sin(angle))});
    }
    for (int i = 1; i + 1 < corners; ++i) {
        out.triangle(id, ring[0], ring[i], ring[i + 1]);
    }
    return triangles;
}

// A rectangle of columns x rows squares, each split into two triangles;
// with `reach`, each triangle grown by that much past its square's sides.
long writeGrid(MapWriter& out, long id, Point origin, long triangles, double reach = 0.0) {
    const long rows =
        std::max(1L, static_cast<long>(std::sqrt(static_cast<double>(triangles) / 16.0)));
    const long columns = std::max(1L, triangles / 2 / rows);
    const double step = 1.25;
    for (long r = 0; r < rows; ++r) {
        for (long c = 0; c < columns; ++c) {
            const Point a{origin.x + static_cast<double>(c) * step - reach,
                          origin.y + static_cast<double>(r) * step - reach};
            const Point b{a.x + step + 2 * reach, a.y};
            const Point d{a.x, a.y + step + 2 * reach};
            const Point e{a.x + step + 2 * reach, a.y + step + 2 * reach};
            out.triangle(id, a, b, e);
            out.triangle(id, a, e, d);
        }
    }
    return 2 * rows * columns;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: generate_map <base> <tuples> [seed] [largest] [overlapping]\n");
        return 2;
    }
    const std::string base = argv[1];
    const long target = std::atol(argv[2]);
    const unsigned long seed = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1;
    const long single = argc > 4 ? std::atol(argv[4]) : 0;
    // A quarter unit keeps every corner, and so every coefficient, exact.
    const double reach = argc > 5 && std::string(argv[5]) == "overlapping" ? 0.25 : 0.0;

    FilePtr text(std::fopen((base + ".txt").c_str(), "w"));
    FilePtr def(std::fopen((base + ".def").c_str(), "w"));
    FilePtr info(std::fopen((base + ".info").c_str(), "w"));
    if (!text || !def || !info) {
        std::perror(base.c_str());
        return 1;
    }
    std::fprintf(info.get(), "Generated parcels of a benchmark county\n");
    std::fprintf(info.get(), "Parcel(name, landuse, area, owner).\n");
    std::fprintf(text.get(), "%% generated benchmark map, seed %lu\n", seed);

    static const char* const kLanduse[] = {"residential", "farmland",   "forest",
                                           "water",       "industrial", "Doña Ana reserve"};
    MapWriter out(text.get(), def.get());
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> smallSize(2, 8);
    long id = 0;
    while (out.tuples() < target) {
        ++id;
        const Point cell{snap(static_cast<double>(id % 1000) * 100.0),
                         snap(static_cast<double>(id / 1000) * 100.0)};
        long made = 0;
        if (single > 0) {
            made = writeGrid(out, id, cell, single, reach);
        } else if (id % 20000 == 7 && target - out.tuples() > 20000) {
            made = writeGrid(out, id, cell, 10000 + static_cast<long>(random() % 5000));
        } else {
            made = writeFan(out, id, cell, smallSize(random), random);
        }
        const bool last = out.tuples() >= target || single > 0;
        out.attributes(id, kLanduse[random() % 6], static_cast<double>(made) * 12.5, last);
        if (single > 0) {
            break;
        }
    }
    std::fprintf(stderr, "generate_map: %ld tuples, %ld objects\n", out.tuples(), id);
    return 0;
}
