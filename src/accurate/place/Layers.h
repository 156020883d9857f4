// Which layers' entities the accurate import gives: not frozen or off (unless asked), and among
// the layers chosen.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>  // std::uint32_t
#include <vector>   // std::vector

#include "VexlorDxfContours.h"
#include "accurate/read/Drawing.h"

namespace Vexlor::Dxf {

class LayerFilter {
public:
    LayerFilter(const Drawing& drawing, const ContourOptions& options)
        : m_drawing(drawing), m_options(options) {}

    /// Whether the entities of layer `layer` (an index of the drawing's layer names) are given.
    bool Visible(std::uint32_t layer);
    /// Why a layer's entities are left out, or null when they are not.
    const char* Hidden(std::uint32_t layer);
    /// Whether the LAYER table marks the layer frozen.
    bool Frozen(std::uint32_t layer) const;
    /// Whether the layer is left out for being frozen or off, not for the choice of layers.
    bool HiddenByTable(std::uint32_t layer) { return !Visible(layer) && m_known[layer] == kHidden; }

private:
    enum : signed char { kUnknown = -1, kHidden = 0, kShown = 1, kNotChosen = 2 };

    const Drawing& m_drawing;
    const ContourOptions& m_options;
    std::vector<signed char> m_known;  // by layer index
};

}  // namespace Vexlor::Dxf
