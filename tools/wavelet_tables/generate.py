#!/usr/bin/python3
"""Generates analysis/wavelet_coefficients.cpp, the wavelet filter bank table.

Run at development time with Debian's interpreter and packages:
    /usr/bin/python3 tools/wavelet_tables/generate.py > analysis/wavelet_coefficients.cpp

Sources of the coefficients:
  * Haar, Coiflets 1-5, Discrete Meyer and the spline biorthogonal filters of
    orders 1.x-3.x are taken from PyWavelets as published.
  * Daubechies 1-44 and Symlets 2-37 are computed from the maximally flat
    polynomial with 120 significant digits. Daubechies takes the roots inside
    the unit circle; computed db1-db38 must equal PyWavelets bit for bit.
    Symlets take the root choice whose phase is closest to linear; computed
    sym2-sym20 must agree with PyWavelets' (12-digit) tables to 1e-11.
  * Biorthogonal 4.4, 5.5 and 6.8 (and their reverse forms) are stored in
    PyWavelets to about 12 digits; their roots are identified and the filters
    rebuilt in high precision.
The generator stops at the first check that fails.
"""
import itertools
import sys

import mpmath
import numpy as np
import pywt

mpmath.mp.dps = 120
SQRT2 = mpmath.sqrt(2)


def fail(msg):
    sys.stderr.write("generate.py: " + msg + "\n")
    sys.exit(1)


def flat_poly_roots(k):
    """Roots y of P_k(y) = sum_j C(k-1+j, j) y^j, y = sin^2(w/2)."""
    if k <= 1:
        return []
    coeffs = [mpmath.binomial(k - 1 + j, j) for j in range(k)]
    roots = mpmath.polyroots(list(reversed(coeffs)), maxsteps=2000, extraprec=600)
    return [mpmath.mpc(r) for r in roots]


def z_pair(y):
    """The two z with z + 1/z = 2 - 4y, the one inside the unit circle first."""
    b = 2 - 4 * y
    d = mpmath.sqrt(b * b - 4)
    z1, z2 = (b + d) / 2, (b - d) / 2
    return (z1, z2) if abs(z1) < abs(z2) else (z2, z1)


def poly_from_roots(roots):
    """Ascending coefficients of prod (z - r)."""
    c = [mpmath.mpc(1)]
    for r in roots:
        nxt = [mpmath.mpc(0)] * (len(c) + 1)
        for i, v in enumerate(c):
            nxt[i + 1] += v
            nxt[i] -= r * v
        c = nxt
    return c


def lowpass_from_roots(n, roots):
    """sqrt(2) ((1+z)/2)^n q(z) / q(1), ascending coefficients, as mp reals."""
    c = poly_from_roots(list(roots) + [mpmath.mpf(-1)] * n)
    s = sum(c)
    return [mpmath.re(v * SQRT2 / s) for v in c]


def to_doubles(c):
    return [float(v) for v in c]


def qmf(h):
    n = len(h)
    return [(-1) ** (k + 1) * h[n - 1 - k] for k in range(n)]


# ---------------------------------------------------------------- Daubechies

def daubechies(n):
    if n == 1:
        return [SQRT2 / 2, SQRT2 / 2]
    inside = [z_pair(y)[0] for y in flat_poly_roots(n)]
    return lowpass_from_roots(n, inside)


# ------------------------------------------------------------------ Symlets

def root_groups(n):
    """Groups of z roots chosen together: a real y root gives one reciprocal
    pair, a conjugate pair of y roots gives two. Each group: (inside, outside)."""
    ys = flat_poly_roots(n)
    groups, used = [], [False] * len(ys)
    for i, y in enumerate(ys):
        if used[i]:
            continue
        used[i] = True
        zin, zout = z_pair(y)
        if abs(mpmath.im(y)) < mpmath.mpf(10) ** -60:
            groups.append(([mpmath.re(zin)], [mpmath.re(zout)], abs(zout), False))
            continue
        j = min((j for j in range(len(ys)) if not used[j]), key=lambda j: abs(ys[j] - mpmath.conj(y)))
        used[j] = True
        groups.append(([zin, mpmath.conj(zin)], [zout, mpmath.conj(zout)], abs(zout), True))
    return groups


