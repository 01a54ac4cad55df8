#!/usr/bin/env python3
"""Click chart and onset analysis for live timing checks (standard library only).

  onsets.py make DIR
      writes DIR/click.wav, DIR/click.bms and DIR/click_times.txt (one ms per line:
      the chart's event times from the moment play starts).
  onsets.py analyse FILE --times DIR/click_times.txt [--raw --rate 44100] [--label TEXT]
      finds click onsets in FILE (a WAV, or with --raw the S16LE stereo stream SDL's
      disk driver writes), matches them to the chart times and prints one JSON line:
      offline (absolute) error, and the live error after fitting out the offset and
      the linear drift between the stream's pace and the chart's clock, the jitter
      against the neighbouring clicks, and how many clicks started late (cut).
"""
import argparse
import array
import json
import math
import struct
import sys
import wave

RATE = 44100
BPM_START = 120          # 500 ms a beat
BPM_CHANGE = 150         # 400 ms a beat, from measure CHANGE_MEASURE
FIRST_MEASURE = 1        # measure 0 is a silent lead-in
CHANGE_MEASURE = 8
LAST_MEASURE = 16
THRESHOLD = 400          # |sample| that counts as sound
GAP_MS = 150             # silence needed before a new onset


def make(folder):
    # A sharp click: a 3 kHz cosine at full phase, so the first sample is the peak,
    # decaying over ~20 ms so a start that skipped a few ms is still found.
    n = int(RATE * 0.03)
    frames = bytearray()
    for i in range(n):
        v = int(round(24000 * math.cos(2 * math.pi * 3000 * i / RATE) * math.exp(-i / (RATE * 0.006))))
        frames += struct.pack('<h', v)
    with wave.open(f'{folder}/click.wav', 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))
    lines = ['#PLAYER 1', '#TITLE Click track', '#ARTIST jov:01 timing', '#GENRE Test',
             f'#BPM {BPM_START}', '#PLAYLEVEL 1', '#RANK 2', '', '#WAV01 click.wav', '']
    times = []
    for m in range(FIRST_MEASURE, LAST_MEASURE + 1):
        if m == CHANGE_MEASURE:
            lines.append(f'#{m:03d}03:{BPM_CHANGE:02X}')
        lines.append(f'#{m:03d}11:01010101')   # a visible key lane that sounds
    with open(f'{folder}/click.bms', 'w', newline='\r\n') as f:
        f.write('\n'.join(lines) + '\n')
    t = 0.0
    for m in range(0, LAST_MEASURE + 1):
        beat = 60000.0 / (BPM_CHANGE if m >= CHANGE_MEASURE else BPM_START)
        for b in range(4):
            if m >= FIRST_MEASURE:
                times.append(t)
            t += beat
    with open(f'{folder}/click_times.txt', 'w') as f:
        f.write('\n'.join(f'{x:.6f}' for x in times) + '\n')


def read_samples(path, raw, rate):
    """Left channel as an array of ints, and the rate."""
    if raw:
        data = array.array('h')
        with open(path, 'rb') as f:
            data.frombytes(f.read())
        if sys.byteorder != 'little':
            data.byteswap()
        return data[0::2], rate
    with wave.open(path, 'rb') as w:
        ch, width, rate = w.getnchannels(), w.getsampwidth(), w.getframerate()
        if width != 2:
            raise SystemExit('only 16-bit WAV')
        data = array.array('h')
        data.frombytes(w.readframes(w.getnframes()))
        if sys.byteorder != 'little':
            data.byteswap()
        return data[0::ch], rate


def find_onsets(samples, rate):
    gap = int(rate * GAP_MS / 1000)
    onsets, last_loud = [], -gap - 1
    for i, v in enumerate(samples):
        if v >= THRESHOLD or v <= -THRESHOLD:
            if i - last_loud > gap:
                onsets.append(i)
            last_loud = i
    return onsets


