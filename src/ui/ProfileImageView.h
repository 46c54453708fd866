#pragma once

#include <QImage>
#include <QLabel>
#include <optional>

// The picture of an image row. A picture the user chose is only a reference to its file until it is
// needed, so choosing a large file costs nothing until the profile is saved.
class ProfileImageView final : public QLabel {
    Q_OBJECT

public:
    explicit ProfileImageView(QWidget* parent = nullptr);

    // Shows the picture in `data`; data that is no picture shows nothing but still counts as an image.
    void setImageData(const QByteArray& data);
    void setImageFile(const QString& path);
    void clearImage();

    [[nodiscard]] bool hasImage() const { return hasImage_; }
    [[nodiscard]] const QString& imageFile() const { return imageFile_; }
    // The picture itself, read from its file if need be; a null image when it cannot be read.
    [[nodiscard]] QImage loadImage() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showImage(const QImage& image);

    bool hasImage_ = false;
    QImage image_;
    QString imageFile_;
};
