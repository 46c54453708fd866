#include "StatusImages.h"

#include <QFile>

// The images are compiled into this static library; its resource initialiser has to be called by name, or
// the linker drops it.
static void initStatusResources() {
    Q_INIT_RESOURCE(status);
}

namespace {
void ensureStatusResources() {
    static const bool initialised = (initStatusResources(), true);
    (void)initialised;
}
}  // namespace

std::optional<StatusImage> StatusImages::imageNamed(const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        return std::nullopt;
    }
    ensureStatusResources();
#ifdef Q_OS_MACOS
    const bool isTemplate = true;
    const QString path = QStringLiteral(":/status/%1.png").arg(name);
#else
    // No tray outside macOS tints a mask, and panels come light or dark: a white glyph with a dark outline
    // reads on both, where the black mask all but vanishes on a dark panel.
    const bool isTemplate = false;
    const QString path = QStringLiteral(":/status/outlined/%1.png").arg(name);
#endif
    if (!QFile::exists(path)) {
        return std::nullopt;
    }
    return StatusImage{name, path, isTemplate};
}
