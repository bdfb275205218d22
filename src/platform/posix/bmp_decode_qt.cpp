// BMP pixels through Qt's reader (QtGui, no display needed): the desktop layer's decoder.
#include "platform/posix/internal.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

namespace vorla::platform {

bool decode_bmp(const std::vector<char>& data, int* width, int* height,
                std::vector<std::uint32_t>* pixels) {
    QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        return false;
    }
    // The colour bytes as stored; an alpha or padding byte plays no part, as in a Windows DDB.
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                          : QImage::Format_RGB32);
    *width = image.width();
    *height = image.height();
    pixels->assign(static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height), 0);
    for (int y = 0; y < *height; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < *width; ++x) {
            (*pixels)[static_cast<std::size_t>(y) * *width + x] = line[x] & 0x00FFFFFFu;
        }
    }
    return true;
}

} // namespace vorla::platform
