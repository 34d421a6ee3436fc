// The translation pass over hand-written second.imd and def.imd files: the
// exact bytes of output.eff.imd, the console lines and the warnings.
#include "translate/translator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/repeated_warnings.h"
#include "parse/scanner.h"
#include "support/test_support.h"
#include "translate/merge/outline_checks.h"

namespace vorn2shp {
namespace {

using testing::readFile;
using testing::ScopedWorkDir;
using testing::writeFile;

// second.imd as the scanner writes it for `text`: one token a CR LF line,
// as many as the scanner takes; withEnd, the two lines holding a NUL byte
// that a parse which reaches the end leaves, without them the tokens alone.
std::string tokenLines(const std::string& text, bool withEnd = true) {
    ScopedWorkDir dir;
    writeFile("first.imd", text);
    {
        Scanner scanner;
        EXPECT_TRUE(scanner.openFiles());
        int ends = 0;
        for (TokenKind kind = scanner.nextToken(); kind != TokenKind::FAILED;
             kind = scanner.nextToken()) {
            if (kind == TokenKind::END_OF_FILE && (++ends == 2 || !withEnd)) {
                break;
            }
        }
        EXPECT_TRUE(scanner.flushEcho());
    }
    std::string lines = readFile("second.imd");
    const std::string end("\0\r\n", 3);
    while (!withEnd && lines.size() >= end.size() &&
           lines.compare(lines.size() - end.size(), end.size(), end) == 0) {
        lines.resize(lines.size() - end.size());
    }
    return lines;
}

struct Translation {
    bool ok = false;
    std::string eff;
    std::string out;
    std::string err;
    AttributeLines attributeLines;
};

// `everyWarning`: as with --verbose, no warning is only counted.
Translation translate(const std::string& secondImd, const std::string& defImd,
                      bool everyWarning = false) {
    ScopedWorkDir dir;
    writeFile("second.imd", secondImd);
    writeFile("def.imd", defImd);
    Translation t;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Console console;
    // def.imd copies the user's town.def, which the messages name.
    RepeatedWarnings warnings(everyWarning);
    Translator translator;
    t.ok = translator.translate(console, warnings, "town.def");
    warnings.summarize();
    t.attributeLines = translator.attributeLines();
    t.out = ::testing::internal::GetCapturedStdout();
    t.err = ::testing::internal::GetCapturedStderr();
    t.eff = readFile("output.eff.imd");
    return t;
}

const std::string kTranscript =
    "Starting Translation Process....\n"
    "Translation Done .....\n"
    "Creating Intermidiate File for Final Output...\n"
    "Conversion Process Done\n";

// The road of one object: corners (1,1), (5,1), (3,3).
const std::string kRoadRule =
    "area(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;";
const std::string kRoadOutline =
    "(1.0000,-1.0000),(5.0000,-1.0000),(3.0000,-3.0000),(1.0000,-1.0000),";

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(Translator, WritesTheWorkedExampleByteForByte) {
    const Translation t = translate(
        tokenLines("area(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
                   "area(id, x, y) :- id = 1, 1x + 1y >= 6, 0x + 1y <= 3, -1x + 1y >= -4;\n"
                   "area(id, x, y) :- id = 2, 0x + 1y >= 10, -1x + 1y <= 5, 1x + 1y <= 30;"),
        "Lake,12,\r\nMarsh,7.");
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.eff,
              "(1.0000,-1.0000),(5.0000,-1.0000),(7.0000,-3.0000),(3.0000,-3.0000),"
              "(1.0000,-1.0000),Lake,12,\r\n"
              "(5.0000,-10.0000),(20.0000,-10.0000),(12.5000,-17.5000),(5.0000,-10.0000),Marsh,7.");
    EXPECT_EQ(t.out, kTranscript);
    EXPECT_EQ(t.err, "");
}

TEST(Translator, WritesTheRoadOfOneObjectAsCorners12_13_23_12) {
    const Translation t = translate(tokenLines(kRoadRule), "Main Road,A1\r\n");
    EXPECT_EQ(t.eff, kRoadOutline + "Main Road,A1");
    EXPECT_EQ(t.err, "");
}

TEST(Translator, FindsTheBindingWhereverIdStandsInTheHead) {
    for (const std::string head :
         {"area(id, x, y)", "area(x, id, y)", "area(x, y, id)", "id(id)"}) {
        const Translation t = translate(
            tokenLines(head + " :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;"), "road");
        EXPECT_EQ(t.eff, kRoadOutline + "road") << head;
        EXPECT_EQ(t.err, "") << head;
    }
}

TEST(Translator, StartsAnObjectWheneverTheIdChanges) {
    const std::string objectOne =
        "a(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
        "a(id, x, y) :- id = 1, 1x + 1y >= 6, 0x + 1y <= 3, -1x + 1y >= -4;\n";
    const std::string objectTwo =
        "a(id, x, y) :- id = 2, 0x + 1y >= 10, -1x + 1y <= 5, 1x + 1y <= 30;\n";
    const std::string oneAgain =
        "a(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;";
    const Translation t =
        translate(tokenLines(objectOne + objectTwo + oneAgain), "first\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(t.eff,
              "(1.0000,-1.0000),(5.0000,-1.0000),(7.0000,-3.0000),(3.0000,-3.0000),"
              "(1.0000,-1.0000),first\r\n"
              "(5.0000,-10.0000),(20.0000,-10.0000),(12.5000,-17.5000),(5.0000,-10.0000),"
              "second\r\n" +
                  kRoadOutline + "third");
    EXPECT_EQ(t.err, "");
}

TEST(Translator, ReadsTermsByTheirLetterInEitherOrder) {
    // Every spelling stands for the lines x - y = -1, y = 3 and x + y = 7.
    const std::vector<std::string> spellings = {
        "x - y <= -1, 0x + y >= 3, x + y <= 7",
        "1x - 1y <= -1, 0x + 1y >= 3, 1x + 1y <= 7",
        "-y + x <= -1, y + 0x >= 3, 1y + 1x <= 7",
        "1.0x - 1.00y <= -1.0, 0.0x + y >= 3., +x + y <= 7e0",
    };
    for (const std::string& constraints : spellings) {
        const Translation t =
            translate(tokenLines("r(id, x, y) :- id = 4, " + constraints + ";"), "v");
        EXPECT_EQ(t.eff, "(2.0000,-3.0000),(3.0000,-4.0000),(4.0000,-3.0000),(2.0000,-3.0000),v")
            << constraints;
    }
}

TEST(Translator, TakesYFromTheOtherLineWhereTheFirstIsVertical) {
    const Translation first = translate(
        tokenLines("r(id, x, y) :- id = 1, 1x + 0y >= 1, 0x + 1y >= 1, 1x + 1y <= 6;"), "v");
    EXPECT_EQ(first.eff, "(1.0000,-1.0000),(1.0000,-5.0000),(5.0000,-1.0000),(1.0000,-1.0000),v");
    const Translation second = translate(
        tokenLines("r(id, x, y) :- id = 1, 0x + 1y >= 1, 1x + 0y <= 5, -1x + 1y <= 0;"), "v");
    EXPECT_EQ(second.eff, "(5.0000,-1.0000),(1.0000,-1.0000),(5.0000,-5.0000),(5.0000,-1.0000),v");
    EXPECT_EQ(first.err + second.err, "");
}

TEST(Translator, LeavesOutTuplesWithoutATriangleAndKeepsTheAttributesInStep) {
    const std::string text =
        "r(id, x, y) :- id = 1, 0x + 1y >= 1, 0x + 2y <= 8, 1x + 1y <= 6;\n" +  // parallel
        kRoadRule + "\n" +
        "r(id, x, y) :- id = 2, 1x + 1y >= 1, 2x + 2y <= 8, 1x + 0y <= 6;\n" +  // only parallel
        "r(id, x, y) :- id = 3, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n" +
        "r(id, x, y) :- id = 4, 1x + 1y >= 2, 1x - 1y <= 0, 1x + 0y <= 1;";  // all through (1,1)
    const Translation t = translate(tokenLines(text), "one\r\ntwo\r\nthree\r\nfour");
    EXPECT_TRUE(t.ok);
    // Object 4 writes nothing, so no line end follows "three".
    EXPECT_EQ(t.eff, kRoadOutline + "one\r\n" + kRoadOutline + "three");
    EXPECT_NE(t.err.find("vorn2shp: object 1: "), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("rule 1 has two parallel lines"), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("vorn2shp: object 2: no tuple gives a usable triangle"), std::string::npos)
        << t.err;
    EXPECT_NE(t.err.find("object 4: the corners of rule 5 lie on one line"), std::string::npos)
        << t.err;
    EXPECT_EQ(count(t.err, "\n"), 5u) << t.err;
}

TEST(Translator, NeedsThreeConstraintsAndUsesTheFirstThree) {
    const Translation fewer = translate(
        tokenLines("r(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0;\n" + kRoadRule), "a\r\nb");
    EXPECT_EQ(fewer.eff, kRoadOutline + "a");
    EXPECT_NE(fewer.err.find("object 1: rule 1 gives 2 constraint(s), a triangle needs 3"),
              std::string::npos)
        << fewer.err;

    const Translation more = translate(
        tokenLines(
            "r(id, x, y) :- id = 7, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6, 1x + 1y >= 0;"),
        "m");
    EXPECT_EQ(more.eff, kRoadOutline + "m");
    EXPECT_NE(more.err.find("object 7: rule 1 gives 4 constraints; only the first 3 were used"),
              std::string::npos)
        << more.err;
}

TEST(Translator, GivesEmptyAttributesWithOneWarningWhenDefRunsOut) {
    const std::string text =
        "r(id,x,y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
        "r(id,x,y) :- id = 2, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
        "r(id,x,y) :- id = 3, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;";
    const Translation t = translate(tokenLines(text), "only\r\n");
    EXPECT_EQ(t.eff, kRoadOutline + "only\r\n" + kRoadOutline + "\r\n" + kRoadOutline);
    EXPECT_EQ(count(t.err, "\n"), 1u) << t.err;
    EXPECT_EQ(t.err.rfind("vorn2shp: town.def has fewer lines", 0), 0u) << t.err;
    EXPECT_NE(t.err.find("object 2"), std::string::npos) << t.err;
    // The objects past the end of the .def took no line of it.
    EXPECT_EQ(t.attributeLines.lineOf(1), 1u);
    EXPECT_EQ(t.attributeLines.lineOf(2), 0u);
    EXPECT_EQ(t.attributeLines.lineOf(3), 0u);

    const Translation exact = translate(tokenLines(text), "a\r\n\r\nc");
    EXPECT_EQ(exact.eff, kRoadOutline + "a\r\n" + kRoadOutline + "\r\n" + kRoadOutline + "c");
    EXPECT_EQ(exact.err, "") << "an empty line of def.imd is a line of its own";

    // The copy of a .def file "a\nb\n" carries one empty line more; it is no
    // object's line, so the third object is the first to go without.
    const Translation copied = translate(tokenLines(text), "a\r\nb\r\n\r\n");
    EXPECT_EQ(copied.eff, kRoadOutline + "a\r\n" + kRoadOutline + "b\r\n" + kRoadOutline);
    EXPECT_EQ(count(copied.err, "\n"), 1u) << copied.err;
    EXPECT_NE(copied.err.find("object 3"), std::string::npos) << copied.err;
}

// Text of def.imd that no object takes is lost, and the user is told at the
// line of the .def; the empty lines that the line ends of a copied file
// leave are no text.
TEST(Translator, TellsOfDefLinesThatNoObjectTakes) {
    const std::string twoObjects =
        "r(id,x,y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
        "r(id,x,y) :- id = 2, 0x + 1y >= 1, 0x + 2y <= 8, 1x + 1y <= 6;";  // parallel: no line
    const std::string tail = " to no object and ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\r\nb\r\n\r\n", ""},
        {"a\r\nb\r\n\r\n\r\n\r\n", ""},
        {"a\r\nb", ""},
        {"a\r\nb\r\nc\r\n\r\n", "this line belongs" + tail + "was"},
        {"a\r\nb\r\n\r\nd\r\ne\r\n\r\n\r\n", "lines 3 to 5 belong" + tail + "were"},
        {"a\r\nb\r\n\r\nd", "lines 3 to 4 belong" + tail + "were"},
    };
    for (const auto& [def, unused] : cases) {
        const Translation t = translate(tokenLines(twoObjects), def);
        const std::string expected =
            "vorn2shp: object 2: rule 2 has two parallel lines, which bound no triangle; the tuple "
            "was left out\n"
            "vorn2shp: object 2: no tuple gives a usable triangle, so nothing was written for it; "
            "its attribute text, town.def:2, was skipped\n";
        EXPECT_EQ(t.err, expected + (unused.empty() ? ""
                                                    : "vorn2shp: town.def:3: more lines than "
                                                      "there are objects (2): " +
                                                          unused + " not used\n"))
            << def;
        EXPECT_EQ(t.eff, kRoadOutline + "a") << def;
        EXPECT_EQ(t.attributeLines.lineOf(1), 1u) << def;
    }
}

