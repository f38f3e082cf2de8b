#include "platform/qt/qt_picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <limits>
#include <vector>

namespace tw::qt {
namespace {

QRgb ToQRgb(Colour c) { return 0xFF000000u | ToXrgb(c); }

// Qt keeps an allocation limit of its own (128 MB in Qt 6.4), which is not
// the pixel cap every other reader here applies: for the length of one read
// the cap is the one rule, checked against the header before anything is
// decoded.
class PixelCapRules {
public:
    PixelCapRules() : qtLimit_(QImageReader::allocationLimit()) { QImageReader::setAllocationLimit(0); }
    ~PixelCapRules() { QImageReader::setAllocationLimit(qtLimit_); }
    PixelCapRules(const PixelCapRules&) = delete;
    PixelCapRules& operator=(const PixelCapRules&) = delete;

private:
    int qtLimit_;
};

}  // namespace

std::shared_ptr<const Bitmap> DecodePicture(std::span<const std::uint8_t> bmp) {
    if (bmp.empty()) return nullptr;
    return std::make_shared<const Bitmap>(Bitmap::FromBmp(bmp));
}

std::optional<Bitmap> DecodePng(std::span<const std::uint8_t> png) {
    if (png.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(png.data()), static_cast<int>(png.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "PNG");
    const QSize size = reader.size();
    const bool withinCap = size.isValid() && WithinPixelCap(static_cast<std::uint64_t>(size.width()),
                                                            static_cast<std::uint64_t>(size.height()));
    if (!withinCap) return std::nullopt;
    const PixelCapRules rules;
    QImage image;
    if (!reader.read(&image) || image.size() != size) return std::nullopt;
    image = image.convertToFormat(QImage::Format_RGB32);
    std::vector<Colour> pixels;
    pixels.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(FromXrgb(line[x]));
    }
    return Bitmap(image.width(), image.height(), std::move(pixels));
}

QImage BuildFrame(const Bitmap* scaledPicture, QColor background, PixelScale scale, QSize size, const Region* clip) {
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    frame.fill(background);
    if (scaledPicture != nullptr) {
        const Bitmap& scaled = *scaledPicture;
        const int w = std::min(scaled.Width(), size.width());
        for (int y = 0; y < std::min(scaled.Height(), size.height()); ++y) {
            auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
            for (int x = 0; x < w; ++x) line[x] = ToQRgb(scaled.Pixel(x, y));
        }
    }
    if (clip != nullptr) {
        QImage cut(size, QImage::Format_ARGB32_Premultiplied);
        cut.fill(Qt::transparent);
        const QRect bounds(QPoint(0, 0), size);
        for (const Rect& r : clip->Rects()) {
            const QRect span = QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)) & bounds;
            for (int y = span.top(); y <= span.bottom(); ++y) {
                std::copy_n(reinterpret_cast<const QRgb*>(frame.constScanLine(y)) + span.left(), span.width(),
                            reinterpret_cast<QRgb*>(cut.scanLine(y)) + span.left());
            }
        }
        frame = std::move(cut);
    }
    frame.setDevicePixelRatio(scale.Factor());
    return frame;
}

}  // namespace tw::qt
