#!/usr/bin/env python3
"""Builds the demo content in assets/demo/: key sounds, a MIDI background and three charts.

Standard library only. Every sound is synthesised here with fixed random seeds, so running
the script twice gives the same files. Sounds meant as OGG are converted with sox; without
sox they are written as WAV and the charts name the WAV files instead.

    python3 scripts/make_demo.py            # writes assets/demo/
    python3 scripts/make_demo.py --out DIR  # writes somewhere else
"""

import argparse
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 44100
TWO_PI = 2.0 * math.pi


# ----------------------------------------------------------------------------------------------
# Synthesis helpers
# ----------------------------------------------------------------------------------------------

def frames(seconds):
    return int(round(seconds * RATE))


def note_hz(midi_note):
    return 440.0 * 2.0 ** ((midi_note - 69) / 12.0)


def noise(n, seed):
    rng = random.Random(seed)
    return [rng.uniform(-1.0, 1.0) for _ in range(n)]


def biquad(x, kind, freq, q):
    """RBJ cookbook filter, 'lp', 'hp' or 'bp' (constant peak gain)."""
    w0 = TWO_PI * freq / RATE
    cw, sw = math.cos(w0), math.sin(w0)
    alpha = sw / (2.0 * q)
    if kind == "lp":
        b0, b1, b2 = (1 - cw) / 2, 1 - cw, (1 - cw) / 2
    elif kind == "hp":
        b0, b1, b2 = (1 + cw) / 2, -(1 + cw), (1 + cw) / 2
    else:
        b0, b1, b2 = alpha, 0.0, -alpha
    a0, a1, a2 = 1 + alpha, -2 * cw, 1 - alpha
    b0, b1, b2, a1, a2 = b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0
    y = [0.0] * len(x)
    x1 = x2 = y1 = y2 = 0.0
    for i, xi in enumerate(x):
        yi = b0 * xi + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
        x2, x1, y2, y1 = x1, xi, y1, yi
        y[i] = yi
    return y


def decay(n, tau, attack=0.002):
    """Exponential decay with a short linear attack (avoids a click at the start)."""
    na = max(1, frames(attack))
    return [min(1.0, i / na) * math.exp(-i / (tau * RATE)) for i in range(n)]


def fade_tail(x, seconds=0.01):
    """Ends every sound at silence so that it never stops with a click."""
    nf = min(len(x), frames(seconds))
    for k in range(nf):
        x[len(x) - nf + k] *= (nf - k - 1) / nf
    return x


def additive(n, freq, partials, tau, detune_cents=0.0, phase_seed=None):
    """Band-limited tone: partial h has level partials(h) and decays with tau(h)."""
    f = freq * 2.0 ** (detune_cents / 1200.0)
    out = [0.0] * n
    rng = random.Random(phase_seed) if phase_seed is not None else None
    h = 1
    while f * h < RATE / 2 - 2000:
        level = partials(h)
        if level != 0.0:
            w = TWO_PI * f * h / RATE
            t = tau(h) * RATE
            ph = rng.uniform(0, TWO_PI) if rng else 0.0
            for i in range(n):
                env = math.exp(-i / t)
                if env < 1e-4:
                    break
                out[i] += level * env * math.sin(w * i + ph)
        h += 1
    return out


def mix(*parts):
    n = max(len(p) for p in parts)
    out = [0.0] * n
    for p in parts:
        for i, v in enumerate(p):
            out[i] += v
    return out


def scaled(x, peak):
    top = max(abs(v) for v in x) or 1.0
    return [v * peak / top for v in x]


# ----------------------------------------------------------------------------------------------
# The sounds
# ----------------------------------------------------------------------------------------------

def kick():
    n = frames(0.45)
    out, phase = [0.0] * n, 0.0
    for i in range(n):
        t = i / RATE
        freq = 48.0 + 110.0 * math.exp(-t / 0.035)
        phase += TWO_PI * freq / RATE
        out[i] = math.sin(phase) * math.exp(-t / 0.16)
    click = biquad(noise(frames(0.01), 11), "hp", 2500, 0.7)
    for i, v in enumerate(click):
        out[i] += 0.25 * v * (1 - i / len(click))
    return [out], 0.75


