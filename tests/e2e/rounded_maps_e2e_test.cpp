// Maps as real producers write them: each line computed in doubles,
// normalised and printed with a fixed number of decimals, so that the
// corners neighbouring triangles share no longer agree. The outlines must
// still be the polygons the triangles were made from: their parts, holes
// and corners, valid, with no more overlap warnings than the map written
// exactly has, in any order of the tuples.
#include <geos_c.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "translate/tuples/triangle_corners.h"
#include "translate/tuples/tuple_reader.h"

namespace vorn2shp::testing {
namespace {

using Rings = std::vector<std::vector<Point>>;

// The GEOS calls of the checks, on one handle for the test.
class Geos {
public:
    Geos() : handle_(GEOS_init_r()) {}
    ~Geos() { GEOS_finish_r(handle_); }
    Geos(const Geos&) = delete;
    Geos& operator=(const Geos&) = delete;

    struct Deleter {
        GEOSContextHandle_t handle;
        void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(handle, g); }
    };
    using Geometry = std::unique_ptr<GEOSGeometry, Deleter>;

    Geometry read(const std::string& wkt) {
        GEOSWKTReader* reader = GEOSWKTReader_create_r(handle_);
        Geometry g(GEOSWKTReader_read_r(handle_, reader, wkt.c_str()), Deleter{handle_});
        GEOSWKTReader_destroy_r(handle_, reader);
        return g;
    }

    // A polygon per outer ring, each with the holes that lie inside it.
    Geometry multiPolygon(const Rings& shells, const Rings& holes) {
        std::vector<GEOSGeometry*> polygons;
        std::vector<bool> taken(holes.size(), false);
        for (const auto& shell : shells) {
            Geometry outer(GEOSGeom_createPolygon_r(handle_, ring(shell), nullptr, 0),
                           Deleter{handle_});
            std::vector<GEOSGeometry*> inner;
            for (std::size_t h = 0; h < holes.size(); ++h) {
                if (!taken[h] && contains(outer.get(), holes[h])) {
                    inner.push_back(ring(holes[h]));
                    taken[h] = true;
                }
            }
            polygons.push_back(GEOSGeom_createPolygon_r(handle_, ring(shell), inner.data(),
                                                        static_cast<unsigned>(inner.size())));
        }
        return Geometry(GEOSGeom_createCollection_r(handle_, GEOS_MULTIPOLYGON, polygons.data(),
                                                    static_cast<unsigned>(polygons.size())),
                        Deleter{handle_});
    }

    bool isValid(const GEOSGeometry* g) { return GEOSisValid_r(handle_, g) == 1; }

    // Outer rings and holes of a polygon or multipolygon.
    void rings(const GEOSGeometry* g, Rings& shells, Rings& holes) {
        for (int p = 0; p < GEOSGetNumGeometries_r(handle_, g); ++p) {
            const GEOSGeometry* polygon = GEOSGetGeometryN_r(handle_, g, p);
            shells.push_back(points(GEOSGetExteriorRing_r(handle_, polygon)));
            for (int h = 0; h < GEOSGetNumInteriorRings_r(handle_, polygon); ++h) {
                holes.push_back(points(GEOSGetInteriorRingN_r(handle_, polygon, h)));
            }
        }
    }

private:
    GEOSGeometry* ring(const std::vector<Point>& points) {
        GEOSCoordSequence* sequence =
            GEOSCoordSeq_create_r(handle_, static_cast<unsigned>(points.size()), 2);
        for (std::size_t i = 0; i < points.size(); ++i) {
            GEOSCoordSeq_setXY_r(handle_, sequence, static_cast<unsigned>(i), points[i].x,
                                 points[i].y);
        }
        return GEOSGeom_createLinearRing_r(handle_, sequence);
    }

