#pragma once

#include "CoreGraphics/CGGeometry.h"

enum CTTextAlignment {
    kCTTextAlignmentLeft = 0,
    kCTTextAlignmentRight = 1,
    kCTTextAlignmentCenter = 2,
    kCTTextAlignmentJustified = 3,
    kCTTextAlignmentNatural = 4,
};

enum CTLineBreakMode {
    kCTLineBreakByWordWrapping = 0,
    kCTLineBreakByCharWrapping = 1,
    kCTLineBreakByClipping = 2,
    kCTLineBreakByTruncatingHead = 3,
    kCTLineBreakByTruncatingTail = 4,
    kCTLineBreakByTruncatingMiddle = 5,
};

// The paragraph settings text layout honours. A line is its font's line
// height times lineHeightMultiple high, kept between the minimum and
// maximum line heights (the maximum winning over a larger minimum); zero
// means no multiple or no limit.
struct CTParagraphStyle {
    CTTextAlignment alignment = kCTTextAlignmentNatural;
    CTLineBreakMode lineBreakMode = kCTLineBreakByWordWrapping;
    CGFloat lineSpacing = 0;  // extra space between lines
    CGFloat minimumLineHeight = 0;
    CGFloat maximumLineHeight = 0;
    CGFloat lineHeightMultiple = 0;
    CGFloat firstLineHeadIndent = 0;
    bool operator==(const CTParagraphStyle&) const = default;
};
