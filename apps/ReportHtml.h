#pragma once
// A self-contained HTML page built piece by piece: headings, text, tables and figures
// whose pictures travel inside the page as PNG data and whose tick labels are HTML text
// placed beside them, so they stay crisp on screen and in print. No script, no link to
// anything outside the page.

#include <string>
#include <string_view>
#include <vector>

#include "apps/Image.h"
#include "apps/ReportAxes.h"

struct Figure {
    // Names the picture in the page (its alt text and id).
    std::string id;
    std::string title;
    const Image& image;
    std::vector<Tick> leftTicks;
    std::vector<Tick> bottomTicks;
    // Printed under the picture.
    std::string caption;
};

struct KeyEntry {
    Rgb colour;
    std::string label;
};

class HtmlPage {
public:
    explicit HtmlPage(std::string_view title);

    void Heading(std::string_view text);
    void Paragraph(std::string_view text);
    // The first row is the header when `header`. With a `folded` summary the table stays
    // folded under it until opened (HTML's own details element, no script).
    void Table(const std::vector<std::vector<std::string>>& rows, bool header,
               std::string_view folded = {});
    void AddFigure(const Figure& figure);
    // Coloured swatches naming the lines or marks of the figure that follows.
    void Key(const std::vector<KeyEntry>& entries);
    std::string Text() const;

private:
    std::string body;
    std::string title;
};

std::string Base64(const std::vector<std::uint8_t>& bytes);
std::string EscapeHtml(std::string_view text);
