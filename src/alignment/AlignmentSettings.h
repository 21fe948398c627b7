#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The alignment tools' ten settings and the spiral-search table, as the window holds them.
// A run reads them live, so a change made while it waits applies at the next read.
struct AlignmentSettings
{
    double ImageScale = 0;       // arcseconds per unbinned pixel
    double MaxPosErr = 0;        // arcseconds
    double MaxRotErr = 0;        // degrees
    int16_t MaxItterations = 0;
    int16_t ExposureTime = 0;    // seconds
    int16_t ImagingProgram = 0;  // 0 CCDSoft, 1 MaxIm DL
    int16_t AstrometricEngine = 0; // 0 PinPoint, 1 CCDSoft/TheSky
    QString CatalogPath;
    int16_t Catalog = 0;         // index into the catalog list; 2 is the placeholder "n/a"
    int16_t SpiralSearch = 0;    // 1 = search around the field when a solve fails

    // Row k: multipliers of retry k + 1, column 0 for declination, column 1 for right
    // ascension, in quarter fields. Zero until the window has loaded.
    std::array<std::array<int16_t, 2>, 12> SpiralOffsetTable{};

    static constexpr std::array<std::array<int16_t, 2>, 12> SpiralOffsets{{
        {-1, 1}, {1, 1}, {-1, -1}, {1, -1}, {0, 2}, {2, 2},
        {-2, 2}, {-2, 0}, {2, 0}, {0, -2}, {2, -2}, {-2, -2},
    }};
};
