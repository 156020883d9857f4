// Six-decimal formatting of coordinates against the standard stream, value by value.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>    // std::ldexp
#include <cstdint>  // std::uint64_t, std::int64_t
#include <cstdio>   // std::snprintf
#include <cstring>  // std::memcpy
#include <limits>   // std::numeric_limits
#include <random>   // std::mt19937_64
#include <sstream>  // std::ostringstream
#include <string>   // std::string

#include "DxfTestSupport.h"
#include "ExportToDxf.h"
#include "export/FixedFormat.h"

namespace {

#ifdef NDEBUG
constexpr int kRounds = 2000000;
#else
constexpr int kRounds = 200000;
#endif

std::string ViaStream(double value) {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << std::fixed << value;
    return stream.str();
}

std::string ViaFormatter(double value) {
    char buffer[Vexlor::DxfExport::kFixedTextCapacity];
    return std::string(buffer, Vexlor::DxfExport::FormatFixed6(value, buffer));
}

std::string Hex(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a", value);
    return buffer;
}

TEST(FixedFormat, CornerValuesMatchTheStream) {
    const double max = std::numeric_limits<double>::max();
    const double kInfinity = std::numeric_limits<double>::infinity();
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    // Ties at the sixth decimal go to even; values just below 2^63 and beyond take other
    // ways through the formatter; subnormals and signed zeros print as zero with their sign.
    for (const double value : {0.0,
                               -0.0,
                               1e-7,
                               -1e-7,
                               5e-7,
                               -5e-7,
                               1.5e-6,
                               2.5e-6,
                               0.0000035,
                               0.5,
                               12.5,
                               -0.25,
                               1.0000005,
                               123.4565,
                               0.1,
                               999999.9999995,
                               4503599627370496.5,
                               9007199254740993.0,
                               9.1e18,
                               9.2e18,
                               9.3e18,
                               1e300,
                               -1e300,
                               max,
                               -max,
                               4.9e-324,
                               -4.9e-324,
                               std::numeric_limits<double>::min(),
                               kInfinity,
                               -kInfinity,
                               kNaN,
                               -kNaN}) {
        EXPECT_EQ(ViaStream(value), ViaFormatter(value)) << Hex(value);
    }
}

TEST(FixedFormat, RandomValuesMatchTheStream) {
    std::mt19937_64 random(20261205);
    int mismatches = 0;
    for (int round = 0; round < kRounds && mismatches < 5; ++round) {
        const std::uint64_t bits = random();
        double anyBits;
        std::memcpy(&anyBits, &bits, sizeof anyBits);
        // Any bit pattern; six-decimal values and their midpoints; binary fractions whose
        // seventh decimal is an exact tie; mesh-like coordinates.
        const double values[] = {
            anyBits,
            static_cast<double>(static_cast<std::int64_t>(random() % 2000000001) - 1000000000) /
                    1e6 +
                (random() % 2 ? 5e-7 : 0.0),
            std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 80)),
            static_cast<double>(static_cast<std::int32_t>(random())) / 1000.0 / 7.0};
        for (const double value : values) {
            const std::string expected = ViaStream(value);
            const std::string actual = ViaFormatter(value);
            if (expected != actual) {
                ++mismatches;
                ADD_FAILURE() << Hex(value) << ": stream " << expected << ", ours " << actual;
            }
        }
    }
}

// A host that switches the whole process to a locale with a decimal comma still gets a file
// with decimal points.
TEST(FixedFormat, HostLocaleNeverReachesTheFile) {
    std::locale german;
    try {
        german = std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    }
    const std::locale previous = std::locale::global(german);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    ExportToDxf::PartData part;
    part.vertices = {{1.5, 0.0, 0.0}, {0.0, 2.25, 0.0}, {0.0, 0.0, 1234567.125}};
    part.triangles = {{0, 1, 2}};
    part.transform = Vexlor::Math::matrix4x4<double>::identity();
    VexlorDxfTest::TempFile file;
    const auto result = ExportToDxf::Operate(file.WidePath(), part, nullptr);
    std::locale::global(previous);
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(ExportToDxf::eOk, result);
    const std::string text = file.Read();
    EXPECT_NE(std::string::npos, text.find("\n1.500000\n"));
    EXPECT_NE(std::string::npos, text.find("\n1234567.125000\n"));
    EXPECT_EQ(std::string::npos, text.find(','));
}

}  // namespace
