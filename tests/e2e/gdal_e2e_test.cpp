// The output read by GDAL, the library under most GIS tools: feature counts,
// fields and values as ogrinfo lists them, every polygon valid, every
// polygon covering exactly the union of its object's triangles, and the
// files of the options as GDAL takes them. Some runs are case folders of
// tests/cases, run again here for what only GDAL can tell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "gdal_tools.h"
#include "support/case_folder.h"
#include "support/test_support.h"

namespace vorn2shp::testing {
namespace {

struct Point {
    long x;
    long y;
};
using Triangle = std::vector<Point>;  // three corners

std::string signedTerm(long value, const char* variable) {
    return (value < 0 ? "- " + std::to_string(-value) : "+ " + std::to_string(value)) + variable;
}

// The constraint bounded by the line through p and q, with r on its allowed side.
std::string edge(Point p, Point q, Point r) {
    const long a = q.y - p.y;
    const long b = -(q.x - p.x);
    const long c = a * p.x + b * p.y;
    const char* op = a * r.x + b * r.y <= c ? "<=" : ">=";
    return std::to_string(a) + "x " + signedTerm(b, "y") + " " + op + " " + std::to_string(c);
}

std::string tupleText(long id, const Triangle& t) {
    return "map(id, x, y) :- id = " + std::to_string(id) + ", " + edge(t[0], t[1], t[2]) + ", " +
           edge(t[1], t[2], t[0]) + ", " + edge(t[2], t[0], t[1]) + ".\n";
}

// The output's y axis points the other way.
std::string wkt(const Triangle& t) {
    std::string text = "\"POLYGON((";
    for (int i = 0; i <= 3; ++i) {
        const Point& p = t[static_cast<std::size_t>(i % 3)];
        text += std::to_string(p.x) + " " + std::to_string(-p.y) + (i < 3 ? "," : "))\"");
    }
    return text;
}

std::vector<Triangle> squareCells(long x0, long y0, long size, bool skipMiddle) {
    std::vector<Triangle> triangles;
    for (long i = 0; i < 3; ++i) {
        for (long j = 0; j < 3; ++j) {
            if (skipMiddle && i == 1 && j == 1) {
                continue;
            }
            const Point a{x0 + i * size, y0 + j * size};
            const Point b{a.x + size, a.y};
            const Point c{a.x + size, a.y + size};
            const Point d{a.x, a.y + size};
            triangles.push_back({a, b, c});
            triangles.push_back({a, c, d});
        }
    }
    return triangles;
}

std::map<long, std::vector<Triangle>> islandsAndHoles() {
    std::map<long, std::vector<Triangle>> objects;
    objects[1] = squareCells(0, 0, 10, true);  // a square with a square hole
    objects[2] = {{{100, 0}, {110, 0}, {110, 10}},
                  {{100, 0}, {110, 10}, {100, 10}},
                  {{130, 0}, {140, 0}, {140, 10}},
                  {{130, 0}, {140, 10}, {130, 10}}};  // islands
    objects[3] = {{{200, 0}, {210, 0}, {210, 10}},
                  {{200, 0}, {210, 10}, {200, 10}},
                  {{210, 10}, {220, 10}, {220, 20}},
                  {{210, 10}, {220, 20}, {210, 20}}};  // corner
    objects[4] = {{{305, 5}, {300, 0}, {310, 0}},
                  {{305, 5}, {310, 0}, {310, 10}},
                  {{305, 5}, {310, 10}, {300, 10}},
                  {{305, 5}, {300, 10}, {300, 0}}};  // fan
    return objects;
}

// Turns triangles.csv of `dir` into the shapefile "triangles" for GDAL's queries.
bool loadTriangles(const std::string& dir) {
    const RunResult load =
        runProgram(kOgr2ogr,
                   {"-f", "ESRI Shapefile", "triangles.shp", "triangles.csv", "-oo",
                    "GEOM_POSSIBLE_NAMES=WKT", "-oo", "KEEP_GEOM_COLUMNS=NO"},
                   dir);
    EXPECT_EQ(load.exitStatus, 0) << load.err;
    return load.exitStatus == 0;
}

TEST_F(GdalReadsTheOutput, BundledExample) {
    TempDir dir;
    const RunResult run =
        runProgram(vorn2shpBinary(), {sourceDir() + "/examples/town.txt", "town"}, dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;

    const std::string listing = ogrQuery(dir.path(),
                                         "SELECT name, kind, area, ST_IsValid(geometry) AS valid, "
                                         "ST_Area(geometry) AS area_m FROM town");
    EXPECT_EQ(
        fieldValues(listing, "name"),
        (std::vector<std::string>{"Mill Pond", "North Field", "Doña Ana Woods", "Old Quarry"}));
    EXPECT_EQ(fieldValues(listing, "kind"),
              (std::vector<std::string>{"water", "farmland", "forest", "industrial"}));
    EXPECT_EQ(fieldValues(listing, "area"), (std::vector<std::string>{"16", "24", "18", "14.875"}));
    EXPECT_EQ(fieldValues(listing, "valid"), (std::vector<std::string>(4, "1")));
    EXPECT_EQ(fieldValues(listing, "area_m"),
              (std::vector<std::string>{"16", "24", "18", "14.875"}));
}

TEST_F(GdalReadsTheOutput, EveryPolygonIsValidAndCoversItsTriangles) {
    TempDir dir;
    std::mt19937 random(7);
    std::string text = "% islands, holes and parts touching at a corner\n";
    std::string def;
    std::string csv = "oid,WKT\n";
    for (auto& [id, triangles] : islandsAndHoles()) {
        std::shuffle(triangles.begin(), triangles.end(), random);
        for (const Triangle& t : triangles) {
            text += tupleText(id, t);
            csv += std::to_string(id) + "," + wkt(t) + "\n";
        }
        def += std::to_string(id) + ",\n";
    }
    writeFile(dir.file("map.txt"), text);
    writeFile(dir.file("map.def"), def);
    writeFile(dir.file("map.info"), "objects\nMap(oid).\n");
    writeFile(dir.file("triangles.csv"), csv);

    const RunResult run = runProgram(vorn2shpBinary(), {"map.txt", "out"}, dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_TRUE(loadTriangles(dir.path()));

    // GDAL's own union of each object's triangles, compared with the polygon written.
    const std::string listing =
        ogrQuery(dir.path(),
                 "SELECT oid, ST_IsValid(geometry) AS valid, ST_NumGeometries(geometry) AS parts, "
                 "COALESCE(ST_Area(ST_SymDifference(geometry, (SELECT ST_Union(t.geometry) "
                 "FROM triangles t WHERE CAST(t.oid AS INTEGER) = CAST(out.oid AS INTEGER)))), 0) "
                 "/ ST_Area(geometry) AS mismatch FROM out ORDER BY CAST(oid AS INTEGER)");
    EXPECT_EQ(fieldValues(listing, "oid"), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(fieldValues(listing, "valid"), (std::vector<std::string>(4, "1")));
    // The hole stays inside its one polygon; islands and corner-touching parts are two.
    EXPECT_EQ(fieldValues(listing, "parts"), (std::vector<std::string>{"1", "2", "2", "1"}));
    const std::vector<std::string> mismatches = fieldValues(listing, "mismatch");
    ASSERT_EQ(mismatches.size(), 4u) << listing;
    for (const std::string& mismatch : mismatches) {
        EXPECT_LT(std::fabs(std::stod(mismatch)), 1e-9) << listing;
    }
}

// GDAL counts as many features in every shapefile a case folder dumps as
// the dump holds shapes.
TEST_F(GdalReadsTheOutput, EveryShapefileOfTheCaseFoldersHasItsShapes) {
    const std::regex dumped("== (.*)\ntype [0-9]+ shapes ([0-9]+)\n");
    for (const std::string& name : caseNames()) {
        const std::string dumpFile = casesDir() + "/" + name + "/dump";
        if (!fileExists(dumpFile)) {
            continue;
        }
        SCOPED_TRACE(name);
        TempDir dir;
        runCase(name, dir);
        const std::string dump = readFile(dumpFile);
        for (std::sregex_iterator it(dump.begin(), dump.end(), dumped), end; it != end; ++it) {
            const std::smatch& shapefile = *it;
            const RunResult info =
                ogrinfo(dir, {"-ro", "-so", "-al", "./" + shapefile.str(1) + ".shp"});
            EXPECT_NE(info.out.find("Feature Count: " + shapefile.str(2) + "\n"), std::string::npos)
                << info.out;
        }
    }
}

TEST_F(GdalReadsTheOutput, TheProjectionOfPrj) {
    TempDir dir;
    ASSERT_EQ(runCase("prj_copied_beside_the_shapefile", dir).exitStatus, 0);
    const RunResult info = ogrinfo(dir, {"-ro", "-so", "out.shp", "out"});
    EXPECT_NE(info.out.find("WGS 84"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("(unknown)"), std::string::npos) << info.out;
}

TEST_F(GdalReadsTheOutput, TheCodePageOfEncoding) {
    for (const char* name : {"encoding_iso_8859_1", "encoding_1252"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        ASSERT_EQ(runCase(name, dir).exitStatus, 0);
        const RunResult info = ogrinfo(dir, {"-ro", "-al", "out.shp"});
        EXPECT_NE(info.out.find("name (String) = Do\xC3\xB1"
                                "a Ana\n"),
                  std::string::npos)
            << info.out;
    }
}

TEST_F(GdalReadsTheOutput, TheSpatialIndexInAWindowQuery) {
    TempDir dir;
    ASSERT_EQ(runCase("spatial_index_written", dir).exitStatus, 0);
    // Cells 1 and 2 of 40 lie in the window (the output's y runs downwards).
    const RunResult info = ogrinfo(dir, {"--config", "CPL_DEBUG", "ON", "-ro", "-al", "-spat", "9",
                                         "-5", "25", "1", "out.shp"});
    EXPECT_EQ(featureCount(info.out), 2) << info.out;
    EXPECT_NE(info.out.find("name (String) = cell 1\n"), std::string::npos);
    EXPECT_NE(info.out.find("name (String) = cell 2\n"), std::string::npos);
    std::smatch used;
    ASSERT_TRUE(std::regex_search(info.err, used, std::regex("Used spatial index, got ([0-9]+)")))
        << info.err;
    EXPECT_LT(std::stoi(used[1]), 40) << "the index ruled nothing out";
}

// A window that cuts the new triangle (1000,1000), (1010,1000), (1010,1010)
// without holding all of it: GDAL answers such a query from a .qix where
// there is one, and a stale one answers with the old data.
std::string featuresInWindow(const std::string& dir) {
    const RunResult run = runProgram(
        kOgrinfo, {"-q", "-spat", "1005", "-1008", "1020", "-1000", "out.shp", "out"}, dir);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return run.out;
}

TEST_F(GdalReadsTheOutput, ARerunLeavesNoSideFileOfTheEarlierDataset) {
    TempDir dir;
    writeFile(dir.file("map.txt"), tupleText(1, {{0, 0}, {10, 0}, {10, 10}}));
    writeFile(dir.file("map.def"), "old\n");
    writeFile(dir.file("map.info"), "map\nMap(name).\n");
    ASSERT_EQ(runProgram(vorn2shpBinary(), {"map.txt", "out"}, dir.path()).exitStatus, 0);
    // The earlier dataset got a spatial index, and by hand a projection and
    // metadata.
    runProgram(kOgrinfo, {"out.shp", "-sql", "CREATE SPATIAL INDEX ON out"}, dir.path());
    ASSERT_TRUE(fileExists(dir.file("out.qix")));
    ASSERT_TRUE(fileExists(dir.file("out.cpg")));
    const std::string projection =
        "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\","
        "6378137,298.257223563]],PRIMEM[\"Greenwich\",0],"
        "UNIT[\"degree\",0.0174532925199433]]";
    writeFile(dir.file("out.prj"), projection);
    writeFile(dir.file("out.shp.xml"), "<metadata/>");
    writeFile(dir.file("out.SBN"), "old");
    writeFile(dir.file("out.txt"), "notes");

    // The new data lies elsewhere, and its value is no UTF-8, so no code page is written.
    writeFile(dir.file("map.txt"), tupleText(1, {{1000, 1000}, {1010, 1000}, {1010, 1010}}));
    writeFile(dir.file("map.def"), "caf\xE9\n");
    const RunResult run = runProgram(vorn2shpBinary(), {"map.txt", "out"}, dir.path());

    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::string noCodePage =
        "vorn2shp: out.dbf: the attribute text is not UTF-8, so no .cpg was written and readers "
        "must guess its code page; name it with --encoding (for example --encoding ISO-8859-1)\n";
    std::string kept;
    for (const char* name : {"out.prj", "out.shp.xml"}) {
        kept += "vorn2shp: kept " + std::string(name) +
                " beside the new shapefile: a projection or metadata file is never removed, and "
                "this run did not write it\n";
    }
    std::string removed = noCodePage;
    for (const char* name : {"out.SBN", "out.cpg", "out.qix"}) {
        removed += "vorn2shp: removed " + std::string(name) +
                   ", left by an earlier dataset at this output base\n";
        EXPECT_FALSE(fileExists(dir.file(name))) << name;
    }
    EXPECT_EQ(run.err, removed + kept);
    EXPECT_EQ(readFile(dir.file("out.txt")), "notes");
    EXPECT_EQ(readFile(dir.file("out.prj")), projection);
    EXPECT_EQ(readFile(dir.file("out.shp.xml")), "<metadata/>");
    const std::string listing = featuresInWindow(dir.path());
    EXPECT_NE(listing.find("OGRFeature(out):0"), std::string::npos) << listing;
    EXPECT_NE(listing.find("name (String) = caf"), std::string::npos) << listing;

    // Run again: the new dataset's own files are not stale, and the
    // projection and metadata are kept again.
    const RunResult again = runProgram(vorn2shpBinary(), {"map.txt", "out"}, dir.path());
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_EQ(again.err, noCodePage + kept);
    EXPECT_EQ(readFile(dir.file("out.prj")), projection);
    EXPECT_EQ(readFile(dir.file("out.shp.xml")), "<metadata/>");
}

// The world map fixture: Natural Earth's countries triangulated by earcut
// (scripts/make_world_map.mjs). Where a country's rings touch or cross
// themselves, its triangles overlap or meet corners in the middle of sides.
const char* const kWorldMap = "/tests/data/world/countries_110m";

__extension__ using Wide = __int128;

struct Line {
    Wide a;
    Wide b;
    Wide c;
};

// Where two of the fixture's lines meet: its corners are whole numbers.
Point meet(const Line& p, const Line& q) {
    const Wide x = (q.c * p.b - q.b * p.c) / (p.b * q.a - q.b * p.a);
    const Line& by = p.b != 0 ? p : q;
    return Point{static_cast<long>(x), static_cast<long>((by.c - by.a * x) / by.b)};
}

// The triangles of the fixture's tuples, each as a CSV row of its object id
// and its WKT, computed here from the constraint text.
std::string worldTriangles(const std::string& text, std::size_t& tuples) {
    const std::regex tuple(R"(^country\(id, x, y\) :- id = (\d+), (.*)\.$)");
    const std::regex constraint(R"((-?\d+)x ([+-]) (\d+)y (<=|>=) (-?\d+))");
    std::string csv = "oid,WKT\n";
    std::istringstream lines(text);
    std::string line;
    tuples = 0;
    while (std::getline(lines, line)) {
        std::smatch parts;
        if (!std::regex_match(line, parts, tuple)) {
            continue;
        }
        std::vector<Line> sides;
        const std::string body = parts[2];
        for (std::sregex_iterator it(body.begin(), body.end(), constraint), end; it != end; ++it) {
            const std::smatch& m = *it;
            sides.push_back(Line{std::stoll(m[1]), (m[2] == "-" ? -1 : 1) * Wide{std::stoll(m[3])},
                                 std::stoll(m[5])});
        }
        EXPECT_EQ(sides.size(), 3u) << line;
        if (sides.size() == 3) {
            const Triangle t{meet(sides[0], sides[1]), meet(sides[0], sides[2]),
                             meet(sides[1], sides[2])};
            csv += std::string(parts[1]) + "," + wkt(t) + "\n";
            ++tuples;
        }
    }
    return csv;
}

TEST_F(GdalReadsTheOutput, EveryCountryOfARealMapIsValidAndCoversItsTriangles) {
    TempDir dir;
    const std::string base = sourceDir() + kWorldMap;
    std::size_t tuples = 0;
    writeFile(dir.file("triangles.csv"), worldTriangles(readFile(base + ".txt"), tuples));
    EXPECT_GT(tuples, 9000u);
    const RunResult run = runProgram(vorn2shpBinary(), {base + ".txt", "world"}, dir.path());
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;

    // The only warnings are those of the objects that take the union path.
    const std::regex unionWarning(
        "vorn2shp: object \\d+: its triangles overlap or do not meet edge to edge; the outline "
        "is the exact union of them(, computed on the grid of the four decimals written, as the "
        "union in full precision could not be written as a valid polygon)?; the corners joined "
        "into one (agreed exactly|differed by up to [0-9.e+-]+)");
    std::istringstream warnings(run.err);
    std::size_t unionPath = 0;
    for (std::string line; std::getline(warnings, line); ++unionPath) {
        EXPECT_TRUE(std::regex_match(line, unionWarning)) << line;
    }
    ASSERT_TRUE(loadTriangles(dir.path()));

    // Every object writes one shape, so its id is its record number + 1.
    const std::string listing =
        ogrQuery(dir.path(),
                 "SELECT name, ST_IsValid(geometry) AS valid, "
                 "COALESCE(ST_Area(ST_SymDifference(geometry, (SELECT ST_Union(t.geometry) "
                 "FROM triangles t WHERE CAST(t.oid AS INTEGER) = world.ROWID + 1))), 0) "
                 "/ ST_Area(geometry) AS mismatch FROM world ORDER BY ROWID");
    const std::vector<std::string> names = fieldValues(listing, "name");
    const std::vector<std::string> valid = fieldValues(listing, "valid");
    const std::vector<std::string> mismatch = fieldValues(listing, "mismatch");
    ASSERT_EQ(names.size(), 177u) << listing;
    ASSERT_EQ(valid.size(), names.size());
    ASSERT_EQ(mismatch.size(), names.size());
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        invalid += valid[i] == "1" ? 0 : 1;
        EXPECT_EQ(valid[i], "1") << names[i];
        EXPECT_LT(std::fabs(std::stod(mismatch[i])), 1e-9) << names[i];
    }
    EXPECT_GT(unionPath, 0u) << "the map no longer exercises the union";
    std::cout << "world map: " << names.size() << " objects, " << unionPath
              << " by the union of their triangles, " << invalid << " invalid\n";
}

}  // namespace
}  // namespace vorn2shp::testing
