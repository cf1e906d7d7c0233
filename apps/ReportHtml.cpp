#include "apps/ReportHtml.h"

#include <cstdio>

#include "apps/Png.h"

namespace {

const char* const style = R"(
body{font:14px/1.4 system-ui,sans-serif;color:#222;background:#fff;margin:24px;max-width:1100px}
h1{font-size:22px;margin:0 0 12px}h2{font-size:17px;margin:28px 0 8px;border-bottom:1px solid #ccc}
h3{font-size:14px;margin:14px 0 4px}
table{border-collapse:collapse;margin:6px 0}td,th{border:1px solid #ccc;padding:3px 9px;text-align:left;vertical-align:top}
th{background:#f2f2f2}td.n{text-align:right;font-variant-numeric:tabular-nums}
summary{cursor:pointer;margin:6px 0}
figure{margin:6px 0 18px;break-inside:avoid;page-break-inside:avoid}
.plot{position:relative;margin:0 0 26px 76px;line-height:0}
.plot img{display:block;image-rendering:pixelated;border:1px solid #888}
.y,.x{position:absolute;font-size:11px;line-height:12px;white-space:nowrap;color:#333}
.y{right:100%;margin-right:8px;transform:translateY(-50%)}
.y::after{content:"";position:absolute;left:100%;top:50%;width:5px;margin-left:2px;border-top:1px solid #555}
.x{top:100%;margin-top:7px;transform:translateX(-50%)}
.x::before{content:"";position:absolute;left:50%;bottom:100%;height:5px;margin-bottom:1px;border-left:1px solid #555}
figcaption{font-size:12px;color:#555;margin-left:76px}
.key{margin:2px 0 6px 76px;font-size:12px}.key span{display:inline-block;margin-right:16px}
.key i{display:inline-block;width:14px;height:10px;margin-right:5px;border:1px solid #888;vertical-align:middle}
@media print{body{margin:0;font-size:11px}h2{margin-top:14px}}
)";

std::string Pixels(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1fpx", value);
    return text;
}

std::string HexColour(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    return text;
}

} // namespace

std::string Base64(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const unsigned group = unsigned(bytes[i]) << 16 |
                               (left > 1 ? unsigned(bytes[i + 1]) << 8 : 0u) |
                               (left > 2 ? unsigned(bytes[i + 2]) : 0u);
        text += digits[group >> 18 & 63];
        text += digits[group >> 12 & 63];
        text += left > 1 ? digits[group >> 6 & 63] : '=';
        text += left > 2 ? digits[group & 63] : '=';
    }
    return text;
}

std::string EscapeHtml(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

HtmlPage::HtmlPage(std::string_view title) : title(EscapeHtml(title)) {
    body += "<h1>" + this->title + "</h1>\n";
}

void HtmlPage::Heading(std::string_view text) {
    body += "<h2>" + EscapeHtml(text) + "</h2>\n";
}

void HtmlPage::Paragraph(std::string_view text) {
    body += "<p>" + EscapeHtml(text) + "</p>\n";
}

void HtmlPage::Table(const std::vector<std::vector<std::string>>& rows, bool header,
                     std::string_view folded) {
    if (!folded.empty()) body += "<details><summary>" + EscapeHtml(folded) + "</summary>\n";
    body += "<table>\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const bool head = header && r == 0;
        body += "<tr>";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const char* cell = head ? "th" : (c > 0 && header ? "td class=\"n\"" : "td");
            body += std::string("<") + cell + ">" + EscapeHtml(rows[r][c]) + "</" +
                    (head ? "th" : "td") + ">";
        }
        body += "</tr>\n";
    }
    body += "</table>\n";
    if (!folded.empty()) body += "</details>\n";
}

void HtmlPage::AddFigure(const Figure& figure) {
    const Image& image = figure.image;
    body += "<figure id=\"" + figure.id + "\">";
    if (!figure.title.empty()) body += "<h3>" + EscapeHtml(figure.title) + "</h3>";
    body += "<div class=\"plot\" style=\"width:" + Pixels(image.Width() + 2) + "\">";
    body += "<img alt=\"" + figure.id + "\" width=\"" + std::to_string(image.Width()) +
            "\" height=\"" + std::to_string(image.Height()) + "\" src=\"data:image/png;base64," +
            Base64(EncodePng(image)) + "\">";
    for (const Tick& tick : figure.leftTicks)
        body += "<span class=\"y\" style=\"top:" + Pixels(tick.position + 1) + "\">" +
                EscapeHtml(tick.label) + "</span>";
    for (const Tick& tick : figure.bottomTicks)
        body += "<span class=\"x\" style=\"left:" + Pixels(tick.position + 1) + "\">" +
                EscapeHtml(tick.label) + "</span>";
    body += "</div>";
    if (!figure.caption.empty())
        body += "<figcaption>" + EscapeHtml(figure.caption) + "</figcaption>";
    body += "</figure>\n";
}

void HtmlPage::Key(const std::vector<KeyEntry>& entries) {
    body += "<div class=\"key\">";
    for (const KeyEntry& entry : entries)
        body += "<span><i style=\"background:" + HexColour(entry.colour) + "\"></i>" +
                EscapeHtml(entry.label) + "</span>";
    body += "</div>\n";
}

std::string HtmlPage::Text() const {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" + title +
           "</title>\n<style>" + style + "</style></head><body>\n" + body + "</body></html>\n";
}
