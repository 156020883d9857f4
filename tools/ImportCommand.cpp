// The import command for one drawing, through the polyline reader or the accurate import.
// SPDX-License-Identifier: MIT
#include "ImportCommand.h"

#include <algorithm>     // std::any_of, std::equal, std::max, std::min
#include <cerrno>        // errno
#include <cstdio>        // std::fread, std::ferror
#include <cstring>       // std::strlen
#include <filesystem>    // std::filesystem::path
#include <fstream>       // std::ifstream, std::ofstream
#include <ios>           // std::ios_base::failure
#include <optional>      // std::optional
#include <stdexcept>     // std::invalid_argument, std::out_of_range
#include <system_error>  // std::error_code
#include <utility>       // std::move
#include <vector>        // std::vector

#include "Arguments.h"
#include "Console.h"
#include "FileReplacement.h"
#include "ImportJson.h"
#include "ImportReport.h"
#include "PrintableText.h"
#include "SvgPicture.h"
#include "TerminalProgress.h"
#include "VexlorDxfInfo.h"

namespace Vexlor::DxfTool {

namespace fs = std::filesystem;

namespace {

// True when the bytes "SECTION" occur somewhere in the regular file `file`.
bool HoldsSection(const fs::path& file) {
    static const std::string kSection = "SECTION";
    std::ifstream in(file, std::ios::binary);
    std::string carried;  // the last bytes of the chunk before, for a word across two chunks
    std::string chunk(1 << 16, '\0');
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        const std::string window = carried + chunk.substr(0, static_cast<std::size_t>(in.gcount()));
        if (window.find(kSection) != std::string::npos) return true;
        carried = window.substr(window.size() - std::min(window.size(), kSection.size() - 1));
    }
    return !in.eof();  // a read error tells nothing
}

// What a file that the library could not read is, when that says more than "cannot be read to
// its end": the library reports a directory, an empty file and a file of another kind alike.
// Empty when nothing is known. Only regular files are opened again: a FIFO would wait.
std::string WhatItIs(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (fs::is_directory(status)) return "it is a directory";
    if (!fs::is_regular_file(status)) return "";
    if (fs::file_size(file, error) == 0 && !error) return "it is empty";
    const std::string_view sentinel = Vexlor::Dxf::kBinaryDxfSentinel;
    std::string start(sentinel.size(), '\0');
    std::ifstream in(file, std::ios::binary);
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    if (in && start == sentinel) {
        return "it is a binary DXF file, which the polyline reader (--classic) cannot read; "
               "the import without --classic reads it";
    }
    if (!HoldsSection(file)) return "it holds no SECTION, so it is not a DXF drawing";
    return "";
}

// The reader's box; none when no point was read, which leaves its corners the wrong way round.
std::optional<Box> BoxOf(const MStlBaseOperatorDXFPolylineReader& reader) {
    const Box box{reader.GetLeftTopPoint(), reader.GetRightBottomPoint()};
    if (box.leftTop.x <= box.rightBottom.x && box.leftTop.y <= box.rightBottom.y) return box;
    return std::nullopt;
}

// Whether two layer names are the same, as DXF compares them: without regard to ASCII case.
bool SameLayer(const std::string& a, const std::string& b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Whether a regular file is empty, which the accurate import reports as a drawing cut short.
bool IsEmptyFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error) && fs::file_size(file, error) == 0 && !error;
}

// The library's words for its options, in the command line's.
std::string InToolWords(std::string text) {
    static const std::pair<const char*, const char*> kOptions[] = {
        {"ContourOptions::maxPoints", "--max-points"},
        {"ContourOptions::tolerance", "--tolerance"}};
    for (const auto& [member, option] : kOptions) {
        for (std::size_t at; (at = text.find(member)) != std::string::npos;) {
            text.replace(at, std::strlen(member), option);
        }
    }
    return text;
}

// Warns of each layer asked for by --layer that the drawing at `path` does not have, with the
// names closest to it; layers that gave contours are there.
void WarnOfMissingLayers(const std::string& name, const std::wstring& path,
                         const ImportOptions& options, const Vexlor::Dxf::ContourImport& result) {
    std::vector<std::string> missing;
    for (const std::string& asked : options.contours.layers) {
        const bool gave =
            std::any_of(result.contours.begin(), result.contours.end(),
                        [&](const Vexlor::Dxf::Contour& c) { return SameLayer(c.layer, asked); });
        if (!gave) missing.push_back(asked);
    }
    if (missing.empty()) return;
    const Vexlor::Dxf::DrawingInfo info = Vexlor::Dxf::ReadDrawingInfo(path);
    if (info.result != Vexlor::Dxf::EInfoResult::eOk) return;
    std::vector<std::string> names;
    for (const Vexlor::Dxf::LayerInfo& layer : info.layers) names.push_back(layer.name);
    for (const std::string& asked : missing) {
        if (std::any_of(names.begin(), names.end(),
                        [&](const std::string& n) { return SameLayer(n, asked); })) {
            continue;  // there, with nothing that gives a contour
        }
        std::string closest;
        for (const std::string& near : ClosestNames(asked, names, 3)) {
            closest += (closest.empty() ? "" : ", ") + ("\"" + Printable(near) + "\"");
        }
        Error("{}: warning: the drawing has no layer \"{}\"{}{}", name, Printable(asked),
              closest.empty() ? "" : "; the closest: ", closest);
    }
}

