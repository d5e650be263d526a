// Test points on the desktop clipboard: the clipboard block under its own MIME
// type, so that a copy in one running program pastes in another.
#pragma once

#include <QObject>
#include <cstdint>
#include <optional>
#include <span>

#include "model/snapshot.hpp"

namespace tav::ui {

inline constexpr const char* kClipboardMimeType = "application/x-qrvtav-copy-past";

class PointClipboard : public QObject {
    Q_OBJECT
public:
    explicit PointClipboard(QObject* parent = nullptr);

    // Replaces the clipboard's content with exactly these bytes.
    void Put(std::span<const std::uint8_t> block);
    // The clipboard's test points; nothing when it holds no block or one that
    // does not add up.
    std::optional<Snapshot> Take() const;
    // Whether the clipboard offers a block (as last announced; no round trip).
    bool HoldsBlock() const { return holdsBlock_; }

signals:
    void changed();

private:
    void Recheck();

    bool holdsBlock_ = false;
};

}  // namespace tav::ui
