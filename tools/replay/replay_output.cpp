#include "replay_output.h"

#include "state/simulation_state.h"

#include <QImage>
#include <openssl/sha.h>

#include <bit>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace {

// SHA-256 through OpenSSL, which uses the processor's SHA instructions where it has them:
// hashing the five grids (24 MiB) is most of what writing the outputs costs.
std::string sha256_hex(const void* data, std::size_t size) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(static_cast<const unsigned char*>(data), size, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char byte : digest) {
        out += hex[byte >> 4];
        out += hex[byte & 0xF];
    }
    return out;
}

template <typename T>
std::string write_le_grid(const std::string& path, const T* values, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        write_file(path, values, count * sizeof(T)); // already the file's byte order
        return sha256_hex(values, count * sizeof(T));
    }
    std::vector<uint8_t> bytes(count * sizeof(T));
    for (std::size_t i = 0; i < count; ++i) {
        uint64_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof(T));
        for (std::size_t b = 0; b < sizeof(T); ++b) {
            bytes[i * sizeof(T) + b] = static_cast<uint8_t>(bits >> (8 * b));
        }
    }
    write_file(path, bytes.data(), bytes.size());
    return sha256_hex(bytes.data(), bytes.size());
}

void put_le(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) {
        out.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
}

std::string json_char(char c) {
    if (c == '"' || c == '\\') {
        return std::string("\"\\") + c + "\"";
    }
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\"\\u%04x\"", static_cast<unsigned char>(c));
        return buf;
    }
    return std::string("\"") + c + "\"";
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string json_point(const point& p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "[%d, %d]", p.x, p.y);
    return buf;
}

} // namespace

void write_file(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string write_f64_grid(const std::string& path, const double* values, std::size_t count) {
    return write_le_grid(path, values, count);
}

std::string write_i32_grid(const std::string& path, const int32_t* values, std::size_t count) {
    return write_le_grid(path, values, count);
}

std::string state_json(bool closed, const std::vector<std::string>& log_lines) {
    const auto& s = simulation_state;
    std::string j = "{\n";
    auto field = [&j](const char* name, const std::string& value) {
        j += "  \"";
        j += name;
        j += "\": " + value + ",\n";
    };
    field("is_running", std::to_string(s.is_running));
    field("steps_per_frame", std::to_string(s.steps_per_frame));
    field("panel_left", std::to_string(s.panel_left));
    field("panel_top", std::to_string(s.panel_top));
    field("line_height", std::to_string(s.line_height));
    field("source_type", json_char(s.source_type));
    field("frequency_key", json_char(s.frequency_key));
    field("draw_kind", json_char(s.draw_kind));
    field("left_button_down", std::to_string(s.left_button_down));
    field("source_placed", std::to_string(s.source_placed));
    field("right_click_count", std::to_string(s.right_click_count));
    field("bitmap_load_count", std::to_string(s.bitmap_load_count));
    field("time_step", std::to_string(s.time_step));
    field("cursor_pos", json_point(s.cursor_pos));
    field("drag_start", json_point(s.drag_start));
    field("drag_end", json_point(s.drag_end));
    field("drag_prev_end", json_point(s.drag_prev_end));
    field("ellipse_center", json_point(s.ellipse_center));
    field("ellipse_half_x", std::to_string(s.ellipse_half_x));
    field("ellipse_half_y", std::to_string(s.ellipse_half_y));
    field("source_pos", json_point(s.source_pos));
    field("closed", closed ? "true" : "false");
    j += "  \"log\": [";
    for (std::size_t i = 0; i < log_lines.size(); ++i) {
        j += (i ? ", " : "") + json_string(log_lines[i]);
    }
    j += "]\n}\n";
    return j;
}

std::string probe_csv(const std::vector<probe_sample>& samples) {
    std::string out = "time_step,pressure\n";
    char buf[64];
    for (const auto& s : samples) {
        std::snprintf(buf, sizeof buf, "%d,%.17g\n", s.time_step, s.pressure);
        out += buf;
    }
    return out;
}

std::vector<uint8_t> probe_wav(const std::vector<probe_sample>& samples) {
    constexpr uint32_t rate = 44100;
    const auto data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> w;
    w.reserve(44 + data_bytes);
    const auto tag = [&w](const char* t) {
        for (int i = 0; i < 4; ++i) {
            w.push_back(static_cast<uint8_t>(t[i]));
        }
    };
    tag("RIFF");
    put_le(w, 36 + data_bytes, 4);
    tag("WAVE");
    tag("fmt ");
    put_le(w, 16, 4);
    put_le(w, 1, 2); // PCM
    put_le(w, 1, 2); // mono
    put_le(w, rate, 4);
    put_le(w, rate * 2, 4);
    put_le(w, 2, 2);
    put_le(w, 16, 2);
    tag("data");
    put_le(w, data_bytes, 4);
    for (const auto& s : samples) {
        double v = s.pressure * 32767.0;
        int32_t sample = 0;
        if (v >= 32767.0) {
            sample = 32767;
        } else if (v <= -32768.0) {
            sample = -32768;
        } else if (v == v) {
            sample = static_cast<int32_t>(std::lround(v));
        }
        put_le(w, static_cast<uint32_t>(sample) & 0xFFFFu, 2);
    }
    return w;
}

void write_png(const std::string& path, const uint32_t* pixels, int width, int height, int pitch) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            row[x] = 0xFF000000u | (pixels[static_cast<std::size_t>(y) * pitch + x] & 0xFFFFFFu);
        }
    }
    if (!image.save(QString::fromStdString(path), "PNG")) {
        throw std::runtime_error("cannot write " + path);
    }
}
