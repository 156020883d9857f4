// An outside program: derives a reader from the installed headers and imports a drawing.
// SPDX-License-Identifier: MIT
#include <cstdio>
#include <string>
#include <vector>

#include "CDXFReader.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "VexlorDxfPath.h"

// Set by the build to the standard the host chose; a package that forced another fails here.
static_assert(__cplusplus >= CONSUMER_CPLUSPLUS, "the package changed the host's C++ standard");

namespace {

// A host's own reader: counts the entities of the ENTITIES section.
class EntityCounter : public CDXFReader {
public:
    int entities = 0;

protected:
    EReturnCode _PostProcess() override { return eOk; }
    short _ReadEntitySection(std::istream& stream, unsigned short& code,
                             std::wstring& value) override {
        ++entities;
        return _ReadDefaultSection(stream, code, value);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    const std::wstring path = Vexlor::Dxf::WidePath(argv[1]);
    // One wchar_t per code point (a pair on Windows); each byte of no UTF-8 sequence (here an
    // overlong "/") becomes an unpaired surrogate, which the library refuses to open (result 2).
    const std::wstring expected = L"\u00E9\U0001F4D0\xDCC0\xDCAF";
    if (Vexlor::Dxf::WidePath("\xC3\xA9\xF0\x9F\x93\x90\xC0\xAF") != expected) return 1;

    EntityCounter counter;
    if (counter.Import(path) != CDXFReader::eOk || counter.entities != 4) {
        std::fprintf(stderr, "derived reader: unexpected result\n");
        return 1;
    }
    std::vector<Vexlor::Math::polyline<double, 2>> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    const CDXFReader::EReturnCode result = reader.Import(path);
    std::printf("result %d, %zu polyline(s)\n", static_cast<int>(result), polylines.size());
    return result == CDXFReader::eOk && polylines.size() == 1 ? 0 : 1;
}
