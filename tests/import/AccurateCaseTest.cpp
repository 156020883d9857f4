// Runs the accurate import's cases of tests/data/accurate: a drawing and options in; the result,
// the error, the reports and the contours with their points out. The format is described in
// tests/data/accurate/README.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>   // std::sort, std::any_of, std::find, std::min, std::max
#include <cmath>       // std::hypot, std::fabs, std::isnan, std::cos, std::sin, std::acos
#include <cstdio>      // std::snprintf
#include <cstdlib>     // std::strtod
#include <filesystem>  // std::filesystem
#include <fstream>     // std::ifstream
#include <limits>      // std::numeric_limits
#include <sstream>     // std::istringstream
#include <string>      // std::string
#include <utility>     // std::pair
#include <vector>      // std::vector

#include "DxfTestSupport.h"
#include "VexlorDxfContours.h"

namespace {

using Vexlor::Dxf::Contour;
using VexlorDxfTest::Unescape;
using Point = Vexlor::Math::point<double, 2>;
using Lines = std::vector<std::pair<int, std::string>>;  // expected lines with their numbers
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Trial {
    std::string options;  // the words of its options lines
    Lines expected;
};

struct Case {
    std::string name, file, drawing;
    std::vector<Trial> trials{1};
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.file << ": " << c.name; }

std::vector<std::string> Split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The text of `line` after its first `n` words and the blanks after them.
std::string After(const std::string& line, int n) {
    std::istringstream in(line);
    std::string text;
    while (n-- > 0) in >> text;
    text.clear();
    std::getline(in >> std::ws, text);
    return text;
}

std::string Hex(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

// Groups from words: NAME is the group 0/NAME, CODE=VALUE any other. Codes are right-aligned in
// three columns, as drawings commonly write them.
std::string Groups(std::istream& words) {
    std::string text;
    const auto code = [](const std::string& written) {
        return std::string(written.size() < 3 ? 3 - written.size() : 0, ' ') + written + '\n';
    };
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        text += equals == std::string::npos
                    ? code("0") + word + '\n'
                    : code(word.substr(0, equals)) + Unescape(word.substr(equals + 1)) + '\n';
    }
    return text;
}

std::vector<Case> ReadCases() {
    const std::vector<std::filesystem::path> files = VexlorDxfTest::CaseFiles("accurate");
    std::vector<Case> cases;
    std::string section;  // the open section, closed by the first line of another kind
    bool eof = true;      // whether the drawing gets the end marker
    const auto finish = [&](bool drawing) {
        if (!section.empty()) cases.back().drawing += "0\nENDSEC\n";
        if (drawing && eof) cases.back().drawing += "0\nEOF\n";
        section.clear();
    };
    for (const auto& file : files) {
        std::ifstream in(file);
        std::string line, key;
        for (int number = 1; std::getline(in, line); ++number) {
            std::istringstream words(line);
            if (!(words >> key) || key[0] == '#') continue;
            if (key == "case") {
                if (!cases.empty()) finish(true);
                cases.push_back({});
                words >> cases.back().name;
                cases.back().file = file.filename().string();
                eof = true;
                continue;
            }
            Case& c = cases.back();
            if (key != "+" && key != section) finish(false);
            const bool opens =
                key == "header" || key == "tables" || key == "blocks" || key == "entities";
            if (opens && section.empty()) {
                std::string name = key;
                for (char& letter : name) letter = static_cast<char>(letter - 'a' + 'A');
                c.drawing += "0\nSECTION\n2\n" + name + '\n';
                section = key;
            }
            if (opens || key == "+" || key == "groups") {
                c.drawing += Groups(words);
            } else if (key == "noeof") {
                eof = false;
            } else if (key == "options") {
                if (!c.trials.back().expected.empty()) c.trials.emplace_back();
                c.trials.back().options += After(line, 1) + ' ';
            } else {
                c.trials.back().expected.emplace_back(number, line);
            }
        }
    }
    if (!cases.empty()) finish(true);
    return cases;
}

void SetOption(Vexlor::Dxf::ContourOptions& o, const std::string& word) {
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    std::istringstream value(equals == std::string::npos ? "1" : Unescape(word.substr(equals + 1)));
    bool known = name == "layers";
    const auto set = [&](const char* option, auto& field) {
        if (name == option) known = true, value >> field;
    };
    set("tolerance", o.tolerance), set("relativeTolerance", o.relativeTolerance);
    set("linkingDistance", o.linkingDistance), set("units", o.units), set("link", o.link);
    set("maxPoints", o.maxPoints), set("yDown", o.yDown), set("hiddenLayers", o.hiddenLayers);
    set("strictStructure", o.strictStructure);
    for (std::string layer; name == "layers" && std::getline(value, layer, ',');)
        o.layers.push_back(layer);
    EXPECT_TRUE(known && (value || name == "layers")) << "option " << word;
}

// The numbers of `words` from `i` on ("*" any value: NaN), with "within D" and "in X0 Y0 X1 Y1"
// among them taken out.
struct Numbers {
    std::vector<double> n;
    double within = -1;                         // the distance allowed; negative: the same bits
    double in[4] = {-kInf, -kInf, kInf, kInf};  // only points strictly inside it are checked
    bool ok = true;                             // whether every word was a number
    Numbers(const std::vector<std::string>& words, std::size_t i) {
        const auto next = [&] {
            const std::string word = i < words.size() ? words[i++] : "?";
            char* end = nullptr;
            const double v = std::strtod(word.c_str(), &end);
            ok = ok && (word == "*" || !*end);
            return word == "*" ? std::nan("") : v;
        };
        while (i < words.size()) {
            if (words[i] == "within") {
                within = (++i, next());
            } else if (words[i] == "in") {
                ++i;
                for (double& v : in) v = next();
            } else {
                n.push_back(next());
            }
        }
    }
};

// Whether `got` is `want`: the same bits, or no more than `within` apart; NaN is any value.
bool Is(double want, double got, double within) {
    return std::isnan(want) ||
           (within < 0 ? Hex(want) == Hex(got) : std::fabs(want - got) <= within);
}

bool Is(double x, double y, Point p, double within) {
    if (within < 0) return Is(x, p.x, -1) && Is(y, p.y, -1);
    return std::hypot(std::isnan(x) ? 0 : x - p.x, std::isnan(y) ? 0 : y - p.y) <= within;
}

// How far `p` is off the circle (cx, cy, r) or the ellipse (cx, cy, a along x, b along y): from a
// circle its distance; from an ellipse the residual of its equation, or `geometric` its distance:
// the nearest of 4096 of its points, narrowed down by ternary search about it.
double Off(const std::vector<double>& s, Point p, bool geometric) {
    if (s.size() == 3) return std::fabs(std::hypot(p.x - s[0], p.y - s[1]) - s[2]);
    const double u = (p.x - s[0]) / s[2], v = (p.y - s[1]) / s[3];
    if (!geometric) return std::fabs(u * u + v * v - 1);
    const auto at = [&](double t) {
        return std::hypot(s[0] + s[2] * std::cos(t) - p.x, s[1] + s[3] * std::sin(t) - p.y);
    };
    const double step = std::acos(-1.0) / 2048;
    double lo = 0;
    for (int k = 1; k < 4096; ++k) lo = at(k * step) < at(lo) ? k * step : lo;
    double hi = lo + step;
    lo -= step;
    for (int k = 0; k < 100; ++k) {
        const double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
        (at(a) < at(b) ? hi : lo) = at(a) < at(b) ? b : a;
    }
    return at(lo);
}

// A contour's flags as a "contour" line gives them.
std::string Flags(const Contour& c) {
    return std::string(c.polyline.closed ? "closed" : "open") + " layer=" + c.layer +
           " entity=" + c.entity + " handle=" + c.handle +
           " points=" + std::to_string(c.polyline.points.size());
}

// The lines of `lines` (a "contour" line and the checks of its points that follow) that `c`
// fails, each with its number; empty when it passes them all.
std::string Fails(const Contour& c, const Lines& lines) {
    const auto& p = c.polyline.points;
    std::string fails;
    for (const auto& [number, line] : lines) {
        const std::vector<std::string> words = Split(line);
        const std::string& key = words[0];
        const std::string shape = words.size() > 1 ? words[1] : "";
        const Numbers n(words,
                        key == "contour" ? words.size() : 1 + (key == "on" || key == "chords"));
        bool ok = n.ok;
        const std::string flags = ' ' + Flags(c) + ' ';
        for (std::size_t i = 1; key == "contour" && i < words.size(); ++i) {
            const std::string& w = words[i];
            ok = ok && (w.rfind("points>", 0)
                            ? w == "*" || flags.find(' ' + Unescape(w) + ' ') != std::string::npos
                            : p.size() > std::stoul(w.substr(7)));
        }
        // A closed contour does not repeat its first point at the end.
        if (key == "contour" && c.polyline.closed && p.size() > 1)
            ok = ok && (p[0].x != p.back().x || p[0].y != p.back().y);
        if (key == "points") {
            ok = ok && n.n.size() == 2 * p.size();
            for (std::size_t k = 0; ok && k < p.size(); ++k)
                ok = Is(n.n[2 * k], n.n[2 * k + 1], p[k], n.within);
        } else if (key == "first" || key == "last" || key == "through") {
            const auto passes = [&](Point q) { return Is(n.n[0], n.n[1], q, n.within); };
            ok = ok && n.n.size() == 2 && !p.empty() &&
                 (key == "through" ? std::any_of(p.begin(), p.end(), passes)
                                   : passes(key == "first" ? p.front() : p.back()));
        } else if (key == "box") {
            double box[4] = {kInf, kInf, -kInf, -kInf};
            for (const Point& q : p) {
                box[0] = std::min(box[0], q.x), box[1] = std::min(box[1], q.y);
                box[2] = std::max(box[2], q.x), box[3] = std::max(box[3], q.y);
            }
            ok = ok && n.n.size() == 4;
            for (int k = 0; ok && k < 4; ++k) ok = Is(n.n[k], box[k], n.within);
        } else if (key == "on" || key == "chords") {
            ok = ok && n.within >= 0 && n.n.size() == (shape == "circle" ? 3u : 4u) &&
                 (shape == "circle" || shape == "ellipse");
            for (std::size_t k = key == "chords"; ok && k < p.size(); ++k) {
                Point q = p[k];
                if (key == "chords") q = {(p[k - 1].x + q.x) / 2, (p[k - 1].y + q.y) / 2};
                if (q.x > n.in[0] && q.y > n.in[1] && q.x < n.in[2] && q.y < n.in[3])
                    ok = Off(n.n, q, key == "chords") <= n.within;
            }
        }
        if (!ok) fails += std::to_string(number) + ": " + line + '\n';
    }
    return fails;
}

// The error and the contours in short, one a line: flags, first and last points.
std::string Describe(const Vexlor::Dxf::ContourImport& import) {
    std::string text = "error: " + import.error + '\n';
    for (const Contour& c : import.contours) {
        const auto& p = c.polyline.points;
        text += Flags(c) + (p.empty() ? "" : " first " + Hex(p[0].x) + ' ' + Hex(p[0].y)) +
                (p.empty() ? "" : " last " + Hex(p.back().x) + ' ' + Hex(p.back().y)) + '\n';
    }
    return text;
}

class AccurateCase : public testing::TestWithParam<Case> {};

TEST_P(AccurateCase, GivesItsOutcome) {
    const Case& c = GetParam();
    for (const Trial& trial : c.trials) {
        Vexlor::Dxf::ContourOptions options;
        for (const std::string& word : Split(trial.options)) SetOption(options, word);
        Vexlor::Dxf::ContourImport import;
        std::string got = "throws invalid_argument", want = "result 0", fails;
        try {
            import = Vexlor::Dxf::ImportContoursFromMemory(c.drawing, options);
            got = "result " + std::to_string(static_cast<int>(import.result));
        } catch (const std::invalid_argument&) {
        }
        std::vector<bool> taken(import.contours.size());
        std::size_t next = 0;  // the contour a "contour" line without "*" names
        for (std::size_t i = 0; i < trial.expected.size(); ++i) {
            const auto& [number, line] = trial.expected[i];
            const std::vector<std::string> words = Split(line);
            const std::string& key = words[0];
            const Numbers n(words, 1);
            bool ok = true;
            if (key == "result" || key == "throws") {
                want = line;
            } else if (key == "error") {
                ok = import.error.find(Unescape(After(line, 1))) != std::string::npos;
            } else if (key == "skipped" || key == "approximations") {
                const auto& counts = key == "skipped" ? import.skipped : import.approximations;
                const auto count = counts.find(After(line, 2));
                ok = words[1] == std::to_string(count == counts.end() ? 0 : count->second);
            } else if (key == "recovery") {
                const std::vector<std::string>& all = import.recoveries;
                ok = std::find(all.begin(), all.end(), Unescape(After(line, 1))) != all.end();
            } else if (key == "contours" || key == "units" || key == "scale" ||
                       key == "tolerance" || key == "recoveries") {
                const double value = key == "contours"     ? import.contours.size()
                                     : key == "recoveries" ? import.recoveries.size()
                                     : key == "units"      ? import.units
                                     : key == "scale"      ? import.scale
                                                           : import.tolerance;
                ok = n.ok && n.n.size() == 1 && Is(n.n[0], value, -1);
            } else if (key == "minimum" || key == "maximum") {
                const Point p = key == "minimum" ? import.minimum : import.maximum;
                ok = n.ok && n.n.size() == 2 && Is(n.n[0], p.x, n.within) &&
                     Is(n.n[1], p.y, n.within);
            } else if (key == "contour") {
                // The line and the checks that follow it; a "*" contour is any one not yet named.
                Lines block{trial.expected[i]};
                while (i + 1 < trial.expected.size() &&
                       std::string(" points first last through on chords box ")
                               .find(' ' + Split(trial.expected[i + 1].second)[0] + ' ') !=
                           std::string::npos)
                    block.push_back(trial.expected[++i]);
                const bool any = words.size() > 1 && words[1] == "*";
                std::string why = "\n";  // no contour checked
                for (std::size_t k = any ? 0 : next++; k < taken.size();
                     k += any ? 1 : taken.size()) {
                    if (any && taken[k]) continue;
                    why = Fails(import.contours[k], block);
                    if (why.empty()) {
                        taken[k] = true;
                        break;
                    }
                }
                if (!why.empty() && (any || why == "\n"))
                    why = std::to_string(number) + ": " + line +
                          (any ? ": no contour passes all its checks\n" : ": no such contour\n");
                fails += why;
            } else {
                ok = false;
            }
            if (!ok) fails += std::to_string(number) + ": " + line + '\n';
        }
        EXPECT_EQ(want + '\n', got + '\n' + fails) << c.file << ": " << c.name << '\n'
                                                   << Describe(import);
    }
}

INSTANTIATE_TEST_SUITE_P(Accurate, AccurateCase, testing::ValuesIn(ReadCases()),
                         [](const testing::TestParamInfo<Case>& info_) {
                             return info_.param.name;
                         });

}  // namespace