// Ids are told apart by their whole number, however long: nothing is
// clamped into another object.
TEST(Translator, TellsIdsApartByTheirWholeNumber) {
    const std::string tuple = ", 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n";
    const std::string text = "r(id,x,y) :- id = 99999999999999999999" + tuple +
                             "r(id,x,y) :- id = 99999999999999999998" + tuple +
                             "r(id,x,y) :- id = 007" + tuple + "r(id,x,y) :- id = 7" + tuple +
                             "r(id,x,y) :- id = -99999999999999999999, 0x + 1y >= 1;";
    const Translation t = translate(tokenLines(text), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(t.eff, kRoadOutline + "a\r\n" + kRoadOutline + "b\r\n" + kRoadOutline + "c");
    EXPECT_EQ(t.err,
              "vorn2shp: object 7: its triangles overlap or do not meet edge to edge; the outline "
              "is the exact union of them; the corners joined into one agreed exactly\n"
              "vorn2shp: object -99999999999999999999: rule 5 gives 1 constraint(s), a triangle "
              "needs 3; the tuple was left out\n"
              "vorn2shp: object -99999999999999999999: no tuple gives a usable triangle, so "
              "nothing was written for it; its attribute text, town.def:4, was skipped\n");
}

// A term or constant that is not wholly a decimal number, a term in
// neither x nor y, or a letter given twice: the tuple is left out with a
// word, like one that bounds no triangle, and the object keeps its other
// tuples.
TEST(Translator, LeavesOutATupleThatCannotBeReadAsLines) {
    const std::string number = "\" for a number, which is no decimal number";
    const std::string termNumber = "\", whose number is no decimal number";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0x + y >= nan, -1x + 1y <= 0, 1x + 1y <= 6", "has \"nan" + number},
        {"0x + y >= 1, -1x + 1y <= -inf, 1x + 1y <= 6", "has \"-inf" + number},
        {"0x + y >= 1, -1x + 1y <= 0, 1x + 1y <= 0x10", "has \"0x10" + number},
        {"0x + y >= 1_000, -1x + 1y <= 0, 1x + 1y <= 6", "has \"1_000" + number},
        {"0x + y >= 1..2, -1x + 1y <= 0, 1x + 1y <= 6", "has \"1..2" + number},
        {"0x + NaNy >= 1, -1x + 1y <= 0, 1x + 1y <= 6", "has the term \"+NaNy" + termNumber},
        {"0x + y >= 1, Infinityx + 1y <= 0, 1x + 1y <= 6", "has the term \"Infinityx" + termNumber},
        {"0x + y >= 1, -0x1p3x + 1y <= 0, 1x + 1y <= 6", "has the term \"-0x1p3x" + termNumber},
        {"0x + y >= 1, 1_000x + 1y <= 0, 1x + 1y <= 6", "has the term \"1_000x" + termNumber},
        {"0x + y >= 1, 2x + 3z <= 0, 1x + 1y <= 6",
         "has the term \"+3z\", which is in neither x nor y"},
        {"0x + y >= 1, ex - ny <= 0, 1x + 1y <= 6", "has the term \"ex" + termNumber},
        {"0x + y >= 1, -1x + 1y <= 0, 1x + 1x <= 6",
         "gives x in both terms of one constraint (\"1x\", \"+1x\")"},
    };
    for (const auto& [constraints, why] : cases) {
        const Translation t =
            translate(tokenLines(kRoadRule + "\nr(id, x, y) :- id = 1, " + constraints + ";"), "v");
        EXPECT_EQ(t.eff, kRoadOutline + "v") << constraints;
        EXPECT_EQ(t.err, "vorn2shp: object 1: rule 2 " + why + "; the tuple was left out\n");
    }
    // A fourth constraint is not used, whatever it holds.
    const Translation fourth = translate(
        tokenLines(
            "r(id, x, y) :- id = 7, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6, x + y >= inf;"),
        "m");
    EXPECT_EQ(fourth.eff, kRoadOutline + "m");
    EXPECT_EQ(fourth.err,
              "vorn2shp: object 7: rule 1 gives 4 constraints; only the first 3 were used\n");
}

