#include "windows/JpegPicture.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace windows {

namespace {

// libjpeg's own error handler ends the process; this one jumps back out.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
};

[[noreturn]] void jumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void ignoreMessage(j_common_ptr) {}

// Nothing with a destructor lives in this frame, so the jump skips nothing.
bool decodeInto(jpeg_decompress_struct& info, const QByteArray& data, QImage& image) {
    JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info.err);
    if (setjmp(errors.escape))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (qint64(info.image_width) * info.image_height > MaxJpegPixels)
        return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull())
        return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    // A picture cut short is padded by libjpeg with a warning: not whole.
    return errors.manager.num_warnings == 0;
}

} // namespace

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOut;
    errors.manager.output_message = ignoreMessage;
    QImage image;
    const bool whole = decodeInto(info, data, image);
    jpeg_destroy_decompress(&info);
    return whole ? image : QImage();
}

} // namespace windows
