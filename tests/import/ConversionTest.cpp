// Number conversion of group values against std::stof / std::stoi in the "C" locale: the corner
// strings of tests/data/conversion_corners.txt and random text, then a host locale with a comma.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>  // std::all_of
#include <cfloat>     // FLT_MIN, FLT_MAX, FLT_TRUE_MIN
#include <clocale>    // std::setlocale, std::localeconv
#include <cmath>      // std::ldexp
#include <cstdio>     // std::snprintf
#include <fstream>    // std::ifstream
#include <random>     // std::mt19937
#include <string>     // std::string, std::wstring
#include <vector>     // std::vector

#include "DxfTestSupport.h"
#include "classic/reader/ValueConversion.h"

namespace {

// What a conversion gives: the value in hexadecimal, or the exception and its message. The
// standard library's messages name only the function (`name`); ours are the documented ones.
template <typename Convert>
std::string Outcome(Convert&& convert, const std::string& name = "") {
    try {
        char text[64];
        std::snprintf(text, sizeof text, "%a", static_cast<double>(convert()));
        return text;
    } catch (const std::invalid_argument& e) {
        return name.empty() ? e.what() : "invalid " + name + " argument";
    } catch (const std::out_of_range& e) {
        return name.empty() ? e.what() : name + " argument out of range";
    }
}

// Empty when ours agrees with the standard conversions, else a line naming the difference.
std::string Compare(const std::wstring& text, bool integer = true) {
    std::string line(text.begin(), text.end());
#if defined(_WIN32)
    // Windows' wcstol, under std::stoi, also reads the digits and blanks of other scripts, which
    // the "C" locale of POSIX systems, and ours, do not: there integers of ASCII text only.
    integer = integer && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
#endif
    const std::string f = Outcome([&] { return Vexlor::Dxf::StringToFloat(text); });
    const std::string sf = Outcome([&] { return std::stof(text); }, "stof");
    const std::string i = integer ? Outcome([&] { return Vexlor::Dxf::StringToInt(text); }) : "";
    const std::string si = integer ? Outcome([&] { return std::stoi(text); }, "stoi") : "";
    if (f == sf && i == si) return "";
    return line + ": ours " + f + " " + i + ", standard " + sf + " " + si + "\n";
}

// Random text: plain decimals as drawings write them (the short path), text near the ends of
// float's range, and strings of number-like characters.
std::wstring RandomText(std::mt19937& random, int k) {
    static const float ends[] = {FLT_MIN, FLT_MAX, FLT_TRUE_MIN, 2 * FLT_TRUE_MIN, FLT_MIN / 2};
    static const wchar_t* const starts[] = {L"",    L"",    L"-",   L"+", L"0x",
                                            L"-0x", L"inf", L"nan", L"\t"};
    std::wstring text;
    if (k % 3 == 0) {
        const unsigned digits = 1 + random() % 17, point = random() % (digits + 1);
        text = random() % 3 ? L"" : L"-";
        for (unsigned d = 0; d < digits; ++d) {
            text += std::wstring(d == point ? 1 : 0, L'.') + wchar_t(L'0' + random() % 10);
        }
    } else if (k % 16 == 1) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, random() % 4 ? "%.*e" : "%.*a", int(random() % 12 + 3),
                      (random() % 2 ? -1 : 1) * ends[random() % 5] *
                          (1 + std::ldexp(random() / 4294967296.0 - 0.5, -21)));
        text.assign(buffer, buffer + std::string(buffer).size());
    } else {
        text = starts[random() % 9] + std::wstring(random() % 4 ? 1 : 0, L'0' + random() % 10);
        for (auto n = random() % 13; n > 0; --n)
            text += L"01234567890123456789..ee--++  xpinfa"[random() % 36];
    }
    return text;
}

// The corner strings of the data file (one a line; \xHHHH is the wide character HHHH), then
// random text.
TEST(Conversion, AgreesWithTheStandardConversions) {
    ASSERT_TRUE(std::setlocale(LC_ALL, "C"));
    std::ifstream lines(VEXLOR_DXF_TEST_DATA_DIR "/conversion_corners.txt");
    std::vector<std::wstring> corners;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# ", 0) == 0) continue;
        corners.emplace_back();
        for (std::size_t k = 0; k < line.size(); ++k) {
            const bool escape = line.compare(k, 2, "\\x") == 0;
            corners.back() +=
                escape ? wchar_t(std::stoul(line.substr(k + 2, 4), 0, 16)) : wchar_t(line[k]);
            k += escape ? 5 : 0;
        }
    }
    ASSERT_GT(corners.size(), 100u);
#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
    const int count = 200000;
#else
    const int count = 2000000;
#endif
    std::mt19937 random(20240611u);
    std::string differences;
    for (int k = 0; k < count && differences.size() < 2000; ++k) {
        const bool corner = k < int(corners.size());
        differences += Compare(corner ? corners[k] : RandomText(random, k), corner || k % 4 == 1);
    }
    EXPECT_EQ(differences, "");
}

// A host locale whose decimal point is a comma does not reach the conversion.
TEST(Conversion, IndependentOfTheHostsLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!VexlorDxfTest::SetGermanLocale()) GTEST_SKIP() << "no German locale installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(Vexlor::Dxf::StringToFloat(L" -2.25e1"), -22.5f);
    EXPECT_EQ(Vexlor::Dxf::StringToFloat(L"1,5"), 1.0f);
    EXPECT_EQ(Vexlor::Dxf::StringToFloat(L"0x1.8p1"), 3.0f);  // the C library's conversion
    EXPECT_THROW(Vexlor::Dxf::StringToFloat(L"1.5e-40"), std::out_of_range);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
