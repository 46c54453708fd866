#include "ProfileImageView.h"

#include <QImageReader>
#include <QPixmap>

ProfileImageView::ProfileImageView(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void ProfileImageView::setImageData(const QByteArray& data) {
    hasImage_ = !data.isEmpty();
    imageFile_.clear();
    image_ = QImage::fromData(data);
    showImage(image_);
}

void ProfileImageView::setImageFile(const QString& path) {
    hasImage_ = true;
    imageFile_ = path;
    image_ = QImage();
    // Only a preview the size of the view is read now; the full picture is read when it is saved.
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid()) {
        reader.setScaledSize(size.scaled(this->size(), Qt::KeepAspectRatio).boundedTo(size));
    }
    showImage(reader.read());
}

void ProfileImageView::clearImage() {
    hasImage_ = false;
    imageFile_.clear();
    image_ = QImage();
    showImage(QImage());
}

QImage ProfileImageView::loadImage() const {
    if (!hasImage_) {
        return {};
    }
    if (!imageFile_.isEmpty()) {
        return QImage(imageFile_);
    }
    return image_;
}

void ProfileImageView::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (!imageFile_.isEmpty()) {
        setImageFile(imageFile_);
    } else {
        showImage(image_);
    }
}

void ProfileImageView::showImage(const QImage& image) {
    if (image.isNull()) {
        setPixmap(QPixmap());
        return;
    }
    // Large pictures shrink to fit; small ones keep their size, as a picture frame shows them.
    const QSize room = contentsRect().size();
    QPixmap pixmap = QPixmap::fromImage(image);
    if (pixmap.width() > room.width() || pixmap.height() > room.height()) {
        pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    setPixmap(pixmap);
}
