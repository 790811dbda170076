#include "windows/JpegPicture.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace lumbrook {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps
// back to the decoder's setjmp instead of ending the process.
struct JumpingErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jumpBack;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<JumpingErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jumpBack, 1);
}

void noOutput(j_common_ptr) {}

// The pixels go into a buffer that lives in the caller's frame: between setjmp and
// a longjmp no object with a destructor may be created, so this side keeps only
// plain data and does its allocations through the callback.
struct Sink {
    std::vector<std::uint8_t>* rgb;
    std::uint8_t* (*resize)(std::vector<std::uint8_t>*, std::size_t) noexcept;
};

// Must not throw: an exception cannot travel through libjpeg's C frames.
std::uint8_t* resizeBuffer(std::vector<std::uint8_t>* buffer, std::size_t size) noexcept {
    try {
        buffer->assign(size, 0);
        return buffer->data();
    } catch (...) {
        return nullptr;
    }
}

// Decoration pictures are small; anything larger is not one of ours.
constexpr JDIMENSION MaxSide = 4096;

bool decodeInto(const std::uint8_t* data, std::size_t size, Sink sink, int* width, int* height,
                char* message) {
    jpeg_decompress_struct info;
    JumpingErrorManager error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = errorExit;
    error.base.output_message = noOutput;
    error.message[0] = '\0';
    if (setjmp(error.jumpBack)) {
        jpeg_destroy_decompress(&info);
        for (int i = 0; i < JMSG_LENGTH_MAX && (message[i] = error.message[i]) != '\0'; ++i) {
        }
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) ERREXIT(&info, JERR_BAD_IN_COLORSPACE);
    if (info.output_width > MaxSide || info.output_height > MaxSide)
        ERREXIT1(&info, JERR_IMAGE_TOO_BIG, MaxSide);
    const std::size_t stride = std::size_t{info.output_width} * 3;
    std::uint8_t* pixels = sink.resize(sink.rgb, stride * info.output_height);
    if (!pixels) ERREXIT1(&info, JERR_OUT_OF_MEMORY, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    *width = static_cast<int>(info.output_width);
    *height = static_cast<int>(info.output_height);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

bool decodeJpeg(const std::uint8_t* data, std::size_t size, JpegPicture& picture,
                std::string& error) {
    picture = {};
    if (!data || size == 0) {
        error = "Empty picture";
        return false;
    }
    char message[JMSG_LENGTH_MAX] = {};
    int width = 0, height = 0;
    const Sink sink{&picture.rgb, resizeBuffer};
    if (!decodeInto(data, size, sink, &width, &height, message)) {
        picture = {};
        error = message;
        return false;
    }
    picture.width = width;
    picture.height = height;
    return true;
}

}  // namespace lumbrook
