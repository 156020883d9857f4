// The abstract ASCII DXF reader: group reading, section walking and the hooks derived readers fill.
// SPDX-License-Identifier: MIT
#pragma once

#include <istream>  // std::istream
#include <string>   // std::wstring

#include "VexlorDxfExport.h"

/// Reads an ASCII DXF file group by group and section by section. The blocks, entities and
/// objects sections reach a derived class item by item through virtual hooks; every other
/// section is skipped unread. When the top-level end marker is met, `_PostProcess` decides the
/// result of `Import`.
///
/// Every reading member returns a `short`: negative (always -1) is failure, 0 means the end of
/// the file was reached, positive is success. Callers test only the sign.
class VEXLOR_DXF_API CDXFReader {
public:
    /// The result of `Import` and of `_PostProcess`.
    enum EReturnCode : int {
        /// The derived class's post-processing succeeded.
        eOk = 0,
        /// The file was opened but could not be read to its end-of-file marker.
        eReadError = 1,
        /// The file could not be opened for reading.
        eOpenError = 2,
        /// The drawing was read, but no polyline resulted.
        eEmpty = 3,
        /// Polylines of the result intersect.
        eIntersecting = 4,
    };

    /// One insert of a block: the inserted block's name and its insertion point as written in
    /// the file (y not negated; z stored but not used).
    struct EntityInsert {
        std::wstring blockName;
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
    };

    CDXFReader() = default;
    CDXFReader(const CDXFReader& other) = default;
    /// Does nothing: a reader of the framework holds no data of its own.
    CDXFReader& operator=(const CDXFReader& other) = default;
    virtual ~CDXFReader() = default;

    /// Reads the whole file named by `fileName` (on POSIX systems the wide path is encoded as
    /// UTF-8, one code point per wide character). Returns 2 when the file cannot be opened, 1
    /// when it cannot be read to its top-level "EOF" marker, and otherwise the result of
    /// `_PostProcess`. The file is closed on every return. Exceptions thrown by hooks (number
    /// conversions, memory) pass through unchanged, after the file has been closed.
    EReturnCode Import(const std::wstring& fileName);

protected:
    /// Called once, after the end-of-file marker was reached at the top level with every
    /// section before it read; its result becomes the result of `Import`.
    virtual EReturnCode _PostProcess() = 0;

    /// Hook for one item of the blocks section. On entry `code` is 0 and `value` the item's
    /// type name (never "ENDSEC"); on return they hold the first group not consumed, which the
    /// stream stands just after. The default skips the item with `_ReadDefaultSection`.
    virtual short _ReadBlockSection(std::istream& stream, unsigned short& code,
                                    std::wstring& value);
    /// Hook for table items. No reader of the framework calls it: the tables section is
    /// skipped whole. The default skips the item.
    virtual short _ReadTableSection(std::istream& stream, unsigned short& code,
                                    std::wstring& value);
    /// Hook for one item of the entities section; the same contract as `_ReadBlockSection`.
    virtual short _ReadEntitySection(std::istream& stream, unsigned short& code,
                                     std::wstring& value);
    /// Hook for one item of the objects section; the same contract as `_ReadBlockSection`.
    virtual short _ReadObjectSection(std::istream& stream, unsigned short& code,
                                     std::wstring& value);

    /// Reads one code line. 1: the line was read to its end and `code` holds its number,
    /// modulo 65536 (0 for a line without digits). 0: the end of the file came first; `code`
    /// holds the digits read so far. -1: a byte that may not stand in a code line; the stream
    /// stands just after it and `code` holds the digits before it.
    short _GetNumber(std::istream& stream, unsigned short& code);
    /// Reads one value line into `value`, leading blanks dropped, every later byte widened
    /// to one wide character. 1: the line was read to its end. 0: the end of the file came
    /// first; `value` holds what was read. Never negative.
    short _GetString(std::istream& stream, std::wstring& value);
    /// Reads a code line and its value line, passing over 999 comment groups. n > 0: the number
    /// of groups read, comments included. 0: the value line ran into the end of the file.
    /// -1: no code could be read.
    short _ReadGroup(std::istream& stream, unsigned short& code, std::wstring& value);

    /// Section loop of the blocks section: hands every item to `_ReadBlockSection`.
    short _ReadBlocks(std::istream& stream);
    /// Section loop of the entities section: hands every item to `_ReadEntitySection`.
    short _ReadEntities(std::istream& stream);
    /// Section loop of the objects section: hands every item to `_ReadObjectSection`.
    short _ReadObjects(std::istream& stream);
    /// Skips the header section to its 0/"ENDSEC" group.
    short _ReadHeader(std::istream& stream);
    /// Skips the classes section to its 0/"ENDSEC" group.
    short _ReadClasses(std::istream& stream);
    /// Skips the tables section to its 0/"ENDSEC" group; `_ReadTableSection` is never called.
    short _ReadTables(std::istream& stream);
    /// Skips the thumbnail section to its 0/"ENDSEC" group.
    short _ReadThumbnailImage(std::istream& stream);

    /// Reads and drops groups until one with exactly this code and value has been consumed.
    /// Returns that group's result, or -1 when the file ends before it.
    short _SkipBody(std::istream& stream, unsigned short code, const std::wstring& name);
    /// Skips the current item: reads at least one group, and stops after the next group of
    /// code 0, which it leaves in `code` and `value`. Returns that group's result, or -1 when
    /// the file ends before it.
    short _ReadDefaultSection(std::istream& stream, unsigned short& code, std::wstring& value);
};
