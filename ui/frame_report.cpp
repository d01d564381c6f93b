#include "ui/frame_report.h"

#include <cmath>

namespace kalorix {

namespace {

void AppendClean(std::string& out, const std::string& text) {
    for (char c : text) out.push_back(c == '\n' || c == '\r' ? ' ' : c);
}

std::string Whole(float v) { return std::to_string(std::lround(v)); }

}  // namespace

std::string FormatFrameReport(const FrameReport& report) {
    std::string out = "frame " + std::to_string(report.frame) + "\n";
    for (const auto& [key, value] : report.values) {
        out += key;
        out += ' ';
        AppendClean(out, value);
        out += '\n';
    }
    for (const HitRegion& r : report.regions) {
        out += "region " + Whole(r.left) + ' ' + Whole(r.top) + ' ' + Whole(r.width) + ' ' + Whole(r.height) + ' ';
        AppendClean(out, ActionName(r.id));
        out += '\n';
    }
    return out;
}

}  // namespace kalorix
