// The import command over many drawings: folders walked, drawings imported on worker threads,
// what each said printed in input order, the closing count and the summary table.
// SPDX-License-Identifier: MIT
#include "Batch.h"

#include <fmt/core.h>

#include <algorithm>           // std::any_of, std::max, std::min, std::sort, std::transform
#include <atomic>              // std::atomic
#include <cctype>              // std::tolower
#include <chrono>              // std::chrono::steady_clock
#include <condition_variable>  // std::condition_variable
#include <exception>           // std::exception
#include <map>                 // std::map
#include <mutex>               // std::mutex
#include <new>                 // std::bad_alloc
#include <optional>            // std::optional
#include <system_error>        // std::error_code
#include <thread>              // std::thread
#include <utility>             // std::move, std::pair

#include "CDXFReader.h"
#include "Console.h"
#include "ImportCommand.h"
#include "PrintableText.h"
#include "SummaryTable.h"
#include "TerminalProgress.h"

namespace Vexlor::DxfTool {

namespace fs = std::filesystem;

namespace {

bool IsDxfName(const fs::path& file) {
    std::string extension = TextOf(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".dxf";
}

// Where a drawing's record of one kind goes: the n-th of `names`, or a file under `folder`.
std::optional<OutputFile> OutputOf(const std::vector<std::string>& names, const std::string& folder,
                                   std::size_t index, const Drawing& drawing,
                                   const char* extension) {
    if (!names.empty()) return OutputFile{names[index], false};
    if (folder.empty()) return std::nullopt;
    fs::path file = drawing.outputName;
    file.replace_extension(extension);
    return OutputFile{TextOf(PathOf(folder) / file), true};
}

// What one drawing gave: its row and the messages to print for it.
struct DrawingReport {
    SummaryRow row;
    Messages messages;
};

// Imports the `index`-th drawing with its messages kept in the report; runs on any thread.
DrawingReport ImportOne(const std::vector<Drawing>& drawings, std::size_t index,
                        const Arguments& arguments, const ImportOptions& options) {
    const Drawing& drawing = drawings[index];
    DrawingReport report;
    report.row.path = drawing.name == kStandardStream ? kStandardInputName : drawing.name;
    CollectMessages(&report.messages);
    const auto start = std::chrono::steady_clock::now();
    try {
        if (!drawing.problem.empty()) {
            Error("{}: {}", drawing.name, drawing.problem);
            report.row.status = kExitNoInput;
        } else {
            const std::optional<OutputFile> svg =
                OutputOf(arguments.svgs, arguments.svgDir, index, drawing, ".svg");
            const std::optional<OutputFile> json =
                OutputOf(arguments.jsons, arguments.jsonDir, index, drawing, ".json");
            report.row.status = ImportDrawing(drawing.name, svg ? &*svg : nullptr,
                                              json ? &*json : nullptr, options, report.row);
        }
    } catch (const std::bad_alloc&) {
        Error("{}: out of memory", report.row.path);
        report.row.status = kExitSoftware;
    } catch (const std::exception& e) {
        Error("{}: unexpected failure: {}", report.row.path, Printable(e.what()));
        report.row.status = kExitSoftware;
    }
    CollectMessages(nullptr);
    report.row.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A failure that ended the import early has its first message to tell what happened.
    if (report.row.message.empty() && !report.messages.empty()) {
        std::string& first = report.messages.front().second;
        const std::string prefix = report.row.path + ": ";
        const std::size_t from = first.compare(0, prefix.size(), prefix) == 0 ? prefix.size() : 0;
        report.row.message = first.substr(from, first.find('\n') - from);
    }
    return report;
}

// "12/99 drawings" on a terminal, redrawn as drawings are printed, and cleared before any
// message and at the end so that it never mixes with what the batch says.
class BatchProgress {
public:
    explicit BatchProgress(bool draw) : m_draw(draw) {}
    void Show(std::size_t done, std::size_t total) {
        if (!m_draw) return;
        m_line = fmt::format("{}/{} drawings", done, total);
        Print(stderr, "\r" + m_line);
    }
    void Clear() {
        if (m_line.empty()) return;
        Print(stderr, "\r" + std::string(m_line.size(), ' ') + "\r");
        m_line.clear();
    }

private:
    bool m_draw;
    std::string m_line;  // what is on the terminal now; empty when nothing is
};

// The closing count of a batch, by result: "99 drawings: 50 result 0, 44 crossing, 5 result 1".
std::string CountByResult(const std::vector<SummaryRow>& rows) {
    // Keyed so that success comes first, then crossing, then the failures in the order of
    // their codes; drawings that gave no result are counted by status.
    std::map<int, std::pair<std::string, std::size_t>> counts;
    for (const SummaryRow& row : rows) {
        int key = 100 + row.status;
        std::string label = fmt::format("status {}", row.status);
        if (row.result == CDXFReader::eIntersecting) {
            key = 1;
            label = "crossing";
        } else if (row.result) {
            key = *row.result == 0 ? 0 : 1 + *row.result;
            label = fmt::format("result {}", *row.result);
        }
        auto& count = counts.try_emplace(key, label, 0).first->second;
        ++count.second;
    }
    std::string text = fmt::format("{} drawings:", rows.size());
    const char* separator = " ";
    for (const auto& [key, count] : counts) {
        text += fmt::format("{}{} {}", separator, count.second, count.first);
        separator = ", ";
    }
    return text + "\n";
}

}  // namespace

std::vector<Drawing> ListDrawings(const std::vector<std::string>& arguments) {
    std::vector<Drawing> drawings;
    for (const std::string& argument : arguments) {
        if (argument == kStandardStream || !IsDirectory(PathOf(argument))) {
            drawings.push_back({argument, PathOf(argument).filename(), ""});
            continue;
        }
        const fs::path top = PathOf(argument);
        // Each folder is read on its own, so that one that cannot be read is named by its own
        // path and the walk goes on past it. Links to folders are not followed, so no loop of
        // links can make the walk endless.
        std::vector<std::pair<fs::path, std::string>> found;  // a drawing, or a folder's problem
        std::vector<fs::path> folders{top};
        bool anyDrawing = false;
        while (!folders.empty()) {
            const fs::path folder = std::move(folders.back());
            folders.pop_back();
            std::error_code error;
            fs::directory_iterator entry(folder, error);
            for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
                std::error_code ignored;
                if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
                    folders.push_back(entry->path());
                } else if (IsDxfName(entry->path()) && entry->is_regular_file(ignored)) {
                    found.emplace_back(entry->path(), "");
                    anyDrawing = true;
                }
            }
            if (error) found.emplace_back(folder, "the folder cannot be read: " + error.message());
        }
        std::sort(found.begin(), found.end());
        for (const auto& [path, problem] : found) {
            // The top folder keeps its name as given.
            const std::string name = path == top ? argument : TextOf(path);
            drawings.push_back({name, path.lexically_relative(top), problem});
        }
        if (!anyDrawing && found.empty()) {
            drawings.push_back({argument, {}, "a folder that holds no drawing (*.dxf)"});
        }
    }
    return drawings;
}

