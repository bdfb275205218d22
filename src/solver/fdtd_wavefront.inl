// Body of the wavefront kernels; included once per instruction set after a vector type V
// with width, load (aligned), loadu, store (aligned), set1, sub, mul, add, carry (last
// lane of the previous vector followed by all but the last lane of this one), below (all but
// the first lane of this vector followed by the first lane of the next), factor (the
// face factors of rows y..y+W-1, from the double grid or from the bits); from four lanes up
// also neg (sign flipped), blend<lanes> and store_lanes<lanes>.
//
// Per step, in this order per cell, the operations of the three sweeps:
//   vx[x][y] = vx[x][y] - (0.5 (p[x+1][y] - p[x][y])) fx[x][y]     (x = 896: p[896][y])
//   vy[x][y] = vy[x][y] - (0.5 (p[x][y+1] - p[x][y])) fy[x][y]     (y = 722: p[x][722])
//   p[x][y]  = p[x][y] - 0.5 ((vx[x][y] - vx[x-1][y]) + (vy[x][y] - vy[x][y-1]))
// While every face product f is 0.0 or 1.0 the face term is computed as d (0.5 f), one
// multiplication fewer, and where f is known to be 1.0 as 0.5 d; face_term gives the
// argument that both are the same bits as (0.5 d) f.
// A cell's velocities read only old pressures and its pressure only new velocities, so one
// pass per step in column order equals the three sweeps. Step k of column x runs once step
// k-1 has finished column x+1 and row y+1; skewing step k by one column and by one vector of
// rows per step keeps every dependence pointing backwards, so bands of rows can run all
// steps while their columns are still in the first-level cache.

// Two vectors a round give the scheduler room around the line-splitting load of p[y+1].
#if defined(__GNUC__) && !defined(__clang__)
#define VORLA_UNROLL_TWICE _Pragma("GCC unroll 2")
#else
#define VORLA_UNROLL_TWICE
#endif

#include <cstring>