// The accurate import of `file` (the library's `path` of it) into `imported`; as Import.
std::optional<int> ImportAccurately(const std::string& name, const std::wstring& path,
                                    const fs::path& file, const ImportOptions& options,
                                    Imported& imported) {
    errno = 0;
    Vexlor::Dxf::ContourImport result = Vexlor::Dxf::ImportContours(path, options.contours);
    imported.result = ReaderCode(result.result);
    imported.yUp = !options.contours.yDown;
    imported.unitsAsked = options.contours.units;
    if (result.result == Vexlor::Dxf::EContourResult::eOpenError) {
        const std::string reason = IsDirectory(file) ? "cannot be opened: it is a directory"
                                   : !result.error.empty()
                                       ? result.error
                                       : "cannot be opened: " + Reason(errno, "not readable");
        imported.error = Printable(reason);
        Error("{}: {} (result 2)", name, imported.error);
        return CDXFReader::eOpenError;
    }
    if (IsEmptyFile(file)) {
        imported.what = "it is empty";
    } else if (result.result == Vexlor::Dxf::EContourResult::eReadError) {
        imported.what = InToolWords(result.error);
    } else if (!options.quiet && !options.contours.layers.empty()) {
        WarnOfMissingLayers(name, path, options, result);
    }
    for (Vexlor::Dxf::Contour& contour : result.contours) {
        imported.polylines.push_back(std::move(contour.polyline));
    }
    if (!imported.polylines.empty()) imported.box = Box{result.minimum, result.maximum};
    imported.accurate = std::move(result);
    return std::nullopt;
}

// Imports `file` (the library's `path` of it), named `name` in messages, into `imported`. Returns
// a status when there is no result to summarize, after a message.
std::optional<int> Import(const std::string& name, const std::wstring& path, const fs::path& file,
                          const ImportOptions& options, Imported& imported) {
    if (options.accurate) return ImportAccurately(name, path, file, options, imported);
    MStlBaseOperatorDXFPolylineReader reader(imported.polylines);
    errno = 0;
    try {
        imported.result = reader.Import(path);
    } catch (const std::invalid_argument&) {
        // The reader tells neither the line nor the value: the accurate import does.
        imported.error =
            "holds a value that is not a number where the polyline reader needs one; the drawing "
            "was not imported (without --classic, the import names the line)";
    } catch (const std::out_of_range&) {
        imported.error =
            "holds a number out of the range the polyline reader reads (single precision, up "
            "to about 3.4e38); the drawing was not imported (without --classic, the import "
            "reads it in double precision)";
    } catch (const std::ios_base::failure&) {
        // The stream itself can fail on a file that opened (a directory, an I/O error): that is
        // the "cannot be read" of result 1.
        imported.error = IsDirectory(file) ? "cannot be read: it is a directory"
                                           : "cannot be read: " + Reason(errno, "reading failed");
        Error("{}: {} (status 1)", name, imported.error);
        return CDXFReader::eReadError;
    }
    if (!imported.error.empty()) {
        Error("{}: {}", name, imported.error);
        return kExitData;
    }
    if (imported.result == CDXFReader::eOpenError) {
        imported.error = "cannot be opened: " +
                         (IsDirectory(file) ? "it is a directory" : Reason(errno, "not readable"));
        Error("{}: {} (result 2)", name, imported.error);
        return CDXFReader::eOpenError;
    }
    if (imported.result == CDXFReader::eReadError) imported.what = WhatItIs(file);
    imported.box = BoxOf(reader);
    return std::nullopt;
}

// Imports standard input through a temporary file, since the library imports from a path.
std::optional<int> ImportStandardInput(const ImportOptions& options, Imported& imported) {
    // Read whole before the temporary file exists: Ctrl-C while a slow pipe or a terminal is
    // read then just ends the program, leaving nothing behind.
    std::string data;
    std::string chunk(1 << 16, '\0');
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0;) {
        data.append(chunk, 0, n);
    }
    if (std::ferror(stdin)) {
        imported.error = "cannot be read: " + Reason(errno, "reading failed");
        Error("{}: {} (status 1)", kStandardInputName, imported.error);
        return CDXFReader::eReadError;
    }
    const InterruptCatcher catcher;
    std::error_code error;
    errno = 0;
    const fs::path folder = fs::temp_directory_path(error);
    const fs::path file = error ? fs::path() : CreateUniqueFile(folder, "vexlor-dxf-stdin");
    std::optional<int> status = kExitCannotWrite;
    if (file.empty()) {
        Error("{}: cannot be copied to a temporary file: {}", kStandardInputName,
              Reason(errno, error ? error.message() : "it cannot be created"));
    } else if (!(std::ofstream(file, std::ios::binary) << data).flush()) {
        Error("{}: cannot be copied to {}: writing failed (is the disk full?)", kStandardInputName,
              TextOf(file));
    } else {
        const std::optional<std::wstring> path = LibraryPath(TextOf(file));
        status = path ? Import(kStandardInputName, *path, file, options, imported) : kExitUsage;
    }
    if (!file.empty()) fs::remove(file, error);
    if (InterruptCatcher::Interrupted()) EndByInterrupt();
    return status;
}

