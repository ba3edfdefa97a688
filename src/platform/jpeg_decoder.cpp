// JPEG through libjpeg-turbo, decoded no larger than the view needs: the DCT
// scaling (1/2, 1/4, 1/8) does most of the reduction far cheaper than
// decoding the whole picture and scaling it afterwards.
//
// libjpeg reports errors by calling error_exit, which must not return. It
// longjmps back into the two functions below that call setjmp; they and the
// library frames in between hold only plain C data, so the jump skips no
// destructor. Everything with a destructor lives in the caller.
#include "picture_decoders.h"

#include "picture_decoding.h"

#include <QImageReader>

#include <csetjmp>
#include <cstdio>
#include <functional>

#include <jpeglib.h>

namespace platform::decoders {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

struct Session {
    jpeg_decompress_struct info;
    ErrorManager error;
};

[[noreturn]] void jumpBack(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

// Warnings (a cut-short body, corrupt data the decoder stepped over) are
// not errors: the picture shows what could be decoded.
void ignoreMessage(j_common_ptr) {}

// The largest 1/N scale whose output still covers `want`.
unsigned scaleDenominator(unsigned width, unsigned height, int wantWidth, int wantHeight)
{
    if (wantWidth <= 0 || wantHeight <= 0)
        return 1;
    for (unsigned denom : {8u, 4u, 2u}) {
        if ((width + denom - 1) / denom >= unsigned(wantWidth) && (height + denom - 1) / denom >= unsigned(wantHeight))
            return denom;
    }
    return 1;
}

// Creates the decompressor and reads the header. Returns 0, or libjpeg's
// message number when it failed.
int readHeader(Session *s, const unsigned char *data, unsigned long size)
{
    if (setjmp(s->error.jump))
        return s->error.pub.msg_code;
    jpeg_create_decompress(&s->info);
    // libjpeg's own buffers (a progressive picture's coefficients are held
    // whole) within Qt's image bound too; beyond it the decode fails.
    if (const int limit = QImageReader::allocationLimit(); limit > 0)
        s->info.mem->max_memory_to_use = long(limit) * 1024 * 1024;
    jpeg_mem_src(&s->info, data, size);
    jpeg_read_header(&s->info, TRUE);
    return 0;
}

// Chooses the scale that covers the view and the output colours, and works
// out the output size, which stays set also when starting fails. Returns 0,
// or libjpeg's message number when it failed.
int chooseOutput(Session *s, int viewWidth, int viewHeight)
{
    if (setjmp(s->error.jump))
        return s->error.pub.msg_code;
    const bool cmyk = s->info.jpeg_color_space == JCS_CMYK || s->info.jpeg_color_space == JCS_YCCK;
    s->info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    // The size the picture is drawn at in the view, proportions kept.
    int wantWidth = 0, wantHeight = 0;
    if (viewWidth > 0 && viewHeight > 0 && s->info.image_width > 0 && s->info.image_height > 0) {
        const double sx = double(viewWidth) / s->info.image_width;
        const double sy = double(viewHeight) / s->info.image_height;
        const double k = sx < sy ? sx : sy;
        wantWidth = int(s->info.image_width * k);
        wantHeight = int(s->info.image_height * k);
    }
    s->info.scale_num = 1;
    s->info.scale_denom = scaleDenominator(s->info.image_width, s->info.image_height, wantWidth, wantHeight);
    jpeg_calc_output_dimensions(&s->info);
    return 0;
}

// Starts decompression (a progressive body is read whole here). Returns
// false when the body failed already.
bool start(Session *s)
{
    if (setjmp(s->error.jump))
        return false;
    jpeg_start_decompress(&s->info);
    return true;
}

// Decodes rows into `pixels` until the end, an error or `cancelled`;
// returns the number of rows written.
JDIMENSION readRows(Session *s, unsigned char *pixels, qsizetype bytesPerLine, const std::function<bool()> &cancelled)
{
    volatile JDIMENSION done = 0;
    if (setjmp(s->error.jump))
        return done;
    while (s->info.output_scanline < s->info.output_height && !(cancelled && cancelled())) {
        JSAMPROW row = pixels + qsizetype(s->info.output_scanline) * bytesPerLine;
        if (jpeg_read_scanlines(&s->info, &row, 1) != 1)
            break;
        done = s->info.output_scanline;
    }
    return done;
}

// Adobe writes CMYK JPEGs inverted (0 is full ink); that is what turns up.
void cmykToRgb(QImage &image, bool inverted)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<uchar *>(image.scanLine(y));
        auto *out = reinterpret_cast<QRgb *>(line);
        for (int x = 0; x < image.width(); ++x) {
            int c = line[4 * x], m = line[4 * x + 1], yl = line[4 * x + 2], k = line[4 * x + 3];
            if (!inverted) {
                c = 255 - c; m = 255 - m; yl = 255 - yl; k = 255 - k;
            }
            out[x] = qRgb(c * k / 255, m * k / 255, yl * k / 255);
        }
    }
}

