#include "analysis/wavelet_table.hpp"

#include "analysis/wavelet_coefficients.hpp"

namespace tav {

WaveletFamilyTable::WaveletFamilyTable() {
    for (const auto& fam : wavelet_data::kFamilies) {
        WaveletFamily f;
        f.name = fam.name;
        for (int i = 0; i < fam.count; ++i) {
            const auto& o = fam.orders[i];
            f.orders.push_back({o.name, o.length, std::vector<double>(o.h, o.h + o.length),
                                std::vector<double>(o.g, o.g + o.length)});
        }
        families_.push_back(std::move(f));
    }
}

const WaveletOrder* WaveletFamilyTable::Find(std::int32_t family, std::int32_t order) const {
    if (family < 0 || family >= static_cast<std::int32_t>(families_.size())) return nullptr;
    const auto& orders = families_[static_cast<std::size_t>(family)].orders;
    if (order < 0 || order >= static_cast<std::int32_t>(orders.size())) return nullptr;
    return &orders[static_cast<std::size_t>(order)];
}

const WaveletFamilyTable& AppWaveletTable() {
    static const WaveletFamilyTable table;
    return table;
}

}  // namespace tav
