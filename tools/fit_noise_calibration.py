#!/usr/bin/python3
"""Fits the noise calibration of the automatic profile (resources/NoiseCalibration.ini).

  tools/fit_noise_calibration.py [--build DIR] [--jobs N] [--check]

Run by `make calibrate` after `make build photos`. Steps:

1. The clean corpus: the fetched camera photos (build/test-photos) shrunk six to twelve times, so
   that their own noise and JPEG artefacts vanish, and cut into pieces of different content.
2. Noisy photos: every clean photo with Gaussian noise and with signal-dependent Poisson-Gaussian
   noise, each also saved as JPEG at quality 85, 90 or 95, at noise levels σ 1.5 to 24 on the 8-bit
   scale (fixed seeds: every run makes the same photos).
3. The sweep: build/calibration_sweep denoises each noisy photo at every strength of a list and
   measures the PSNR of every pair of luma and chroma strengths and of detail gain sets.
4. The fit: per measured noise level, the strengths and gains that serve the corpus best.
5. The check: a plain `stillgrain-cli denoise` of every noisy photo, with the new table beside it
   and fresh settings, against the best of the sweep over strength 4 to 50 (chroma 1.5 × strength)
   and the detail gains; and the clean photos, denoised as they are, against themselves.

--check skips the fit and checks the table that resources/ holds. The photos, the results and a
report (report.txt) are written to DIR/calibration; the sweeps are kept there and reused while the
photos are the same (they are named by the noisy photo's content).

--held-out checks the table that resources/ holds on photos the fit never sees instead: seven test
pictures that scikit-image ships (python3-skimage), under the same noise models with other seeds at
σ 4, 7, 11, 16 and 22, written to DIR/calibration/held-out.
"""

import argparse
import concurrent.futures
import hashlib
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np
from PIL import Image

ROOT = Path(__file__).resolve().parent.parent
TABLE_NAME = "NoiseCalibration.ini"
TABLE_VERSION = 2

# name, fetched photo, shrink factor, crop (left, top, right, bottom as fractions) or None, tone
# ("bright": the night scene lifted into the middle tones, as a daylight photo of much detail would
# be), grey
CLEAN_PHOTOS = [
    ("city-sky", "sony-alpha-6000.jpg", 6, (0.30, 0.30, 0.70, 0.70), "", False),
    ("city-lights", "sony-alpha-6000.jpg", 6, (0.05, 0.55, 0.45, 0.95), "bright", False),
    ("city-whole", "sony-alpha-6000.jpg", 12, None, "bright", False),
    ("hand-jeans", "short-ascii-II.jpg", 6, (0.0, 0.45, 0.55, 1.0), "", False),
    ("hand-whole", "short-ascii-II.jpg", 10, None, "", False),
    ("city-grey", "sony-alpha-6000.jpg", 8, (0.35, 0.30, 0.85, 0.90), "bright", True),
]
# The held-out check: scikit-image's test pictures (0.13 to 0.27 megapixels, camera and grass grey).
HELD_OUT_PICTURES = ["astronaut", "chelsea", "coffee", "rocket", "immunohistochemistry", "camera",
                     "grass"]
HELD_OUT_SIGMAS = [4, 7, 11, 16, 22]
NOISE_MODELS = ["gauss", "poisson", "gauss-jpeg", "poisson-jpeg"]
SIGMAS = [1.5, 3, 5, 8, 12, 17, 24]
JPEG_QUALITIES = [85, 90, 95]
# Strengths 0 to 3 for nearly clean photos, then steps of 1.5^(1/4) from 4 to 50, so that 1.5 ×
# a strength is a strength of the list too, and 25 and 25.5 on either side of the engine's pre-blur,
# where the results jump: the fit interpolates between the strengths run, never across the jump.
PRE_BLUR_ABOVE = 25.0
STRENGTHS = sorted([0, 1, 2, 3, 25, 25.5] + [round(min(4 * 1.5 ** (k / 4), 50), 3)
                                            for k in range(26)])
# Detail gain sets T, M, R: mostly the tiny details, which carry what noise the filter leaves.
GAIN_SETS = [(t, 1.0, 1.0) for t in (0.25, 0.4, 0.55, 0.7, 0.85, 1.0, 1.15)] + [
    (0.7, 0.9, 1.0), (0.85, 0.9, 1.0), (1.0, 0.9, 1.0), (1.0, 1.1, 1.0)]