def phase_scores(groups, fixed):
    """Score of every choice (bit set: outside roots) of the free groups: how
    far the unwrapped phase of the candidate's root part is from a straight
    line of whole turns. The zeros at z = -1 are common to all candidates and
    sit on the unit circle, where they would only add a half-turn jump."""
    w = np.linspace(0.0, 2.0 * np.pi, 200)
    e = np.exp(-1j * w)
    resp = []
    for g in groups:
        ins = np.prod([(e - complex(r)) for r in g[0]], axis=0) if g[0] else np.ones_like(e)
        out = np.prod([(e - complex(r)) for r in g[1]], axis=0) if g[1] else np.ones_like(e)
        resp.append((ins, out))
    free = [i for i in range(len(groups)) if i != fixed]
    base = resp[fixed][0]
    choices = np.array(list(itertools.product([0, 1], repeat=len(free))), dtype=np.int8).reshape(2 ** len(free), len(free))
    scores = np.empty(len(choices))
    chunk = 4096
    for s in range(0, len(choices), chunk):
        ch = choices[s:s + chunk]
        h = np.tile(base, (len(ch), 1))
        for col, gi in enumerate(free):
            h *= np.where(ch[:, col:col + 1] == 1, resp[gi][1], resp[gi][0])
        ph = np.unwrap(np.angle(h), axis=1)
        ph = ph - ph[:, :1]
        turns = np.round(ph[:, -1:] / (2 * np.pi))
        res = ph - turns * w
        scores[s:s + chunk] = np.sum(res * res, axis=1)
    return choices, free, scores


def symlet(n):
    if n == 1:
        return daubechies(1)
    groups = root_groups(n)
    complex_groups = [i for i, g in enumerate(groups) if g[3]]
    # Each filter has a time-reversed twin of equal score; fixing one group
    # to its inside roots keeps only one of the two.
    fixed = max(complex_groups or range(len(groups)), key=lambda i: groups[i][2])
    choices, free, scores = phase_scores(groups, fixed)
    order = np.argsort(scores)
    if len(order) > 1 and scores[order[1]] - scores[order[0]] < 1e-6:
        fail("sym%d: two root choices score within 1e-6" % n)
    best = choices[order[0]]
    roots = []
    if fixed is not None:
        roots += groups[fixed][0]
    for col, gi in enumerate(free):
        roots += groups[gi][1] if best[col] else groups[gi][0]
    h = lowpass_from_roots(n, roots)
    if n in (4, 5, 7, 8):
        h = list(reversed(h))
    return h


# ------------------------------------------------------------ Biorthogonal

def refine_spline_filter(f, k, highpass):
    """Rebuilds a filter of the spline biorthogonal family in high precision:
    its roots are -1 (+1 for a high-pass) and roots of P_k's z quadratics."""
    first = next(i for i, v in enumerate(f) if v != 0.0)
    last = max(i for i, v in enumerate(f) if v != 0.0)
    run = f[first:last + 1]
    sign = [(-1) ** i for i in range(len(run))] if highpass else [1] * len(run)
    lp = [s * v for s, v in zip(sign, run)]
    scale = sum(abs(v) for v in lp)
    chosen = []
    for y in flat_poly_roots(k):
        z1 = complex(z_pair(y)[0])
        val = sum(c * z1 ** i for i, c in enumerate(lp))
        if abs(val) < 1e-7 * scale:
            chosen.append(y)
    a = len(lp) - 1 - 2 * len(chosen)
    if a < 0:
        fail("spline filter: too many roots matched")
    roots = [mpmath.mpf(-1)] * a
    for y in chosen:
        roots += list(z_pair(y))
    c = [mpmath.re(v) for v in poly_from_roots(roots)]
    target = sum(lp)
    snapped = SQRT2 if abs(target - float(SQRT2)) < 1e-8 else -SQRT2 if abs(target + float(SQRT2)) < 1e-8 else None
    if snapped is None:
        fail("spline filter: coefficient sum %r is not +-sqrt(2)" % target)
    s = sum(c)
    c = [v * snapped / s for v in c]
    if max(abs(float(x) - y) for x, y in zip(c, lp)) > 1e-9:
        fail("spline filter: rebuilt filter differs from the published one")
    out = [0.0] * len(f)
    for i, v in enumerate(c):
        out[first + i] = float(v * sign[i])
    return out


def spline_pair(name):
    w = pywt.Wavelet(name)
    h, g = list(w.dec_lo), list(w.dec_hi)
    if name[-3:] in ("4.4", "5.5", "6.8"):
        nz = lambda f: sum(1 for v in f if v != 0.0) and (max(i for i, v in enumerate(f) if v) - min(i for i, v in enumerate(f) if v) + 1)
        k = (nz(w.dec_lo) + nz(w.rec_lo)) // 4
        h = refine_spline_filter(h, k, False)
        g = refine_spline_filter(g, k, True)
    return h, g


# ---------------------------------------------------------------- checks

