// Tests of the number conversion: the same values and exceptions as std::stof / std::stoi in "C".
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cfloat>            // FLT_MIN, FLT_MAX, FLT_TRUE_MIN
#include <clocale>           // std::setlocale, std::localeconv
#include <cmath>             // std::isnan, std::signbit, std::nextafter, std::ldexp
#include <cstddef>           // std::size_t
#include <cstdint>           // std::uint32_t
#include <cstdio>            // std::snprintf
#include <cstring>           // std::memcpy, std::strlen
#include <initializer_list>  // std::initializer_list
#include <random>            // std::mt19937
#include <sstream>           // std::ostringstream
#include <stdexcept>         // std::invalid_argument, std::out_of_range
#include <string>            // std::string, std::wstring, std::stof, std::stoi
#include <vector>            // std::vector

#include "polyline/ValueConversion.h"

namespace {

using Vexlor::Dxf::StringToFloat;
using Vexlor::Dxf::StringToInt;

// Sets a locale for the whole process and puts the previous one back when it goes.
class LocaleGuard {
public:
    explicit LocaleGuard(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr)) {
        m_set = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(LC_ALL, m_previous.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;
    bool IsSet() const { return m_set; }

private:
    std::string m_previous;
    bool m_set = false;
};

enum class Kind { Value, Invalid, OutOfRange };

template <typename T>
struct Outcome {
    Kind kind;
    T value;
    std::string message;
};

template <typename T, typename Convert>
Outcome<T> Run(Convert&& convert, const std::wstring& text) {
    try {
        return {Kind::Value, convert(text), ""};
    } catch (const std::invalid_argument& e) {
        return {Kind::Invalid, T{}, e.what()};
    } catch (const std::out_of_range& e) {
        return {Kind::OutOfRange, T{}, e.what()};
    }
}

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Bit for bit; two NaNs agree when their signs do.
bool SameValue(float ours, float theirs) {
    if (std::isnan(ours) || std::isnan(theirs)) {
        return std::isnan(ours) && std::isnan(theirs) && std::signbit(ours) == std::signbit(theirs);
    }
    return Bits(ours) == Bits(theirs);
}
bool SameValue(int ours, int theirs) { return ours == theirs; }

std::string Escaped(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\x{%X}", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out + "\"";
}

std::string Show(Kind kind, float value, const std::string& message) {
    if (kind != Kind::Value)
        return (kind == Kind::Invalid ? "invalid_argument " : "out_of_range ") + message;
    std::ostringstream out;
    out << std::hexfloat << value;
    return out.str();
}
std::string Show(Kind kind, int value, const std::string& message) {
    if (kind != Kind::Value)
        return (kind == Kind::Invalid ? "invalid_argument " : "out_of_range ") + message;
    return std::to_string(value);
}

// Empty when ours agrees with the standard function, else a line naming the difference.
template <typename T, typename Ours, typename Theirs>
std::string Compare(Ours&& ours, Theirs&& theirs, const char* invalidMessage,
                    const char* rangeMessage, const std::wstring& text) {
    const Outcome<T> mine = Run<T>(ours, text);
    const Outcome<T> standard = Run<T>(theirs, text);
    const bool same = mine.kind == standard.kind &&
                      (mine.kind != Kind::Value || SameValue(mine.value, standard.value)) &&
                      (mine.kind != Kind::Invalid || mine.message == invalidMessage) &&
                      (mine.kind != Kind::OutOfRange || mine.message == rangeMessage);
    if (same) return "";
    return Escaped(text) + ": ours " + Show(mine.kind, mine.value, mine.message) + ", standard " +
           Show(standard.kind, standard.value, standard.message) + "\n";
}

std::string CompareFloat(const std::wstring& text) {
    return Compare<float>(
        StringToFloat, [](const std::wstring& t) { return std::stof(t); }, "invalid stof argument",
        "stof argument out of range", text);
}
std::string CompareInt(const std::wstring& text) {
    return Compare<int>(
        StringToInt, [](const std::wstring& t) { return std::stoi(t); }, "invalid stoi argument",
        "stoi argument out of range", text);
}

// A wide string of the given character values.
std::wstring Chars(std::initializer_list<unsigned> chars) {
    std::wstring text;
    for (unsigned c : chars) text.push_back(static_cast<wchar_t>(c));
    return text;
}

// Where a conversion of its own tends to part from the C library's.
std::vector<std::wstring> CornerStrings() {
    std::vector<std::wstring> texts = {
        // Signs, white space, missing digits and trailing text.
        L"", L" ", L"0", L"-0", L"+0", L"1", L"-1", L"+1", L"  \t\v\f\r\n-12.5", L"1.5abc", L"1,5",
        L"1.5.5", L".", L"-", L"+", L"+-1", L"-+1", L"--1", L"- 1", L"-.", L"-.5", L".5", L"1.",
        // Exponents, complete or not.
        L"1e", L"1e+", L"1e-", L"e5", L"1e5", L"1E-5", L"1.e2", L".e2", L"1e+38", L"00012",
        L"0.000", L"000.", L"0e999999999", L"1e-999999999", L"1e999999999",
        // Hexadecimal, infinity and NaN.
        L"0x1p3", L"0X1.8P1", L"-0x1p-149", L"0x1p-150", L"0x1.fffffep127", L"0x1.ffffffp127",
        L"0x", L"0xg", L"0x.p1", L"00x1p3", L"0x1p", L"inf", L"-inf", L"INF", L"infinity",
        L"-Infinity", L"infinit", L"infx", L"in", L"0nan", L"nan", L"-nan", L"NAN", L"nan(123)",
        L"nan(abc_9)", L"nan(", L"nan()", L"nan(1 2)", L"na",
        // Underflow, the edge of the normal range, and overflow.
        L"1e-40", L"-1e-40", L"1e-46", L"-1e-46", L"1.4e-45", L"7e-46", L"8e-46", L"1.17549435e-38",
        L"1.1754944e-38", L"1.1754943e-38", L"1.17549429e-38", L"1.1754942e-38", L"2.3509887e-38",
        L"3.4028235e38", L"-3.4028235e38", L"3.40282356e38", L"3.4028236e38", L"1e39", L"-1e39",
        L"340282356779733661637539395458142568448", L"340282356779733661637539395458142568447",
        L"170141173319264429905852091742258462720",
        // The range of int, and float rounding halfway between two floats.
        L"2147483647", L"2147483648", L"-2147483648", L"-2147483649", L"4294967296",
        L"99999999999999999999", L"16777217", L"16777217.0", L"0.1", L"1.000000059604644775390625",
        L"1.0000000596046447753906251", L"1.00000005960464477539062499999999999999999999999999",
        L"0.000000000000001", L"123456789012345.6", L"1234567890123456", L"8388609.5", L"8388610.5",
        L"4194304.25", L"33554434", L"-33554438"};
    // Characters beyond ASCII are neither white space, digits nor letters of a number.
    for (const auto& chars :
         {Chars({'1', 0xFFE9}), Chars({'1', '.', '5', 0xFFE9, '7'}), Chars({'1', '2', 0x0663}),
          Chars({0x0661, '2'}), Chars({0xA0, '5'}), Chars({0x3000, '5'}), Chars({'5', 0xE9}),
          Chars({'1', 'e', 0xFF15}), Chars({'7', 0, '8'}), Chars({0, '8'})}) {
        texts.push_back(chars);
    }
    // Digit strings longer than any buffer of a fixed size.
    texts.push_back(L"0." + std::wstring(400, L'0') + L"1e400");
    texts.push_back(L"1" + std::wstring(400, L'0'));
    texts.push_back(L"1" + std::wstring(30, L'0') + L"e-30");
    texts.push_back(std::wstring(500, L'9') + L"e-500");
    texts.push_back(L"-" + std::wstring(300, L'0') + L"42");
    return texts;
}

TEST(ValueConversion, CornerStringsAgreeWithStandardConversion) {
    LocaleGuard c("C");
    ASSERT_TRUE(c.IsSet());
    std::string differences;
    for (const std::wstring& text : CornerStrings()) {
        differences += CompareFloat(text) + CompareInt(text);
    }
    EXPECT_EQ(differences, "");
}

TEST(ValueConversion, OwnMessages) {
    const auto message = [](auto&& convert, const wchar_t* text) {
        try {
            convert(text);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    const auto toFloat = [](const std::wstring& t) { return StringToFloat(t); };
    const auto toInt = [](const std::wstring& t) { return StringToInt(t); };
    EXPECT_EQ(message(toFloat, L"x"), "invalid stof argument");
    EXPECT_EQ(message(toFloat, L"1e39"), "stof argument out of range");
    EXPECT_EQ(message(toFloat, L"0x1p-200"), "stof argument out of range");
    EXPECT_EQ(message(toInt, L"x"), "invalid stoi argument");
    EXPECT_EQ(message(toInt, L"-2147483649"), "stoi argument out of range");
}

// Decimal text close to the ends of float's range and to its smallest values, where rounding,
// underflow and overflow decide.
std::wstring NearRangeEnd(std::mt19937& random) {
    static const float kEnds[] = {FLT_MIN,          FLT_MAX,     FLT_TRUE_MIN,
                                  2 * FLT_TRUE_MIN, FLT_MIN / 2, std::nextafter(FLT_MIN, 0.0f)};
    const double end = kEnds[random() % (sizeof kEnds / sizeof kEnds[0])];
    const double offset = std::ldexp(static_cast<double>(random()) / 4294967296.0 - 0.5, -21);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, random() % 4 ? "%.*e" : "%.*a",
                  static_cast<int>(random() % 12 + 3),
                  (random() % 2 ? -1 : 1) * end * (1 + offset));
    return std::wstring(buffer, buffer + std::strlen(buffer));
}

std::wstring FromAlphabet(std::mt19937& random) {
    static const wchar_t kAlphabet[] = L"0123456789012345678901234567890123456789..ee--++  xpinfa";
    static const wchar_t* const kStarts[] = {L"",   L"",    L"",    L"",    L"-", L"+",
                                             L"0x", L"-0x", L"inf", L"nan", L"\t"};
    std::wstring text = kStarts[random() % (sizeof kStarts / sizeof kStarts[0])];
    // Mostly a digit next, so that most strings are numbers and few take the exception path.
    if (random() % 4 != 0) text += static_cast<wchar_t>(L'0' + random() % 10);
    const std::size_t length = random() % 13;
    for (std::size_t k = 0; k < length; ++k) {
        text += kAlphabet[random() % (sizeof kAlphabet / sizeof(wchar_t) - 1)];
    }
    return text;
}

TEST(ValueConversion, RandomStringsAgreeWithStandardConversion) {
    LocaleGuard c("C");
    ASSERT_TRUE(c.IsSet());
    const unsigned seed = 20240611u;
#if defined(__SANITIZE_ADDRESS__)
    const int count = 200000;  // sanitizers slow every conversion down tenfold
#elif defined(NDEBUG)
    const int count = 2000000;
#else
    const int count = 1000000;
#endif
    std::mt19937 random(seed);
    std::string differences;
    int mismatches = 0;
    for (int k = 0; k < count; ++k) {
        const std::wstring text = k % 16 == 0 ? NearRangeEnd(random) : FromAlphabet(random);
        // Integers have fewer corners; every fourth string is enough for them.
        const std::string difference = CompareFloat(text) + (k % 4 == 1 ? CompareInt(text) : "");
        if (!difference.empty() && ++mismatches <= 10) differences += difference;
    }
    EXPECT_EQ(mismatches, 0) << "seed " << seed << ", first differences:\n" << differences;
}

// The host may set a locale whose decimal point is a comma; the conversion must not follow it.
TEST(ValueConversion, IndependentOfTheHostsLocale) {
    const char* const kNames[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE",
                                  "fr_FR.UTF-8", "fr_FR.utf8", "fr_FR"};
    for (const char* name : kNames) {
        LocaleGuard guard(name);
        if (!guard.IsSet()) continue;
        ASSERT_STREQ(std::localeconv()->decimal_point, ",") << name;
        EXPECT_EQ(Bits(StringToFloat(L"1.5")), Bits(1.5f)) << name;
        EXPECT_EQ(Bits(StringToFloat(L" -2.25e1")), Bits(-22.5f)) << name;
        EXPECT_EQ(Bits(StringToFloat(L"1,5")), Bits(1.0f)) << name;
        EXPECT_EQ(Bits(StringToFloat(L"0x1.8p1")), Bits(3.0f)) << name;
        EXPECT_THROW(StringToFloat(L"1.5e-40"), std::out_of_range) << name;
        EXPECT_EQ(StringToInt(L"1.5"), 1) << name;
        return;
    }
    GTEST_SKIP() << "no German or French locale installed";
}

}  // namespace