def log(text):
    print(text, file=sys.stderr, flush=True)


def seed_of(*parts):
    return int(hashlib.sha256("/".join(map(str, parts)).encode()).hexdigest()[:8], 16)


def make_clean(photos, work):
    """The clean corpus as 8-bit PNG files; returns {name: path}."""
    clean = {}
    folder = work / "clean"
    folder.mkdir(parents=True, exist_ok=True)
    for name, photo, factor, crop, tone, grey in CLEAN_PHOTOS:
        path = folder / f"{name}.png"
        clean[name] = path
        pixels = np.asarray(Image.open(photos / photo).convert("RGB")).astype(np.float32)
        if tone == "bright":
            # A smooth curve of slope 2.5 at black and 0.3 at white, applied before shrinking so
            # that the shadows' steps of one level are averaged away with the noise.
            pixels = 255.0 * (1 - np.exp(-2.2 * pixels / 255.0)) / (1 - np.exp(-2.2))
        planes = [Image.fromarray(pixels[..., c], "F") for c in range(3)]
        size = (planes[0].width // factor, planes[0].height // factor)
        pixels = np.stack([np.asarray(p.resize(size, Image.LANCZOS)) for p in planes], axis=-1)
        if crop:
            h, w = pixels.shape[:2]
            pixels = pixels[int(crop[1] * h):int(crop[3] * h), int(crop[0] * w):int(crop[2] * w)]
        if grey:
            pixels = pixels @ np.array([0.299, 0.587, 0.114], dtype=np.float32)
        Image.fromarray(np.clip(np.floor(pixels + 0.5), 0, 255).astype(np.uint8)).save(path)
    return clean


def add_noise(pixels, model, sigma, rng):
    """`pixels` (float, 0 to 255) with noise of the model; σ is the deviation at mid-grey."""
    if model.startswith("gauss"):
        deviation = sigma
    else:
        # Poisson-Gaussian: the variance grows with the signal, a fifth of it at black.
        deviation = sigma * np.sqrt(0.2 + 0.8 * pixels / 128.0)
    noisy = pixels + rng.normal(0.0, 1.0, pixels.shape) * deviation
    return np.clip(np.floor(noisy + 0.5), 0, 255).astype(np.uint8)


def make_held_out_clean(work):
    """The held-out pictures as 8-bit PNG files; returns {name: path}."""
    try:
        import skimage.data
    except ImportError:
        sys.exit("fit_noise_calibration: --held-out needs scikit-image (python3-skimage)")
    clean = {}
    folder = work / "clean"
    folder.mkdir(parents=True, exist_ok=True)
    for name in HELD_OUT_PICTURES:
        clean[name] = folder / f"{name}.png"
        Image.fromarray(getattr(skimage.data, name)()).save(clean[name])
    return clean


def make_noisy(clean, work, sigmas=SIGMAS, seed_salt=()):
    """Every clean photo under every noise model and level (the seeds made of `seed_salt` and the
    photo's label); returns a list of cases."""
    cases = []
    folder = work / "noisy"
    folder.mkdir(parents=True, exist_ok=True)
    for name, clean_path in clean.items():
        pixels = np.asarray(Image.open(clean_path)).astype(np.float64)
        for model in NOISE_MODELS:
            for index, sigma in enumerate(sigmas):
                jpeg = model.endswith("jpeg")
                quality = JPEG_QUALITIES[(index + len(name)) % len(JPEG_QUALITIES)]
                label = f"{name}_{model}_{sigma:g}" + (f"_q{quality}" if jpeg else "")
                path = folder / (label + (".jpg" if jpeg else ".png"))
                cases.append({"name": label, "clean": str(clean_path), "noisy": str(path),
                              "photo": name, "model": model, "sigma": sigma})
                rng = np.random.default_rng(seed_of(*seed_salt, label))
                image = Image.fromarray(add_noise(pixels, model, sigma, rng))
                if jpeg:
                    image.save(path, quality=quality)
                else:
                    image.save(path)
        cases.append({"name": f"{name}_clean", "clean": str(clean_path),
                      "noisy": str(clean_path), "photo": name, "model": "clean", "sigma": 0})
    return cases


def sweep_one(tool, case, folder):
    # Named by the noisy photo's content and the lists as well, so that a changed corpus or a
    # changed list is swept again.
    strengths = ",".join(f"{s:g}" for s in STRENGTHS)
    gains = ";".join(",".join(f"{g:g}" for g in gain) for gain in GAIN_SETS)
    digest = hashlib.sha256(Path(case["noisy"]).read_bytes() +
                            f"{strengths}/{gains}".encode()).hexdigest()[:12]
    out = folder / f"{case['name']}-{digest}.json"
    if out.exists():
        return json.loads(out.read_text())
    result = subprocess.run([str(tool), case["clean"], case["noisy"], strengths, gains],
                            check=True, capture_output=True, text=True)
    out.write_text(result.stdout)
    return json.loads(result.stdout)


def measure_noise(build, cases):
    """The noise of every noisy photo as the program measures it (calibration_sweep --noise)."""
    tool = build / "calibration_sweep"
    for case in cases:
        result = subprocess.run([str(tool), "--noise", case["noisy"]], check=True,
                                capture_output=True, text=True)
        case["noise"] = json.loads(result.stdout)


def run_sweeps(build, cases, work, jobs):
    tool = build / "calibration_sweep"
    folder = work / "sweeps"
    folder.mkdir(parents=True, exist_ok=True)
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        futures = {pool.submit(sweep_one, tool, case, folder): case for case in cases}
        for done, future in enumerate(concurrent.futures.as_completed(futures), 1):
            case = futures[future]
            case["sweep"] = future.result()
            if done % 20 == 0 or done == len(cases):
                log(f"swept {done}/{len(cases)}")


# The knots of the table: measured levels where the fit places a point.
LUMA_KNOTS = [0.0, 0.6, 0.9, 1.1, 1.3, 1.5, 1.7, 2.0, 2.3, 2.6, 3.0, 3.4, 3.9, 4.5, 5.2, 6.0]
CHROMA_KNOTS = [0.0, 0.3, 0.5, 0.7, 0.9, 1.1, 1.4, 1.7, 2.0, 2.4, 2.8, 3.3, 3.9]
# The clean-photo guard: clean photos, detailed ones included, read luma levels up to about 0.9 and
# chroma levels up to about 0.5 (their own faint noise and the quantisation to 8 bits); there the
# table smooths no more than the gentlest run of the sweep, strength 4 and chroma 6.
LUMA_GUARD = (0.9, 4.0)
CHROMA_GUARD = (0.5, 6.0)
# The values the fit tries: strengths in steps of 0.5, tiny gains in steps of 0.05.
STRENGTH_STEPS = np.arange(0.0, 50.01, 0.5)
TINY_STEPS = np.round(np.arange(0.25, 1.151, 0.05), 2)
COARSE_WEIGHTS = [0.0, 0.7, 0.8, 0.9]
GRID_WEIGHTS = [0.0, 0.9, 1.0, 1.1]
CHROMA_FROM_LUMA = [0.3, 0.4, 0.5, 0.6]
# The fit weighs gaps above this many dB again, squared, so that no photo is left far behind, and
# a clean photo's loss above CLEAN_LOSS_ALLOWED twenty times so.
GAP_ALLOWED = 0.8
CLEAN_LOSS_ALLOWED = 0.2


class Sweep:
    """The measurements of one noisy photo: its PSNR at every strength pair and tiny gain the fit
    tries, interpolated between the runs of the sweep."""

    def __init__(self, case):
        data = case["sweep"]
        self.case = case
        self.noise = case["noise"]
        self.clean = case["sigma"] == 0
        strengths = np.array(data["strengths"])
        u = np.log1p(strengths)
        steps = np.log1p(STRENGTH_STEPS)
        # Bilinear in log(1 + strength) between the strengths run: [luma step][chroma step].
        split = np.array(data["split"])
        rows = np.array([np.interp(steps, u, split[:, j]) for j in range(len(u))]).T
        self.split = np.array([np.interp(steps, u, row) for row in rows])
        # What each tiny gain adds to the unsharpened PSNR, from the sharpened runs nearest to the
        # luma strength: [luma step][tiny step].
        identity = GAIN_SETS.index((1.0, 1.0, 1.0))
        tiny_sets = [g for g, (t, m, r) in enumerate(GAIN_SETS) if m == r == 1.0]
        tiny_values = [GAIN_SETS[g][0] for g in tiny_sets]
        tuned = [(u[k], [row[g] - row[identity] for g in tiny_sets])
                 for k, row in enumerate(data["tuned"]) if row]
        at_runs = np.array([[np.interp(t, tiny_values, deltas) for t in TINY_STEPS]
                            for _, deltas in tuned])
        self.gain = np.array([np.interp(steps, [x for x, _ in tuned], at_runs[:, t])
                              for t in range(len(TINY_STEPS))]).T
        # The reference: the best run with strength 4 to 50, chroma 1.5 × strength and any gain
        # set. Only the runs near a photo's best are sharpened (and the two on either side of
        # the pre-blur), so the gentlest of them, strength 4 and chroma 6 unsharpened, stands for
        # the others; it is the reference of a clean photo, which is best left alone.
        gentlest = self.split[step_of(4), step_of(6)]
        best = [max(row) for k, row in enumerate(data["sweep"]) if row and strengths[k] >= 4]
        self.best = gentlest if self.clean else max(best + [gentlest])

    def levels(self, coarse_weight, grid_weight, chroma_from_luma):
        """The levels the table reads, as profiles/noise_calibration.cpp ReadLevels does."""
        luma = max(self.noise["smoothLuma"], grid_weight * self.noise["gridLuma"],
                   coarse_weight * self.noise["coarseLuma"])
        return luma, max(self.noise["smoothChroma"], chroma_from_luma * luma)


def steps_of(strengths):
    """The nearest steps of STRENGTH_STEPS on the same side of the pre-blur: the engine blurs at
    any strength above 25, so 25.2 runs like 25.5, not like 25."""
    strengths = np.asarray(strengths, dtype=float)
    steps = np.clip(np.round(strengths / 0.5).astype(int), 0, len(STRENGTH_STEPS) - 1)
    return np.where((strengths > PRE_BLUR_ABOVE) & (STRENGTH_STEPS[steps] <= PRE_BLUR_ABOVE),
                    steps + 1, steps)


def step_of(strength):
    return int(steps_of(strength))


class Fit:
    """The table: how levels are read and the values at the knots, fitted by coordinate descent:
    each knot in turn takes the value that lowers the cost most, its neighbours pushed along where
    the table would stop being monotone."""

    def __init__(self, sweeps, coarse_weight, grid_weight, chroma_from_luma):
        self.sweeps = sweeps
        self.coarse_weight = coarse_weight
        self.grid_weight = grid_weight
        self.chroma_from_luma = chroma_from_luma
        levels = np.array([s.levels(coarse_weight, grid_weight, chroma_from_luma)
                           for s in sweeps])
        self.luma, self.chroma_level = levels[:, 0], levels[:, 1]
        self.split = np.array([s.split for s in sweeps])
        self.gain = np.array([s.gain for s in sweeps])
        self.best = np.array([s.best for s in sweeps])
        self.clean = np.array([s.clean for s in sweeps])
        self.strength = np.interp(LUMA_KNOTS, [0.9, 1.3, 2.5, 4.2], [4, 8, 20, 26])
        self.tiny = np.interp(LUMA_KNOTS, [2.5, 4.5], [1.0, 0.8])
        self.chroma = np.interp(CHROMA_KNOTS, [0.5, 1.0, 2.5, 3.5], [4, 8, 22, 28])

    def values(self):
        """Per photo: luma strength, chroma strength and tiny gain of the table."""
        return (np.interp(self.luma, LUMA_KNOTS, self.strength),
                np.interp(self.chroma_level, CHROMA_KNOTS, self.chroma),
                np.interp(self.luma, LUMA_KNOTS, self.tiny))

    def gaps(self):
        strength, chroma, tiny = self.values()
        s, c = steps_of(strength), steps_of(chroma)
        t = np.clip(np.round((tiny - TINY_STEPS[0]) / 0.05).astype(int), 0, len(TINY_STEPS) - 1)
        n = np.arange(len(self.sweeps))
        return self.best - (self.split[n, s, c] + self.gain[n, s, t])

    def cost(self):
        """The mean gap of the noisy photos, none counted more than 1 dB above its reference,
        plus the squares of what lies above the allowed gap and clean loss."""
        gaps = self.gaps()
        noisy, clean = gaps[~self.clean], gaps[self.clean]
        return (np.mean(np.maximum(noisy, -1.0)) +
                np.mean(np.maximum(noisy - GAP_ALLOWED, 0) ** 2) +
                20 * np.mean(np.maximum(clean - CLEAN_LOSS_ALLOWED, 0) ** 2))

    def improve(self, column, knots, guard, steps, rising):
        for k in range(len(column)):
            best, best_cost = column.copy(), self.cost()
            allowed = steps[steps <= guard[1]] if knots[k] <= guard[0] else steps
            for step in allowed:
                trial = best.copy()
                trial[k] = step
                if rising:
                    trial[:k] = np.minimum(trial[:k], step)
                    trial[k + 1:] = np.maximum(trial[k + 1:], step)
                else:
                    trial[:k] = np.maximum(trial[:k], step)
                    trial[k + 1:] = np.minimum(trial[k + 1:], step)
                column[:] = trial
                cost = self.cost()
                if cost < best_cost - 1e-9:
                    best, best_cost = trial, cost
            column[:] = best

    def run(self, passes=4):
        for _ in range(passes):
            self.improve(self.strength, LUMA_KNOTS, LUMA_GUARD, STRENGTH_STEPS, True)
            self.improve(self.chroma, CHROMA_KNOTS, CHROMA_GUARD, STRENGTH_STEPS, True)
            self.improve(self.tiny, LUMA_KNOTS, (-1, 0), TINY_STEPS, False)
        return self.cost()


def fit_table(sweeps):
    """The weights of the level reading by a search over a grid, each with its fitted values."""
    fits = []
    for coarse_weight in COARSE_WEIGHTS:
        for grid_weight in GRID_WEIGHTS:
            for chroma_from_luma in CHROMA_FROM_LUMA:
                fit = Fit(sweeps, coarse_weight, grid_weight, chroma_from_luma)
                fits.append((fit.run(), fit))
                log(f"coarse weight {coarse_weight:.2f}, grid weight {grid_weight:.2f}, "
                    f"chroma from luma {chroma_from_luma:.2f}: cost {fits[-1][0]:.3f}")
    return min(fits, key=lambda f: f[0])[1]

def table_text(fit, figures):
    """The INI text of the fitted table."""
    lines = [
        "; The noise calibration of the automatic profile: from the noise measured over a photo's",
        "; smoothest parts (stillgrain-cli info shows it) to strengths and detail gains. Fitted by",
        "; tools/fit_noise_calibration.py (make calibrate); docs/NOISE_CALIBRATION.md tells how.",
        f"; On its corpus: {figures}",
        "[General]",
        f"version = {TABLE_VERSION}",
        f"CoarseWeight = {fit.coarse_weight:.2f}",
        f"GridWeight = {fit.grid_weight:.2f}",
        f"ChromaFromLuma = {fit.chroma_from_luma:.2f}",
        "",
        "[Luma]",
        "; PointN = level, strength, tiny gain, medium gain, rough gain",
    ]
    for n, (level, strength, tiny) in enumerate(zip(LUMA_KNOTS, fit.strength, fit.tiny), 1):
        lines.append(f"Point{n} = {level:.2f}, {strength:.2f}, {tiny:.2f}, 1.00, 1.00")
    lines += ["", "[Chroma]", "; PointN = level, strength, large strength"]
    for n, (level, strength) in enumerate(zip(CHROMA_KNOTS, fit.chroma), 1):
        lines.append(f"Point{n} = {level:.2f}, {strength:.2f}, 0.00")
    return "\n".join(lines) + "\n"


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return 10 * math.log10(255.0 ** 2 / max(mse, 1e-10))


def fine_detail(pixels):
    """The finest detail of the grey values: the response of the noise estimator's mask."""
    grey = pixels if pixels.ndim == 2 else pixels @ np.array([0.299, 0.587, 0.114])
    g = grey.astype(np.float64)
    return (g[:-2, :-2] - 2 * g[:-2, 1:-1] + g[:-2, 2:] - 2 * g[1:-1, :-2] + 4 * g[1:-1, 1:-1] -
            2 * g[1:-1, 2:] + g[2:, :-2] - 2 * g[2:, 1:-1] + g[2:, 2:])


def detail_kept(clean, result):
    """How much of the clean photo's finest detail the result still holds where the photo has
    detail (the tenth of its pixels with the strongest): the projection of the result's detail on
    the clean photo's there, 1 when all of it is kept."""
    reference = fine_detail(clean)
    detailed = np.abs(reference) >= np.percentile(np.abs(reference), 90)
    reference = reference[detailed]
    kept = fine_detail(result)[detailed]
    return float(np.sum(kept * reference) / max(np.sum(reference ** 2), 1e-9))


def check_one(cli, case, folder):
    """A plain denoise of the noisy photo, with fresh settings, against the clean photo."""
    out = folder / (case["name"] + ".png")
    with tempfile.TemporaryDirectory() as config:
        subprocess.run([str(cli), "denoise", case["noisy"], "-o", str(out), "--quiet",
                        "--threads", "1"], check=True, env={**os.environ, "XDG_CONFIG_HOME": config})
    clean = np.asarray(Image.open(case["clean"]))
    result = np.asarray(Image.open(out))
    return psnr(clean, result), detail_kept(clean, result)


def run_checks(build, sweeps, work, jobs):
    folder = work / "checked"
    folder.mkdir(parents=True, exist_ok=True)
    cli = build / "stillgrain-cli"
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = list(pool.map(lambda s: check_one(cli, s.case, folder), sweeps))
    for sweep, (value, detail) in zip(sweeps, results):
        sweep.checked = value
        sweep.detail = detail


def report(sweeps):
    """The figures of the check: gaps of the noisy photos (σ 4 and above) by noise model, and the
    clean photos' loss against their gentlest run and their fine detail."""
    lines = []
    noisy = [s for s in sweeps if s.case["sigma"] >= 4]
    for model in NOISE_MODELS + ["all"]:
        chosen = [s for s in noisy if model in ("all", s.case["model"])]
        gaps = np.array([s.best - s.checked for s in chosen])
        worst = max(chosen, key=lambda s: s.best - s.checked).case["name"]
        lines.append(f"{model:>13}: {len(chosen):3d} photos, gap mean {gaps.mean():.2f} dB, "
                     f"worst {gaps.max():.2f} dB ({worst})")
    clean = [s for s in sweeps if s.case["sigma"] == 0]
    losses = np.array([s.best - s.checked for s in clean])
    details = np.array([s.detail for s in clean])
    lines.append(f"  clean photos: {len(clean)}, loss against strength 4 / chroma 6 at most "
                 f"{losses.max():.2f} dB ({clean[losses.argmax()].case['photo']}), PSNR against "
                 f"themselves at least {min(s.checked for s in clean):.1f} dB, fine detail kept "
                 f"at least {details.min() * 100:.1f} % ({clean[details.argmin()].case['photo']})")
    return lines

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build"), help="the build folder")
    parser.add_argument("--jobs", type=int, default=2, help="sweeps run at once")
    parser.add_argument("--check", action="store_true", help="check the table in resources/")
    parser.add_argument("--held-out", action="store_true",
                        help="check the table in resources/ on scikit-image's pictures")
    args = parser.parse_args()
    build = Path(args.build).resolve()
    work = build / "calibration"
    if args.held_out:
        work = work / "held-out"
        cases = make_noisy(make_held_out_clean(work), work, HELD_OUT_SIGMAS, ("heldout",))
    else:
        photos = build / "test-photos"
        if not (photos / "sony-alpha-6000.jpg").exists():
            sys.exit("fit_noise_calibration: the test photos are missing (make photos)")
        cases = make_noisy(make_clean(photos, work), work)
    log(f"{len(cases)} photos")
    run_sweeps(build, cases, work, args.jobs)
    measure_noise(build, cases)
    sweeps = [Sweep(case) for case in cases]
    table = ROOT / "resources" / TABLE_NAME
    if not (args.check or args.held_out):
        fit = fit_table(sweeps)
        noisy = np.array([s.case["sigma"] >= 4 for s in sweeps])
        gaps = fit.gaps()[noisy]
        figures = (f"{noisy.sum()} photos of σ 4 to 24, fitted gap to the best of the sweep "
                   f"{gaps.mean():.2f} dB on average, {gaps.max():.2f} dB at worst")
        table.write_text(table_text(fit, figures))
        log(f"wrote {table}")
        # The program compiles the table in and finds the file beside itself.
        subprocess.run(["cmake", "--build", str(build), "--target", "stillgrain-cli"], check=True,
                       stdout=subprocess.DEVNULL)
    shutil.copyfile(table, build / TABLE_NAME)
    run_checks(build, sweeps, work, args.jobs)
    lines = report(sweeps)
    (work / "report.txt").write_text("\n".join(lines) + "\n")
    print("\n".join(lines))

if __name__ == "__main__":
    main()