namespace {

using fdtd_kernel::first_x;
using fdtd_kernel::first_y;
using fdtd_kernel::last_x;
using fdtd_kernel::last_y;
using fdtd_kernel::stride;
using fdtd_kernel::wavefront_job;

// halved: the factor grids (and the bits' table) hold 0.5 f rather than f, which they do
// while every product is 0.0 or 1.0.
template <class V, bool halved> struct wavefront {
    static constexpr int W = V::width;

    // One cell, for the rows that do not fill a vector.
    static inline void cell(double* pc, const double* pn, double* vxc, const double* vxl,
                            double* vyc, const double* fxc, const double* fyc, int y,
                            bool last_column) {
        const double c = 0.5;
        const double p0 = pc[y];
        const double vxn = last_column ? p0 : vxc[y] - scalar_face_term(pn[y] - p0, fxc[y]);
        vxc[y] = vxn;
        const double vyn = y < last_y ? vyc[y] - scalar_face_term(pc[y + 1] - p0, fyc[y]) : p0;
        vyc[y] = vyn;
        pc[y] = p0 - c * ((vxn - vxl[y]) + (vyn - vyc[y - 1]));
    }

    static inline double scalar_face_term(double d, double factor) {
        if constexpr (halved) {
            return d * factor;
        } else {
            return (0.5 * d) * factor;
        }
    }

    using reg = typename V::reg;

    struct column {
        double* pc;       // pressure[x]
        const double* pn; // pressure[x + 1]
        double* vxc;
        const double* vxl; // velocity_x[x - 1]
        double* vyc;
        const double* fxc;
        const double* fyc;
        const unsigned char* fxb; // factor bits of column x
        const unsigned char* fyb;
    };

    struct vector_rows {
        reg p0, p_below, vx_left, vxn, vyn;
    };

    // The velocity part of rows y..y+W-1. Every load comes before any store: a load behind a
    // store to the same page offset (the same rows of columns two apart are three pages
    // apart) would wait for it.
    // p0 holds the pressures of rows y..y+W-1, p_next those of the next W rows.
    template <bool last_column, bool open_faces>
    static inline vector_rows velocities(const column& k, int y, reg p0, reg p_next) {
        vector_rows r;
        r.p0 = p0;
        r.p_below = V::below(p0, p_next);
        r.vx_left = V::load(k.vxl + y);
        const reg vy0 = V::load(k.vyc + y);
        if (last_column) {
            r.vxn = r.p0;
        } else {
            const reg p_right = V::load(k.pn + y);
            const reg vx0 = V::load(k.vxc + y);
            r.vxn = V::sub(vx0, face_term<open_faces>(V::sub(p_right, r.p0), k.fxc, k.fxb, y));
        }
        r.vyn = V::sub(vy0, face_term<open_faces>(V::sub(r.p_below, r.p0), k.fyc, k.fyb, y));
        return r;
    }

    // The face term (0.5 d) f of a difference d and a face product f. Where f is 0.0 or 1.0,
    // (0.5 d) f and d (0.5 f) are the same bits for every d, and so is 0.5 d where f = 1.0:
    // - f = 1.0: x 1.0 returns x itself for every x but a signalling NaN, and 0.5 d is never
    //   one (a product is quiet), so (0.5 d) 1.0 = 0.5 d; and d 0.5 is that same product,
    //   rounded once (with at most one NaN operand, the order of a product does not matter).
    // - f = 0.0 (never -0.0: it comes from an integer): for finite d both sides are a zero
    //   with the sign of d (0.5 d keeps the sign of d when it underflows to zero); for
    //   infinite d both are infinity x 0, the default NaN; for a NaN d both are d quieted,
    //   with its sign and payload, since 0.5 d already is and x 0.0 keeps it.
    template <bool open_faces>
    static inline reg face_term(reg d, const double* f, const unsigned char* bits, int y) {
        if constexpr (open_faces) {
            return V::mul(V::set1(0.5), d);
        } else if constexpr (halved) {
            return V::mul(d, V::factor(f, bits, y));
        } else {
            return V::mul(V::mul(V::set1(0.5), d), V::factor(f, bits, y));
        }
    }

    // Whether every face that rows y..end-1 of the column use has the product 1.0.
    static inline bool faces_open(const wavefront_job& j, int x, int y, int end) {
        if (j.walled_groups_before == nullptr) {
            return false;
        }
        const unsigned char* before = j.walled_groups_before + x * fdtd_kernel::group_count_stride;
        return before[(end + 7) / 8] == before[y / 8];
    }

    // Whole vectors of rows y..end-1 that touch no region edge; returns the first row left.
    // Each vector's pressures are loaded once, aligned, and give the row below to the vector
    // before them: a load one row down would split a cache line every time. (A vector's
    // next rows are stored only after its own loads, so p_next still holds the old values.)
    template <bool last_column, bool open_faces>
    static inline int vector_run(const column& k, int y, int end, reg& prev) {
        reg p0 = V::load(k.pc + y);
        VORLA_UNROLL_TWICE
        for (; y + W <= end; y += W) {
            const reg p_next = V::load(k.pc + y + W);
            const vector_rows r = velocities<last_column, open_faces>(k, y, p0, p_next);
            store_vector(k, y, r, prev);
            p0 = p_next;
        }
        return y;
    }

    static inline void store_vector(const column& k, int y, const vector_rows& r, reg& prev) {
        const reg p_new = pressure(r, V::carry(prev, r.vyn));
        V::store(k.vxc + y, r.vxn);
        V::store(k.vyc + y, r.vyn);
        V::store(k.pc + y, p_new);
        prev = r.vyn;
    }

    template <bool last_column>
    static inline int vector_rows_of(const wavefront_job& j, const column& k, int x, int y, int end,
                                     reg& prev) {
        if (y + W <= end && faces_open(j, x, y, end)) {
            return vector_run<last_column, true>(k, y, end, prev);
        }
        return vector_run<last_column, false>(k, y, end, prev);
    }

    // p - 0.5 ((vx - vx_left) + (vy - vy_above)), the x difference first.
    static inline reg pressure(const vector_rows& r, reg vy_above) {
        const reg dx = V::sub(r.vxn, r.vx_left);
        const reg dy = V::sub(r.vyn, vy_above);
        return V::sub(r.p0, V::mul(V::set1(0.5), V::add(dx, dy)));
    }

    // Step of column x over rows ya..yb-1.
    template <bool last_column>
    static inline void segment(const wavefront_job& j, int x, int ya, int yb) {
        const long base = static_cast<long>(x) * stride;
        column k;
        k.pc = j.pressure + base;
        k.pn = k.pc + stride;
        k.vxc = j.velocity_x + base;
        k.vxl = k.vxc - stride;
        k.vyc = j.velocity_y + base;
        k.fxc = j.factor_x + base;
        k.fyc = j.factor_y + base;
        k.fxb = j.factor_bits_x + x * fdtd_kernel::bit_stride;
        k.fyb = j.factor_bits_y + x * fdtd_kernel::bit_stride;

        // Open edges: the faces outside the region take the pressure before this step.
        if (x == first_x) {
            double* edge = k.vxc - stride;
            for (int y = ya; y < yb; ++y) {
                edge[y] = -k.pc[y];
            }
        }

        int y = ya;
        reg prev;
        if constexpr (W >= 4) {
            // Rows 146 and 722 are not on vector boundaries: the vectors that hold them keep
            // the rows outside the region as they are and put the edge values in rows 145
            // and 722.
            static_assert(first_y % 8 == 2 && (last_y - 2) % 8 == 0);
            if (ya == first_y) {
                y = first_y - 2;
                vector_rows r =
                    velocities<last_column, false>(k, y, V::load(k.pc + y), V::load(k.pc + y + W));
                // Lane 1 is row 145: -pressure[146], the second lane of p_below.
                r.vyn = V::template blend<0x2>(r.vyn, V::neg(r.p_below));
                const reg vyn = r.vyn;
                const reg p_new = pressure(r, V::carry(vyn, vyn));
                constexpr int rows = (0xFF << 2) & ((1 << W) - 1);
                V::template store_lanes<rows>(k.vxc + y, r.vxn);
                V::template store_lanes<rows | 0x2>(k.vyc + y, vyn);
                V::template store_lanes<rows>(k.pc + y, p_new);
                prev = vyn;
                y += W;
            } else {
                prev = V::loadu(k.vyc + y - W);
            }
            const int vector_end = yb < last_y - 2 ? yb : last_y - 2;
            y = vector_rows_of<last_column>(j, k, x, y, vector_end, prev);
            if (yb == last_y + 1) {
                // Rows 720, 721 and 722; lane 2 of velocity_y takes pressure[722].
                vector_rows r =
                    velocities<last_column, false>(k, y, V::load(k.pc + y), V::load(k.pc + y + W));
                r.vyn = V::template blend<0x4>(r.vyn, r.p0);
                const reg vyn = r.vyn;
                const reg p_new = pressure(r, V::carry(prev, vyn));
                V::template store_lanes<0x7>(k.vxc + y, r.vxn);
                V::template store_lanes<0x7>(k.vyc + y, vyn);
                V::template store_lanes<0x7>(k.pc + y, p_new);
                y = yb;
            }
        } else {
            if (ya == first_y) {
                k.vyc[first_y - 1] = -k.pc[first_y];
            }
            for (; y < yb && y % W != 0; ++y) {
                cell(k.pc, k.pn, k.vxc, k.vxl, k.vyc, k.fxc, k.fyc, y, last_column);
            }
            const int vector_end = yb < last_y ? yb : last_y;
            if (y + W <= vector_end) {
                prev = V::loadu(k.vyc + y - W);
                y = vector_rows_of<last_column>(j, k, x, y, vector_end, prev);
            }
        }
        for (; y < yb; ++y) {
            cell(k.pc, k.pn, k.vxc, k.vxl, k.vyc, k.fxc, k.fyc, y, last_column);
        }
    }

    // Step k has just finished rows ya..yb-1 of column x, and no later step has touched them.
    static void record_probes(const wavefront_job& j, int k, int x, int ya, int yb) {
        for (int i = 0; i < j.probe_count; ++i) {
            const fdtd_kernel::probe_cell c = j.probes[i];
            if (c.x == x && c.y >= ya && c.y < yb) {
                j.probe_pressures[k * j.probe_count + i] =
                    j.pressure[static_cast<long>(x) * stride + c.y];
            }
        }
    }

    static constexpr int mask_lookahead = 8;

    // Whether rows ya..y_last of mask column c still hold what the products were built from.
    // A kernel may compare with the bits of the 1-cells (V::mask_rows_match), which reads
    // half as much.
    static bool mask_column_unchanged(const wavefront_job& j, int c, int ya, int y_last) {
        const long base = static_cast<long>(c) * stride;
        if constexpr (requires { V::mask_rows_match(j.mask, j.mask_ones, ya, y_last); }) {
            return V::mask_rows_match(j.mask + base, j.mask_ones + c * fdtd_kernel::group_stride,
                                      ya, y_last);
        } else {
            return std::memcmp(j.mask + base + ya, j.mask_seen + base + ya,
                               sizeof(int32_t) * static_cast<std::size_t>(y_last - ya + 1)) == 0;
        }
    }

    // The cells that step 0's products in column x, rows ya..yb-1, come from: column x + 1
    // in rows ya..yb, and column x there too, which step 0 compared as the column right of
    // x - 1 in this band (rows from ya + column_skew) and in the band before (rows up to
    // ya + column_skew); the first column has no column left of it.
    static bool mask_unchanged(const wavefront_job& j, int x, int ya, int yb) {
        const int y_last = yb <= last_y ? yb : last_y;
        if (x + mask_lookahead <= last_x) {
            // The mask is read nowhere else, so nothing brings it in early but this.
            const int shift = j.column_skew * mask_lookahead;
            const int from = ya - shift > first_y ? ya - shift : first_y;
            const int32_t* ahead = j.mask + static_cast<long>(x + mask_lookahead) * stride;
            for (int y = from; y <= y_last - shift + 15; y += 16) {
                __builtin_prefetch(ahead + y, 0, 1);
            }
        }
        return (x != first_x || mask_column_unchanged(j, x, ya, y_last)) &&
               (x == last_x || mask_column_unchanged(j, x + 1, ya, y_last));
    }

    static int floor_div(int a, int b) {
        return a >= 0 ? a / b : -((-a + b - 1) / b);
    }

    // Bands run diagonally: step k of column x takes the rows from
    //   top = band - step_skew * k - column_skew * (x - first_x)
    // on. The skews keep every dependence pointing to an earlier front or band
    // (0 <= column_skew <= step_skew, 0 < step_skew), and whole lines keep every vector
    // aligned. With no column skew the bands lie level. With equal
    // skews every step of a front works on the same rows, so the next front needs only one
    // new line of each grid per step; the grids' different page offsets keep those rows of
    // the ten or so columns of a front from crowding the same first-level cache sets.
    static void run(const wavefront_job& j) {
        const int step_skew = j.step_skew;
        const int column_skew = j.column_skew;
        const int n = j.steps;
        const int h = j.band_rows;
        int low[fdtd_kernel::max_steps];
        int high[fdtd_kernel::max_steps];
        const int last_band = last_y + step_skew * (n - 1) + column_skew * (last_x - first_x);
        const int first_band = first_y - first_y % 8;
        for (int band = j.resume_band >= 0 ? j.resume_band : first_band; band <= last_band;
             band += h) {
            int front_low = last_x + n;
            int front_high = first_x - 1;
            for (int k = 0; k < n; ++k) {
                // Columns whose rows meet first_y..last_y: top <= last_y, top + h > first_y.
                const int top0 = band - step_skew * k;
                int lo = first_x;
                int hi = last_x;
                if (column_skew > 0) {
                    lo = first_x - floor_div(last_y - top0, column_skew);
                    hi = first_x + floor_div(top0 + h - first_y - 1, column_skew);
                } else if (top0 > last_y || top0 + h <= first_y) {
                    hi = lo - 1;
                }
                low[k] = lo > first_x ? lo : first_x;
                high[k] = hi < last_x ? hi : last_x;
                if (low[k] <= high[k]) {
                    front_low = low[k] + k < front_low ? low[k] + k : front_low;
                    front_high = high[k] + k > front_high ? high[k] + k : front_high;
                }
            }
            const int start = band == j.resume_band ? j.resume_front : front_low;
            for (int front = start; front <= front_high; ++front) {
                for (int k = 0; k < n; ++k) {
                    const int x = front - k;
                    if (x < low[k] || x > high[k]) {
                        continue;
                    }
                    const int top = band - step_skew * k - column_skew * (x - first_x);
                    const int ya = top > first_y ? top : first_y;
                    const int yb = top + h <= last_y ? top + h : last_y + 1;
                    if (k == 0 && j.mask != nullptr && !mask_unchanged(j, x, ya, yb)) {
                        // Nothing of this front has run yet.
                        *j.stop = fdtd_kernel::wavefront_stop{true, band, front};
                        return;
                    }
                    if (x == last_x) {
                        segment<true>(j, x, ya, yb);
                    } else {
                        segment<false>(j, x, ya, yb);
                    }
                    if (x == j.sine_x && j.sine_y >= ya && j.sine_y < yb) {
                        double& cell = j.pressure[static_cast<long>(x) * stride + j.sine_y];
                        cell = cell + j.sine_samples[k];
                    }
                    if (j.probe_count > 0) {
                        record_probes(j, k, x, ya, yb);
                    }
                }
            }
        }
    }
};

// The products as the job holds them: halved while every one is 0.0 or 1.0.
template <class V> void run_wavefront(const wavefront_job& j) {
    if (j.halved_factors) {
        wavefront<V, true>::run(j);
    } else {
        wavefront<V, false>::run(j);
    }
}

} // namespace
