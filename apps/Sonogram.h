#pragma once
// One spectrogram picture of a stream, built while the stream passes: the power spectra
// of its analysis frames arrive one by one, and each picture column keeps, per bin, the
// largest power of the frames centred in it. The maximum (not the mean) keeps a single
// click visible however many frames a column covers. Rows follow a logarithmic
// frequency axis; a row takes the largest bin inside its band, or interpolates between
// bins where rows are narrower than bins. Memory: one column of bins and the picture's
// levels, whatever the length of the stream.

#include <cstdint>
#include <vector>

#include "apps/Image.h"
#include "apps/ReportAxes.h"

class Sonogram {
public:
    // A stream of `streamFrames` frames at `rate`, spectra of `bins` bins (FFT size / 2 + 1),
    // drawn `columns` wide on `axis` (upward, its pixels being the rows).
    Sonogram(std::int64_t streamFrames, double rate, int bins, int columns,
                const FrequencyAxis& axis);

    // The power of each bin (full-scale sine = 1) of the frame centred on `centre`.
    // Centres must not decrease.
    void Add(std::int64_t centre, const float* power);
    // Completes the last column; columns no frame fell in repeat the one before.
    void Finish();

    int Columns() const { return columns; }
    int Rows() const { return rows; }
    // After Finish: the level in dB of a pixel.
    float LevelDb(int column, int row) const {
        return levels[std::size_t(row) * std::size_t(columns) + std::size_t(column)];
    }
    // The levels through the colour map, `lowDb` darkest and `highDb` brightest.
    Image Render(float lowDb, float highDb) const;

private:
    // Per row: the bins [first, last) inside its band, and the fractional bin at its centre.
    struct RowBand {
        int first, last;
        double centreBin;
    };
    void FlushColumn();
    float RowPower(const RowBand& band) const;

    std::int64_t streamFrames;
    int bins, columns, rows;
    std::vector<RowBand> bands;
    std::vector<float> columnPower;
    int column = -1;
    std::vector<bool> filled;
    std::vector<float> levels;
};
