#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/wavelet.hpp"
#include "analysis/wavelet_table.hpp"

namespace tav {
namespace {

const WaveletFamilyTable& Table() { return AppWaveletTable(); }

bool Orthogonal(std::size_t family) { return family <= kWaveletMeyer; }

TEST(WaveletTable, FamiliesOrdersAndLengths) {
    const auto& f = Table().Families();
    ASSERT_EQ(f.size(), 7u);
    const std::vector<std::string> names{"Haar", "Daubechies", "Coiflets", "Symlets", "Discrete Meyer",
                                         "Biorthogonal", "Reverse Biorthogonal"};
    const std::vector<std::size_t> counts{1, 45, 5, 36, 1, 15, 15};
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_EQ(f[i].name, names[i]);
        EXPECT_EQ(f[i].orders.size(), counts[i]) << names[i];
        for (const auto& o : f[i].orders) {
            EXPECT_EQ(o.h.size(), static_cast<std::size_t>(o.length));
            EXPECT_EQ(o.g.size(), static_cast<std::size_t>(o.length));
            if (Orthogonal(i)) {
                EXPECT_EQ(o.name, std::to_string(o.length)) << names[i];
            }
        }
    }
    EXPECT_EQ(f[1].orders[44].name, "88");
    EXPECT_EQ(f[1].orders[44].h, f[1].orders[43].h);
    EXPECT_EQ(f[3].orders.back().name, "74");
    const std::vector<int> biorLengths{2, 6, 10, 6, 10, 14, 18, 4, 8, 12, 16, 20, 10, 12, 18};
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(f[5].orders[i].length, biorLengths[i]) << f[5].orders[i].name;
        EXPECT_EQ(f[6].orders[i].length, biorLengths[i]) << f[6].orders[i].name;
    }
    EXPECT_EQ(f[5].orders[8].name, "4/7");
    EXPECT_EQ(f[6].orders[14].name, "17/11");
    EXPECT_EQ(Table().Find(7, 0), nullptr);
    EXPECT_EQ(Table().Find(0, 1), nullptr);
    EXPECT_EQ(Table().Find(1, -1), nullptr);
}

TEST(WaveletTable, SumsOrthonormalityAndQuadratureMirror) {
    const auto& f = Table().Families();
    for (std::size_t fi = 0; fi < f.size(); ++fi) {
        for (const auto& o : f[fi].orders) {
            const std::string what = f[fi].name + " " + o.name;
            const double tol = fi == kWaveletMeyer ? 2e-3 : 1e-13;  // the Meyer filter is an approximation
            double sh = 0, sg = 0;
            for (int k = 0; k < o.length; ++k) sh += o.h[k], sg += o.g[k];
            EXPECT_NEAR(sh, std::sqrt(2.0), tol) << what;
            EXPECT_NEAR(sg, 0.0, tol) << what;
            if (!Orthogonal(fi)) continue;
            for (int k = 0; k < o.length; ++k)
                ASSERT_DOUBLE_EQ(o.g[k], ((k % 2) ? 1 : -1) * o.h[o.length - 1 - k]) << what;
            const double orthoTol = fi == kWaveletMeyer ? 5e-3 : 1e-14;
            for (int shift = 0; shift < o.length; shift += 2) {
                double hh = 0, hg = 0;
                for (int k = 0; k + shift < o.length; ++k) {
                    hh += o.h[k] * o.h[k + shift];
                    hg += o.h[k] * o.g[k + shift] + o.h[k + shift] * o.g[k];
                }
                EXPECT_NEAR(hh, shift == 0 ? 1.0 : 0.0, orthoTol) << what << " shift " << shift;
                if (shift > 0) {
                    EXPECT_NEAR(hg, 0.0, 2 * orthoTol) << what << " shift " << shift;
                }
            }
        }
    }
}