    bool contains(const GEOSGeometry* polygon, const std::vector<Point>& hole) {
        Geometry point(GEOSGeom_createPointFromXY_r(handle_, hole[0].x, hole[0].y),
                       Deleter{handle_});
        return GEOSCovers_r(handle_, polygon, point.get()) == 1;
    }

    std::vector<Point> points(const GEOSGeometry* ring) {
        const GEOSCoordSequence* sequence = GEOSGeom_getCoordSeq_r(handle_, ring);
        unsigned size = 0;
        GEOSCoordSeq_getSize_r(handle_, sequence, &size);
        std::vector<Point> out(size);
        for (unsigned i = 0; i < size; ++i) {
            GEOSCoordSeq_getXY_r(handle_, sequence, i, &out[i].x, &out[i].y);
        }
        return out;
    }

    GEOSContextHandle_t handle_;
};

double apart(Point a, Point b) { return std::max(std::fabs(a.x - b.x), std::fabs(a.y - b.y)); }

// The corners where a closed ring turns by more than `flat` from the line
// of its neighbours: the points a reader sees as the ring's shape.
std::vector<Point> turningCorners(const std::vector<Point>& ring, double flat) {
    std::vector<Point> turning;
    const std::size_t n = ring.size() - 1;
    for (std::size_t k = 0; k < n; ++k) {
        const Point a = ring[(k + n - 1) % n];
        const Point b = ring[k];
        const Point c = ring[(k + 1) % n];
        const double chord = std::hypot(c.x - a.x, c.y - a.y);
        if (chord > 0 && std::fabs(orientation(a, b, c)) / chord > flat) {
            turning.push_back(b);
        }
    }
    return turning;
}

struct Outline {
    Rings shells;
    Rings holes;
};

// The shapes of <dir>/out.shp, with y back the way the constraints give it:
// outer rings turn clockwise as written, holes the other way.
std::vector<Outline> readOutlines(const std::string& dir) {
    std::vector<Outline> outlines;
    SHPHandle shp = SHPOpen((dir + "/out").c_str(), "rb");
    if (shp == nullptr) {
        return outlines;
    }
    int count = 0;
    SHPGetInfo(shp, &count, nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        SHPObject* shape = SHPReadObject(shp, i);
        Outline outline;
        for (int part = 0; part < shape->nParts; ++part) {
            const int end =
                part + 1 < shape->nParts ? shape->panPartStart[part + 1] : shape->nVertices;
            std::vector<Point> ring;
            for (int v = shape->panPartStart[part]; v < end; ++v) {
                ring.push_back(Point{shape->padfX[v], -shape->padfY[v]});
            }
            // Clockwise as written is counter-clockwise once y is turned back.
            (signedArea(ring) > 0 ? outline.shells : outline.holes).push_back(ring);
        }
        outlines.push_back(std::move(outline));
        SHPDestroyObject(shape);
    }
    SHPClose(shp);
    return outlines;
}

// Every corner of every tuple, by object, with how far it may lie from the
// corner meant: what the written lines themselves tell of each place.
std::map<std::string, std::vector<std::pair<Point, double>>> cornersAsWritten(
    const std::string& secondImd) {
    std::map<std::string, std::vector<std::pair<Point, double>>> corners;
    TupleReader reader;
    reader.reportNotesTo([](const std::string&) {});
    EXPECT_TRUE(reader.open(secondImd));
    Tuple tuple;
    while (reader.next(tuple)) {
        Triangle t;
        if (triangleOf(tuple.lines, t) != TriangleFault::None) {
            continue;
        }
        const CornerBounds bounds = cornerBoundsOf(tuple.lines, t);
        const Point places[] = {t.c12, t.c13, t.c23};
        for (std::size_t k = 0; k < 3; ++k) {
            const double bound =
                (boundFraction(bounds.written[k]) + boundFraction(bounds.computed[k])) * sizeOf(t);
            corners[tuple.id].emplace_back(places[k], bound);
        }
    }
    return corners;
}

// Whether the written lines place some copy of `corner` within `tolerance`.
bool determined(Point corner, const std::vector<std::pair<Point, double>>& copies,
                double tolerance) {
    return std::any_of(copies.begin(), copies.end(), [&](const auto& copy) {
        return copy.second <= tolerance && apart(copy.first, corner) <= copy.second + tolerance;
    });
}

std::set<std::string> overlapWarnings(const std::string& err) {
    std::set<std::string> objects;
    const std::regex warning("vorn2shp: object (\\S+): its triangles overlap");
    for (std::sregex_iterator it(err.begin(), err.end(), warning), end; it != end; ++it) {
        objects.insert((*it)[1]);
    }
    return objects;
}

// The map's tuples with each object's tuples in a shuffled order.
std::string shuffledWithinObjects(const std::string& text, unsigned seed) {
    std::mt19937 random(seed);
    std::istringstream lines(text);
    std::string out;
    std::vector<std::string> object;
    std::string id;
    const auto flush = [&] {
        std::shuffle(object.begin(), object.end(), random);
        for (const std::string& line : object) {
            out += line + "\n";
        }
        object.clear();
    };
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("id = ");
        if (at == std::string::npos) {
            out += line + "\n";
            continue;
        }
        const std::string lineId = line.substr(at + 5, line.find(',', at) - at - 5);
        if (lineId != id) {
            flush();
            id = lineId;
        }
        object.push_back(line);
    }
    flush();
    return out;
}