TEST(Translator, KeepsALongAttributeLineWithItsOwnObject) {
    const std::string longLine(10000, 'w');
    const std::string text =
        "r(id,x,y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
        "r(id,x,y) :- id = 2, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;";
    const Translation t = translate(tokenLines(text), longLine + "\r\nshort\r\n");
    EXPECT_EQ(t.eff, kRoadOutline + longLine + "\r\n" + kRoadOutline + "short");
    EXPECT_EQ(t.err, "");
}

// Text written behind an outline is read back as more rings only where its
// pairs close one; text that merely begins like a pair stays values. Either
// way the user is told, at the line of the .def, and the line of the .def
// that each written line took is kept for the export's messages.
TEST(Translator, WarnsWhereAnAttributeTextBeginsLikeCoordinates) {
    std::string text;
    for (int id = 1; id <= 8; ++id) {
        const std::string rule = id == 2 ? "r(id, x, y) :- id = 2, 0x + 1y >= 1, 0x + 2y <= 8, "
                                           "1x + 1y <= 6;"  // parallel: writes nothing
                                         : "r(id, x, y) :- id = " + std::to_string(id) +
                                               ", 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;";
        text += rule + "\n";
    }
    const std::string def =
        "(1,2)\r\n(5,6)\r\nLake (North),12\r\n,(3,4) north\r\n(3\r\n(12.\r\n"
        "(0,0),(4,0),(4,4),(0,0),oak\r\n(0,0),(4,0),(4,4),(0,0),(9,9),(8,9),(8,8),(9,9)\x1B[2J";
    const Translation t = translate(tokenLines(text), def);
    EXPECT_TRUE(t.ok);
    // The file keeps its form: each text follows its outline unchanged.
    EXPECT_EQ(t.eff, kRoadOutline + "(1,2)\r\n" + kRoadOutline + "Lake (North),12\r\n" +
                         kRoadOutline + ",(3,4) north\r\n" + kRoadOutline + "(3\r\n" +
                         kRoadOutline + "(12.\r\n" + kRoadOutline +
                         "(0,0),(4,0),(4,4),(0,0),oak\r\n" + kRoadOutline +
                         "(0,0),(4,0),(4,4),(0,0),(9,9),(8,9),(8,8),(9,9)\x1B[2J");
    const std::string stays =
        "begins like a coordinate pair, but its pairs close no ring: they stay attribute values\n";
    EXPECT_EQ(
        t.err,
        "vorn2shp: town.def:1: the attribute text of object 1, \"(1,2)\", " + stays +
            "vorn2shp: object 2: rule 2 has two parallel lines, which bound no triangle; the "
            "tuple was left out\n"
            "vorn2shp: object 2: no tuple gives a usable triangle, so nothing was written for "
            "it; its attribute text, town.def:2, was skipped\n"
            "vorn2shp: town.def:4: the attribute text of object 4, \",(3,4) north\", " +
            stays +
            "vorn2shp: town.def:7: the attribute text of object 7, \"(0,0),(4,0),(4,4),"
            "(0,0),oak\", begins with a closed ring of coordinate pairs: the export reads it "
            "as one more ring of the shape, not as attribute values\n"
            "vorn2shp: town.def:8: the attribute text of object 8, \"(0,0),(4,0),(4,4),"
            "(0,0),(9,9),(8,9),(8,8...\", begins with 2 closed rings of coordinate pairs: "
            "the export reads them as more rings of the shape, not as attribute values\n");
    // The written lines took the .def lines 1 and 3 to 8.
    for (const auto& [record, line] :
         std::vector<std::pair<std::size_t, std::size_t>>{{1, 1}, {2, 3}, {3, 4}, {7, 8}, {8, 0}}) {
        EXPECT_EQ(t.attributeLines.lineOf(record), line) << record;
    }
}

