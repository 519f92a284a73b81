#pragma once

#include <cstddef>
#include <cstdint>

// The image-processing functions of the platform that the image effects use,
// on 8-bit, 4-channel pixel buffers. Channels are taken in memory order: for
// the premultiplied little-endian pixels of bitmap contexts that is B, G, R, A.

struct vImage_Buffer {
    void* data;
    size_t height;
    size_t width;
    size_t rowBytes;
};

using vImage_Error = ptrdiff_t;
using vImage_Flags = uint32_t;
using vImagePixelCount = size_t;
using Pixel_8888 = uint8_t[4];

inline constexpr vImage_Error kvImageNoError = 0;
inline constexpr vImage_Error kvImageRoiLargerThanInputBuffer = -21766;
inline constexpr vImage_Error kvImageInvalidKernelSize = -21767;
inline constexpr vImage_Error kvImageNullPointerArgument = -21772;
inline constexpr vImage_Error kvImageInvalidParameter = -21773;
inline constexpr vImage_Error kvImageBufferSizeMismatch = -21774;

inline constexpr vImage_Flags kvImageNoFlags = 0;
inline constexpr vImage_Flags kvImageCopyInPlace = 2;
inline constexpr vImage_Flags kvImageBackgroundColorFill = 4;
inline constexpr vImage_Flags kvImageEdgeExtend = 8;
inline constexpr vImage_Flags kvImageDoNotTile = 16;
inline constexpr vImage_Flags kvImageTruncateKernel = 64;
inline constexpr vImage_Flags kvImageGetTempBufferSize = 128;

// Averages every channel over a kernelHeight x kernelWidth box (both odd)
// centred on each pixel. dest covers the region of src starting at
// (srcOffsetToROI_X, srcOffsetToROI_Y). Samples outside src come from the
// nearest edge (kvImageEdgeExtend), are backgroundColor
// (kvImageBackgroundColorFill), or are left out of the average
// (kvImageTruncateKernel); with kvImageCopyInPlace pixels whose box leaves
// src are copied unchanged. tempBuffer may be null; kvImageGetTempBufferSize
// answers 0. src and dest must not overlap.
vImage_Error vImageBoxConvolve_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                        void* tempBuffer, vImagePixelCount srcOffsetToROI_X,
                                        vImagePixelCount srcOffsetToROI_Y, uint32_t kernelHeight,
                                        uint32_t kernelWidth, const Pixel_8888 backgroundColor,
                                        vImage_Flags flags);

// Per pixel, with channels p[0..3] in memory order:
// out[j] = clamp((sum over i of (p[i] + preBias[i]) * matrix[i * 4 + j]) / divisor
//                + postBias[j], 0, 255), the division rounding to nearest.
// The biases may be null (zero). src and dest must have the same size and may
// be the same buffer.
vImage_Error vImageMatrixMultiply_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           const int16_t matrix[16], int32_t divisor,
                                           const int16_t* preBias, const int32_t* postBias,
                                           vImage_Flags flags);
