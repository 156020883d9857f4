// Layer visibility: the LAYER table's flags and the caller's choice of layers.
// SPDX-License-Identifier: MIT
#include "accurate/place/Layers.h"

#include <string>  // std::string

namespace Vexlor::Dxf {

bool LayerFilter::Visible(std::uint32_t layer) {
    if (m_known.size() < m_drawing.layers.Size()) m_known.resize(m_drawing.layers.Size(), kUnknown);
    signed char& known = m_known[layer];
    if (known == kUnknown) {
        bool visible = true;
        if (!m_options.hiddenLayers) {
            const auto at = m_drawing.layerTable.find(NameKey(m_drawing.layers.Raw(layer)));
            visible = at == m_drawing.layerTable.end() || !(at->second.frozen || at->second.off);
        }
        known = visible ? kShown : kHidden;
        if (visible && !m_options.layers.empty()) {
            // The caller names layers in UTF-8, as the contours name them.
            known = kNotChosen;
            const std::string chosen = NameKey(m_drawing.layers[layer]);
            for (const std::string& name : m_options.layers) {
                if (NameKey(name) == chosen) known = kShown;
            }
        }
    }
    return known == kShown;
}

const char* LayerFilter::Hidden(std::uint32_t layer) {
    return Visible(layer)              ? nullptr
           : m_known[layer] == kHidden ? "frozen or off layer"
                                       : "layer not chosen";
}

bool LayerFilter::Frozen(std::uint32_t layer) const {
    const auto at = m_drawing.layerTable.find(NameKey(m_drawing.layers.Raw(layer)));
    return at != m_drawing.layerTable.end() && at->second.frozen;
}

}  // namespace Vexlor::Dxf
