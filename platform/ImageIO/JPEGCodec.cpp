#include "ImageIO/JPEGCodec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>
#include <cstdio>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <memory>

#include "Foundation/NSLog.h"
#include "ImageIO/ImageCodecLimits.h"

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the decode or encode call, which then cleans up.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) {
        return;  // trace messages
    }
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    // A stream that ends early would decode as grey padding: treat it as broken.
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
        errorExit(cinfo);
    }
    (*cinfo->err->format_message)(cinfo, err->message);
    NSLogWithLevel(NSLogLevel::Warning, "JPEG: %s", err->message);
}

void installErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.message[0] = '\0';
}

// Runs after setjmp so that nothing with a destructor lives between the jump
// and its target.
bool readPixels(jpeg_decompress_struct& cinfo, uint8_t* pixels) {
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + size_t(cinfo.output_scanline) * cinfo.output_width * 4;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

bool JPEGCodec::isJPEG(const uint8_t* bytes, size_t size) {
    return size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

CGImageRef JPEGCodec::decode(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || !isJPEG(bytes, size)) {
        NSLogWithLevel(NSLogLevel::Error, "JPEG decode: not a JPEG stream");
        return nullptr;
    }
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    installErrorManager(err);
    cinfo.err = &err.pub;
    // Locals changed after setjmp are unreliable after the jump, so the pixel
    // buffer lives on the heap behind a pointer fixed before it.
    const auto pixels = std::make_unique<std::vector<uint32_t>>();
    if (setjmp(err.jump)) {
        NSLogWithLevel(NSLogLevel::Error, "JPEG decode: %s", err.message);
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (!ImageDimensionsAcceptable(cinfo.image_width, cinfo.image_height)) {
        NSLogWithLevel(NSLogLevel::Error, "JPEG decode: refusing %u x %u pixels", cinfo.image_width,
                       cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    // libjpeg-turbo writes B, G, R, 0xFF bytes: native 0xFFRRGGBB words.
    cinfo.out_color_space = JCS_EXT_BGRA;
    pixels->resize(size_t(cinfo.image_width) * cinfo.image_height);
    readPixels(cinfo, reinterpret_cast<uint8_t*>(pixels->data()));
    const size_t width = cinfo.output_width, height = cinfo.output_height;
    jpeg_destroy_decompress(&cinfo);
    // Already opaque words of the image's size: the image takes them as they are.
    return std::make_shared<CGImage>(width, height, std::move(*pixels), true);
}

std::optional<std::vector<uint8_t>> JPEGCodec::encode(const CGImage& image, CGFloat quality) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    installErrorManager(err);
    cinfo.err = &err.pub;
    // Written by libjpeg after setjmp, so kept on the heap (see decode).
    struct Destination {
        unsigned char* buffer = nullptr;
        unsigned long length = 0;
    };
    const auto dest = std::make_unique<Destination>();
    if (setjmp(err.jump)) {
        NSLogWithLevel(NSLogLevel::Error, "JPEG encode: %s", err.message);
        jpeg_destroy_compress(&cinfo);
        std::free(dest->buffer);
        return std::nullopt;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &dest->buffer, &dest->length);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    const double q = std::isfinite(quality) ? std::clamp(double(quality), 0.0, 1.0) : 1.0;
    jpeg_set_quality(&cinfo, std::max(1, int(std::lround(q * 100))), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(image.data() + size_t(cinfo.next_scanline) * image.bytesPerRow());
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(dest->buffer, dest->buffer + dest->length);
    std::free(dest->buffer);
    return out;
}
