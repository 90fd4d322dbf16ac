#include "JpegImage.h"

#include <QByteArray>
#include <QFile>

#include <csetjmp>
#include <cstdio> // jpeglib.h uses FILE without including stdio.h
#include <cstdlib>

extern "C" {
#include <jpeglib.h>
// jerror.h after jpeglib.h: it only lists the message codes.
#include <jerror.h>
}

namespace tafelix {

namespace {

// An emblem is a few kilobytes; these limits only keep a damaged or hostile file from making
// us allocate gigabytes on the strength of its header.
constexpr qint64 kMaxFileBytes = qint64{32} << 20;
constexpr unsigned long long kMaxPixels = 1ull << 24;

struct ErrorManager {
    jpeg_error_mgr pub; // first member: libjpeg hands back a pointer to it as cinfo->err
    std::jmp_buf escape;
};

// libjpeg's own handler calls exit(); ours jumps back into decode(), which cleans up.
[[noreturn]] void escapeOnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

// On a file that ends early libjpeg only warns and fills the rest of the picture with grey.
// A half-grey emblem looks broken, so that warning counts as an error; others are ignored.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        escapeOnError(cinfo);
}

void stayQuiet(j_common_ptr) {}

struct Decoder {
    jpeg_decompress_struct cinfo{}; // zeroed, so destroying it before creation is harmless
    ErrorManager err{};
    unsigned char* pixels = nullptr; // malloc'ed; owned by the QImage once decoding succeeds
    int width = 0;
    int height = 0;
    qsizetype stride = 0;
};

void releasePixels(void* pixels)
{
    std::free(pixels);
}

// Everything that a longjmp must find intact lives in *d: locals changed after setjmp would be
// indeterminate after the jump, and objects with destructors would be skipped by it.
bool decode(Decoder* d, const unsigned char* bytes, unsigned long size)
{
    d->cinfo.err = jpeg_std_error(&d->err.pub);
    d->err.pub.error_exit = escapeOnError;
    d->err.pub.emit_message = onMessage;
    d->err.pub.output_message = stayQuiet;
    if (setjmp(d->err.escape) != 0) {
        jpeg_destroy_decompress(&d->cinfo);
        std::free(d->pixels);
        d->pixels = nullptr;
        return false;
    }

    jpeg_create_decompress(&d->cinfo);
    jpeg_mem_src(&d->cinfo, bytes, size);
    jpeg_read_header(&d->cinfo, TRUE);
    d->cinfo.out_color_space = JCS_RGB; // libjpeg expands grayscale itself
    jpeg_start_decompress(&d->cinfo);

    const unsigned long long pixels =
        static_cast<unsigned long long>(d->cinfo.output_width) * d->cinfo.output_height;
    if (d->cinfo.output_components != 3 || pixels == 0 || pixels > kMaxPixels) {
        jpeg_destroy_decompress(&d->cinfo);
        return false;
    }
    d->width = static_cast<int>(d->cinfo.output_width);
    d->height = static_cast<int>(d->cinfo.output_height);
    d->stride = (qsizetype{d->width} * 3 + 3) & ~qsizetype{3};
    d->pixels = static_cast<unsigned char*>(
        std::malloc(static_cast<std::size_t>(d->stride) * static_cast<std::size_t>(d->height)));
    if (d->pixels == nullptr) {
        jpeg_destroy_decompress(&d->cinfo);
        return false;
    }

    while (d->cinfo.output_scanline < d->cinfo.output_height) {
        JSAMPROW row = d->pixels + qsizetype{d->cinfo.output_scanline} * d->stride;
        if (jpeg_read_scanlines(&d->cinfo, &row, 1) != 1) {
            // Only a suspending data source returns no line; ours never should.
            jpeg_destroy_decompress(&d->cinfo);
            std::free(d->pixels);
            d->pixels = nullptr;
            return false;
        }
    }
    jpeg_finish_decompress(&d->cinfo);
    jpeg_destroy_decompress(&d->cinfo);
    return true;
}

} // namespace

QImage decodeJpegFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return {};
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.isEmpty() || bytes.size() > kMaxFileBytes)
        return {};

    Decoder d;
    if (!decode(&d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                static_cast<unsigned long>(bytes.size())))
        return {};
    QImage image(d.pixels, d.width, d.height, d.stride, QImage::Format_RGB888, releasePixels,
                 d.pixels);
    if (image.isNull())
        std::free(d.pixels);
    return image;
}

} // namespace tafelix
