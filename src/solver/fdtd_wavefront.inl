// Body of the wavefront kernels; included once per instruction set after a vector type V
// with width, load (aligned), loadu, store (aligned), set1, sub, mul, add, neg and carry
// (last lane of the previous vector followed by all but the last lane of this one).
//
// Per step, in this order per cell, exactly the operations of the three sweeps:
//   vx[x][y] = vx[x][y] - (0.5 (p[x+1][y] - p[x][y])) fx[x][y]     (x = 896: p[896][y])
//   vy[x][y] = vy[x][y] - (0.5 (p[x][y+1] - p[x][y])) fy[x][y]     (y = 722: p[x][722])
//   p[x][y]  = p[x][y] - 0.5 ((vx[x][y] - vx[x-1][y]) + (vy[x][y] - vy[x][y-1]))
// A cell's velocities read only old pressures and its pressure only new velocities, so one
// pass per step in column order equals the three sweeps. Step k of column x runs once step
// k-1 has finished column x+1 and row y+1; skewing step k by one column and by one vector of
// rows per step keeps every dependence pointing backwards, so bands of rows can run all
// steps while their columns are still in the first-level cache.

namespace {

using fdtd_kernel::first_x;
using fdtd_kernel::first_y;
using fdtd_kernel::last_x;
using fdtd_kernel::last_y;
using fdtd_kernel::stride;
using fdtd_kernel::wavefront_job;

template <class V> struct wavefront {
    static constexpr int W = V::width;

    // One cell, for the rows that do not fill a vector.
    static inline void cell(double* pc, const double* pn, double* vxc, const double* vxl,
                            double* vyc, const double* fxc, const double* fyc, int y,
                            bool last_column) {
        const double c = 0.5;
        const double p0 = pc[y];
        const double vxn = last_column ? p0 : vxc[y] - (c * (pn[y] - p0)) * fxc[y];
        vxc[y] = vxn;
        const double vyn = y < last_y ? vyc[y] - (c * (pc[y + 1] - p0)) * fyc[y] : p0;
        vyc[y] = vyn;
        pc[y] = p0 - c * ((vxn - vxl[y]) + (vyn - vyc[y - 1]));
    }

    // Step of column x over rows ya..yb-1.
    template <bool last_column>
    static inline void segment(const wavefront_job& j, int x, int ya, int yb) {
        const long base = static_cast<long>(x) * stride;
        double* pc = j.pressure + base;
        const double* pn = pc + stride;
        double* vxc = j.velocity_x + base;
        double* vxl = vxc - stride;
        double* vyc = j.velocity_y + base;
        const double* fxc = j.factor_x + base;
        const double* fyc = j.factor_y + base;

        // Open edges: the faces outside the region take the pressure before this step.
        if (x == first_x) {
            for (int y = ya; y < yb; ++y) {
                vxl[y] = -pc[y];
            }
        }
        if (ya == first_y) {
            vyc[first_y - 1] = -pc[first_y];
        }

        int y = ya;
        for (; y < yb && y % W != 0; ++y) {
            cell(pc, pn, vxc, vxl, vyc, fxc, fyc, y, last_column);
        }
        const int vector_end = yb < last_y ? yb : last_y;
        if (y + W <= vector_end) {
            const typename V::reg c = V::set1(0.5);
            typename V::reg prev = V::loadu(vyc + y - W);
            for (; y + W <= vector_end; y += W) {
                // Every load before any store: the grids lie a multiple of 4 KiB apart, and a
                // load behind a store to the same page offset would wait for it.
                const typename V::reg p0 = V::load(pc + y);
                const typename V::reg p_below = V::loadu(pc + y + 1);
                const typename V::reg p_right = last_column ? p0 : V::load(pn + y);
                const typename V::reg vx0 = V::load(vxc + y);
                const typename V::reg vx_left = V::load(vxl + y);
                const typename V::reg vy0 = V::load(vyc + y);
                const typename V::reg fx = last_column ? p0 : V::load(fxc + y);
                const typename V::reg fy = V::load(fyc + y);

                const typename V::reg vxn =
                    last_column ? p0 : V::sub(vx0, V::mul(V::mul(c, V::sub(p_right, p0)), fx));
                const typename V::reg vyn = V::sub(vy0, V::mul(V::mul(c, V::sub(p_below, p0)), fy));
                const typename V::reg vy_above = V::carry(prev, vyn);
                const typename V::reg dx = V::sub(vxn, vx_left);
                const typename V::reg dy = V::sub(vyn, vy_above);
                const typename V::reg pn_ = V::sub(p0, V::mul(c, V::add(dx, dy)));
                V::store(vxc + y, vxn);
                V::store(vyc + y, vyn);
                V::store(pc + y, pn_);
                prev = vyn;
            }
        }
        for (; y < yb; ++y) {
            cell(pc, pn, vxc, vxl, vyc, fxc, fyc, y, last_column);
        }
    }

    static int floor_div(int a, int b) {
        return a >= 0 ? a / b : -((-a + b - 1) / b);
    }

    // Bands run diagonally: step k of column x takes the rows from
    //   top = band - step_skew * k - column_skew * (x - first_x)
    // on. Column strides of 1.5 pages put a row of every column into two first-level cache
    // sets; moving each column's rows up by one line spreads them over all sets. Both skews
    // keep every dependence pointing to an earlier front or band (column_skew <= step_skew),
    // and whole lines keep every vector aligned.
    static void run(const wavefront_job& j) {
        constexpr int step_skew = 8;
        constexpr int column_skew = 8;
        const int n = j.steps;
        const int h = j.band_rows;
        int low[fdtd_kernel::max_steps];
        int high[fdtd_kernel::max_steps];
        const int last_band = last_y + step_skew * (n - 1) + column_skew * (last_x - first_x);
        for (int band = first_y - first_y % 8; band <= last_band; band += h) {
            int front_low = last_x + n;
            int front_high = first_x - 1;
            for (int k = 0; k < n; ++k) {
                // Columns whose rows meet first_y..last_y: top <= last_y, top + h > first_y.
                const int top0 = band - step_skew * k;
                const int lo = first_x - floor_div(last_y - top0, column_skew);
                const int hi = first_x + floor_div(top0 + h - first_y - 1, column_skew);
                low[k] = lo > first_x ? lo : first_x;
                high[k] = hi < last_x ? hi : last_x;
                if (low[k] <= high[k]) {
                    front_low = low[k] + k < front_low ? low[k] + k : front_low;
                    front_high = high[k] + k > front_high ? high[k] + k : front_high;
                }
            }
            for (int front = front_low; front <= front_high; ++front) {
                for (int k = 0; k < n; ++k) {
                    const int x = front - k;
                    if (x < low[k] || x > high[k]) {
                        continue;
                    }
                    const int top = band - step_skew * k - column_skew * (x - first_x);
                    const int ya = top > first_y ? top : first_y;
                    const int yb = top + h <= last_y ? top + h : last_y + 1;
                    if (x == last_x) {
                        segment<true>(j, x, ya, yb);
                    } else {
                        segment<false>(j, x, ya, yb);
                    }
                    if (x == j.sine_x && j.sine_y >= ya && j.sine_y < yb) {
                        double& cell = j.pressure[static_cast<long>(x) * stride + j.sine_y];
                        cell = cell + j.sine_samples[k];
                    }
                }
            }
        }
    }
};

} // namespace
