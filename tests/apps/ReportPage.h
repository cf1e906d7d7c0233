#pragma once
// Reads a report page back: its figures and the PNG pictures inside them.

#include <string>
#include <vector>

#include "apps/Png.h"

inline std::vector<std::uint8_t> FromBase64(const std::string& text) {
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = bits << 6 | unsigned(digits.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(std::uint8_t(bits >> count & 255u));
        }
    }
    return bytes;
}

// Every picture of the page, in order, with its alt text. (Found by hand: std::regex
// recurses per character and overflows the stack on a picture's long data.)
inline std::vector<std::pair<std::string, Image>> Pictures(const std::string& page) {
    const std::string alt = "<img alt=\"", data = "src=\"data:image/png;base64,";
    std::vector<std::pair<std::string, Image>> pictures;
    for (std::size_t at = page.find(alt); at != std::string::npos; at = page.find(alt, at + 1)) {
        const std::size_t nameStart = at + alt.size();
        const std::size_t dataStart = page.find(data, at) + data.size();
        const std::size_t dataEnd = page.find('"', dataStart);
        pictures.emplace_back(page.substr(nameStart, page.find('"', nameStart) - nameStart),
                              DecodePng(FromBase64(page.substr(dataStart, dataEnd - dataStart))));
    }
    return pictures;
}

// The HTML of the figure with that id after its picture: the tick labels.
inline std::string LabelsOf(const std::string& page, const std::string& id) {
    const std::size_t start = page.find("<figure id=\"" + id + "\"");
    const std::string figure = page.substr(start, page.find("</figure>", start) - start);
    return figure.substr(figure.find('>', figure.find("base64,")));
}
