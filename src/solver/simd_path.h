// Which vector instructions the kernels use. Picked once from the processor at first use;
// tests and benchmarks may force any path the processor supports. Every path gives the same
// bits.
#pragma once

enum class simd_path { portable, sse2, avx2, avx512 };

// The widest path this processor (and its operating system) can run.
simd_path best_simd_path();

bool simd_path_supported(simd_path path);

// The path the kernels use now.
simd_path active_simd_path();

// Makes the kernels use the given path; returns false and changes nothing if unsupported.
bool force_simd_path(simd_path path);

const char* simd_path_name(simd_path path);