TEST(Translator, SurvivesASecondImdCutOffInTheMiddleOfATuple) {
    const std::string complete = "r(id,x,y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;";
    const std::vector<std::string> cuts = {
        tokenLines(complete + "r(id,x,y) :- id = 2, 0x + 1y >= 1, -1x + 1y >="),
        tokenLines(complete + "r(id,x,y) :- id = 2, 0x + 1y >= 1, -1x", false),
        tokenLines(complete + "r(id,x,y) :- id = 2,", false),
        tokenLines(complete, false) + "r\r\n(\r\nid\r\n)\r\n:-\r\nid\r\n=\r\n2\r\n,\r\n0x\r\n+1",
    };
    for (const std::string& second : cuts) {
        const Translation t = translate(second, "one\r\ntwo\r\n");
        EXPECT_TRUE(t.ok);
        EXPECT_EQ(t.eff, kRoadOutline + "one");
        EXPECT_NE(t.err.find("object 2: rule 2 breaks off before its end"), std::string::npos)
            << t.err;
    }
    const Translation beforeId =
        translate(tokenLines(complete + "r(id,x,y) :- id =", true), "one\r\n");
    EXPECT_EQ(beforeId.eff, kRoadOutline + "one");
    EXPECT_NE(beforeId.err.find("rule 2 is passed over: it ends before its id"), std::string::npos)
        << beforeId.err;
}

