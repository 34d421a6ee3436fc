// Writes a valid constraint file with its .def and .info for benchmarking:
// objects tiled by triangles, deterministic for a given seed.
//
//   generate_map <base> <tuples> [seed] [largest] [overlapping]
//   generate_map <base> <tuples> <seed> 0 rounded-fans <decimals>
//   generate_map <base> 1 <seed> <triangles> random-overlaps <decimals>
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
//
// The other two write lines as a producer that computes them in doubles
// does: each line through two corners normalised so that the larger of |a|
// and |b| is 1, every number printed with `decimals` decimals, so shared
// corners no longer agree exactly. "rounded-fans": regular polygons of 3 to
// 8 corners, each fanned around its centre. "random-overlaps": one object of
// `triangles` triangles with sides of 1 to 10 units at random places in a
// square of 100, overlapping each other; <base>.wkt then holds each
// triangle as a WKT polygon, one a line, for timing GEOS's union of them.
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

// The constraint through p and q with `inside` on its allowed side, as a
// producer of rounded lines writes it.
std::string roundedConstraint(Point p, Point q, Point inside, int decimals) {
    double a = q.y - p.y;
    double b = p.x - q.x;
    const double scale = std::max(std::fabs(a), std::fabs(b));
    a /= scale;
    b /= scale;
    const double c = a * p.x + b * p.y;
    char text[256];
    std::snprintf(text, sizeof text, "%.*fx %s %.*fy %s %.*f", decimals, a, b < 0 ? "-" : "+",
                  decimals, std::fabs(b), a * inside.x + b * inside.y <= c ? "<=" : ">=", decimals,
                  c);
    return text;
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

    void roundedTriangle(long id, Point p, Point q, Point r, int decimals) {
        std::fprintf(text_, "parcel(id, x, y) :- id = %ld, %s, %s, %s.\n", id,
                     roundedConstraint(p, q, r, decimals).c_str(),
                     roundedConstraint(q, r, p, decimals).c_str(),
                     roundedConstraint(r, p, q, decimals).c_str());
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

// A regular polygon of `corners` corners around `centre`, turned at random,
// fanned from its centre.
long writeRoundedFan(MapWriter& out, long id, Point centre, int corners, int decimals,
                     std::mt19937_64& random) {
    std::uniform_real_distribution<double> turn(0.0, 2.0 * kPi);
    const double start = turn(random);
    const double radius = 40.0;
    std::vector<Point> ring;
    for (int i = 0; i < corners; ++i) {
        const double angle = start + 2.0 * kPi * i / corners;
        ring.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    for (int i = 0; i < corners; ++i) {
        out.roundedTriangle(id, centre, ring[static_cast<std::size_t>(i)],
                            ring[static_cast<std::size_t>((i + 1) % corners)], decimals);
    }
    return corners;
}

// Triangles with sides of 1 to 10 at random places in a square of 100,
// each also written to `wkt`.
long writeRandomOverlaps(MapWriter& out, std::FILE* wkt, long triangles, int decimals,
                         std::mt19937_64& random) {
    std::uniform_real_distribution<double> place(0.0, 100.0);
    std::uniform_real_distribution<double> side(1.0, 10.0);
    std::uniform_real_distribution<double> turn(0.0, 2.0 * kPi);
    for (long made = 0; made < triangles;) {
        const Point a{place(random), place(random)};
        const double ab = turn(random);
        const double ac = ab + turn(random) / 2.0 + 0.3;
        const double lb = side(random);
        const double lc = side(random);
        const Point b{a.x + lb * std::cos(ab), a.y + lb * std::sin(ab)};
        const Point c{a.x + lc * std::cos(ac), a.y + lc * std::sin(ac)};
        if (std::fabs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) < 0.5) {
            continue;  // too thin to be read back as the triangle it is
        }
        out.roundedTriangle(1, a, b, c, decimals);
        std::fprintf(wkt, "POLYGON ((%.17g %.17g,%.17g %.17g,%.17g %.17g,%.17g %.17g))\n", a.x, a.y,
                     b.x, b.y, c.x, c.y, a.x, a.y);
        ++made;
    }
    return triangles;
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
    const std::string mode = argc > 5 ? argv[5] : "";
    // A quarter unit keeps every corner, and so every coefficient, exact.
    const double reach = mode == "overlapping" ? 0.25 : 0.0;
    const int decimals = argc > 6 ? std::atoi(argv[6]) : 6;

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
    if (mode == "random-overlaps") {
        FilePtr wkt(std::fopen((base + ".wkt").c_str(), "w"));
        if (!wkt) {
            std::perror(base.c_str());
            return 1;
        }
        const long made = writeRandomOverlaps(out, wkt.get(), single, decimals, random);
        out.attributes(1, kLanduse[0], static_cast<double>(made), true);
        std::fprintf(stderr, "generate_map: %ld tuples, 1 object\n", out.tuples());
        return 0;
    }
    std::uniform_int_distribution<int> fanCorners(3, 8);
    long id = 0;
    while (out.tuples() < target) {
        ++id;
        const Point cell{snap(static_cast<double>(id % 1000) * 100.0),
                         snap(static_cast<double>(id / 1000) * 100.0)};
        long made = 0;
        if (mode == "rounded-fans") {
            made = writeRoundedFan(out, id, cell, fanCorners(random), decimals, random);
        } else if (single > 0) {
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
