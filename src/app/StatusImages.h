#pragma once

#include <QString>
#include <optional>

// A status image found among the application's image assets.
struct StatusImage {
    QString name;
    // The 1x file; a "@2x" file beside it serves dense screens.
    QString resourcePath;
    // A mask that the menu bar tints for its appearance, rather than a picture shown as drawn.
    bool isTemplate = false;
};

class StatusImages final {
public:
    StatusImages() = delete;

    static inline const QString kInitial = QStringLiteral("Orlin_Avatar_20x20");
    static inline const QString kUpdating = QStringLiteral("Orlin_Avatar_20x20 - updating");
    static inline const QString kNotify = QStringLiteral("Orlin_Avatar_20x20 - notify");
    static inline const QString kError = QStringLiteral("Orlin_Avatar_20x20 - error");
    static inline const QString kOk = QStringLiteral("Orlin_Avatar_20x20 - ok");

    // Nothing when no asset bears the name.
    [[nodiscard]] static std::optional<StatusImage> imageNamed(const QString& name);
};
