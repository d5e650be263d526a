// "保存图形": the dialog that chooses what to draw (the display area or the
// checked test points), the format, the size and where the pictures go, and
// the run of the export behind it.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "output/picture_export.hpp"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QProgressDialog;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tav {
class CTAV_AnalyserDoc;
class SettingsFiles;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class CTAV_AnalyserView;

// What the dialog may offer.
struct PictureExportOffer {
    bool display = false;                   // the display shows a waveform
    bool checked = false;                   // a test point is checked
    std::optional<PictureSize> onScreen;    // the display area's own size
    std::string projectPath;                // for the default folder
    std::string fallbackFolder;             // the default folder of a project without a file
};

class PictureExportDialog : public QDialog {
    Q_OBJECT
public:
    // stored: the settings file's choices, or nothing when it could not be read.
    PictureExportDialog(const PictureExportOffer& offer, const std::optional<PictureExportSettings>& stored,
                        QWidget* parent = nullptr);

    // The choices as they would be stored.
    PictureExportSettings Choices() const;
    // The picture size of the current choices.
    PictureSize Size() const;
    // The "默认" button.
    void ApplyDefaults();

    QComboBox* DataList() const { return data_; }
    QComboBox* FormatList() const { return format_; }
    QComboBox* SizeList() const { return size_; }
    QLineEdit* FolderField() const { return folder_; }
    QCheckBox* MatchBox() const { return match_; }
    void SetOutputKind(std::int32_t kind);

    void accept() override;

private:
    void Apply(const PictureExportSettings& s);
    void RefillSizes();
    bool FixedSizesShown() const;
    void UpdateFolderState();

    PictureExportOffer offer_;
    QComboBox* data_;
    QComboBox* format_;
    QComboBox* size_;
    QRadioButton* files_;
    QRadioButton* document_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QCheckBox* match_;
};

// The export behind the command, with the desktop's "open" replaceable for tests.
struct PictureExportContext {
    CTAV_AnalyserDoc& doc;
    CTAV_AnalyserView* view;          // the display area; null: none
    const SettingsFiles* settings;    // the settings file's folder; null: not kept
    UserPrompts& prompts;
    std::string projectPath;
    std::string tempFolder;           // where the document goes
    std::function<void(const QString& path)> open;  // opens a folder or file with the desktop's default application
    // Runs the dialog; tests answer it themselves. Returns whether it was accepted.
    std::function<bool(PictureExportDialog&)> exec;
    // Sees the signal matching progress dialog once it is shown; tests cancel there.
    std::function<void(QProgressDialog&)> watchFits = {};
};

// The command: checks, dialog, settings file, the signal matching fits when
// asked for (with progress; a cancel writes nothing), then the files or the
// document, and the test points that could not be fitted named at the end.
// Returns the files or the document written.
std::vector<std::string> RunPictureExport(QWidget* parent, PictureExportContext& context);

}  // namespace tav::ui
