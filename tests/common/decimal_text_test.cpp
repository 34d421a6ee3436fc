#include "common/decimal_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace vorn2shp {
namespace {

// The fast route must give strtod's bits wherever it answers at all.
void expectSameAsStrtod(const std::string& text) {
    double value = 0.0;
    std::size_t length = 0;
    if (!readShortDecimal(text, value, length)) {
        return;
    }
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
    EXPECT_EQ(length, static_cast<std::size_t>(end - text.c_str())) << text;
}

TEST(ReadShortDecimal, GivesStrtodBitsAndLength) {
    for (const char* text : {"12", "3.25", "7.", "0.1", "0.03125", "13.125x", "2.5y",
                             "9007199254740993", "123456789.123456789", "0.0000000001",
                             "4721.5", "99999999999.9999"}) {
        expectSameAsStrtod(text);
    }
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const std::string whole = std::to_string(random() % 100000000);
        const std::string fraction = std::to_string(random() % 1000000000);
        expectSameAsStrtod(whole + "." + fraction.substr(0, 1 + random() % fraction.size()));
    }
}

TEST(ReadShortDecimal, LeavesWhatItCannotReadExactlyToTheCaller) {
    for (const char* text : {"", "x", "-1", "+2", "1e5", "0x1p3", "12345678901234567890",
                             "1.00000000000000000000001"}) {
        double value = 0.0;
        std::size_t length = 0;
        EXPECT_FALSE(readShortDecimal(text, value, length)) << text;
    }
}

}  // namespace
}  // namespace vorn2shp