const char* const kWorld = "/tests/data/world/countries_110m";

RunResult convert(const std::string& dir, const std::string& text, const std::string& base) {
    writeFile(dir + "/map.txt", text);
    writeFile(dir + "/map.def", readFile(base + ".def"));
    writeFile(dir + "/map.info", readFile(base + ".info"));
    return runProgram(vorn2shpBinary(), {"-v", "map.txt", "out"}, dir);
}

// What the test finds of one conversion of a rounded world map.
void expectTheSourcePolygons(const std::string& dir, const RunResult& run, double tolerance,
                             const std::set<std::string>& overlapsWhenExact,
                             const std::string& what) {
    ASSERT_EQ(run.exitStatus, 0) << what << run.err;
    EXPECT_EQ(overlapWarnings(run.err), overlapsWhenExact) << what << run.err;
    Geos geos;
    const std::vector<Outline> outlines = readOutlines(dir);
    const auto copies = cornersAsWritten(dir + "/second.imd");
    std::istringstream csv(readFile(sourceDir() + kWorld + "_polygons.csv"));
    std::string row;
    std::getline(csv, row);
    std::size_t compared = 0;
    std::size_t invalid = 0;
    for (std::size_t i = 0; std::getline(csv, row); ++i) {
        ASSERT_LT(i, outlines.size()) << what;
        const std::string id = row.substr(0, row.find(','));
        const Outline& out = outlines[i];
        invalid += geos.isValid(geos.multiPolygon(out.shells, out.holes).get()) ? 0 : 1;
        const Geos::Geometry source =
            geos.read(row.substr(row.find('"') + 1, row.rfind('"') - row.find('"') - 1));
        if (!geos.isValid(source.get())) {
            continue;  // a country whose rings touch themselves: its triangles overlap
        }
        ++compared;
        Outline expected;
        geos.rings(source.get(), expected.shells, expected.holes);
        EXPECT_EQ(out.shells.size(), expected.shells.size()) << what << ", object " << id;
        EXPECT_EQ(out.holes.size(), expected.holes.size()) << what << ", object " << id;
        // Each side's corners where they turn, held against all of the
        // other side's points: a corner that barely turns may pass for a
        // straight one on either side.
        std::vector<Point> written;
        std::vector<Point> writtenTurning;
        std::vector<Point> meant;
        std::vector<Point> meantTurning;
        const auto collect = [tolerance](const Outline& outline, std::vector<Point>& all,
                                         std::vector<Point>& turning) {
            for (const Rings* rings : {&outline.shells, &outline.holes}) {
                for (const auto& ring : *rings) {
                    all.insert(all.end(), ring.begin(), ring.end());
                    const std::vector<Point> corners = turningCorners(ring, tolerance);
                    turning.insert(turning.end(), corners.begin(), corners.end());
                }
            }
        };
        collect(out, written, writtenTurning);
        collect(expected, meant, meantTurning);
        const auto nearest = [](Point p, const std::vector<Point>& among) {
            double best = HUGE_VAL;
            for (const Point& q : among) {
                best = std::min(best, apart(p, q));
            }
            return best;
        };
        // A corner that the written lines place closely is where the
        // source has it; one they leave loose is only held to that.
        for (const Point& corner : meantTurning) {
            if (determined(corner, copies.at(id), tolerance)) {
                EXPECT_LE(nearest(corner, written), tolerance)
                    << what << ", object " << id << ": corner " << corner.x << " " << corner.y;
            }
        }
        for (const Point& corner : writtenTurning) {
            const double off = nearest(corner, meant);
            EXPECT_TRUE(off <= tolerance || !determined(corner, copies.at(id), off))
                << what << ", object " << id << ": written corner " << corner.x << " " << corner.y;
        }
    }
    EXPECT_EQ(invalid, 0u) << what;
    EXPECT_GT(compared, 150u) << what;
}

