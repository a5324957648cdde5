#!/usr/bin/python3
"""The numeric correction's solution written plainly in numpy, as the yardstick for ours: the same
iteration (real transform, inverse Laplacian, centred-difference gradient cleared on the ring,
divergence, residual over the pupil, measured values put back) on a 512 x 512 grid with a pupil of
80 px, 100 iterations as correction_loop_bench's BM_Solution512 runs them.

Usage: solution_numpy.py [ROUNDS]   (needs Debian's python3-numpy; prints min and median over rounds)
Compare with: FRONTLYS_THREADS=1 build/bench/correction_loop_bench --benchmark_filter=Solution"""
import statistics
import sys
import time

import numpy as np

N, RADIUS_PX, ITERATIONS = 512, 80.0, 100
h = 1.0 / RADIUS_PX
axis = (np.arange(N) - N / 2) * h
x, y = np.meshgrid(axis, axis)
radius = np.hypot(x, y)
pupil = radius <= 1.0
on_ring = ~pupil & (radius > 0.9) & (radius <= 1.15)
measured = np.where(pupil, 3 * (2 * radius**2 - 1) + x * y, 0.0)
v = np.fft.fftfreq(N) * N
u = np.arange(N // 2 + 1)
q = u[None, :] ** 2 + v[:, None] ** 2
inverse_laplacian = np.where(q == 0, 0.0, -h * h / (4 * np.pi**2) / np.where(q == 0, 1, q))


def derivative(a, axis_index):
    d = np.zeros_like(a)
    if axis_index == 1:
        d[:, 1:-1] = (a[:, 2:] - a[:, :-2]) / (2 * h)
    else:
        d[1:-1, :] = (a[2:, :] - a[:-2, :]) / (2 * h)
    return d


def solve():
    lap = measured.copy()
    residuals = []
    for _ in range(ITERATIONS):
        w = np.fft.irfft2(np.fft.rfft2(lap) * inverse_laplacian, s=(N, N))
        gx, gy = derivative(w, 1), derivative(w, 0)
        gx[on_ring] = 0
        gy[on_ring] = 0
        next_lap = derivative(gx, 1) + derivative(gy, 0)
        residuals.append(np.sqrt(np.sum((measured - next_lap)[pupil] ** 2)))
        lap = next_lap
        lap[pupil] = measured[pupil]
    return w


rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 5
wall, cpu = [], []
for _ in range(rounds):
    c0, w0 = time.process_time(), time.perf_counter()
    solve()
    wall.append((time.perf_counter() - w0) * 1e3)
    cpu.append((time.process_time() - c0) * 1e3)
print("numpy solution, %d iterations: wall min %.0f / median %.0f ms, CPU min %.0f / median %.0f ms"
      % (ITERATIONS, min(wall), statistics.median(wall), min(cpu), statistics.median(cpu)))
