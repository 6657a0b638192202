#include "JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace artgen {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void raiseError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    err->pub.format_message(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Everything libjpeg touches lives in the caller's frame or in the image, so
// a longjmp out of here skips no destructors.
bool compress(jpeg_compress_struct *cinfo, const QImage *rgb, int quality,
              unsigned char **buffer, unsigned long *size)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    if (setjmp(err->jump))
        return false;

    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = static_cast<JDIMENSION>(rgb->width());
    cinfo->image_height = static_cast<JDIMENSION>(rgb->height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    // Smoother gradients: skip chroma subsampling so the sky bands stay clean.
    for (int c = 0; c < cinfo->num_components; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }
    cinfo->optimize_coding = TRUE;
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb->constScanLine(static_cast<int>(cinfo->next_scanline)));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

} // namespace

QByteArray encodeBaselineJpeg(const QImage &image, int quality, QString *error)
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("nothing to encode");
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);

    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = raiseError;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;

    const bool ok = compress(&cinfo, &rgb, quality, &buffer, &size);
    jpeg_destroy_compress(&cinfo);

    QByteArray out;
    if (ok)
        out = QByteArray(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
    else if (error)
        *error = QString::fromLocal8Bit(err.message);
    std::free(buffer);
    return out;
}

} // namespace artgen
