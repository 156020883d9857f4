// An outside program: derives a reader from the installed headers and imports a drawing.
// SPDX-License-Identifier: MIT
#include <cstdio>
#include <string>
#include <vector>

#include "CDXFReader.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

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
    const std::string narrow = argv[1];
    const std::wstring path(narrow.begin(), narrow.end());

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