TEST(Translator, PassesOverRulesThatBindAnotherName) {
    const std::string text =
        "a(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n"
        "a(ID, x, y) :- ID = 1, 0x + 1y >= 10, -1x + 1y <= 5, 1x + 1y <= 30;\n"
        "a(id, x, y) :- id = 1, 1x + 1y >= 6, 0x + 1y <= 3, -1x + 1y >= -4;";
    const Translation t = translate(tokenLines(text), "lake");
    EXPECT_EQ(t.eff,
              "(1.0000,-1.0000),(5.0000,-1.0000),(7.0000,-3.0000),(3.0000,-3.0000),"
              "(1.0000,-1.0000),lake");
    EXPECT_EQ(t.err, "vorn2shp: rule 2 is passed over: its binding names \"ID\", not \"id\"\n");
}

// Tuples are read on a thread of their own and handed over in batches; the
// warnings of reading and those of merging must still come in the order of
// the text, across many batches. A passed-over rule is reported while it is
// read, so before the object in front of it is closed.
TEST(Translator, KeepsWarningsInTheOrderOfTheTextAcrossManyBatches) {
    constexpr int kGroups = 6000;
    std::string text;
    std::string def;
    std::string expectedErr;
    std::string expectedEff;
    long rule = 0;
    for (int g = 0; g < kGroups; ++g) {
        const std::string id = std::to_string(g + 1);
        const bool writesOutline = g % 2 == 0;
        text += "a(ID, x, y) :- ID = 9, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n";
        expectedErr += "vorn2shp: rule " + std::to_string(++rule) +
                       " is passed over: its binding names \"ID\", not \"id\"\n";
        const bool previousWroteNothing = g > 0 && (g - 1) % 2 == 1;
        if (previousWroteNothing) {
            expectedErr += "vorn2shp: object " + std::to_string(g) +
                           ": no tuple gives a usable triangle, so nothing was written for it; "
                           "its attribute text, town.def:" +
                           std::to_string(g) + ", was skipped\n";
        }
        text += "r(id,x,y) :- id = " + id + ", 0x + 1y >= 1, 0x + 2y <= 8, 1x + 1y <= 6;\n";
        expectedErr += "vorn2shp: object " + id + ": rule " + std::to_string(++rule) +
                       " has two parallel lines, which bound no triangle; the tuple was left out\n";
        if (writesOutline) {
            text += "r(id,x,y) :- id = " + id + ", 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n";
            ++rule;
            expectedEff += (expectedEff.empty() ? "" : "\r\n") + kRoadOutline + "d" + id;
        }
        def += "d" + id + "\r\n";
    }
    expectedErr += "vorn2shp: object " + std::to_string(kGroups) +
                   ": no tuple gives a usable triangle, so nothing was written for it; "
                   "its attribute text, town.def:" +
                   std::to_string(kGroups) + ", was skipped\n";

    const Translation t = translate(tokenLines(text), def, true);
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.eff, expectedEff);
    EXPECT_EQ(t.err, expectedErr);
}

