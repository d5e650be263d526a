#include "ui/picture_export_dialog.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "app/settings_files.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "output/match_pictures.hpp"
#include "render/picture_drawing.hpp"
#include "render/point_pictures.hpp"
#include "ui/analysis_view.hpp"
#include "ui/match_fit_progress.hpp"
#include "ui/message_boxes.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

// The formats offered, by their index in the extension table.
struct FormatChoice {
    const char* text;
    std::int32_t index;
};
constexpr FormatChoice kFormats[] = {{"BMP", kPictureBmp}, {"JPG", kPictureJpg}, {"PNG", kPicturePng}};

}  // namespace

PictureExportDialog::PictureExportDialog(const PictureExportOffer& offer,
                                         const std::optional<PictureExportSettings>& stored, QWidget* parent)
    : QDialog(parent), offer_(offer) {
    setWindowTitle(QStringLiteral("保存图形"));
    setObjectName(QStringLiteral("pictureExportDialog"));
    data_ = new QComboBox(this);
    if (offer_.display) data_->addItem(QStringLiteral("当前显示"), kPictureDisplay);
    if (offer_.checked) data_->addItem(QStringLiteral("选中波形"), kPictureChecked);
    format_ = new QComboBox(this);
    for (const auto& f : kFormats) format_->addItem(QString::fromLatin1(f.text), f.index);
    size_ = new QComboBox(this);
    files_ = new QRadioButton(QStringLiteral("图形文件"), this);
    document_ = new QRadioButton(QStringLiteral("Word文件"), this);
    folder_ = new QLineEdit(this);
    browse_ = new QPushButton(QStringLiteral("浏览..."), this);
    match_ = new QCheckBox(QStringLiteral("每个测点的曲线图后附信号拟合图"), this);
    match_->setToolTip(QStringLiteral("对每个测点做信号拟合，把实测与拟合曲线及桩身阻抗剖面图放在它的曲线图之后"));

    auto* kinds = new QHBoxLayout;
    kinds->addWidget(files_);
    kinds->addWidget(document_);
    kinds->addStretch();
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("数据："), data_);
    form->addRow(QStringLiteral("格式："), format_);
    form->addRow(QStringLiteral("尺寸："), size_);
    form->addRow(QStringLiteral("信号拟合："), match_);
    form->addRow(QStringLiteral("输出："), kinds);
    form->addRow(QStringLiteral("保存路径："), folderRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto* defaults = buttons->addButton(QStringLiteral("默认"), QDialogButtonBox::ResetRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(defaults, &QPushButton::clicked, this, &PictureExportDialog::ApplyDefaults);
    connect(data_, &QComboBox::currentIndexChanged, this, [this] { RefillSizes(); });
    connect(files_, &QRadioButton::toggled, this, [this] { UpdateFolderState(); });
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("保存路径"), folder_->text());
        if (!chosen.isEmpty()) folder_->setText(chosen);
    });

    // The initial choices are the defaults; the stored ones replace them where they fit.
    ApplyDefaults();
    if (stored) Apply(*stored);
}

bool PictureExportDialog::FixedSizesShown() const {
    return !(data_->currentData().toInt() == kPictureDisplay && offer_.onScreen);
}

void PictureExportDialog::RefillSizes() {
    const int keep = size_->currentIndex();
    const bool wasFixed = size_->count() == static_cast<int>(kFixedPictureHeights.size());
    size_->clear();
    if (!FixedSizesShown()) {
        size_->addItem(FromUtf8(PictureSizeText(*offer_.onScreen)));
        return;
    }
    for (std::size_t k = 0; k < kFixedPictureHeights.size(); ++k)
        size_->addItem(FromUtf8(PictureSizeText(FixedPictureSize(static_cast<std::int32_t>(k)))));
    size_->setCurrentIndex(wasFixed && keep >= 0 ? keep : 1);
}

void PictureExportDialog::UpdateFolderState() {
    folder_->setEnabled(files_->isChecked());
    browse_->setEnabled(files_->isChecked());
}

void PictureExportDialog::SetOutputKind(std::int32_t kind) {
    (kind == kPictureFiles ? files_ : document_)->setChecked(true);
    UpdateFolderState();
}

void PictureExportDialog::Apply(const PictureExportSettings& s) {
    // A stored choice is taken only where the dialog offers it.
    const int offered = data_->findData(s.dataChoice);
    if (offered >= 0) data_->setCurrentIndex(offered);
    RefillSizes();
    const int format = format_->findData(s.formatIndex);
    if (format >= 0) format_->setCurrentIndex(format);
    if (FixedSizesShown() && s.sizeIndex >= 0 && s.sizeIndex < size_->count()) size_->setCurrentIndex(s.sizeIndex);
    if (s.outputKind == kPictureFiles || s.outputKind == kPictureDocument) SetOutputKind(s.outputKind);
    folder_->setText(FromUtf8(s.Folder()));
    match_->setChecked(s.matchPictures != 0);
}

void PictureExportDialog::ApplyDefaults() {
    data_->setCurrentIndex(0);
    RefillSizes();
    Apply(DefaultPictureExportSettings(FixedSizesShown(), offer_.projectPath, offer_.fallbackFolder));
}

