#pragma once

#include <cstdint>

// The image families that the welcome page tells apart by an image's first 32 bytes. Each
// handset model family has its picture; the first two signatures both belong to type 0.
constexpr int IMAGE_TYPE_UNKNOWN = -1;
constexpr int IMAGE_TYPE_SIGNATURE_COUNT = 5;

// The signature at `index` (0..4, in the order they are compared), 32 bytes.
const uint8_t* ImageTypeSignature(int index);
// The image type that signature `index` stands for.
int ImageTypeOfSignature(int index);

// The type of an image whose first 32 bytes are `first32`: the first signature that matches
// all 32 bytes decides, in order; no match gives IMAGE_TYPE_UNKNOWN.
int RecognizeImageType(const uint8_t* first32);
