// Tests of the section driver, the section loops, the skip readers and the hook protocol.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <clocale>     // std::setlocale
#include <functional>  // std::function
#include <iterator>    // std::istreambuf_iterator
#include <sstream>     // std::istringstream
#include <stdexcept>   // std::out_of_range
#include <string>      // std::string, std::wstring
#include <utility>     // std::move
#include <vector>      // std::vector

#include "CDXFReader.h"
#include "DxfTestSupport.h"

namespace {

using VexlorDxfTest::DxfText;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Group;
using VexlorDxfTest::TempFile;

using Hook = std::function<short(std::istream&, unsigned short&, std::wstring&)>;

// A host's reader. Every hook call is logged as "<hook> <code>/<value>;" and then handled as the
// base class does, or once by `nextHook`; each run of _PostProcess is counted.
class RecordingReader : public CDXFReader {
public:
    using CDXFReader::_ReadBlocks;
    using CDXFReader::_ReadClasses;
    using CDXFReader::_ReadDefaultSection;
    using CDXFReader::_ReadEntities;
    using CDXFReader::_ReadHeader;
    using CDXFReader::_ReadObjects;
    using CDXFReader::_ReadTables;
    using CDXFReader::_ReadThumbnailImage;
    using CDXFReader::_SkipBody;