// Of a kind of warning that every object can give, the first 20 name their
// objects; one line says that more follow, and the total comes at the end.
// Other kinds keep their own count.
TEST(Translator, NamesTwentyWarningsOfAKindAndCountsTheRest) {
    std::string text = "r(ID,x,y) :- ID = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n";
    std::string expected =
        "vorn2shp: rule 1 is passed over: its binding names \"ID\", not \"id\"\n";
    for (int id = 1; id <= 25; ++id) {
        text += "r(id,x,y) :- id = " + std::to_string(id) +
                ", 0x + 1y >= 1, 0x + 2y <= 8, 1x + 1y <= 6;\n" +
                "r(id,x,y) :- id = " + std::to_string(id) +
                ", 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n";
        if (id <= 20) {
            expected += "vorn2shp: object " + std::to_string(id) + ": rule " +
                        std::to_string(2 * id) +
                        " has two parallel lines, which bound no triangle; the tuple was left "
                        "out\n";
        } else if (id == 21) {
            expected +=
                "vorn2shp: more tuples left out follow, counted at the end (--verbose "
                "names every one)\n";
        }
    }
    expected += "vorn2shp: 25 tuples left out in all, the first 20 named above\n";
    std::string def;
    for (int id = 1; id <= 25; ++id) {
        def += "v\r\n";
    }
    EXPECT_EQ(translate(tokenLines(text), def).err, expected);
    const Translation verbose = translate(tokenLines(text), def, true);
    EXPECT_EQ(std::count(verbose.err.begin(), verbose.err.end(), '\n'), 26) << verbose.err;
}

// Ids are compared as written: a whole number by its value, anything else
// by its text, so ids that are no whole number never merge objects.
TEST(Translator, TreatsIdZeroAndIdsThatAreNoWholeNumberAsOrdinaryIds) {
    const std::string road = ", 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;\n";
    const std::string text = "r(id,x,y) :- id = 0" + road + "r(id,x,y) :- id = abc" + road +
                             "r(id,x,y) :- id = 1.5" + road + "r(id,x,y) :- id = 1" + road +
                             "r(id,x,y) :- id = 1e3" + road + "r(id,x,y) :- id = 1000" + road;
    const Translation t = translate(tokenLines(text), "zero\r\nabc\r\nhalf\r\none\r\ne\r\nk\r\n");
    EXPECT_EQ(t.eff, kRoadOutline + "zero\r\n" + kRoadOutline + "abc\r\n" + kRoadOutline +
                         "half\r\n" + kRoadOutline + "one\r\n" + kRoadOutline + "e\r\n" +
                         kRoadOutline + "k");
    EXPECT_EQ(t.err,
              "vorn2shp: rule 2 has the id \"abc\", which is no whole number: such an id names "
              "an object by its text, compared as written (2 more rule(s) have such an id)\n");
}

