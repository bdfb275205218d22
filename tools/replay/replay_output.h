// The files a replayed session leaves in its output folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes count little-endian values; returns the file's SHA-256 in hex. Throws
// std::runtime_error when the file cannot be written.
std::string write_f64_grid(const std::string& path, const double* values, std::size_t count);
std::string write_i32_grid(const std::string& path, const int32_t* values, std::size_t count);

// state.json: the scalars and points of simulation_state, "closed" and the log lines.
std::string state_json(bool closed, const std::vector<std::string>& log_lines);

// One row "time_step,pressure" per sample, pressure with 17 significant digits.
struct probe_sample {
    int32_t time_step;
    double pressure;
};
std::string probe_csv(const std::vector<probe_sample>& samples);

// 16-bit PCM mono, 44,100 samples per second; pressure 1.0 is full scale, clipped; NaN is 0.
std::vector<uint8_t> probe_wav(const std::vector<probe_sample>& samples);

// PNG of a 0x00RRGGBB image with the given row pitch in pixels.
void write_png(const std::string& path, const uint32_t* pixels, int width, int height, int pitch);

void write_file(const std::string& path, const void* data, std::size_t size);