def snare():
    n = frames(0.32)
    body = [0.0] * n
    for i in range(n):
        t = i / RATE
        body[i] = (0.6 * math.sin(TWO_PI * 185 * t) + 0.3 * math.sin(TWO_PI * 330 * t)) * math.exp(-t / 0.045)
    rattle = biquad(noise(n, 12), "hp", 1800, 0.7)
    env = decay(n, 0.075, 0.001)
    return [mix(body, [r * e * 0.9 for r, e in zip(rattle, env)])], 0.6


def hat(seconds, tau, seed):
    n = frames(seconds)
    metal = [0.0] * n
    for f in (317.0, 435.0, 579.0, 747.0, 1034.0, 1346.0):
        w = TWO_PI * f * 2.3 / RATE
        for i in range(n):
            metal[i] += 1.0 if math.sin(w * i) >= 0 else -1.0
    src = mix([m * 0.12 for m in metal], noise(n, seed))
    src = biquad(biquad(src, "hp", 7000, 0.7), "hp", 7000, 0.7)
    env = decay(n, tau, 0.0005)
    return [[s * e for s, e in zip(src, env)]]


def hat_closed():
    return hat(0.12, 0.025, 13), 0.4


def hat_open():
    return hat(0.6, 0.2, 14), 0.35


def clap():
    n = frames(0.4)
    src = biquad(noise(n, 15), "bp", 1200, 1.4)
    env = [0.0] * n
    for burst in (0.0, 0.011, 0.022, 0.034):
        start = frames(burst)
        for i in range(start, n):
            t = (i - start) / RATE
            level = math.exp(-t / (0.13 if burst == 0.034 else 0.007))
            env[i] = max(env[i], level)
    return [[s * e for s, e in zip(src, env)]], 0.55


def crash():
    n = frames(1.5)
    src = biquad(noise(n, 16), "hp", 4000, 0.6)
    sizzle = biquad(noise(n, 17), "bp", 9000, 0.9)
    env = decay(n, 0.45, 0.001)
    left = [(s + 0.5 * z) * e for s, z, e in zip(src, sizzle, env)]
    right = [(0.8 * s + 0.7 * z) * e for s, z, e in zip(biquad(noise(n, 18), "hp", 4000, 0.6), sizzle, env)]
    return [left, right], 0.45


def bass(midi_note):
    n = frames(0.4)
    f = note_hz(midi_note)
    # Sawtooth whose upper partials die away faster, like a closing low-pass filter.
    tone = additive(n, f, lambda h: 1.0 / h, lambda h: 0.28 / (1 + 0.35 * (h - 1)))
    sub = additive(n, f, lambda h: 0.6 if h == 1 else 0.0, lambda h: 0.35)
    na = frames(0.004)
    out = [v * min(1.0, i / na) for i, v in enumerate(mix(tone, sub))]
    return [out], 0.5


def chord(midi_notes, seed):
    n = frames(1.2)
    sides = []
    for side, cents in ((0, -7.0), (1, 7.0)):
        voices = [additive(n, note_hz(m), lambda h: 1.0 / h if h <= 14 else 0.0,
                           lambda h: 0.45 / (1 + 0.5 * (h - 1)), cents, seed * 10 + side * 100 + k)
                  for k, m in enumerate(midi_notes)]
        na = frames(0.006)
        sides.append([v * min(1.0, i / na) for i, v in enumerate(mix(*voices))])
    return sides, 0.6


def pluck(midi_note):
    n = frames(0.8)
    f = note_hz(midi_note)
    tone = additive(n, f, lambda h: (1.0 / h ** 1.3) * (1.0 if h % 2 else 0.7),
                    lambda h: 0.5 / (1 + 0.8 * (h - 1)))
    attack = biquad(noise(frames(0.012), midi_note), "bp", f * 3, 1.0)
    for i, v in enumerate(attack):
        tone[i] += 0.3 * v * (1 - i / len(attack))
    na = frames(0.002)
    return [[v * min(1.0, i / na) for i, v in enumerate(tone)]], 0.35


# Slot, file name, maker. Slots are two hex digits in the charts.
A_MINOR_PLUCKS = [("30", "lead_a4", 69), ("31", "lead_c5", 72), ("32", "lead_d5", 74), ("33", "lead_e5", 76),
                  ("34", "lead_g5", 79), ("35", "lead_a5", 81), ("36", "lead_c6", 84)]
