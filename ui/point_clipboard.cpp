#include "ui/point_clipboard.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "model/clipboard_block.hpp"

namespace tav::ui {

PointClipboard::PointClipboard(QObject* parent) : QObject(parent) {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { Recheck(); });
    Recheck();
}

void PointClipboard::Recheck() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    holdsBlock_ = data != nullptr && data->hasFormat(QString::fromLatin1(kClipboardMimeType));
    emit changed();
}

void PointClipboard::Put(std::span<const std::uint8_t> block) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kClipboardMimeType),
                  QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));
    QGuiApplication::clipboard()->setMimeData(data);
    Recheck();
}

std::optional<Snapshot> PointClipboard::Take() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) return std::nullopt;
    const QByteArray bytes = data->data(QString::fromLatin1(kClipboardMimeType));
    return ReadClipboardBlock(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<std::size_t>(bytes.size())));
}

}  // namespace tav::ui