TEST(WaveletTable, VanishingMomentsOfTheHighPass) {
    // Daubechies and Symlets of N taps/2 have N vanishing moments; checked up
    // to the order double precision can resolve.
    const auto& f = Table().Families();
    for (const std::size_t fi : {std::size_t{kWaveletDaubechies}, std::size_t{kWaveletSymlets}}) {
        for (const auto& o : f[fi].orders) {
            const int moments = std::min(o.length / 2, 6);
            for (int p = 0; p < moments; ++p) {
                double s = 0, scale = 0;
                for (int k = 0; k < o.length; ++k) {
                    const double t = (k - (o.length - 1) / 2.0) / o.length;
                    s += o.g[k] * std::pow(t, p);
                    scale += std::fabs(o.g[k] * std::pow(t, p));
                }
                EXPECT_NEAR(s / scale, 0.0, 1e-10) << f[fi].name << " " << o.name << " moment " << p;
            }
        }
    }
    const auto& coif5 = f[kWaveletCoiflets].orders[4];  // 10 vanishing moments
    for (int p = 0; p < 8; ++p) {
        double s = 0, scale = 0;
        for (int k = 0; k < coif5.length; ++k) {
            const double t = (k - 14.5) / 30.0;
            s += coif5.g[k] * std::pow(t, p);
            scale += std::fabs(coif5.g[k] * std::pow(t, p));
        }
        EXPECT_NEAR(s / scale, 0.0, 1e-9) << p;
    }
}

TEST(WaveletTable, PublishedValues) {
    const auto near = [](const std::vector<double>& v, const std::vector<double>& want, const char* what) {
        ASSERT_EQ(v.size(), want.size()) << what;
        for (std::size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], want[i], 5e-5) << what << " " << i;
    };
    const double r = 1 / std::sqrt(2.0);
    near(Table().Find(0, 0)->h, {r, r}, "haar h");
    near(Table().Find(0, 0)->g, {-r, r}, "haar g");
    near(Table().Find(1, 1)->h, {-0.1294, 0.2241, 0.8365, 0.4830}, "db2");
    near(Table().Find(5, 7)->h, {-0.3536, 1.0607, 1.0607, -0.3536}, "bior 4/4 h");
    near(Table().Find(5, 7)->g, {-0.1768, 0.5303, -0.5303, 0.1768}, "bior 4/4 g");
    near(Table().Find(6, 7)->h, {0.1768, 0.5303, 0.5303, 0.1768}, "rbio 4/4 h");
    near(Table().Find(6, 7)->g, {0.3536, 1.0607, -1.0607, -0.3536}, "rbio 4/4 g");
    near(Table().Find(5, 12)->h, {0, 0.0378, -0.0238, -0.1106, 0.3774, 0.8527, 0.3774, -0.1106, -0.0238, 0.0378},
         "bior 7/9 h");
    // Symlets pass every other check when time-reversed; pin the orientation.
    EXPECT_NEAR(Table().Find(3, 2)->h[0], -0.07576571478927333, 1e-11);
    EXPECT_NEAR(Table().Find(3, 7)->h[0], 0.0014009155259146807, 1e-11);
    EXPECT_EQ(Table().Find(4, 0)->h[0], 0.0) << "the Meyer filter's leading zero";
}

TEST(WaveletTable, PerfectReconstructionOfEveryOrthogonalOrder) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(300);
    for (auto& v : x) v = u(rng);
    const auto& f = Table().Families();
    for (std::int32_t fi = 0; fi <= kWaveletMeyer; ++fi) {
        for (std::int32_t oi = 0; oi < static_cast<std::int32_t>(f[static_cast<std::size_t>(fi)].orders.size()); ++oi) {
            WaveletResult r;
            ASSERT_EQ(WaveletTransform(Table(), x.data(), 300, r, fi, oi, 5), 1);
            const float tol = fi == kWaveletMeyer ? 1e-2f : 1e-5f;
            float worst = 0;
            for (int i = 0; i < 300; ++i) worst = std::max(worst, std::fabs(r.reconstructed[i] - x[i]));
            EXPECT_LT(worst, tol) << f[static_cast<std::size_t>(fi)].name << " " << oi;
        }
    }
}

}  // namespace
}  // namespace tav
