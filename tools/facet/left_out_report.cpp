// ReportLeftOut: see left_out_report.h.
#include "left_out_report.h"

#include "text_escapes.h"

#include <string>
#include <vector>

namespace {

// 2077 as "2,077".
std::string Grouped(std::size_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// "a", "a or b", "a, b or c" (and with "and").
std::string Listed(const std::vector<std::string>& items, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? std::string(" ") + last + " " : ", ";
        text += items[i];
    }
    return text;
}

}  // namespace

void ReportLeftOut(std::FILE* to, const char* command, const char* output, const facet::MeshFileData& data,
                   facet::MeshFileFormat format) {
    const facet::MeshFileLosses losses = facet::MeshFileLossesOf(data, format);
    if (!losses.Any()) return;
    std::vector<std::string> kinds, counts;
    const auto add = [&](std::size_t count, const char* kind) {
        if (count == 0) return;
        kinds.push_back(kind);
        counts.push_back(Grouped(count) + " " + kind);
    };
    add(losses.normals, "vertex normals");
    add(losses.textureCoordinates, "texture coordinates");
    add(losses.colors, "colours");
    add(losses.alphas, "colour alphas");
    add(losses.verticesOutsideFaces, "vertices outside the faces");
    const std::size_t total =
        losses.normals + losses.textureCoordinates + losses.colors + losses.alphas + losses.verticesOutsideFaces;
    const std::string leftOut =
        counts.size() == 1 ? Grouped(total) + (total == 1 ? " was" : " were") : Listed(counts, "and") + " were";
    std::fprintf(to, "facet %s: %s holds no %s; %s left out\n", command, PrintableText(output).c_str(),
                 Listed(kinds, "or").c_str(), leftOut.c_str());
}
