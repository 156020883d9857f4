// Plain decimals (sign, digits, point) take a short conversion path; it must give the same
// floats as the standard conversion, halfway cases and range edges included.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <clocale>  // std::setlocale
#include <cstdio>   // std::snprintf
#include <cstring>  // std::memcmp
#include <random>   // std::mt19937_64
#include <string>   // std::string, std::wstring

#include "polyline/ValueConversion.h"

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The float a conversion gives, in hexadecimal, or a note of the exception it throws.
template <typename Convert>
std::string Outcome(Convert&& convert) {
    try {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%a", static_cast<double>(convert()));
        return buffer;
    } catch (const std::invalid_argument&) {
        return "invalid";
    } catch (const std::out_of_range&) {
        return "range";
    }
}

std::string Standard(const std::string& text) {
    return Outcome([&] { return std::stof(text); });
}

std::string Ours(const std::string& text) {
    return Outcome([&] { return Vexlor::Dxf::StringToFloat(Wide(text)); });
}

TEST(ValueConversionFastPath, HalfwayAndEdgeCasesAgree) {
    std::setlocale(LC_ALL, "C");
    // 16777217 lies halfway between two floats; so do the others of this list, written with
    // few digits. Next come the smallest normal and the largest float, and signed zeros.
    for (const char* text : {"16777217",
                             "16777219",
                             "-16777217",
                             "33554434",
                             "33554438",
                             "1.00000005960464477539",
                             "0.000000000000000000000000000000000000011754943",
                             "340282346638528859811704183484516925440",
                             "3.4028235e38",
                             "-0",
                             "-0.000000",
                             "0.",
                             ".0",
                             "-.0",
                             "+0.5",
                             "00000123.4500000",
                             "1.5.3",
                             "12.5abc",
                             "7\xE9",
                             "999999999999999",
                             "9999999999999999",
                             "0.1",
                             "-0.3"}) {
        EXPECT_EQ(Standard(text), Ours(text)) << text;
    }
}

TEST(ValueConversionFastPath, RandomPlainDecimalsAgree) {
    std::setlocale(LC_ALL, "C");
    std::mt19937_64 random(42);
    int mismatches = 0;
    for (int round = 0; round < 300000 && mismatches < 5; ++round) {
        // Up to 17 digits with the point anywhere, as drawings write coordinates.
        const int digits = 1 + static_cast<int>(random() % 17);
        const int point = static_cast<int>(random() % (digits + 1));
        std::string text = (random() % 3 == 0) ? "-" : "";
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        const std::string expected = Standard(text);
        const std::string actual = Ours(text);
        if (expected != actual) {
            ++mismatches;
            ADD_FAILURE() << text << ": standard " << expected << ", ours " << actual;
        }
    }
}

}  // namespace
