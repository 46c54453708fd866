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
    const QString path = QStringLiteral(":/status/%1.png").arg(name);
    if (!QFile::exists(path)) {
        return std::nullopt;
    }
    return StatusImage{name, path};
}
