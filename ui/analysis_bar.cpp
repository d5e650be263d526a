#include "ui/analysis_bar.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

#include "analysis/analysis_entry.hpp"
#include "analysis/display/display_model.hpp"
#include "analysis/spectrum.hpp"
#include "analysis/wavelet_table.hpp"
#include "model/document.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

const char* const kTypes[] = {"时域分析", "测点叠加", "频域分析", "小波分析"};
const char* const kTimeScopes[] = {"单个测点", "当前桩所有测点", "当前桩选中测点", "所有测点", "所有测点(紧凑)", "波列显示"};
const char* const kStatistics[] = {"平均值", "自相关", "互相关"};
const char* const kAverageScopes[] = {"当前桩所有测点", "当前桩选中测点"};

}  // namespace

AnalysisBar::AnalysisBar(const CTAV_AnalyserDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("analysisBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    type_ = new QComboBox(this);
    type_->setObjectName(QStringLiteral("analysisType"));
    for (const char* t : kTypes) type_->addItem(QString::fromUtf8(t));
    layout->addWidget(new QLabel(QStringLiteral("分析类型"), this));
    layout->addWidget(type_);
    for (std::size_t k = 0; k < lists_.size(); ++k) {
        labels_[k] = new QLabel(this);
        lists_[k] = new QComboBox(this);
        lists_[k]->setObjectName(QStringLiteral("analysisList%1").arg(k + 1));
        lists_[k]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        layout->addWidget(labels_[k]);
        layout->addWidget(lists_[k]);
        connect(lists_[k], &QComboBox::currentIndexChanged, this, [this] { Read(); });
    }
    countLabel_ = new QLabel(QStringLiteral("多道波形数："), this);
    count_ = new QSpinBox(this);
    count_->setRange(1, kMaxWaveTrain);
    layout->addWidget(countLabel_);
    layout->addWidget(count_);
    layout->addStretch(1);
    connect(type_, &QComboBox::currentIndexChanged, this, [this] { Read(); });
    connect(count_, &QSpinBox::valueChanged, this, [this] { Read(); });
    Refill();
}

void AnalysisBar::SetState(const AnalysisBarSettings& settings, int waveTrainCount) {
    settings_ = settings;
    trainCount_ = waveTrainCount;
    Refill();
}

void AnalysisBar::Refill() {
    filling_ = true;
    auto& s = settings_;
    type_->setCurrentIndex(std::clamp<int>(s.analysisType, 0, 3));
    QStringList points;
    for (int i = 0; i < doc_.PointCount(); ++i)
        points << FromUtf8(Format("[%d] %s", i + 1, PointCaption(doc_.points[static_cast<std::size_t>(i)]).c_str()));
    struct ListChoice {
        QString label;
        QStringList items;
        std::int32_t value;
    };
    std::vector<ListChoice> lists;
    const auto texts = [](auto& array) {
        QStringList out;
        for (const char* t : array) out << QString::fromUtf8(t);
        return out;
    };
    switch (s.analysisType) {
        case kAnalysisStatistics:
            lists.push_back({QStringLiteral("统计"), texts(kStatistics), s.statisticsAnalysis});
            if (s.statisticsAnalysis == kStatAverage) lists.push_back({QStringLiteral("范围"), texts(kAverageScopes), s.averageScope});
            else if (s.statisticsAnalysis == kStatAutocorrelation) lists.push_back({QStringLiteral("测点"), points, s.autoPoint});
            else {
                lists.push_back({QStringLiteral("测点A"), points, s.crossA});
                lists.push_back({QStringLiteral("测点B"), points, s.crossB});
            }
            break;
        case kAnalysisFrequency: {
            lists.push_back({QStringLiteral("范围"), texts(kTimeScopes).mid(0, 3), s.frequencyScope});
            QStringList types;
            for (int t = 0; t < kSpectrumTypeCount; ++t) types << FromUtf8(SpectrumTypeName(t));
            lists.push_back({QStringLiteral("频谱"), types, s.spectrumType});
            if (NormalisedSpectrumType(s.spectrumType) == kSpectrumCrossPower) {
                lists.push_back({QStringLiteral("测点A"), points, s.spectrumA});
                lists.push_back({QStringLiteral("测点B"), points, s.spectrumB});
            }
            break;
        }
        case kAnalysisWavelet: {
            const auto& families = AppWaveletTable().Families();
            QStringList names, orders, levels;
            for (const auto& f : families) names << FromUtf8(f.name);
            const auto fam = static_cast<std::size_t>(std::clamp<int>(s.waveletFamily, 0, static_cast<int>(families.size()) - 1));
            for (const auto& o : families[fam].orders) orders << FromUtf8(o.name);
            for (int l = 1; l <= 9; ++l) levels << QString::number(l);
            lists.push_back({QStringLiteral("小波基"), names, s.waveletFamily});
            lists.push_back({QStringLiteral("小波大小"), orders, s.waveletOrder});
            lists.push_back({QStringLiteral("小波级数"), levels, s.waveletLevel});
            break;
        }
        default: lists.push_back({QStringLiteral("显示"), texts(kTimeScopes), s.timeScope}); break;
    }
    for (std::size_t k = 0; k < lists_.size(); ++k) {
        const bool on = k < lists.size();
        labels_[k]->setVisible(on);
        lists_[k]->setVisible(on);
        lists_[k]->clear();
        if (!on) continue;
        labels_[k]->setText(lists[k].label);
        lists_[k]->addItems(lists[k].items);
        lists_[k]->setCurrentIndex(std::clamp<int>(lists[k].value, 0, std::max(0, static_cast<int>(lists[k].items.size()) - 1)));
    }
    const bool train = s.analysisType == kAnalysisTime && s.timeScope == kScopeWaveTrain;
    countLabel_->setVisible(train);
    count_->setVisible(train);
    count_->setValue(std::clamp(trainCount_, 1, kMaxWaveTrain));
    filling_ = false;
}

void AnalysisBar::Read() {
    if (filling_) return;
    auto& s = settings_;
    const int type = type_->currentIndex();
    const auto v = [&](std::size_t k) { return lists_[k]->isVisibleTo(this) ? lists_[k]->currentIndex() : -1; };
    if (type != s.analysisType) {
        s.analysisType = type;
    } else {
        switch (type) {
            case kAnalysisStatistics:
                if (v(0) >= 0) s.statisticsAnalysis = v(0);
                if (s.statisticsAnalysis == kStatAverage && v(1) >= 0) s.averageScope = v(1);
                else if (s.statisticsAnalysis == kStatAutocorrelation && v(1) >= 0) s.autoPoint = v(1);
                else if (v(1) >= 0 && v(2) >= 0) {
                    s.crossA = v(1);
                    s.crossB = v(2);
                }
                break;
            case kAnalysisFrequency:
                if (v(0) >= 0) s.frequencyScope = v(0);
                if (v(1) >= 0) s.spectrumType = v(1);
                if (v(2) >= 0) s.spectrumA = v(2);
                if (v(3) >= 0) s.spectrumB = v(3);
                break;
            case kAnalysisWavelet:
                if (v(0) >= 0 && v(0) != s.waveletFamily) {
                    s.waveletFamily = v(0);
                    s.waveletOrder = 0;
                } else if (v(1) >= 0) {
                    s.waveletOrder = v(1);
                }
                if (v(2) >= 0) s.waveletLevel = v(2);
                break;
            default:
                if (v(0) >= 0) s.timeScope = v(0);
                break;
        }
    }
    trainCount_ = count_->value();
    Refill();
    emit changed();
}

std::vector<std::pair<std::int32_t, std::string>> AnalysisBar::ListsForLog() const {
    std::vector<std::pair<std::int32_t, std::string>> out;
    out.emplace_back(type_->currentIndex(), type_->currentText().toStdString());
    for (const auto* list : lists_) out.emplace_back(list->isVisibleTo(this) ? list->currentIndex() : -1,
                                                     list->isVisibleTo(this) ? list->currentText().toStdString() : std::string());
    return out;
}

}  // namespace tav::ui
