#include "JpegImage.h"

#include <QFile>

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h uses FILE and size_t without including their headers

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Pictures beyond this many pixels are refused before any allocation; the
// program's largest picture is well under one megapixel.
constexpr qint64 kMaxPixels = qint64(1) << 26;

// libjpeg reports fatal errors through error_exit, whose default prints and
// calls exit(). This manager jumps back into decompress() instead, keeping
// the formatted message for the caller.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void raiseError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    err->pub.format_message(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Level -1 messages are warnings, and every libjpeg warning is about damaged
// data (a hit marker, a bad Huffman code, extraneous bytes). libjpeg would
// carry on and return a picture with grey or smeared blocks; we would rather
// show none. Higher levels are trace output and are dropped.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        raiseError(cinfo);
}

// Memory source. libjpeg's own jpeg_mem_src pads a short buffer with a fake
// end-of-image marker and merely warns; here running out of data is fatal,
// so a truncated file is reported as such.
void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    ERREXIT(cinfo, JERR_INPUT_EOF);
    return FALSE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr *src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer)
        ERREXIT(cinfo, JERR_INPUT_EOF);
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void setMessage(ErrorManager *err, const char *text)
{
    std::snprintf(err->message, sizeof err->message, "%s", text);
}

// The decoding proper. Every libjpeg call is made from here, below the
// setjmp in decompress(); nothing in these frames has a destructor, so the
// longjmp out of an error skips no cleanup. Returns false with err->message
// set for the failures detected here.
bool readImage(jpeg_decompress_struct *cinfo, ErrorManager *err, jpeg_source_mgr *source,
               const QByteArray *data, QImage *out)
{
    jpeg_create_decompress(cinfo);
    source->next_input_byte = reinterpret_cast<const JOCTET *>(data->constData());
    source->bytes_in_buffer = static_cast<std::size_t>(data->size());
    source->init_source = initSource;
    source->fill_input_buffer = fillInputBuffer;
    source->skip_input_data = skipInputData;
    source->resync_to_restart = jpeg_resync_to_restart;
    source->term_source = termSource;
    cinfo->src = source;

    jpeg_read_header(cinfo, TRUE);

    bool gray = false;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        gray = true;
        cinfo->out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        cinfo->out_color_space = JCS_RGB;
        break;
    default:
        setMessage(err, "Unsupported JPEG colour space (only grayscale and colour are read)");
        return false;
    }

    jpeg_calc_output_dimensions(cinfo);
    if (qint64(cinfo->output_width) * qint64(cinfo->output_height) > kMaxPixels) {
        setMessage(err, "JPEG image too large");
        return false;
    }

    jpeg_start_decompress(cinfo);
    *out = QImage(int(cinfo->output_width), int(cinfo->output_height), QImage::Format_RGB888);
    if (out->isNull()) {
        setMessage(err, "Out of memory for the decoded JPEG image");
        return false;
    }

    const int width = int(cinfo->output_width);
    while (cinfo->output_scanline < cinfo->output_height) {
        uchar *line = out->scanLine(int(cinfo->output_scanline));
        JSAMPROW row = line;
        jpeg_read_scanlines(cinfo, &row, 1);
        if (gray) {
            // The gray samples fill the first third of the line; spread them
            // out to RGB in place, from the right so no sample is overwritten
            // before it is read.
            for (int x = width - 1; x >= 0; --x) {
                const uchar v = line[x];
                line[3 * x] = v;
                line[3 * x + 1] = v;
                line[3 * x + 2] = v;
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

// The objects with destructors (the image, the input bytes) belong to the
// caller; libjpeg errors land back here. The caller destroys cinfo either way.
bool decompress(jpeg_decompress_struct *cinfo, ErrorManager *err, jpeg_source_mgr *source,
                const QByteArray *data, QImage *out)
{
    if (setjmp(err->jump))
        return false;
    return readImage(cinfo, err, source, data, out);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

QImage decodeJpeg(const QByteArray &data, QString *error)
{
    if (data.isEmpty()) {
        setError(error, QStringLiteral("No JPEG data"));
        return {};
    }

    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_source_mgr source{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = raiseError;
    err.pub.emit_message = onMessage;

    QImage image;
    const bool ok = decompress(&cinfo, &err, &source, &data, &image);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        setError(error, QString::fromLatin1(err.message));
        return {};
    }
    return image;
}

QImage loadJpegFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
        return {};
    }
    QString reason;
    QImage image = decodeJpeg(file.readAll(), &reason);
    if (image.isNull())
        setError(error, QStringLiteral("%1: %2").arg(path, reason));
    return image;
}