SOUNDS = [
    ("01", "kick.wav", kick),
    ("02", "snare.wav", snare),
    ("03", "hat_closed.wav", hat_closed),
    ("04", "hat_open.ogg", hat_open),
    ("05", "clap.ogg", clap),
    ("06", "crash.ogg", crash),
    ("10", "bass_f1.wav", lambda: bass(29)),
    ("11", "bass_g1.wav", lambda: bass(31)),
    ("12", "bass_a1.wav", lambda: bass(33)),
    ("13", "bass_c2.wav", lambda: bass(36)),
    ("14", "bass_d2.wav", lambda: bass(38)),
    ("15", "bass_e2.wav", lambda: bass(40)),
    ("20", "chord_am.wav", lambda: chord([57, 60, 64, 69], 1)),
    ("21", "chord_f.wav", lambda: chord([57, 60, 65, 69], 2)),
    ("22", "chord_c.wav", lambda: chord([55, 60, 64, 67], 3)),
    ("23", "chord_g.wav", lambda: chord([55, 59, 62, 67], 4)),
    ("24", "chord_dm.wav", lambda: chord([57, 62, 65, 69], 5)),
    ("25", "chord_e.wav", lambda: chord([56, 59, 64, 68], 6)),
] + [(slot, name + ".ogg", (lambda m: lambda: pluck(m))(m)) for slot, name, m in A_MINOR_PLUCKS]


# Sounds are levelled so that the busiest moments of the charts (kick, bass, chord, lead and
# crash together) still stay below full scale when the player adds them up.
MASTER = 0.42


def write_wav(path, channels, peak):
    # One gain for all channels keeps the stereo image.
    top = max(max(abs(v) for v in ch) for ch in channels) or 1.0
    chans = [fade_tail([v * peak * MASTER / top for v in ch]) for ch in channels]
    data = bytearray()
    for i in range(len(chans[0])):
        for ch in chans:
            data += struct.pack("<h", max(-32767, min(32767, int(round(ch[i] * 32767)))))
    with wave.open(path, "wb") as w:
        w.setnchannels(len(chans))
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(data))