PictureError jpegError(int code) { return PictureError(QStringLiteral("JPEG error #%1").arg(code)); }

// Destroying is safe once the session is zeroed, also when creating failed.
struct SessionGuard {
    Session &s;
    ~SessionGuard() { jpeg_destroy_decompress(&s.info); }
};

// Reads the header; throws "JPEG error #N" when it cannot be read. Bytes
// that are only the file's first (`partial`) may end inside the header:
// libjpeg warns when they run out, and false then says the rest must tell.
bool open(Session &s, const QByteArray &bytes, bool partial = false)
{
    s.info.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = jumpBack;
    s.error.pub.output_message = ignoreMessage;
    const int failure = readHeader(&s, reinterpret_cast<const unsigned char *>(bytes.constData()),
                                   static_cast<unsigned long>(bytes.size()));
    if (partial && s.error.pub.num_warnings > 0)
        return false;
    if (failure)
        throw jpegError(failure);
    return true;
}

// An uninitialised image of the output size; throws when there is no
// memory for it.
QImage outputImage(const Session &s)
{
    // The same bound as Qt's readers of the other formats.
    checkImageBound(s.info.output_width, s.info.output_height, s.info.image_width, s.info.image_height);
    QImage image(int(s.info.output_width), int(s.info.output_height), QImage::Format_RGB32);
    if (image.isNull())
        throw PictureError(QStringLiteral("Not enough memory for a %1 x %2 picture")
                               .arg(s.info.output_width).arg(s.info.output_height));
    return image;
}

} // namespace

bool jpegHeader(const QByteArray &bytes, const QSize &deviceSize, bool partial)
{
    Session s{};
    SessionGuard guard{s};
    if (!open(s, bytes, partial))
        return false;
    if (const int failure = chooseOutput(&s, deviceSize.width(), deviceSize.height()))
        throw jpegError(failure);
    // The one failure left for the body: found here too, while it can still
    // be reported with the header's. A picture that size is not kept.
    outputImage(s);
    return true;
}

QImage jpeg(const QByteArray &bytes, const QSize &deviceSize, const std::function<bool()> &cancelled)
{
    Session s{};
    SessionGuard guard{s};
    open(s, bytes);
    if (const int failure = chooseOutput(&s, deviceSize.width(), deviceSize.height()))
        throw jpegError(failure);

    QImage image = outputImage(s);
    // Rows a damaged body never reaches stay a neutral grey; a body that
    // fails before its first row (possible only in a progressive file, read
    // whole when starting) leaves all of them grey, as damage found in a
    // baseline body would.
    image.fill(QColor(128, 128, 128));
    if (start(&s)) {
        readRows(&s, image.bits(), image.bytesPerLine(), cancelled);
        if (s.info.out_color_space == JCS_CMYK)
            cmykToRgb(image, s.info.saw_Adobe_marker);
    }
    return reduced(image, deviceSize);
}

} // namespace platform::decoders