// Writes the drawing's records that are asked for; false when one could not be written, or
// Ctrl-C came meanwhile.
bool WriteRecords(const std::string& name, const Imported& imported, const OutputFile* svg,
                  const OutputFile* json, const ImportOptions& options, std::optional<int> result) {
    const std::string error = FailureText(imported);
    const auto writeSvg = [&](std::ostream& out) {
        // SVG's y points down: a drawing in its own frame (y up) is drawn upright with y negated.
        std::vector<Polyline> upright;
        if (imported.yUp) {
            upright = imported.polylines;
            for (Polyline& polyline : upright) {
                for (auto& p : polyline.points) p.y = -p.y;
            }
        }
        const std::vector<Polyline>& drawn = imported.yUp ? upright : imported.polylines;
        SvgNotes notes;
        notes.markEnds = options.svgEnds || CountOpenPieces(drawn) <= kFewOpenPieces;
        notes.error = error;
        if (options.contours.analyse && imported.accurate) {
            notes.analysis = &*imported.accurate;
            notes.negateY = imported.yUp;
        }
        if (!options.svgByLayer || !imported.accurate) return WriteSvg(out, drawn, name, notes);
        // The contours' polylines were moved out; their sources still name the layers.
        std::vector<std::string> layers;
        layers.reserve(imported.accurate->contours.size());
        for (const Vexlor::Dxf::Contour& contour : imported.accurate->contours) {
            layers.push_back(contour.layer);
        }
        WriteSvgByLayer(out, drawn, layers, name, notes);
    };
    const auto writeJson = [&](std::ostream& out) {
        WriteImportJson(out, name, result, error, imported.box, imported.polylines,
                        imported.accurate ? &*imported.accurate : nullptr);
    };
    const bool svgFailed = svg && !WriteOutput(svg->name, writeSvg, svg->makeFolder);
    // After Ctrl-C the program ends: the next file is not begun.
    const bool jsonFailed = json && (InterruptCatcher::Interrupted() ||
                                     !WriteOutput(json->name, writeJson, json->makeFolder));
    return !svgFailed && !jsonFailed;
}

}  // namespace

int ImportDrawing(const std::string& argument, const OutputFile* svg, const OutputFile* json,
                  const ImportOptions& options, SummaryRow& row) {
    const bool standardInput = argument == kStandardStream;
    const std::string name = standardInput ? kStandardInputName : argument;
    Imported imported;
    std::optional<int> failed;
    if (standardInput) {
        failed = ImportStandardInput(options, imported);
    } else {
        const std::optional<std::wstring> path = LibraryPath(argument);
        if (!path) return kExitUsage;
        failed = Import(name, *path, PathOf(argument), options, imported);
    }
    if (failed) {
        // Results 1 and 2 that end the import early are results still.
        if (*failed <= CDXFReader::eIntersecting) row.result = *failed;
        // The records of a drawing that could not be read say why; a copy of standard input
        // that could not be made read nothing.
        if (imported.error.empty()) return *failed;
        return WriteRecords(name, imported, svg, json, options, row.result)
                   ? *failed
                   : MoreSevere(*failed, kExitCannotWrite);
    }

    const int code = static_cast<int>(imported.result);
    const Counts counts = CountContours(imported.polylines);
    row.result = code;
    row.message = Headline(imported);
    row.contours = imported.polylines.size();
    row.closed = counts.closed;
    row.points = counts.points;
    row.box = imported.box;
    // Crossing contours are still contours to use; the summary and the JSON name them.
    const int status = imported.result == CDXFReader::eIntersecting && !options.strict ? 0 : code;
    // Each summary goes to one stream, once: a failure's to stderr; a success's to stdout, unless
    // asked to be quiet or stdout carries a record, which tells all the summary would.
    if (status != 0) {
        PrintSummary(stderr, options.quiet, name, imported);
    } else if (!options.quiet && !options.stdoutTaken) {
        PrintSummary(stdout, false, name, imported);
    }
    return WriteRecords(name, imported, svg, json, options, code)
               ? status
               : MoreSevere(status, kExitCannotWrite);
}

}  // namespace Vexlor::DxfTool