TEST(Translator, WritesTheExactUnionOfOverlappingTrianglesWithAWarning) {
    const std::string text =
        // (0,0), (4,0), (0,4) turning clockwise from corner 12 (4,0); then
        // (1,1), (5,1), (1,5) over its corner.
        "r(id,x,y) :- id = 1, 0x + 1y >= 0, 1x + 1y <= 4, 1x + 0y >= 0;\n"
        "r(id,x,y) :- id = 1, 0x + 1y >= 1, 1x + 1y <= 6, 1x + 0y >= 1;\n"
        // Two triangles 0.00003 apart, one with a triangle inside: their
        // corners are one corner, as in the merge, so the sides x = 2 and
        // x = 2.00003 are one side and need no grid to be written.
        "r(id,x,y) :- id = 2, 0x + 1y >= 0, 1x + 0y <= 2, 1x - 1y >= 0;\n"
        "r(id,x,y) :- id = 2, 0x + 1y >= 0.1, 1x + 0y <= 1.5, 0.9x - 1y >= 0.35;\n"
        "r(id,x,y) :- id = 2, 0x + 1y >= 0, 1x + 0y >= 2.00003, 1x + 1y <= 4;\n";
    const Translation t = translate(tokenLines(text), "one\r\ntwo\r\n");
    EXPECT_EQ(t.eff,
              "(4.0000,-0.0000),(0.0000,-0.0000),(0.0000,-4.0000),(1.0000,-3.0000),"
              "(1.0000,-5.0000),(5.0000,-1.0000),(3.0000,-1.0000),(4.0000,-0.0000),one\r\n"
              "(2.0000,-0.0000),(0.0000,-0.0000),(2.0000,-2.0000),(4.0000,-0.0000),"
              "(2.0000,-0.0000),two");
    EXPECT_EQ(t.err,
              "vorn2shp: object 1: its triangles overlap or do not meet edge to edge; the "
              "outline is the exact union of them; the corners joined into one agreed exactly\n"
              "vorn2shp: object 2: its triangles overlap or do not meet edge to edge; the "
              "outline is the exact union of them; the corners joined into one differed by up "
              "to 3e-05\n");
}

TEST(Translator, SaysWhenTheUnionIsTakenOnTheGridOfTheWrittenValues) {
    // Two triangles 0.00008 apart, further than the corner tolerance, one
    // with a triangle inside: written, their sides x = 1.99996 and
    // x = 2.00004 both become x = 2 and would lie on each other.
    const std::string text =
        "r(id,x,y) :- id = 1, 0x + 1y >= 0, 1x + 0y <= 1.99996, 2x - 1.99996y >= 0;\n"
        "r(id,x,y) :- id = 1, 0x + 1y >= 0.1, 1x + 0y <= 1.5, 0.9x - 1y >= 0.35;\n"
        "r(id,x,y) :- id = 1, 0x + 1y >= 0, 1x + 0y >= 2.00004, 1x + 1y <= 4;\n";
    const Translation t = translate(tokenLines(text), "two");
    EXPECT_EQ(t.eff,
              "(2.0000,-0.0000),(0.0000,-0.0000),(2.0000,-2.0000),(4.0000,-0.0000),"
              "(2.0000,-0.0000),two");
    EXPECT_EQ(t.err,
              "vorn2shp: object 1: its triangles overlap or do not meet edge to edge; the "
              "outline is the exact union of them, computed on the grid of the four decimals "
              "written, as the union in full precision could not be written as a valid "
              "polygon; the corners joined into one agreed exactly\n");
}

TEST(Translator, KeepsTheMergesOutlineWhereTheUnionCannotBeTaken) {
    // GEOS's crossings overflow beyond 1e75: the union is not taken there.
    const std::string big = "1" + std::string(80, '0');
    const std::string text = "r(id,x,y) :- id = 1, 0x + 1y >= 0, 1x + 1y <= 4" + big.substr(1) +
                             ", 1x + 0y >= 0;\n" + "r(id,x,y) :- id = 1, 0x + 1y >= " + big +
                             ", 1x + 1y <= 6" + big.substr(1) + ", 1x + 0y >= " + big + ";\n";
    const Translation t = translate(tokenLines(text), "far\r\n");
    EXPECT_EQ(t.err,
              "vorn2shp: object 1: its triangles overlap or do not meet edge to edge, and their "
              "union could not be taken: a corner lies beyond 1e+75, where GEOS cannot compute "
              "it; the outline follows them as far as it can; the corners joined into one agreed "
              "exactly\n");
    EXPECT_EQ(count(t.eff, "("), 8u) << t.eff;  // each triangle a ring of its own
}

TEST(Translator, NeverWritesAnInfinityOrNaN) {
    const std::string underflowing(400, '0');
    const std::string zeros(300, '0');
    const std::vector<std::string> rules = {
        "r(id,x,y) :- id = 1, 1e999x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;",
        "r(id,x,y) :- id = 2, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 1e999;",
        "r(id,x,y) :- id = 3, 0x + 1y >= 0, 0." + zeros + "1x + 1y <= 1e300, 1x + 1y <= 6;",
        "r(id,x,y) :- id = 4, 0." + underflowing + "1x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6;",
    };
    std::string text;
    for (const std::string& rule : rules) {
        text += rule + "\n";
    }
    const Translation t = translate(tokenLines(text), "1\r\n2\r\n3\r\n4");
    EXPECT_EQ(t.eff.find("inf"), std::string::npos) << t.eff;
    EXPECT_EQ(t.eff.find("nan"), std::string::npos) << t.eff;
    EXPECT_EQ(t.eff, "(1.0000,-1.0000),(5.0000,-1.0000),(3.0000,-3.0000),(1.0000,-1.0000),4");
    EXPECT_NE(t.err.find("object 1: rule 1 has a number too large"), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("object 2: rule 2 has a number too large"), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("object 3: the lines of rule 3 meet too far out"), std::string::npos)
        << t.err;
}