TEST(RoundedMaps, TheWorldWrittenWithSixOrEightDecimalsComesOutAsItsPolygons) {
    const std::string exactBase = sourceDir() + kWorld;
    TempDir exactDir;
    const RunResult exact = convert(exactDir.path(), readFile(exactBase + ".txt"), exactBase);
    ASSERT_EQ(exact.exitStatus, 0) << exact.err;
    const std::set<std::string> overlaps = overlapWarnings(exact.err);
    ASSERT_FALSE(overlaps.empty()) << "the map no longer has countries whose triangles overlap";
    // Six decimals place a corner of a few degrees to some 1e-4; lines that
    // meet at a shallow angle far less closely.
    for (const auto& [decimals, tolerance] : {std::pair{6, 1e-3}, std::pair{8, 1.5e-4}}) {
        const std::string base = exactBase + "_d" + std::to_string(decimals);
        const std::string text = readFile(base + ".txt");
        for (const bool shuffled : {false, true}) {
            const std::string what =
                std::to_string(decimals) + " decimals" + (shuffled ? ", shuffled" : "");
            TempDir dir;
            const RunResult run =
                convert(dir.path(), shuffled ? shuffledWithinObjects(text, 7) : text, base);
            expectTheSourcePolygons(dir.path(), run, tolerance, overlaps, what);
        }
    }
}

// Regular polygons fanned around their centre, every line written with six
// decimals (the benchmark's generator): no pinhole where the fan's triangles
// meet, no warning.
TEST(RoundedMaps, FansWrittenWithSixDecimalsHaveNoHoles) {
    TempDir dir;
    const RunResult made =
        runProgram(VORN2SHP_GENERATE_MAP,
                   {dir.file("fans"), "20000", "11", "0", "rounded-fans", "6"}, dir.path());
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    const std::string def = readFile(dir.file("fans.def"));
    const auto fans = static_cast<std::size_t>(std::count(def.begin(), def.end(), '\n'));
    ASSERT_GT(fans, 3000u);
    const RunResult run = runProgram(vorn2shpBinary(), {"fans.txt", "out"}, dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<Outline> outlines = readOutlines(dir.path());
    ASSERT_EQ(outlines.size(), fans);
    std::size_t holes = 0;
    std::size_t parts = 0;
    for (const Outline& outline : outlines) {
        holes += outline.holes.size();
        parts += outline.shells.size();
    }
    EXPECT_EQ(holes, 0u);
    EXPECT_EQ(parts, fans);
}

}  // namespace
}  // namespace vorn2shp::testing