    std::string calls;
    int postProcessRuns = 0;
    EReturnCode postProcessResult = eIntersecting;
    Hook nextHook;

protected:
    EReturnCode _PostProcess() override {
        ++postProcessRuns;
        return postProcessResult;
    }
    short _ReadBlockSection(std::istream& s, unsigned short& code, std::wstring& value) override {
        if (Hook hook = Record("Blocks", code, value)) return hook(s, code, value);
        return CDXFReader::_ReadBlockSection(s, code, value);
    }
    short _ReadTableSection(std::istream& s, unsigned short& code, std::wstring& value) override {
        if (Hook hook = Record("Tables", code, value)) return hook(s, code, value);
        return CDXFReader::_ReadTableSection(s, code, value);
    }
    short _ReadEntitySection(std::istream& s, unsigned short& code, std::wstring& value) override {
        if (Hook hook = Record("Entities", code, value)) return hook(s, code, value);
        return CDXFReader::_ReadEntitySection(s, code, value);
    }
    short _ReadObjectSection(std::istream& s, unsigned short& code, std::wstring& value) override {
        if (Hook hook = Record("Objects", code, value)) return hook(s, code, value);
        return CDXFReader::_ReadObjectSection(s, code, value);
    }

private:
    Hook Record(const char* hookName, unsigned short code, const std::wstring& value) {
        calls += std::string(hookName) + ' ' + std::to_string(code) + '/';
        for (wchar_t c : value) calls += static_cast<char>(c);  // test values are ASCII
        calls += ';';
        Hook hook = std::move(nextHook);
        nextHook = nullptr;
        return hook;
    }
};

std::string Rest(std::istringstream& stream) {
    stream.clear();
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Results carry meaning only in their sign; positive ones are compared as 1.
short Sign(short result) { return result > 0 ? 1 : result; }

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// DXF text of a section: its start, name, body groups and 0/"ENDSEC".
std::string Section(const std::string& name, std::vector<Group> body) {
    body.insert(body.begin(), {{0, "SECTION"}, {2, name}});
    body.push_back({0, "ENDSEC"});
    return DxfText(body);
}

const std::string kMarker = "0\nEOF\n";
const std::string kLineSection = Section("ENTITIES", {{0, "LINE"}, {8, "0"}, {10, "1"}});
const std::string kCircleSection = Section("ENTITIES", {{0, "CIRCLE"}});

// --- Section loops --------------------------------------------------------------------------

enum class Loop { Blocks, Entities, Objects };

struct LoopRow {
    const char* name;
    Loop loop;
    std::string body;  // what follows the section name
    short sign;
    std::string calls;
    std::string rest;
};

class SectionLoop : public testing::TestWithParam<LoopRow> {};

TEST_P(SectionLoop, HandsItemsToItsHook) {
    const LoopRow& row = GetParam();
    RecordingReader reader;
    std::istringstream stream(row.body);
    const short result = row.loop == Loop::Blocks     ? reader._ReadBlocks(stream)
                         : row.loop == Loop::Entities ? reader._ReadEntities(stream)
                                                      : reader._ReadObjects(stream);
    EXPECT_EQ(Sign(result), row.sign);
    EXPECT_EQ(reader.calls, row.calls);
    EXPECT_EQ(Rest(stream), row.rest);
}

INSTANTIATE_TEST_SUITE_P(
    SectionReader, SectionLoop,
    testing::Values(
        LoopRow{"EmptySection", Loop::Entities, "0\nENDSEC\n0\nEOF\n", 1, "", "0\nEOF\n"},
        LoopRow{"EmptySectionEndsFile", Loop::Entities, "0\nENDSEC", 0, "", ""},
        LoopRow{"ItemsInFileOrder", Loop::Entities,
                "0\nLINE\n8\n0\n0\nARC\n10\n1\n0\nENDSEC\n0\nEOF\n", 1,
                "Entities 0/LINE;Entities 0/ARC;", "0\nEOF\n"},
        LoopRow{"EndsecWithOtherCodeIsItemData", Loop::Entities, "0\nLINE\n2\nENDSEC\n0\nENDSEC\nR",
                1, "Entities 0/LINE;", "R"},
        LoopRow{"LowerCaseEndsecIsItem", Loop::Entities, "0\nendsec\n0\nENDSEC\nR", 1,
                "Entities 0/endsec;", "R"},
        LoopRow{"TrailingBlankEndsecIsItem", Loop::Entities, "0\nENDSEC \n0\nENDSEC\nR", 1,
                "Entities 0/ENDSEC ;", "R"},
        // A non-zero first code ends the loop at once, leaving the rest to the driver.
        LoopRow{"FirstGroupWithOtherCode", Loop::Entities, "8\nLINE\n0\nENDSEC\n", 1, "",
                "0\nENDSEC\n"},
        LoopRow{"MissingEndsecMarkerBecomesItem", Loop::Entities, "0\nLINE\n8\n0\n0\nEOF\n", -1,
                "Entities 0/LINE;Entities 0/EOF;", ""},
        LoopRow{"EndOfFileInsideItem", Loop::Entities, "0\nLINE\n8\n0", -1, "Entities 0/LINE;", ""},
        // An item name whose line ends the file is never handed to the hook.
        LoopRow{"ItemNameEndsFile", Loop::Entities, "0\nLINE\n8\n0\n0\nARC", -1, "Entities 0/LINE;",
                ""},
        LoopRow{"EndsecEndsFileAfterItem", Loop::Entities, "0\nLINE\n8\n0\n0\nENDSEC", 0,
                "Entities 0/LINE;", ""},
        LoopRow{"CommentsNeverReachHook", Loop::Entities,
                "999\nLINE\n0\nLINE\n999\nENDSEC\n8\n0\n999\n0\n0\nENDSEC\nR", 1,
                "Entities 0/LINE;", "R"},
        LoopRow{"EmptyBody", Loop::Entities, "", -1, "", ""},
        LoopRow{"MalformedCodeLineInItem", Loop::Entities, "0\nLINE\n8.0\n0\n0\nENDSEC\n", -1,
                "Entities 0/LINE;", "0\n0\n0\nENDSEC\n"},
        LoopRow{"BlocksCallBlockHook", Loop::Blocks, "0\nBLOCK\n2\nB1\n0\nENDBLK\n0\nENDSEC\nR", 1,
                "Blocks 0/BLOCK;Blocks 0/ENDBLK;", "R"},
        LoopRow{"ObjectsSkippedItemByItem", Loop::Objects,
                "0\nDICTIONARY\n3\nA\n350\n1F\n0\nLAYOUT\n1\nL\n0\nENDSEC\nR", 1,
                "Objects 0/DICTIONARY;Objects 0/LAYOUT;", "R"}),
    RowName<LoopRow>);

// --- Hook protocol --------------------------------------------------------------------------

struct HookRow {
    const char* name;
    short hookResult;
    unsigned short lookAheadCode;
    std::wstring lookAheadValue;
    short sign;
    std::string calls;
};

class HookProtocol : public testing::TestWithParam<HookRow> {};

// The first hook consumes nothing and returns the row's result and look-ahead group.
TEST_P(HookProtocol, LoopActsOnResultAndLookAhead) {
    const HookRow& row = GetParam();
    RecordingReader reader;
    reader.nextHook = [&row](std::istream&, unsigned short& code, std::wstring& value) {
        code = row.lookAheadCode;
        value = row.lookAheadValue;
        return row.hookResult;
    };
    std::istringstream stream("0\nITEM\n8\nx\n0\nENDSEC\n");
    EXPECT_EQ(Sign(reader._ReadEntities(stream)), row.sign);
    EXPECT_EQ(reader.calls, row.calls);
}

INSTANTIATE_TEST_SUITE_P(
    SectionReader, HookProtocol,
    testing::Values(HookRow{"NegativeFails", -1, 0, L"ENDSEC", -1, "Entities 0/ITEM;"},
                    HookRow{"ZeroWithEndsecEnds", 0, 0, L"ENDSEC", 0, "Entities 0/ITEM;"},
                    HookRow{"ZeroWithOtherCodeEnds", 0, 8, L"x", 0, "Entities 0/ITEM;"},
                    HookRow{"ZeroWithItemFails", 0, 0, L"NEXT", -1, "Entities 0/ITEM;"},
                    HookRow{"PositiveWithEndsecEnds", 5, 0, L"ENDSEC", 1, "Entities 0/ITEM;"},
                    HookRow{"PositiveWithOtherCodeEnds", 3, 8, L"x", 1, "Entities 0/ITEM;"},
                    HookRow{"PositiveWithItemGoesOn", 1, 0, L"NEXT", 1,
                            "Entities 0/ITEM;Entities 0/NEXT;"}),
    RowName<HookRow>);

// --- Skip readers ---------------------------------------------------------------------------

struct SkipRow {
    const char* name;
    std::string body;
    short sign;
    std::string rest;
};

class SkipReader : public testing::TestWithParam<SkipRow> {};

// The four skip readers and the driver's skip of unknown sections behave alike; none calls a hook.
TEST_P(SkipReader, SkipsToEndsecUnread) {
    using Skip = std::function<short(RecordingReader&, std::istream&)>;
    const std::pair<const char*, Skip> skippers[] = {
        {"Header", [](RecordingReader& r, std::istream& s) { return r._ReadHeader(s); }},
        {"Classes", [](RecordingReader& r, std::istream& s) { return r._ReadClasses(s); }},
        {"Tables", [](RecordingReader& r, std::istream& s) { return r._ReadTables(s); }},
        {"Thumbnail", [](RecordingReader& r, std::istream& s) { return r._ReadThumbnailImage(s); }},
        {"SkipBody",
         [](RecordingReader& r, std::istream& s) { return r._SkipBody(s, 0, L"ENDSEC"); }},
    };
    for (const auto& [skipperName, skip] : skippers) {
        SCOPED_TRACE(skipperName);
        RecordingReader reader;
        std::istringstream stream(GetParam().body);
        EXPECT_EQ(Sign(skip(reader, stream)), GetParam().sign);
        EXPECT_EQ(reader.calls, "");
        EXPECT_EQ(Rest(stream), GetParam().rest);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SectionReader, SkipReader,
    testing::Values(SkipRow{"SkipsItems",
                            "9\n$ACADVER\n1\nAC1009\n0\nTABLE\n0\nENDTAB\n0\nENDSEC\n0\nEOF\n", 1,
                            "0\nEOF\n"},
                    SkipRow{"EndsecWithOtherCodeSkipped", "2\nENDSEC\n0\nENDSEC\nR", 1, "R"},
                    SkipRow{"InexactEndsecSkipped", "0\nendsec\n0\nENDSEC \n0\nENDSEC\nR", 1, "R"},
                    SkipRow{"CommentEndsecSkipped", "999\nENDSEC\n0\nENDSEC\nR", 1, "R"},
                    SkipRow{"EndsecEndsFile", "0\nENDSEC", 0, ""},
                    SkipRow{"MissingEndsecSkipsMarker", "0\nEOF\n", -1, ""},
                    // Only the terminating group may run into the end of the file.
                    SkipRow{"OtherGroupEndsFile", "9\n$X", -1, ""},
                    SkipRow{"EmptyBody", "", -1, ""},
                    SkipRow{"MalformedCodeLine", "9\n$X\n1x\n0\nENDSEC\n", -1, "\n0\nENDSEC\n"}),
    RowName<SkipRow>);

TEST(SectionReader, SkipBodyMatchesCodeAndNameExactly) {
    RecordingReader reader;
    std::istringstream stream("0\nB\n2\nA\n2\nB \n2\nb\n2\nB\nR");
    EXPECT_GT(reader._SkipBody(stream, 2, L"B"), 0);
    EXPECT_EQ(Rest(stream), "R");
}

// --- Default item skip ----------------------------------------------------------------------

struct DefaultRow {
    const char* name;
    std::wstring itemName;  // the group the skip is called with
    std::string body;
    short sign;
    std::wstring lookAhead;  // a group of code 0, checked for results >= 0
    std::string rest;
};

class DefaultSection : public testing::TestWithParam<DefaultRow> {};

TEST_P(DefaultSection, SkipsOneItem) {
    const DefaultRow& row = GetParam();
    RecordingReader reader;
    std::istringstream stream(row.body);
    unsigned short code = 0;
    std::wstring value = row.itemName;
    EXPECT_EQ(Sign(reader._ReadDefaultSection(stream, code, value)), row.sign);
    if (row.sign >= 0) {
        EXPECT_EQ(code, 0);
        EXPECT_EQ(value, row.lookAhead);
    }
    EXPECT_EQ(Rest(stream), row.rest);
}

INSTANTIATE_TEST_SUITE_P(
    SectionReader, DefaultSection,
    testing::Values(DefaultRow{"StopsAtNextItem", L"LINE", "8\n0\n10\n1\n0\nARC\nR", 1, L"ARC",
                               "R"},
                    DefaultRow{"StopsAtEndsec", L"LINE", "8\n0\n0\nENDSEC\nR", 1, L"ENDSEC", "R"},
                    // The group it is called with counts as consumed, whatever it says.
                    DefaultRow{"ReadsAtLeastOneGroup", L"ENDSEC", "0\nARC\nR", 1, L"ARC", "R"},
                    DefaultRow{"NextItemEndsFile", L"LINE", "8\n0\n0\nARC", 0, L"ARC", ""},
                    DefaultRow{"OtherGroupEndsFile", L"LINE", "8\n0", -1, L"", ""},
                    DefaultRow{"EndOfFileBeforeNextItem", L"LINE", "8\n0\n", -1, L"", ""},
                    DefaultRow{"MalformedCodeLine", L"LINE", "8\n0\n 1 0\nX\n", -1, L"", "\nX\n"}),
    RowName<DefaultRow>);

// --- Import ---------------------------------------------------------------------------------

struct ImportRow {
    const char* name;
    std::string bytes;
    int result;  // 4 is what _PostProcess answers
    std::string calls;
};

class ImportFile : public testing::TestWithParam<ImportRow> {};

TEST_P(ImportFile, ResultAndSectionDispatch) {
    const ImportRow& row = GetParam();
    TempFile file;
    file.Write(row.bytes);
    RecordingReader reader;
    EXPECT_EQ(reader.Import(file.WidePath()), row.result);
    EXPECT_EQ(reader.postProcessRuns, row.result == CDXFReader::eIntersecting ? 1 : 0);
    EXPECT_EQ(reader.calls, row.calls);
}

std::string CommentsThenMarker(int comments) {
    std::string text;
    for (int i = 0; i < comments; ++i) text += "999\nc\n";
    return text + kMarker;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

const char* const kLine = "Entities 0/LINE;";

INSTANTIATE_TEST_SUITE_P(
    SectionReader, ImportFile,
    testing::Values(
        ImportRow{"EmptyFile", "", 1, ""},  //
        ImportRow{"MarkerOnly", kMarker, 4, ""},
        ImportRow{"MarkerWithoutLineFeed", "0\nEOF", 4, ""},
        ImportRow{"MarkerWithOtherCode", "8\nEOF\n", 4, ""},
        ImportRow{"MarkerWithTrailingBlank", "0\nEOF \n", 1, ""},
        ImportRow{"NoMarker", kLineSection, 1, kLine},
        ImportRow{"CrLfDrawing", WithCrLf(kLineSection + kMarker), 4, kLine},
        ImportRow{"CrOnlyDrawing", "0\rSECTION\r2\rENTITIES\r0\rENDSEC\r0\rEOF\r", 1, ""},
        ImportRow{"StrayTopLevelGroup", kLineSection + "8\n0\n" + kCircleSection + kMarker, 1,
                  kLine},
        ImportRow{"SectionWithTrailingBlank", "0\nSECTION \n" + kLineSection.substr(10) + kMarker,
                  1, ""},
        ImportRow{"SectionWithOtherCode", "1\nSECTION\n" + kLineSection.substr(10) + kMarker, 1,
                  ""},
        ImportRow{"SectionNameWithOtherCode", "0\nSECTION\n3\nENTITIES\n0\nENDSEC\n" + kMarker, 1,
                  ""},
        ImportRow{"SectionStartEndsFile", "0\nSECTION", 1, ""},
        ImportRow{"SectionNameEndsFile", "0\nSECTION\n2\nENTITIES", 1, ""},
        ImportRow{"LowerCaseSectionNameSkipped", Section("entities", {{0, "LINE"}}) + kMarker, 4,
                  ""},
        ImportRow{"TrailingBlankSectionNameSkipped", Section("ENTITIES ", {{0, "LINE"}}) + kMarker,
                  4, ""},
        ImportRow{"EverySectionDispatched",
                  Section("OBJECTS", {{0, "DICTIONARY"}, {3, "A"}}) +
                      Section("THUMBNAILIMAGE", {{90, "4"}, {310, "ABCD"}}) +
                      Section("TABLES", {{0, "TABLE"}, {2, "LAYER"}, {0, "ENDTAB"}}) +
                      Section("CLASSES", {{0, "CLASS"}, {1, "X"}}) +
                      Section("BLOCKS", {{0, "BLOCK"}, {0, "ENDBLK"}}) +
                      Section("HEADER", {{9, "$ACADVER"}, {1, "AC1009"}}) +
                      Section("UNKNOWN", {{0, "LINE"}}) + kLineSection + kMarker,
                  4, "Objects 0/DICTIONARY;Blocks 0/BLOCK;Blocks 0/ENDBLK;Entities 0/LINE;"},
        ImportRow{"CommentsEverywhere",
                  "999\na\n0\nSECTION\n999\nb\n2\nENTITIES\n999\nc\n0\nLINE\n999\nd\n8\n0\n"
                  "999\ne\n0\nENDSEC\n999\nf\n0\nEOF\n",
                  4, kLine},
        ImportRow{"TwoEntitiesSectionsInOrder", kLineSection + kCircleSection + kMarker, 4,
                  "Entities 0/LINE;Entities 0/CIRCLE;"},
        ImportRow{"HeaderWithoutEndsec",
                  "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n" + kMarker, 1, ""},
        ImportRow{"EntitiesWithoutEndsec", "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n" + kMarker, 1,
                  "Entities 0/LINE;Entities 0/EOF;"},
        // A failed section stops the import: read on from the bad code line "8x", the rest of
        // the file would be a sound section (empty code line, "SECTION", ...) and the marker.
        ImportRow{"FailingSectionBeforeSoundOne",
                  "0\nSECTION\n2\nENTITIES\n0\nLINE\n8x\n" + kCircleSection.substr(2) + kMarker, 1,
                  kLine},
        ImportRow{"FailingSkippedSection",
                  "0\nSECTION\n2\nHEADER\n9\n$X\n1x\n" + kCircleSection.substr(2) + kMarker, 1, ""},
        ImportRow{"EndsecEndsFile", "0\nSECTION\n2\nENTITIES\n0\nLINE\n0\nENDSEC", 1, kLine},
        ImportRow{"FirstBodyGroupWithOtherCode",
                  Section("ENTITIES", {{8, "0"}, {0, "LINE"}}) + kMarker, 1, ""},
        ImportRow{"FirstBodyGroupWithOtherCodeThenSection",
                  "0\nSECTION\n2\nENTITIES\n8\n0\n" + kLineSection + kMarker, 4, kLine},
        ImportRow{"FirstBodyGroupWithOtherCodeThenMarker",
                  "0\nSECTION\n2\nBLOCKS\n8\n0\n" + kMarker, 4, ""},
        ImportRow{"CommentCountWrapsAtTopLevel", CommentsThenMarker(32767), 1, ""}),
    RowName<ImportRow>);

TEST(SectionReader, ImportReturnsWhatPostProcessAnswers) {
    TempFile file;
    file.Write(DxfText(EntitiesDrawing({{0, "LINE"}})));
    for (CDXFReader::EReturnCode answer :
         {CDXFReader::eOk, CDXFReader::eReadError, CDXFReader::eEmpty, CDXFReader::eIntersecting}) {
        RecordingReader reader;
        reader.postProcessResult = answer;
        EXPECT_EQ(reader.Import(file.WidePath()), answer);
        EXPECT_EQ(reader.postProcessRuns, 1);
    }
}

TEST(SectionReader, MissingFileCannotBeOpened) {
    TempFile file;  // never written
    RecordingReader reader;
    EXPECT_EQ(reader.Import(file.WidePath()), CDXFReader::eOpenError);
    EXPECT_EQ(reader.postProcessRuns, 0);
}

// The framework keeps nothing from a failed import.
TEST(SectionReader, ImportAgainAfterFailure) {
    TempFile broken(".broken.dxf");
    broken.Write("0\nSECTION\n2\nENTITIES\n0\nLINE\n");
    TempFile sound;
    sound.Write(DxfText(EntitiesDrawing({{0, "ARC"}})));
    RecordingReader reader;
    EXPECT_EQ(reader.Import(broken.WidePath()), CDXFReader::eReadError);
    EXPECT_EQ(reader.Import(sound.WidePath()), CDXFReader::eIntersecting);
    EXPECT_EQ(reader.postProcessRuns, 1);
    EXPECT_EQ(reader.calls, "Entities 0/LINE;Entities 0/ARC;");
}

TEST(SectionReader, HookExceptionPassesOutOfImport) {
    TempFile file;
    file.Write(DxfText(EntitiesDrawing({{0, "LINE"}, {10, "x"}})));
    RecordingReader reader;
    reader.nextHook = [](std::istream&, unsigned short&, std::wstring&) -> short {
        throw std::out_of_range("coordinate out of range");
    };
    try {
        reader.Import(file.WidePath());
        ADD_FAILURE() << "Import returned instead of passing the exception on";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "coordinate out of range");
    }
    EXPECT_EQ(reader.postProcessRuns, 0);
}

// --- Wide file names ------------------------------------------------------------------------

// The temporary file's path with the suffix it was made with replaced by a wide one.
std::wstring WidePathWithSuffix(const TempFile& file, const std::string& narrowSuffix,
                                const std::wstring& wideSuffix) {
    const std::string narrow = file.Path().string();
    const std::string prefix = narrow.substr(0, narrow.size() - narrowSuffix.size());
    return std::wstring(prefix.begin(), prefix.end()) + wideSuffix;
}

class ImportPath : public testing::TestWithParam<const char*> {};

// The wide name is encoded as UTF-8 whatever locale the process has set.
TEST_P(ImportPath, NonAsciiNameOpensInEveryLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, GetParam()) == nullptr) GTEST_SKIP() << "locale not installed";
    const std::string utf8Suffix = u8"_Zeichnung_\u00e4\u00f6\u00fc_\u56f3.dxf";
    TempFile file(utf8Suffix);
    file.Write(kMarker);
    RecordingReader reader;
    const std::wstring wideSuffix = L"_Zeichnung_\u00e4\u00f6\u00fc_\u56f3.dxf";
    EXPECT_EQ(reader.Import(WidePathWithSuffix(file, utf8Suffix, wideSuffix)),
              CDXFReader::eIntersecting);
    std::setlocale(LC_ALL, saved.c_str());
}

INSTANTIATE_TEST_SUITE_P(SectionReader, ImportPath, testing::Values("C", "C.UTF-8"),
                         [](const testing::TestParamInfo<const char*>& locale) {
                             return std::string(locale.param[1] == '\0' ? "C" : "CUtf8");
                         });

// A file named by a lax encoding of the bad path exists, so opening it would be a fault.
TEST(SectionReader, WidePathWithoutCodePointCannotBeOpened) {
    const std::string laxSurrogate = "_\xED\xA0\x80.dxf";  // U+D800 encoded as if a code point
    TempFile surrogateFile(laxSurrogate);
    surrogateFile.Write(kMarker);
    std::wstring surrogate = L"_";
    surrogate.push_back(static_cast<wchar_t>(0xD800));
    surrogate += L".dxf";

    TempFile truncatedFile("_nul");  // what the path cut at its NUL would name
    truncatedFile.Write(kMarker);
    const std::wstring withNul(L"_nul\0.dxf", 9);

    RecordingReader reader;
    EXPECT_EQ(reader.Import(WidePathWithSuffix(surrogateFile, laxSurrogate, surrogate)),
              CDXFReader::eOpenError);
    EXPECT_EQ(reader.Import(WidePathWithSuffix(truncatedFile, "_nul", withNul)),
              CDXFReader::eOpenError);
    EXPECT_EQ(reader.postProcessRuns, 0);
}

}  // namespace

namespace {

// A directory opens as a file on some systems but cannot be read: that is a read failure of
// the import, never an exception from the file buffer.
TEST(ImportFailure, DirectoryIsReadFailureNotException) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "vexlor_dxf_ImportFailure_Directory";
    std::filesystem::create_directories(folder);
    struct Counter : CDXFReader {
        EReturnCode _PostProcess() override { return eOk; }
    } reader;
    const std::string narrow = folder.string();
    CDXFReader::EReturnCode result = CDXFReader::eOk;
    EXPECT_NO_THROW(result = reader.Import(std::wstring(narrow.begin(), narrow.end())));
    EXPECT_TRUE(result == CDXFReader::eReadError || result == CDXFReader::eOpenError) << result;
    std::filesystem::remove(folder);
}

}  // namespace