PictureExportSettings PictureExportDialog::Choices() const {
    PictureExportSettings s;
    s.dataChoice = data_->currentData().toInt();
    s.formatIndex = format_->currentData().toInt();
    s.sizeIndex = std::max(size_->currentIndex(), 0);
    s.outputKind = files_->isChecked() ? kPictureFiles : kPictureDocument;
    s.SetFolder(folder_->text().toStdString());
    s.matchPictures = match_->isChecked() ? 1 : 0;
    return s;
}

PictureSize PictureExportDialog::Size() const {
    if (!FixedSizesShown()) return *offer_.onScreen;
    return FixedPictureSize(size_->currentIndex());
}

void PictureExportDialog::accept() {
    const std::string folder = folder_->text().toStdString();
    QString problem;
    if (folder.size() >= PictureExportSettings::kFolderSize)
        problem = QStringLiteral("保存路径过长：最多%1字节，请选择较短的路径。").arg(PictureExportSettings::kFolderSize - 1);
    else if (files_->isChecked() && folder.empty())
        problem = QStringLiteral("请选择保存路径。");
    else if (const auto why = CheckPictureSize(Size()); !why.empty())
        problem = FromUtf8(why);
    if (!problem.isEmpty()) {
        ShowWarning(this, problem, windowTitle());
        return;
    }
    QDialog::accept();
}

// ---- the command ----------------------------------------------------------------

namespace {

// A name in the folder that no file has yet: "<stem>.docx", "<stem>(2).docx", ...
std::string FreeDocumentPath(const std::string& folder, const std::string& stem) {
    for (int n = 1;; ++n) {
        const std::string name = n == 1 ? stem : stem + "(" + std::to_string(n) + ")";
        const std::string path = folder + "/" + name + ".docx";
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) return path;
    }
}

}  // namespace

std::vector<std::string> RunPictureExport(QWidget* parent, PictureExportContext& c) {
    if (c.doc.PointCount() == 0) return {};
    std::optional<render::DisplayPictures> display;
    if (c.view && !c.view->Model().Entries().empty()) display.emplace(c.view->Model(), c.view->font());
    PictureExportOffer offer;
    offer.display = display.has_value();
    offer.checked = !c.doc.checkedIndices.empty();
    if (!offer.display && !offer.checked) {
        c.prompts.Message(kNoPictureItemsText);
        return {};
    }
    if (display) offer.onScreen = display->OnScreenSize();
    offer.projectPath = c.projectPath;
    offer.fallbackFolder = QDir::homePath().toStdString();

    std::optional<PictureExportSettings> stored;
    if (c.settings) {
        PictureExportSettings read;
        if (c.settings->Read(read)) stored = read;
    }
    PictureExportDialog dialog(offer, stored, parent);
    // A file that could not be read gets the dialog's initial choices.
    if (c.settings && !stored) c.settings->Write(dialog.Choices());
    const bool accepted = c.exec ? c.exec(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted) return {};
    const PictureExportSettings choices = dialog.Choices();
    if (c.settings) c.settings->Write(choices);  // a failure says "写设置文件失败！" itself

    const bool fromDisplay = choices.dataChoice == kPictureDisplay && display;
    auto items = fromDisplay ? display->Items(c.doc) : CheckedPictureItems(c.doc);
    const PictureSize size = dialog.Size();
    const std::int32_t format = choices.formatIndex;
    render::PointPictureOptions drawing;
    if (c.view) drawing.annotationItems = c.view->Model().options.annotationItems;
    render::PointPictures pictures(c.doc, std::move(drawing));
    if (choices.matchPictures) {
        const auto stackedPoints = fromDisplay && display->Stacked() ? display->EntryPoints() : std::vector<std::int32_t>{};
        const auto fit = [&](std::span<const std::int32_t> points) {
            return FitWithProgress(parent, c.doc, points, c.watchFits);
        };
        if (!pictures.AddMatchPictures(items, stackedPoints, fit)) return {};
    }
    render::CurveDrawer fromScreen;
    if (fromDisplay) fromScreen = [&](const PictureItem& item) { return display->Draw(item); };
    const PictureEncoder encoder = pictures.Encoder(size, format, fromScreen);
    // Told after the pictures, so the message does not stand in front of the work.
    const std::string unfitted = pictures.UnfittedSummary();
    const auto extension = PictureExtension(format);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<std::string> written;
    if (choices.outputKind == kPictureFiles) {
        const auto result = WritePictureFiles(items, choices.Folder(), extension, encoder);
        QApplication::restoreOverrideCursor();
        written = result.written;
        if (result.anyExists)
            c.open(FromUtf8(choices.Folder()));
        else
            c.prompts.Message(kCreateFileFailedText);
        if (!unfitted.empty()) c.prompts.Message(unfitted);
        return written;
    }

    QMessageBox notice(QMessageBox::Information, QStringLiteral("保存图形"), FromUtf8(kDocumentNoticeText),
                       QMessageBox::NoButton, parent);
    notice.setModal(false);
    notice.show();
    QApplication::processEvents();
    const std::string path = FreeDocumentPath(c.tempFolder, "图形");
    std::string error;
    const bool ok = WritePictureDocument(path, items, extension, encoder, &error);
    notice.hide();
    QApplication::restoreOverrideCursor();
    if (!ok) {
        c.prompts.Message(kCreateDocumentFailedText);
        return {};
    }
    c.open(FromUtf8(path));
    if (!unfitted.empty()) c.prompts.Message(unfitted);
    return {path};
}

}  // namespace tav::ui
