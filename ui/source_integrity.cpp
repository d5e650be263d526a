#include "ui/source_integrity.hpp"

#include <QFileInfo>

#include "ui/qt_text.hpp"

namespace tav::ui {

QString LoadProblem(const LoadResult& result, const QString& path) {
    if (result.status == LoadStatus::Ok) return {};
    if (result.status == LoadStatus::FaultyPoint)
        return QStringLiteral("文件“%1”未能完整打开：第%2个测点信息错误，终止读取")
            .arg(QFileInfo(path).fileName())
            .arg(result.faultyPoint + 1);
    return QStringLiteral("文件“%1”未能完整打开：%2").arg(QFileInfo(path).fileName(), FromUtf8(result.message));
}

bool NothingUsable(const LoadResult& result) {
    switch (result.status) {
        case LoadStatus::UnknownVersion:
        case LoadStatus::InvalidCount:
        case LoadStatus::IoError: return true;
        case LoadStatus::FaultyPoint: return result.faultyPoint <= 0;
        default: return false;
    }
}

QString OverwriteDamagedQuestion(const QString& path, const QString& problem) {
    return QStringLiteral("%1\n保存到原文件“%2”会用未读入完整的数据覆盖它，原文件中未能读入的部分将丢失。\n"
                          "是否仍要覆盖原文件？选择“否”可另存为新文件。")
        .arg(problem, QFileInfo(path).fileName());
}

}  // namespace tav::ui
