#include "ui/source_integrity.hpp"

#include <QFileInfo>

#include "ui/qt_text.hpp"

namespace tav::ui {

QString LoadProblem(const LoadResult& result, const QString& path) {
    return FromUtf8(LoadProblemText(result, QFileInfo(path).fileName().toStdString()));
}

bool NothingUsable(const LoadResult& result) {
    switch (result.status) {
        case LoadStatus::UnknownVersion:
        case LoadStatus::InvalidCount:
        case LoadStatus::IoError: return true;
        case LoadStatus::FaultyPoint: return result.faultyPoint <= 0;
        case LoadStatus::Ok:
        case LoadStatus::FaultyBackupPoint: return false;
    }
    return false;
}

QString OverwriteDamagedQuestion(const QString& path, const QString& problem) {
    return QStringLiteral("%1\n保存到原文件“%2”会用未读入完整的数据覆盖它，原文件中未能读入的部分将丢失。\n"
                          "是否仍要覆盖原文件？选择“否”可另存为新文件。")
        .arg(problem, QFileInfo(path).fileName());
}

}  // namespace tav::ui