def check_equal(name, mine, published, tol):
    if len(mine) != len(published):
        fail("%s: length %d, published %d" % (name, len(mine), len(published)))
    err = max(abs(a - b) for a, b in zip(mine, published))
    if err > tol:
        fail("%s: differs from PyWavelets by %g" % (name, err))


def emit_array(out, ident, values):
    out.append("const double %s[] = {%s};" % (ident, ", ".join(repr(float(v)) for v in values)))


def main():
    families = []  # (name, [(order name, h, g)])

    haar = pywt.Wavelet("haar")
    families.append(("Haar", [("2", list(haar.dec_lo), list(haar.dec_hi))]))

    dbs = []
    for n in range(1, 45):
        h = to_doubles(daubechies(n))
        if n <= 38:
            w = pywt.Wavelet("db%d" % n)
            if h != list(w.dec_lo):
                check_equal("db%d" % n, h, list(w.dec_lo), 0.0)
                fail("db%d: not bit for bit equal to PyWavelets" % n)
        dbs.append(("%d" % (2 * n), h, qmf(h)))
    dbs.append(("88", dbs[-1][1], dbs[-1][2]))
    families.append(("Daubechies", dbs))

    coifs = []
    for n in range(1, 6):
        w = pywt.Wavelet("coif%d" % n)
        coifs.append(("%d" % (6 * n), list(w.dec_lo), list(w.dec_hi)))
    families.append(("Coiflets", coifs))

    syms = []
    for n in range(2, 38):
        h = to_doubles(symlet(n))
        if n <= 20:
            check_equal("sym%d" % n, h, list(pywt.Wavelet("sym%d" % n).dec_lo), 2e-11)
        syms.append(("%d" % (2 * n), h, qmf(h)))
    families.append(("Symlets", syms))

    dmey = pywt.Wavelet("dmey")
    families.append(("Discrete Meyer", [("62", list(dmey.dec_lo), list(dmey.dec_hi))]))

    orders = ["1.1", "1.3", "1.5", "2.2", "2.4", "2.6", "2.8", "3.1", "3.3", "3.5", "3.7", "3.9", "4.4", "5.5", "6.8"]
    bior_names = ["2/2", "2/6", "2/10", "3/5", "3/9", "3/13", "3/17", "4/4", "4/7", "4/12", "4/16", "4/20", "7/9", "11/9", "11/17"]
    rbio_names = ["/".join(reversed(s.split("/"))) for s in bior_names]
    families.append(("Biorthogonal", [(lab,) + spline_pair("bior" + o) for lab, o in zip(bior_names, orders)]))
    families.append(("Reverse Biorthogonal", [(lab,) + spline_pair("rbio" + o) for lab, o in zip(rbio_names, orders)]))

    for fam, entries in families:
        for lab, h, g in entries:
            if len(h) != len(g):
                fail("%s %s: filters of different lengths" % (fam, lab))

    out = []
    out.append("// Generated by tools/wavelet_tables/generate.py; do not edit.")
    out.append("// Python %s, PyWavelets %s, NumPy %s, mpmath %s." % (
        sys.version.split()[0], pywt.__version__, np.__version__, mpmath.__version__))
    out.append("// The 45th Daubechies entry repeats db44: the published filter of the next")
    out.append("// order has 90 taps, and cutting it to 88 would break its vanishing moments.")
    out.append('#include "analysis/wavelet_coefficients.hpp"')
    out.append("")
    out.append("namespace tav::wavelet_data {")
    out.append("namespace {")
    out.append("")
    idents = []
    for fi, (fam, entries) in enumerate(families):
        fam_ids = []
        for oi, (lab, h, g) in enumerate(entries):
            if fam == "Daubechies" and oi == 44:
                fam_ids.append(fam_ids[43])
                continue
            base = "kF%dO%d" % (fi, oi)
            emit_array(out, base + "H", h)
            emit_array(out, base + "G", g)
            fam_ids.append(base)
        out.append("")
        out.append("const WaveletFilterData kFamily%d[] = {" % fi)
        for (lab, h, g), base in zip(entries, fam_ids):
            out.append('    {"%s", %d, %sH, %sG},' % (lab, len(h), base, base))
        out.append("};")
        out.append("")
        idents.append((fam, len(entries)))
    out.append("}  // namespace")
    out.append("")
    out.append("const WaveletFamilyData kFamilies[kWaveletFamilyCount] = {")
    for fi, (fam, count) in enumerate(idents):
        out.append('    {"%s", %d, kFamily%d},' % (fam, count, fi))
    out.append("};")
    out.append("")
    out.append("}  // namespace tav::wavelet_data")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