def median(xs):
    s = sorted(xs)
    n = len(s)
    return s[n // 2] if n % 2 else (s[n // 2 - 1] + s[n // 2]) / 2


def analyse(args):
    times = [float(x) for x in open(args.times).read().split()]
    samples, rate = read_samples(args.file, args.raw, args.rate)
    onsets = find_onsets(samples, rate)
    out = {'label': args.label, 'rate': rate, 'expected': len(times), 'found': len(onsets)}
    if len(onsets) < len(times):
        out['error'] = 'fewer onsets than chart events'
        print(json.dumps(out))
        return 1
    onsets = onsets[:len(times)]  # a repeat of the chart may follow
    per_ms = rate / 1000.0
    # The click's first sample is its peak. A click whose command reached the mixer after
    # its frame starts at a block boundary part-way through, lower: a late start.
    peak = max(abs(samples[i]) for i in onsets)
    out['late_starts'] = sum(1 for i in onsets if abs(samples[i]) < 0.95 * peak)
    # Without any fit: onset minus chart time. Play starts at the first event, so an
    # offline render shows one constant offset (the lead-in) and no spread.
    absolute = [s - t * per_ms for s, t in zip(onsets, times)]
    out['unfitted_samples'] = {'offset': absolute[0], 'spread': max(absolute) - min(absolute)}
    # First onset on the first event, then least squares for offset and pace.
    n = len(times)
    mt, ms_ = sum(times) / n, sum(onsets) / n
    sxx = sum((t - mt) ** 2 for t in times)
    sxy = sum((t - mt) * (s - ms_) for t, s in zip(times, onsets))
    slope = sxy / sxx
    icpt = ms_ - slope * mt
    resid = [s - (icpt + slope * t) for s, t in zip(onsets, times)]
    first = [s - onsets[0] - (t - times[0]) * slope for s, t in zip(onsets, times)]
    abs_r = [abs(r) for r in resid]
    out['pace'] = slope / per_ms  # stream frames per chart ms, relative to the nominal rate
    out['fit_samples'] = {'median': round(median(abs_r), 1), 'worst': round(max(abs_r), 1)}
    out['fit_ms'] = {'median': round(median(abs_r) / per_ms, 3), 'worst': round(max(abs_r) / per_ms, 3)}
    out['first_aligned_ms'] = {'median': round(median([abs(e) for e in first]) / per_ms, 3),
                               'worst': round(max(abs(e) for e in first) / per_ms, 3)}
    # The disk driver's own pace wanders (it sleeps a fixed time per block, and a late
    # wake-up is a step in its timeline), which a real device does not do. Against a
    # line through the neighbours (4 clicks each side, the click itself left out) that
    # wander drops out and what remains is the placement jitter of each click.
    local = []
    for i in range(n):
        idx = [j for j in range(max(0, i - 4), min(n, i + 5)) if j != i]
        lt = sum(times[j] for j in idx) / len(idx)
        ls = sum(onsets[j] for j in idx) / len(idx)
        lxx = sum((times[j] - lt) ** 2 for j in idx)
        lb = sum((times[j] - lt) * (onsets[j] - ls) for j in idx) / lxx
        local.append(abs(onsets[i] - (ls + lb * (times[i] - lt))))
    out['local_samples'] = {'median': round(median(local), 1), 'worst': round(max(local), 1)}
    out['local_ms'] = {'median': round(median(local) / per_ms, 3), 'worst': round(max(local) / per_ms, 3)}
    if args.verbose:
        out['residual_ms'] = [round(r / per_ms, 2) for r in resid]
    print(json.dumps(out))
    return 0


def main():
    p = argparse.ArgumentParser()
    sub = p.add_subparsers(dest='cmd', required=True)
    m = sub.add_parser('make')
    m.add_argument('folder')
    a = sub.add_parser('analyse')
    a.add_argument('file')
    a.add_argument('--times', required=True)
    a.add_argument('--raw', action='store_true')
    a.add_argument('--rate', type=int, default=RATE)
    a.add_argument('--label', default='')
    a.add_argument('--verbose', action='store_true')
    args = p.parse_args()
    if args.cmd == 'make':
        make(args.folder)
        return 0
    return analyse(args)


if __name__ == '__main__':
    sys.exit(main())