def ogg_crc(data):
    crc = 0
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def fix_ogg_serial(path, serial):
    """The encoder picks a random stream serial; a fixed one keeps regenerated files identical."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pos = 0
    while pos + 27 <= len(data) and data[pos:pos + 4] == b"OggS":
        segments = data[pos + 26]
        size = 27 + segments + sum(data[pos + 27:pos + 27 + segments])
        struct.pack_into("<I", data, pos + 14, serial)
        struct.pack_into("<I", data, pos + 22, 0)
        struct.pack_into("<I", data, pos + 22, ogg_crc(data[pos:pos + size]))
        pos += size
    with open(path, "wb") as f:
        f.write(bytes(data))


def make_sounds(out_dir):
    sox = shutil.which("sox")
    if not sox:
        print("warning: sox not found; the .ogg sounds are written as .wav instead", file=sys.stderr)
    written = {}
    with tempfile.TemporaryDirectory() as tmp:
        for slot, name, maker in SOUNDS:
            channels, peak = maker()
            stem, ext = os.path.splitext(name)
            if ext == ".ogg" and sox:
                wav_path = os.path.join(tmp, stem + ".wav")
                write_wav(wav_path, channels, peak)
                subprocess.run([sox, wav_path, "-C", "4", os.path.join(out_dir, name)], check=True)
                fix_ogg_serial(os.path.join(out_dir, name), int(slot, 16))
                stale = os.path.join(out_dir, stem + ".wav")
                if os.path.exists(stale):
                    os.remove(stale)
            else:
                write_wav(os.path.join(out_dir, stem + ".wav"), channels, peak)
            written[slot] = name
    return written


# ----------------------------------------------------------------------------------------------
# Standard MIDI File writer
# ----------------------------------------------------------------------------------------------

PPQ = 480


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


class MidiTrack:
    def __init__(self, name):
        self.events = []  # (tick, order, bytes); at one tick: meta, note off, then other events
        self.meta(0, 0x03, name.encode("ascii"))

    def meta(self, tick, kind, payload):
        self.events.append((tick, 0, bytes([0xFF, kind]) + vlq(len(payload)) + payload))

    def tempo(self, tick, bpm):
        self.meta(tick, 0x51, struct.pack(">I", int(round(60_000_000 / bpm)))[1:])

    def program(self, tick, channel, program):
        self.events.append((tick, 2, bytes([0xC0 | channel, program])))

    def control(self, tick, channel, number, value):
        self.events.append((tick, 2, bytes([0xB0 | channel, number, value])))

    def note(self, tick, length, channel, key, velocity):
        self.events.append((tick, 3, bytes([0x90 | channel, key, velocity])))
        self.events.append((tick + length, 1, bytes([0x80 | channel, key, 0x40])))

    def chunk(self):
        data, last = bytearray(), 0
        for tick, _, payload in sorted(self.events, key=lambda e: (e[0], e[1])):
            data += vlq(tick - last) + payload
            last = tick
        data += vlq(0) + b"\xFF\x2F\x00"
        return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def write_midi(path, tracks):
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ))
        for t in tracks:
            f.write(t.chunk())


# ----------------------------------------------------------------------------------------------
# Chart writer
# ----------------------------------------------------------------------------------------------

# Lead notes by lane: keys 1-5 are channels 11-15, keys 6-7 are 18-19, 16 is the scratch.
LANE_OF_NOTE = {"A4": 11, "C5": 12, "D5": 13, "E5": 14, "G5": 15, "A5": 18, "C6": 19}
SLOT_OF_NOTE = {"A4": 0x30, "C5": 0x31, "D5": 0x32, "E5": 0x33, "G5": 0x34, "A5": 0x35, "C6": 0x36}
CHORD_SLOT = {"Am": 0x20, "F": 0x21, "C": 0x22, "G": 0x23, "Dm": 0x24, "E": 0x25}
BASS_SLOT = {"F1": 0x10, "G1": 0x11, "A1": 0x12, "C2": 0x13, "D2": 0x14, "E2": 0x15}
ROOT_OF_CHORD = {"Am": "A1", "F": "F1", "C": "C2", "G": "G1", "Dm": "D2", "E": "E2"}
KICK, SNARE, HAT, OPEN_HAT, CLAP, CRASH = 0x01, 0x02, 0x03, 0x04, 0x05, 0x06


class Chart:
    def __init__(self, title, genre, bpm, level):
        self.head = [("PLAYER", "1"), ("GENRE", genre), ("TITLE", title), ("ARTIST", "jov:01 demo"),
                     ("BPM", str(bpm)), ("PLAYLEVEL", str(level)), ("RANK", "2")]
        self.lines = []  # (measure, channel, data text)
        self.lengths = {}

    def put(self, measure, channel, codes):
        """codes: list of slot numbers (0 = nothing), spread evenly over the measure."""
        if not any(codes):
            return
        # Write the coarsest grid that keeps every object in place.
        for pairs in range(1, len(codes) + 1):
            stride = len(codes) // pairs
            if len(codes) % pairs == 0 and not any(c for i, c in enumerate(codes) if i % stride):
                codes = codes[::stride]
                break
        self.lines.append((measure, channel, "".join("%02X" % c for c in codes)))

    def pattern(self, measure, channel, slot, hits, steps=16):
        """hits: text of 'x' and '.' (spaces ignored), one character per step."""
        hits = hits.replace(" ", "")
        assert len(hits) == steps, hits
        self.put(measure, channel, [slot if ch == "x" else 0 for ch in hits])

    def melody(self, measure, text):
        """text: one token per 16th step, a note name from LANE_OF_NOTE or '-'."""
        tokens = text.split()
        assert len(tokens) == 16, text
        for note, lane in LANE_OF_NOTE.items():
            self.put(measure, lane, [SLOT_OF_NOTE[note] if t == note else 0 for t in tokens])
        assert all(t == "-" or t in LANE_OF_NOTE for t in tokens), text

    def tempo(self, measure, bpm_at_steps, steps=16):
        codes = [0] * steps
        for step, bpm in bpm_at_steps.items():
            assert 1 <= bpm <= 255
            codes[step] = bpm
        self.put(measure, 3, codes)

    def measure_length(self, measure, factor):
        self.lengths[measure] = factor
        self.lines.append((measure, 2, str(factor)))

    def text(self, sounds, midi=None):
        used = sorted({int(data[i:i + 2], 16) for _, ch, data in self.lines if ch not in (2, 3)
                       for i in range(0, len(data), 2)} - {0})
        out = ["*---------------------- HEADER FIELD"]
        out += ["#%s %s" % (k, v) for k, v in self.head]
        if midi:
            out.append("#MIDIFILE " + midi)
        out.append("")
        out += ["#WAV%02X %s" % (slot, sounds["%02X" % slot]) for slot in used]
        out += ["", "*---------------------- MAIN DATA FIELD"]
        last = None
        for m, ch, data in sorted(self.lines, key=lambda l: (l[0], l[1])):
            if last is not None and m != last:
                out.append("")
            out.append("#%03d%02d:%s" % (m, ch, data))
            last = m
        return "\r\n".join(out) + "\r\n"


def play_time_ms(chart, start_bpm):
    """Playing time as the player computes it: up to the bar line two measures after the last."""
    max_measure = max(m for m, _, _ in chart.lines) + 2
    starts, tick = [], 0.0
    for m in range(max_measure + 1):
        starts.append(round(tick))
        tick += chart.lengths.get(m, 1.0) * 192
    changes = []
    for m, ch, data in chart.lines:
        if ch == 3:
            n = len(data) // 2
            for k in range(n):
                v = int(data[2 * k:2 * k + 2], 16)
                if v:
                    changes.append((round(starts[m] + round(192 / n * k) * chart.lengths.get(m, 1.0)), v))
    c, acc = float(round(start_bpm)), 0.0
    for t, v in sorted(changes):
        acc = acc - (t - acc) / (c / 1250) * (v - c) / 1250
        c = v
    last = starts[max_measure]
    return round(last / (c / 1250) - acc / (c / 1250))


# ----------------------------------------------------------------------------------------------
# Demo 1: a steady groove
# ----------------------------------------------------------------------------------------------

def four_floor(c, m, kick=True, clap=True, open_hats=False, closed=True):
    if kick:
        c.pattern(m, 1, KICK, "x... x... x... x...")
    if clap:
        c.pattern(m, 1, CLAP, ".... x... .... x...")
    if closed:
        c.pattern(m, 1, HAT, "x.x. x.x. x.x. x.xx")
    if open_hats:
        c.pattern(m, 1, OPEN_HAT, "..x. ..x. ..x. ..x.")


def offbeat_bass(c, m, chord_name, busy=False):
    slot = BASS_SLOT[ROOT_OF_CHORD[chord_name]]
    c.pattern(m, 1, slot, "..x. ..xx ..x. ..x." if busy else "..x. ..x. ..x. ..x.")


def demo1():
    c = Chart("Neon Grid", "House", 128, 3)
    loop = ["Am", "F", "C", "G"]
    phrase_a = [
        "E5 -  -  C5 -  -  A4 -  C5 -  E5 -  G5 -  E5 -",
        "A5 -  -  G5 -  -  E5 -  -  -  C5 -  D5 -  C5 -",
        "E5 -  -  C5 -  -  G5 -  -  -  E5 -  D5 -  C5 -",
        "D5 -  -  -  G5 -  -  -  A5 -  G5 -  E5 -  D5 -",
    ]
    phrase_b = [
        "A5 -  C6 -  A5 -  G5 -  E5 -  -  -  A4 -  C5 -",
        "C6 -  A5 -  G5 -  A5 -  -  -  E5 -  G5 -  A5 -",
        "G5 -  -  -  E5 -  G5 -  C6 -  -  -  G5 -  E5 -",
        "D5 -  E5 -  G5 -  -  -  D5 -  -  -  -  -  -  -",
    ]
    stabs = "x.....x...x....."
    for m in range(23):
        ch = loop[m % 4]
        if m == 0:
            c.pattern(m, 1, CRASH, "x... .... .... ....")
        if m < 2:  # intro: drums alone, then stabs
            four_floor(c, m, clap=False)
            if m == 1:
                c.pattern(m, 16, CHORD_SLOT[ch], stabs)
        elif m < 10:  # groove with the first melody from bar 6
            if m == 2:
                c.pattern(m, 1, CRASH, "x... .... .... ....")
            four_floor(c, m, open_hats=m >= 6)
            offbeat_bass(c, m, ch, busy=m % 4 == 3)
            c.pattern(m, 16, CHORD_SLOT[ch], stabs)
            if m >= 6:
                c.melody(m, phrase_a[m % 4])
        elif m < 14:  # breakdown: no kick, long chords, the answer phrase
            four_floor(c, m, kick=False, closed=m >= 12)
            c.pattern(m, 16, CHORD_SLOT[ch], "x....... x.......")
            c.melody(m, phrase_b[m % 4])
            if m == 13:
                c.pattern(m, 1, SNARE, ".... .... x.x. xxxx")
        elif m < 22:  # full: both phrases over the whole groove
            if m in (14, 18):
                c.pattern(m, 1, CRASH, "x... .... .... ....")
            four_floor(c, m, open_hats=True)
            offbeat_bass(c, m, ch, busy=m % 2 == 1)
            c.pattern(m, 16, CHORD_SLOT[ch], stabs)
            c.melody(m, (phrase_a if m < 18 else phrase_b)[m % 4])
        else:  # ending hit
            c.pattern(m, 1, KICK, "x... .... .... ....")
            c.pattern(m, 1, CRASH, "x... .... .... ....")
            c.pattern(m, 1, BASS_SLOT["A1"], "x... .... .... ....")
            c.pattern(m, 16, CHORD_SLOT["Am"], "x... .... .... ....")
            c.melody(m, "A5 -  -  -  -  -  -  -  -  -  -  -  -  -  -  -")
    return c, 128


# ----------------------------------------------------------------------------------------------
# Demo 2: tempo changes and a 3/4 bar
# ----------------------------------------------------------------------------------------------

def breakbeat(c, m, steps=16, fill=False):
    if steps == 12:  # the 3/4 bar: a tom-less snare roll into the breakdown
        c.pattern(m, 1, KICK, "x.. ... x.. ...", 12)
        c.pattern(m, 1, SNARE, "... x.x .xx xxx", 12)
        c.pattern(m, 1, HAT, "x.x x.x x.x x.x", 12)
        return
    c.pattern(m, 1, KICK, "x... .... ..x. ...." if not fill else "x... .... ..x. x...")
    c.pattern(m, 1, SNARE, ".... x..x .x.. x..." if not fill else ".... x..x .x.. xxxx")
    c.pattern(m, 1, HAT, "x.x. x.x. x.x. x.x.")


def demo2():
    c = Chart("Gear Shift", "Breakbeat", 120, 5)
    prog = ["Am", "Dm", "E", "Am", "F", "G", "E", "Am"]
    lines = {
        "Am": "A4 -  C5 -  E5 -  -  A5 -  -  E5 -  C5 -  -  -",
        "Dm": "D5 -  -  A4 -  D5 -  -  C5 -  -  A4 -  -  -  -",
        "E": "E5 -  -  -  D5 -  -  E5 -  -  -  -  -  -  -  -",
        "F": "C6 -  -  A5 -  -  G5 -  -  A5 -  -  C5 -  -  -",
        "G": "D5 -  -  G5 -  -  D5 -  -  E5 -  -  G5 -  -  -",
    }
    tempo_at_bar = {4: 140, 8: 160, 13: 100, 17: 120}
    c.measure_length(12, 0.75)
    for m in range(23):
        ch = prog[m % 8]
        if m in tempo_at_bar:
            c.tempo(m, {0: tempo_at_bar[m]})
        if m in (0, 4, 8, 13, 17):
            c.pattern(m, 1, CRASH, "x... .... .... ....")
        if m == 12:
            breakbeat(c, m, steps=12)
            c.pattern(m, 16, CHORD_SLOT["E"], "x.. ... ... ...", 12)
            c.pattern(m, 1, BASS_SLOT["E2"], "x.. x.. x.. x..", 12)
            continue
        if m < 13 or 17 <= m < 21:
            breakbeat(c, m, fill=m in (3, 7, 11, 20))
            c.pattern(m, 1, BASS_SLOT[ROOT_OF_CHORD[ch]], "x... ..x. ..x. .x..")
            c.pattern(m, 16, CHORD_SLOT[ch], "x... .... x... ....")
            if m >= 2:
                c.melody(m, lines[ch])
        elif m < 17:  # half-time breakdown
            c.pattern(m, 1, KICK, "x... .... .... ....")
            c.pattern(m, 1, CLAP, ".... .... x... ....")
            c.pattern(m, 1, OPEN_HAT, "..x. ..x. ..x. ..x.")
            c.pattern(m, 1, BASS_SLOT[ROOT_OF_CHORD[ch]], "x... .... .... ....")
            c.pattern(m, 16, CHORD_SLOT[ch], "x... .... .... ....")
            c.melody(m, lines[ch])
        elif m == 21:  # slowing down inside the bar
            c.tempo(m, {0: 110, 8: 100})
            c.pattern(m, 1, KICK, "x... x... x... x...")
            c.pattern(m, 1, SNARE, ".... .... x.x. xxxx")
            c.pattern(m, 16, CHORD_SLOT["E"], "x... .... .... ....")
            c.melody(m, "E5 -  D5 -  E5 -  -  -  D5 -  -  -  E5 -  -  -")
        else:
            c.tempo(m, {0: 90})
            c.pattern(m, 1, KICK, "x... .... .... ....")
            c.pattern(m, 1, CRASH, "x... .... .... ....")
            c.pattern(m, 1, BASS_SLOT["A1"], "x... .... .... ....")
            c.pattern(m, 16, CHORD_SLOT["Am"], "x... .... .... ....")
            c.melody(m, "A4 -  -  -  -  -  -  -  -  -  -  -  -  -  -  -")
    return c, 120


# ----------------------------------------------------------------------------------------------
# Demo 3: MIDI background (drums, bass, electric piano) with key sounds on top
# ----------------------------------------------------------------------------------------------

DEMO3_TEMPO = {0: 96, 8: 112, 16: 80}  # bar: BPM, the same in the MIDI file and the chart
DEMO3_CHORDS = ["Am7", "Dm7", "G7", "Cmaj7", "Fmaj7", "Dm7", "E7", "E7",
                "Am7", "Dm7", "G7", "Cmaj7", "Fmaj7", "Dm7", "E7", "E7", "Am9"]
VOICING = {"Am7": [57, 60, 64, 67], "Dm7": [57, 60, 62, 65], "G7": [55, 59, 62, 65], "Cmaj7": [55, 59, 60, 64],
           "Fmaj7": [57, 60, 64, 65], "E7": [56, 59, 62, 64], "Am9": [57, 59, 60, 64, 69]}
BASS_ROOT = {"Am7": 33, "Dm7": 38, "G7": 31, "Cmaj7": 36, "Fmaj7": 29, "E7": 28, "Am9": 33}


def demo3_midi(path):
    bar, beat, eighth, six = PPQ * 4, PPQ, PPQ // 2, PPQ // 4
    conductor = MidiTrack("jov:01 demo 3")
    conductor.meta(0, 0x58, bytes([4, 2, 24, 8]))
    for b, bpm in DEMO3_TEMPO.items():
        conductor.tempo(b * bar, bpm)

    drums = MidiTrack("Drums")
    bass = MidiTrack("Bass")
    keys = MidiTrack("Electric piano")
    bass.program(0, 1, 33)   # fingered electric bass
    keys.program(0, 2, 4)    # electric piano
    bass.control(0, 1, 7, 110)
    keys.control(0, 2, 7, 90)
    drums.control(0, 9, 7, 110)

    def hit(t, key, vel, length=eighth // 2):
        drums.note(t, length, 9, key, vel)

    for b, name in enumerate(DEMO3_CHORDS):
        t0 = b * bar
        root, voicing = BASS_ROOT[name], VOICING[name]
        if b == 16:  # closing chord, slower
            hit(t0, 36, 110)
            hit(t0, 49, 100, bar)
            bass.note(t0, bar, 1, root, 100)
            keys.note(t0, bar + beat, 2, voicing[0], 80)
            for k in voicing[1:]:
                keys.note(t0, bar + beat, 2, k, 72)
            continue
        if b in (0, 8):
            hit(t0, 49, 100, bar)
        second_half = b >= 8
        # Hats (ride in the second half), kick and snare.
        for e in range(8):
            hat_key = 51 if second_half else 42
            if b < 2 or e != 7 or b % 2 == 0:
                hit(t0 + e * eighth, hat_key, 90 if e % 2 == 0 else 64)
            else:
                hit(t0 + e * eighth, 46, 84, eighth)
        if b >= 2:
            for t in (0, 3 * eighth, 4 * eighth) if not second_half else (0, 3 * eighth, 4 * eighth, 5 * eighth + six):
                hit(t0 + t, 36, 108)
            hit(t0 + beat, 38, 100)
            if b in (7, 15):  # fill on the last beat
                hit(t0 + 3 * beat - eighth, 38, 70)
                for s in range(4):
                    hit(t0 + 3 * beat + s * six, (50, 48, 45, 41)[s], 90 + 6 * s)
            else:
                hit(t0 + 3 * beat, 38, 104)
        else:
            hit(t0, 36, 90)
            hit(t0 + 2 * beat, 37, 70)
        # Bass: root, fifth, octave, and a walk up to the next root.
        if b >= 1:
            nxt = BASS_ROOT[DEMO3_CHORDS[b + 1]]
            approach = nxt - 1 if nxt - 1 > root else nxt + 1
            bass.note(t0, beat + eighth - 30, 1, root, 104)
            bass.note(t0 + beat + eighth, eighth - 20, 1, root + 7, 86)
            bass.note(t0 + 2 * beat, beat - 30, 1, root + 12, 96)
            bass.note(t0 + 3 * beat, eighth - 20, 1, root + 7, 84)
            bass.note(t0 + 3 * beat + eighth, eighth - 20, 1, approach, 90)
        # Piano comps: on the one, then a push on the "and" of two.
        keys.note(t0, beat + eighth - 40, 2, voicing[0], 70)
        for k in voicing[1:]:
            keys.note(t0, beat + eighth - 40, 2, k, 62)
        for k in voicing:
            keys.note(t0 + beat + eighth, 2 * beat + eighth - 40, 2, k, 58)
    write_midi(path, [conductor, drums, bass, keys])


def demo3():
    c = Chart("Harbour Lights", "Jazz Funk", 96, 4)
    for b, bpm in DEMO3_TEMPO.items():
        if b:
            c.tempo(b, {0: bpm})
    melody = {
        4: "C5 -  -  E5 -  -  G5 -  -  -  -  -  E5 -  -  -",
        5: "D5 -  -  -  A4 -  -  C5 -  -  D5 -  -  -  -  -",
        6: "E5 -  -  -  -  -  D5 -  -  -  E5 -  -  -  -  -",
        7: "-  -  -  -  -  -  -  -  E5 -  D5 -  C5 -  A4 -",
        8: "C5 -  -  E5 -  -  A5 -  -  -  G5 -  E5 -  -  -",
        9: "D5 -  -  -  -  -  C5 -  D5 -  -  -  A4 -  -  -",
        10: "D5 -  -  G5 -  -  A5 -  -  -  G5 -  D5 -  -  -",
        11: "E5 -  -  -  G5 -  -  -  C6 -  -  -  -  -  -  -",
        12: "A5 -  -  G5 -  -  E5 -  -  -  C5 -  -  -  -  -",
        13: "D5 -  -  -  A4 -  C5 -  D5 -  -  -  -  -  -  -",
        14: "E5 -  -  -  -  -  -  -  D5 -  -  -  E5 -  -  -",
        15: "-  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -",
        16: "A5 -  -  -  -  -  -  -  -  -  -  -  -  -  -  -",
    }
    for m, text in melody.items():
        c.melody(m, text)
    # A few stabs on the scratch where the harmony matches the sound set.
    c.pattern(3, 16, CHORD_SLOT["C"], ".... .... .... ..x.")
    c.pattern(11, 16, CHORD_SLOT["C"], ".... .... .... ..x.")
    c.pattern(16, 16, CHORD_SLOT["Am"], "x... .... .... ....")
    return c, 96


# ----------------------------------------------------------------------------------------------

def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(root, "assets", "demo"))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    sounds = make_sounds(args.out)
    if not shutil.which("sox"):
        sounds = {k: os.path.splitext(v)[0] + ".wav" for k, v in sounds.items()}
    demo3_midi(os.path.join(args.out, "demo3.mid"))
    for name, (chart, bpm), midi in (("demo1", demo1(), None), ("demo2", demo2(), None),
                                     ("demo3", demo3(), "demo3.mid")):
        with open(os.path.join(args.out, name + ".bms"), "w", encoding="ascii", newline="") as f:
            f.write(chart.text(sounds, midi))
        print("%s.bms: %s, %.1f s" % (name, chart.head[2][1], play_time_ms(chart, bpm) / 1000.0))


if __name__ == "__main__":
    main()