TEST(Translator, WritesAnEmptyFileWhenThereIsNoTuple) {
    const Translation t = translate(std::string("\0\r\n\0\r\n", 6), "unused\r\n");
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.eff, "");
    EXPECT_EQ(t.out, kTranscript);
    EXPECT_EQ(t.err,
              "vorn2shp: town.def:1: more lines than there are objects (0): this line belongs to "
              "no object and was not used\n");
}

// The line through u and v, as a constraint "ax + by <= c" with whole numbers.
std::string constraintThrough(Point u, Point v) {
    const long a = std::lround(v.y - u.y);
    const long b = std::lround(u.x - v.x);
    const long c = a * std::lround(u.x) + b * std::lround(u.y);
    return std::to_string(a) + "x " + (b < 0 ? "- " : "+ ") + std::to_string(std::labs(b)) +
           "y <= " + std::to_string(c);
}

Ring ringOf(const std::string& line) {
    Ring ring;
    for (std::size_t at = line.find('('); at != std::string::npos; at = line.find('(', at + 1)) {
        Point p;
        std::sscanf(line.c_str() + at, "(%lf,%lf)", &p.x, &p.y);
        ring.push_back(Point{p.x, -p.y});
    }
    return ring;
}

// Star-shaped polygons with whole-number corners, fanned around a centre:
// every tuple computes its corners on its own, yet the written outline is
// one ring through each corner once, with the polygon's area.
TEST(Translator, WritesRandomStarTilingsAsOneRing) {
    std::mt19937 random(31337);
    std::uniform_int_distribution<int> cornerCount(4, 30);
    std::uniform_real_distribution<double> share(0.5, 1.0);
    std::uniform_real_distribution<double> radius(100, 1000);
    for (int round = 0; round < 40; ++round) {
        const Point centre{std::round(radius(random)), -std::round(radius(random))};
        std::vector<double> gaps(static_cast<std::size_t>(cornerCount(random)));
        double sum = 0;
        for (double& g : gaps) {
            g = share(random);
            sum += g;
        }
        std::vector<Point> polygon;
        double angle = 0;
        for (const double g : gaps) {
            const double r = radius(random);
            polygon.push_back(Point{std::round(centre.x + r * std::cos(angle)),
                                    std::round(centre.y + r * std::sin(angle))});
            angle += 2 * 3.14159265358979323846 * g / sum;
        }
        std::vector<std::string> rules;
        std::vector<Triangle> triangles;
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const Point p = polygon[i];
            const Point q = polygon[(i + 1) % polygon.size()];
            triangles.push_back(Triangle{centre, p, q});
            rules.push_back("r(id, x, y) :- id = 1, " + constraintThrough(centre, p) + ", " +
                            constraintThrough(p, q) + ", " + constraintThrough(q, centre) + ";\n");
        }
        std::shuffle(rules.begin(), rules.end(), random);
        std::string text;
        for (const std::string& rule : rules) {
            text += rule;
        }
        const Translation t = translate(tokenLines(text), "star");
        const std::string what = "round " + std::to_string(round);
        EXPECT_EQ(t.err, "") << what;
        const Ring ring = ringOf(t.eff);
        EXPECT_EQ(ring.size(), polygon.size() + 1) << what;
        EXPECT_TRUE(testing::isClosed(ring)) << what;
        EXPECT_FALSE(testing::repeatsACorner(ring)) << what;
        EXPECT_FALSE(testing::sidesCrossOrTouch({ring})) << what;
        const double area = testing::totalTriangleArea(triangles);
        EXPECT_NEAR(std::fabs(testing::shoelaceArea(ring)), area, 1e-6 * area) << what;
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

TEST(Translator, ReportsFilesItCannotUse) {
    {
        ScopedWorkDir dir;
        Console console;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(Translator().translate(console));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Starting Translation Process....\n");
        EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("vorn2shp: second.imd: ", 0), 0u);
    }
    {
        ScopedWorkDir dir;
        writeFile("second.imd", tokenLines(kRoadRule));
        writeFile("def.imd", "x");
        ASSERT_EQ(mkdir("output.eff.imd", 0755), 0);
        Console console;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(Translator().translate(console));
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("vorn2shp: output.eff.imd: ", 0),
                  0u);
    }
    {
        ScopedWorkDir dir;
        writeFile("second.imd", tokenLines(kRoadRule));
        Console console;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(Translator().translate(console));
        ::testing::internal::GetCapturedStdout();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("vorn2shp: def.imd: ", 0), 0u) << err;
        EXPECT_EQ(count(err, "\n"), 1u) << err;
        EXPECT_EQ(readFile("output.eff.imd"), kRoadOutline);
    }
}

}  // namespace
}  // namespace vorn2shp
