// Draws the five status images (and their @2x variants) into a folder: a monochrome avatar, with a badge
// in the lower right for each state. They are masks; the menu bar tints them for its appearance.
// Tray panels elsewhere tint nothing and may be light or dark (most are dark), so the "outlined" sub-folder
// gets a white variant of each image with a dark outline, which reads on either. Nothing tints those, so
// there the two states that want the user (an error, updates waiting) get badges of their own colour and
// shape: at 20 pixels a white "!" and a white dot are one blob.
//
//   draw-status-images <output folder>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

enum class Badge { None, Updating, Notify, Error, Ok };

constexpr qreal kBadgeCenter = 15.0;
constexpr qreal kBadgeRadius = 4.6;

const QColor kErrorColour(0xe0, 0x31, 0x2b);
const QColor kUpdatesColour(0x2f, 0x80, 0xed);

void drawAvatar(QPainter& p, bool cutForBadge, const QColor& colour = Qt::black) {
    QPainterPath avatar;
    avatar.addEllipse(QPointF(9.0, 6.5), 3.6, 3.6);
    QPainterPath shoulders;
    shoulders.moveTo(2.0, 18.5);
    shoulders.cubicTo(2.0, 12.5, 5.5, 11.0, 9.0, 11.0);
    shoulders.cubicTo(12.5, 11.0, 16.0, 12.5, 16.0, 18.5);
    shoulders.closeSubpath();
    avatar.addPath(shoulders);
    if (cutForBadge) {
        QPainterPath gap;
        gap.addEllipse(QPointF(kBadgeCenter, kBadgeCenter), kBadgeRadius + 1.4, kBadgeRadius + 1.4);
        avatar = avatar.subtracted(gap);
    }
    p.fillPath(avatar, colour);
}

void drawBadge(QPainter& p, Badge badge) {
    const QPointF c(kBadgeCenter, kBadgeCenter);
    QPen pen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (badge) {
        case Badge::None:
            return;
        case Badge::Notify:
            p.setBrush(Qt::black);
            p.setPen(Qt::NoPen);
            p.drawEllipse(c, kBadgeRadius - 0.6, kBadgeRadius - 0.6);
            return;
        case Badge::Ok:
            p.setPen(pen);
            p.drawLine(QPointF(c.x() - 3.2, c.y() + 0.2), QPointF(c.x() - 0.9, c.y() + 2.6));
            p.drawLine(QPointF(c.x() - 0.9, c.y() + 2.6), QPointF(c.x() + 3.4, c.y() - 2.8));
            return;
        case Badge::Error:
            p.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(c.x(), c.y() - 3.6), QPointF(c.x(), c.y() + 0.8));
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(c.x(), c.y() + 3.4), 1.0, 1.0);
            return;
        case Badge::Updating: {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const QRectF ring(c.x() - 3.4, c.y() - 3.4, 6.8, 6.8);
            p.drawArc(ring, 60 * 16, 270 * 16);
            // Arrow head at the arc's end (330 degrees, i.e. the upper right).
            const qreal end = qDegreesToRadians(330.0 + 60.0 - 360.0);
            const QPointF tip(c.x() + 3.4 * std::cos(end), c.y() - 3.4 * std::sin(end));
            QPainterPath head;
            head.moveTo(tip + QPointF(-2.2, -0.6));
            head.lineTo(tip + QPointF(0.4, 0.2));
            head.lineTo(tip + QPointF(0.2, -2.4));
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPath(head);
            return;
        }
    }
}

// A red warning triangle for an error, a blue disc for updates: told apart by shape where colour fails.
void drawColouredBadge(QPainter& p, Badge badge) {
    const QPointF c(kBadgeCenter, kBadgeCenter);
    p.setPen(Qt::NoPen);
    if (badge == Badge::Error) {
        QPainterPath triangle;
        triangle.moveTo(c.x(), c.y() - 5.0);
        triangle.lineTo(c.x() + 4.9, c.y() + 4.3);
        triangle.lineTo(c.x() - 4.9, c.y() + 4.3);
        triangle.closeSubpath();
        p.fillPath(triangle, kErrorColour);
        p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x(), c.y() - 1.6), QPointF(c.x(), c.y() + 1.0));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(c.x(), c.y() + 2.8), 0.75, 0.75);
        return;
    }
    p.setBrush(kUpdatesColour);
    p.drawEllipse(c, kBadgeRadius, kBadgeRadius);
}

constexpr qreal kOutlineWidth = 1.1;
const QColor kOutlineColour(0x1a, 0x1a, 0x1a);

bool isColoured(Badge badge) {
    return badge == Badge::Error || badge == Badge::Notify;
}

QImage render(Badge badge, int scale, qreal shrink = 1.0, bool coloured = false) {
    QImage image(20 * scale, 20 * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    // Shrunk about the centre, so that an outline still fits inside the square.
    p.translate(10.0, 10.0);
    p.scale(shrink, shrink);
    p.translate(-10.0, -10.0);
    if (coloured) {
        drawAvatar(p, true, Qt::white);
        drawColouredBadge(p, badge);
    } else {
        drawAvatar(p, badge != Badge::None);
        drawBadge(p, badge);
    }
    return image;
}

QImage tinted(QImage image, const QColor& colour) {
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), colour);
    return image;
}

QImage renderOutlined(Badge badge, int scale) {
    const QImage glyph =
        isColoured(badge) ? render(badge, scale, 0.88, true) : tinted(render(badge, scale, 0.88), Qt::white);
    const QImage outline = tinted(glyph, kOutlineColour);
    QImage image(glyph.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    // The glyph's silhouette, stamped around a circle, widens it by the outline's width.
    const qreal radius = kOutlineWidth * scale;
    for (int step = 0; step < 16; ++step) {
        const qreal angle = qDegreesToRadians(step * 22.5);
        p.drawImage(QPointF(radius * std::cos(angle), radius * std::sin(angle)), outline);
    }
    p.drawImage(QPointF(0, 0), glyph);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-status-images <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("outlined"))) {
        std::fprintf(stderr, "draw-status-images: cannot create %s/outlined\n", argv[1]);
        return 1;
    }
    const struct {
        const char* name;
        Badge badge;
    } images[] = {
        {"Orlin_Avatar_20x20", Badge::None},
        {"Orlin_Avatar_20x20 - updating", Badge::Updating},
        {"Orlin_Avatar_20x20 - notify", Badge::Notify},
        {"Orlin_Avatar_20x20 - error", Badge::Error},
        {"Orlin_Avatar_20x20 - ok", Badge::Ok},
    };
    for (const auto& image : images) {
        const QString base = out.filePath(QString::fromUtf8(image.name));
        const QString outlined = out.filePath(QStringLiteral("outlined/") + QString::fromUtf8(image.name));
        if (!render(image.badge, 1).save(base + QStringLiteral(".png")) ||
            !render(image.badge, 2).save(base + QStringLiteral("@2x.png")) ||
            !renderOutlined(image.badge, 1).save(outlined + QStringLiteral(".png")) ||
            !renderOutlined(image.badge, 2).save(outlined + QStringLiteral("@2x.png"))) {
            std::fprintf(stderr, "draw-status-images: cannot write %s\n", qPrintable(base));
            return 1;
        }
    }
    return 0;
}