int RunImport(const Arguments& arguments, const std::vector<Drawing>& drawings) {
    ImportOptions options;
    options.quiet = arguments.quiet;
    options.strict = arguments.strict;
    options.accurate = !arguments.classic;
    options.svgEnds = arguments.svgEnds;
    options.contours.tolerance = arguments.tolerance;
    options.contours.yDown = arguments.yDown;
    options.contours.layers = arguments.layers;
    options.contours.hiddenLayers = arguments.allLayers;
    options.contours.strictStructure = arguments.strictStructure;
    // The parser has checked the name.
    if (!arguments.units.empty()) options.contours.units = UnitCode(arguments.units).value_or(0);
    if (arguments.maxPoints != 0) options.contours.maxPoints = arguments.maxPoints;
    if (arguments.linkDistance > 0) {
        options.contours.linkingDistance = arguments.linkDistance;
        options.contours.linkWithinTolerance = false;
    }
    options.contours.analyse = arguments.regions;
    options.svgByLayer = arguments.svgColour == "layer";
    for (const std::vector<std::string>* outputs : {&arguments.svgs, &arguments.jsons}) {
        for (const std::string& output : *outputs) options.stdoutTaken |= output == kStandardStream;
    }
    options.stdoutTaken |= arguments.summary == kStandardStream;
    const std::size_t count = drawings.size();
    const bool batch = count > 1;
    const bool readsStandardInput =
        std::any_of(drawings.begin(), drawings.end(),
                    [](const Drawing& d) { return d.name == kStandardStream; });
    // In a batch, Ctrl-C lets the drawings being imported finish and clean up, and starts no
    // other; a second one ends the program at once. Standard input is read without it, so that
    // Ctrl-C still ends a read that waits for a terminal.
    std::optional<InterruptCatcher> catcher;
    if (batch && !readsStandardInput) catcher.emplace();

    std::vector<DrawingReport> reports(count);
    std::vector<bool> finished(count, false);
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    std::size_t workers = std::min<std::size_t>(arguments.jobs, count);
    std::size_t running = workers;
    // Each worker takes the next drawing in input order, so that the one printed next is soon done.
    const auto work = [&] {
        for (std::size_t i; (i = next++) < count && !InterruptCatcher::Interrupted();) {
            DrawingReport report = ImportOne(drawings, i, arguments, options);
            const std::lock_guard<std::mutex> lock(mutex);
            reports[i] = std::move(report);
            finished[i] = true;
            changed.notify_all();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> threads;
    if (count == 1) {
        // One drawing is imported on this thread: the allocator's main arena grows faster than a
        // worker thread's, whose every growth is a system call.
        work();
    } else {
        for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(work);
    }

    BatchProgress progress(batch && !arguments.quiet && StderrIsTerminal());
    std::vector<SummaryRow> rows;
    int status = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return finished[i] || running == 0; });
        if (!finished[i]) break;  // Ctrl-C stopped the workers before this drawing
        lock.unlock();
        DrawingReport& report = reports[i];
        if (!report.messages.empty()) progress.Clear();
        for (const auto& [stream, text] : report.messages) Print(stream, text);
        report.messages = Messages();
        status = MoreSevere(status, report.row.status);
        rows.push_back(std::move(report.row));
        progress.Show(i + 1, count);
    }
    for (std::thread& thread : threads) thread.join();
    progress.Clear();
    if (InterruptCatcher::Interrupted()) EndByInterrupt();

    if (!arguments.summary.empty()) {
        const bool jsonLines = PathOf(arguments.summary).extension() == ".jsonl";
        const auto write = [&](std::ostream& out) { WriteSummaryTable(out, rows, jsonLines); };
        if (!WriteOutput(arguments.summary, write)) status = MoreSevere(status, kExitCannotWrite);
        if (InterruptCatcher::Interrupted()) EndByInterrupt();
    }
    // The count goes with the batch's status, as a summary does: stdout when it succeeded.
    if (batch && !arguments.quiet && (status != 0 || !options.stdoutTaken)) {
        Print(status != 0 ? stderr : stdout, CountByResult(rows));
    }
    return status;
}

}  // namespace Vexlor::DxfTool
