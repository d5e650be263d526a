// The wavelet families offered by the wavelet analysis, each with its orders
// and their decomposition filter pairs. Built once and never changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav {

enum WaveletFamilyIndex : std::int32_t {
    kWaveletHaar = 0,
    kWaveletDaubechies = 1,
    kWaveletCoiflets = 2,
    kWaveletSymlets = 3,
    kWaveletMeyer = 4,
    kWaveletBiorthogonal = 5,
    kWaveletReverseBiorthogonal = 6,
};

struct WaveletOrder {
    std::string name;         // as the order list shows it ("4", "2/6", ...)
    std::int32_t length = 0;  // taps of h and of g
    std::vector<double> h;    // decomposition low-pass
    std::vector<double> g;    // decomposition high-pass
};

struct WaveletFamily {
    std::string name;
    std::vector<WaveletOrder> orders;
};

class WaveletFamilyTable {
public:
    WaveletFamilyTable();

    const std::vector<WaveletFamily>& Families() const { return families_; }
    // nullptr when the family or order is outside the table.
    const WaveletOrder* Find(std::int32_t family, std::int32_t order) const;

private:
    std::vector<WaveletFamily> families_;
};

// The table the application builds once for the whole run.
const WaveletFamilyTable& AppWaveletTable();

}  // namespace tav
