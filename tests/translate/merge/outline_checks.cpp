#include "translate/merge/outline_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numeric>
#include <random>
#include <sstream>

namespace vorn2shp::testing {

namespace {

double cross(Point o, Point a, Point b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

int sign(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

bool between(Point a, Point b, Point p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

bool meet(Point p1, Point p2, Point q1, Point q2) {
    const int d1 = sign(cross(q1, q2, p1));
    const int d2 = sign(cross(q1, q2, p2));
    const int d3 = sign(cross(p1, p2, q1));
    const int d4 = sign(cross(p1, p2, q2));
    if (d1 * d2 < 0 && d3 * d4 < 0) {
        return true;
    }
    return (d1 == 0 && between(q1, q2, p1)) || (d2 == 0 && between(q1, q2, p2)) ||
           (d3 == 0 && between(p1, p2, q1)) || (d4 == 0 && between(p1, p2, q2));
}

struct Side {
    Point a;
    Point b;
    double low;
    double high;
};

}  // namespace

double shoelaceArea(const Ring& ring) {
    double twice = 0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        twice += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
    }
    return twice / 2;
}

double totalTriangleArea(const std::vector<Triangle>& triangles) {
    double total = 0;
    for (const Triangle& t : triangles) {
        total += std::fabs(cross(t.c12, t.c13, t.c23)) / 2;
    }
    return total;
}

double turnOf(const Triangle& t) { return cross(t.c12, t.c13, t.c23) > 0 ? 1.0 : -1.0; }

bool isClosed(const Ring& ring) { return ring.size() >= 4 && ring.front() == ring.back(); }

bool repeatsACorner(const Ring& ring) {
    std::vector<std::pair<double, double>> corners;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        corners.emplace_back(ring[i].x, ring[i].y);
    }
    std::sort(corners.begin(), corners.end());
    return std::adjacent_find(corners.begin(), corners.end()) != corners.end();
}

bool sidesCrossOrTouch(const std::vector<Ring>& rings) {
    std::vector<Side> sides;
    for (const Ring& ring : rings) {
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            sides.push_back(Side{ring[i], ring[i + 1], std::min(ring[i].x, ring[i + 1].x),
                                 std::max(ring[i].x, ring[i + 1].x)});
        }
    }
    std::sort(sides.begin(), sides.end(),
              [](const Side& l, const Side& r) { return l.low < r.low; });
    for (std::size_t i = 0; i < sides.size(); ++i) {
        for (std::size_t j = i + 1; j < sides.size() && sides[j].low <= sides[i].high; ++j) {
            const Side& s = sides[i];
            const Side& t = sides[j];
            if (s.a == t.a || s.a == t.b || s.b == t.a || s.b == t.b) {
                continue;
            }
            if (meet(s.a, s.b, t.a, t.b)) {
                return true;
            }
        }
    }
    return false;
}

bool sameCycle(const Ring& a, const Ring& b, bool eitherWay) {
    if (a.size() != b.size() || a.size() < 2) {
        return false;
    }
    const std::size_t n = a.size() - 1;
    for (std::size_t shift = 0; shift < n; ++shift) {
        bool forward = true;
        bool backward = eitherWay;
        for (std::size_t i = 0; i < n && (forward || backward); ++i) {
            forward = forward && a[i] == b[(shift + i) % n];
            backward = backward && a[i] == b[(shift + n - i) % n];
        }
        if (forward || backward) {
            return true;
        }
    }
    return false;
}

std::size_t firstMeeting(const std::vector<Triangle>& triangles, const Ring& ring) {
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const Point corners[] = {triangles[t].c12, triangles[t].c13, triangles[t].c23};
        for (std::size_t k = 0; k < 3; ++k) {
            if (std::find(ring.begin(), ring.end(), corners[k]) != ring.end()) {
                return 3 * t + k;
            }
        }
    }
    return SIZE_MAX;
}

Point cornerAt(const std::vector<Triangle>& triangles, std::size_t k) {
    const Triangle& t = triangles.at(k / 3);
    return k % 3 == 0 ? t.c12 : (k % 3 == 1 ? t.c13 : t.c23);
}

std::vector<std::vector<std::size_t>> ordersOf(std::size_t count, std::size_t allUpTo, int samples,
                                               unsigned seed) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::vector<std::size_t>> orders;
    if (count <= allUpTo) {
        do {
            orders.push_back(order);
        } while (std::next_permutation(order.begin(), order.end()));
        return orders;
    }
    std::mt19937 random(seed);
    for (int i = 0; i < samples; ++i) {
        std::shuffle(order.begin(), order.end(), random);
        orders.push_back(order);
    }
    return orders;
}

std::vector<Triangle> inOrder(const std::vector<Triangle>& triangles,
                              const std::vector<std::size_t>& order, std::string& what) {
    std::vector<Triangle> ordered;
    ordered.reserve(order.size());
    for (const std::size_t i : order) {
        ordered.push_back(triangles[i]);
        what += " " + std::to_string(i);
    }
    return ordered;
}

void readCaseLines(
    const std::string& path,
    const std::function<void(const std::string& word, std::istringstream& rest)>& onLine) {
    std::ifstream file(path);
    EXPECT_TRUE(file.is_open()) << path;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line.substr(0, line.find('#')));
        std::string word;
        if (in >> word) {
            onLine(word, in);
        }
    }
}

Ring readRing(std::istringstream& text) {
    Ring ring;
    std::string item;
    while (std::getline(text, item, ',')) {
        std::istringstream in(item);
        Point p;
        in >> p.x >> p.y;
        ring.push_back(p);
    }
    return ring;
}

std::string describe(const std::vector<Ring>& rings) {
    std::ostringstream out;
    for (const Ring& ring : rings) {
        out << "\n  ring";
        for (const Point& p : ring) {
            out << " (" << p.x << "," << p.y << ")";
        }
    }
    return out.str();
}

}  // namespace vorn2shp::testing
