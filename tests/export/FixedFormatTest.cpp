// Tests the six-decimal text of doubles against the standard stream's std::fixed, value by value.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <clocale>  // std::setlocale, std::localeconv
#include <cmath>    // std::ldexp
#include <cstdint>  // std::int32_t, std::int64_t, std::uint64_t
#include <cstdlib>  // std::strtod
#include <cstring>  // std::memcpy
#include <fstream>  // std::ifstream
#include <ios>      // std::hexfloat
#include <random>   // std::mt19937_64
#include <sstream>  // std::ostringstream
#include <string>   // std::string
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "export/FixedFormat.h"

namespace {

// Edge values first, from data/export/fixed_edges.txt: signed zeros, values below half a
// millionth, exact ties at the seventh decimal (0.0078125 rounds down to even, 0.0234375 up),
// integer parts of 2^53 and beyond, the largest and the subnormal magnitudes, infinities and NaNs
// of both signs (30 values, read in the "C" locale). Then random ones.
TEST(FixedFormat, MatchesTheClassicStream) {
    std::vector<double> values;
    std::ifstream edges(VEXLOR_DXF_TEST_DATA_DIR "/export/fixed_edges.txt");
    for (std::string edge; edges >> edge;) values.push_back(std::strtod(edge.c_str(), nullptr));
    ASSERT_EQ(values.size(), 30u);
    // Any bit pattern; six-decimal values and their midpoints; binary fractions, whose seventh
    // decimal is often an exact tie; mesh-like coordinates.
    std::mt19937_64 random(20261205);
    for (int round = 0; round < 100000; ++round) {
        const std::uint64_t bits = random();
        std::memcpy(&values.emplace_back(), &bits, sizeof bits);
        const auto millionths = static_cast<std::int64_t>(random() % 2000000001) - 1000000000;
        values.insert(values.end(),
                      {static_cast<double>(millionths) / 1e6 + (random() % 2 ? 5e-7 : 0),
                       std::ldexp(static_cast<double>(random() >> 11), -int(random() % 80)),
                       static_cast<std::int32_t>(random()) / 1000.0 / 7.0});
    }
    // A host locale with a decimal comma must not reach the text, nor be lost (where installed).
    const bool german = VexlorDxfTest::SetGermanLocale();
    for (const double value : values) {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream << std::fixed << value;
        char text[Vexlor::DxfExport::kFixedTextCapacity];
        const std::size_t length = Vexlor::DxfExport::FormatFixed6(value, text);
        ASSERT_EQ(std::string(text, length), stream.str()) << std::hexfloat << value;
    }
    EXPECT_STREQ(std::localeconv()->decimal_point, german ? "," : ".");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
