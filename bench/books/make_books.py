#!/usr/bin/env python3
"""Writes a corpus of generated narrated books whose chapter pauses are known.

    make_books.py OUT [--set full|test|hour|evidence] [--jobs N]

Each recording is spoken by espeak-ng, sentence by sentence, with pauses of
chosen lengths between the sentences; a floor (noise, hum, dither...) runs
under the whole recording, speech included; the 16-bit stereo 44.1 kHz WAVE
master is then kept or copied through a lossy codec. Beside each recording,
NAME.json tells what it is and where its chapter pauses lie, in milliseconds
of the master's timeline.

The evidence set adds books that are not one plain file: a folder of chapter
files, a book cut into CD-style tracks, scene breaks inside chapters, a floor
that changes rooms halfway and a level that drifts. A folder's truth lies
beside it (NAME.json next to NAME/), in milliseconds of its files as ffmpeg
decodes them, joined in name order.

The same files come out on every run: the pause lengths come from a random
generator seeded with the book's name, the noise from ffmpeg's seeded noise
sources, and sox runs with -R. Needs python3, espeak-ng, sox and ffmpeg.
"""

import argparse
import array
import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import wave
import zlib
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass

SPEECH_RATE = 22050  # espeak-ng's own rate
MASTER_RATE = 44100  # exactly twice that, so no time moves in between


@dataclass(frozen=True)
class Structure:
    """The ranges, in seconds, that a book's pauses are drawn from."""

    chapter: tuple
    heading: tuple  # after the spoken heading
    sentence: tuple
    paragraph: tuple
    scene: tuple = ()  # a break inside a chapter, with no heading after it


STRUCTURES = {
    "A": Structure((3.0, 4.5), (0.8, 1.2), (0.25, 1.0), (1.0, 1.5)),
    # paragraph and heading pauses near half a chapter pause
    "B": Structure((2.7, 3.2), (1.0, 1.4), (0.3, 0.9), (1.0, 1.5)),
    # chapter pauses not much longer than the longest others
    "C": Structure((2.0, 2.5), (0.7, 1.0), (0.2, 0.8), (0.9, 1.3)),
    "D": Structure((4.0, 6.0), (1.0, 1.8), (0.3, 1.0), (1.2, 2.0)),
    # scene breaks between the longest paragraph pauses and the chapter pauses
    "S": Structure((3.0, 5.0), (0.6, 1.2), (0.25, 0.9), (1.0, 1.5), (1.6, 2.4)),
    # a file per chapter: "chapter" is the room tone at each end of a file,
    # so that a join is two of these, often shorter than a paragraph pause
    "F": Structure((0.2, 0.9), (0.8, 1.2), (0.25, 1.0), (1.0, 1.5)),
}

# The share of paragraph ends that are scene breaks, in a structure that has them.
SCENE_SHARE = 0.4

# A CD-style track's length, in seconds, before it is cut at the next sentence
# pause; no track is cut off with less than TRACK_LAST left.
TRACK_SECONDS = (40, 70)
TRACK_LAST = 20

# A lecture's pauses: log-normal, median 0.55 s, drawn again until they fall
# in this range, so that they spread with no gap from short to long.
LECTURE_PAUSES = (0.2, 2.2)
LECTURE_MEDIAN = 0.55
LECTURE_SIGMA = 0.55


@dataclass(frozen=True)
class Book:
    """What is read and how: the speech and pauses, before any floor."""

    kind: str  # "b" a book, "l" a lecture, "h" the hour
    voice: str  # espeak-ng's voice
    structure: str  # a key of STRUCTURES, or "lecture"
    speed: int  # espeak-ng's words per minute
    pitch: int  # espeak-ng's 0 to 99
    chapters: int  # 1 for a lecture
    seconds: tuple  # the length to aim at, drawn from this range
    headings: bool = True  # each chapter starts with its spoken heading
    titled: bool = False  # chapter files' title tags have words after the number

    def key(self):
        spoken = "" if self.headings else "-silent"
        return f"{self.kind}-{self.voice}-{self.structure}-{self.speed}-{self.chapters}{spoken}"

    def in_files(self):
        """Whether the book is a folder of files rather than one file."""
        return self.kind in ("f", "t")


@dataclass(frozen=True)
class Recording:
    """One file of the corpus: a book, the floor under it, its encoding."""

    book: Book
    floor: str  # a key of FLOORS
    encoding: str  # a key of ENCODINGS
    peak_db: float  # the speech's peak, dBFS
    drift_db: float = 0  # the speech's level falls (< 0) or rises by this much

    def name(self):
        b = self.book
        middle = "" if b.structure == "lecture" else b.structure + "-"
        if self.drift_db:
            middle += f"{'fall' if self.drift_db < 0 else 'rise'}{abs(self.drift_db):g}-"
        return f"{b.kind}-{b.voice}-{middle}{self.floor}-{self.encoding}"

    def file_name(self):
        if self.book.in_files():
            return self.name()
        return self.name() + "." + ENCODINGS[self.encoding][0]


@dataclass(frozen=True)
class Floor:
    """The sound between the words. Each part is (source, dBFS, "rms" or
    "peak"): the source is made by ffmpeg, measured, and mixed in at that
    level."""

    parts: tuple = ()
    dither: bool = False  # made at 24 bits, dithered to 16
    dc: tuple = ()  # a DC offset in samples, drawn from this range
    then: tuple = ()  # parts of a second room, from a sentence pause halfway on


FLOORS = {
    "digital": Floor(),
    "dither": Floor(dither=True),
    "white60": Floor((("white", -60, "rms"),)),
    "white55": Floor((("white", -55, "rms"),)),
    "white50": Floor((("white", -50, "rms"),)),
    "white45": Floor((("white", -45, "rms"),)),
    "pink55": Floor((("pink", -55, "rms"),)),
    "pink48": Floor((("pink", -48, "rms"),)),
    "hum50": Floor((("hum50", -50, "peak"), ("white", -70, "rms"))),
    "hum60": Floor((("hum60", -50, "peak"), ("white", -70, "rms"))),
    "rumble": Floor((("rumble", -45, "rms"),)),
    "room": Floor((("room", -54, "rms"),)),
    "dc": Floor((("white", -66, "rms"),), dc=(300, 1000)),
    "hum48-hiss58": Floor((("hum50", -48, "peak"), ("white", -70, "rms")),
                          then=(("white", -58, "rms"),)),
}

# encoding: (file extension, how the copy is made from the master). The
# master itself is "wav"; "sox" copies are made by sox, the rest by ffmpeg.
ENCODINGS = {
    "wav": ("wav", []),
    "wav_48k": ("wav", ["sox", "-r", "48000"]),
    "wav_22k_mono": ("wav", ["sox", "-r", "22050", "-c", "1"]),
    "mp3_64": ("mp3", ["-c:a", "libmp3lame", "-b:a", "64k"]),
    "mp3_128": ("mp3", ["-c:a", "libmp3lame", "-b:a", "128k"]),
    "mp3_64_mono": ("mp3", ["-ac", "1", "-ar", "22050", "-c:a", "libmp3lame", "-b:a", "64k"]),
    "aac_64": ("m4b", ["-c:a", "aac", "-b:a", "64k"]),
    "aac_96": ("m4b", ["-c:a", "aac", "-b:a", "96k"]),
    "m4a_64": ("m4a", ["-c:a", "aac", "-b:a", "64k"]),
    "m4a_96": ("m4a", ["-c:a", "aac", "-b:a", "96k"]),
    "opus_32": ("opus", ["-c:a", "libopus", "-b:a", "32k"]),
    "opus_48": ("opus", ["-c:a", "libopus", "-b:a", "48k"]),
}


def full_set():
    """At least 40 books and lectures, 3 to 6 minutes each: every floor,
    structure and encoding, each floor through some lossy codec."""
    minutes = (200, 320)
    books = {
        1: Book("b", "en-us", "A", 165, 50, 5, minutes),
        2: Book("b", "en-gb", "B", 150, 40, 6, minutes),
        3: Book("b", "ja", "A", 160, 50, 4, minutes),
        4: Book("b", "en-us", "C", 180, 60, 7, minutes),
        5: Book("b", "en-gb", "D", 140, 45, 4, minutes),
        6: Book("b", "ja", "B", 145, 55, 5, minutes),
        7: Book("b", "en-us", "B", 175, 35, 6, minutes),
        8: Book("b", "ja", "C", 170, 50, 6, minutes),
        9: Book("b", "en-gb", "A", 190, 55, 7, minutes),
        10: Book("b", "ja", "D", 150, 45, 5, minutes),
        11: Book("b", "en-us", "D", 155, 50, 5, minutes),
        12: Book("b", "en-gb", "C", 160, 65, 4, minutes),
        21: Book("l", "en-us", "lecture", 170, 50, 1, minutes),
        22: Book("l", "en-gb", "lecture", 155, 45, 1, minutes),
        23: Book("l", "ja", "lecture", 155, 50, 1, minutes),
        24: Book("l", "en-gb", "lecture", 185, 60, 1, minutes),
        25: Book("l", "ja", "lecture", 140, 40, 1, minutes),
    }
    plan = [
        (1, "digital", "wav", -3), (1, "white55", "mp3_128", -6),
        (1, "room", "aac_64", -10), (1, "hum60", "opus_48", -4),
        (2, "dither", "wav", -1), (2, "white50", "mp3_64", -5),
        (2, "hum50", "opus_32", -8), (2, "pink48", "wav", -4),
        (3, "digital", "aac_96", -2), (3, "white45", "wav", -3),
        (3, "rumble", "mp3_128", -7), (3, "dc", "wav", -9),
        (4, "white60", "wav", -12), (4, "pink55", "opus_48", -6),
        (4, "hum60", "wav", -5), (4, "dither", "mp3_64_mono", -4),
        (5, "room", "wav", -6), (5, "white45", "aac_64", -3),
        (5, "digital", "opus_32", -11), (5, "dc", "mp3_64", -2),
        (6, "pink55", "wav", -5), (6, "hum60", "aac_96", -8),
        (6, "white55", "wav_48k", -2), (6, "room", "mp3_64", -4),
        (7, "dc", "mp3_128", -6), (7, "rumble", "wav", -11),
        (7, "white60", "opus_48", -3), (7, "dither", "aac_64", -7),
        (8, "hum50", "wav", -4), (8, "white50", "aac_96", -6),
        (8, "dc", "opus_32", -3), (8, "digital", "wav_22k_mono", -8),
        (9, "rumble", "opus_48", -5), (9, "pink48", "mp3_64_mono", -9),
        (9, "white50", "wav", -12),
        (10, "white60", "mp3_128", -7), (10, "room", "wav_48k", -3),
        (10, "pink48", "aac_64", -1),
        (11, "hum50", "mp3_64", -2), (11, "white55", "wav", -10),
        (11, "rumble", "aac_96", -6),
        (12, "digital", "wav", -5), (12, "white45", "opus_32", -4),
        (12, "hum50", "aac_64", -9), (12, "dither", "mp3_128", -3),
        (21, "white55", "wav", -4), (21, "digital", "mp3_128", -6),
        (22, "room", "wav", -3), (22, "dither", "aac_64", -9),
        (23, "room", "wav", -5), (23, "pink48", "opus_48", -2),
        (24, "hum60", "mp3_64", -7), (25, "white50", "wav_48k", -11),
    ]
    return [Recording(books[b], f, e, p) for b, f, e, p in plan]


def test_set():
    """Ten short recordings, about two minutes each, for the test suite to
    make: long enough for forty pauses or so, as a minute's dozen could as
    well be a lecture's."""
    short = (100, 130)
    books = {
        1: Book("b", "en-us", "A", 175, 50, 3, short),
        2: Book("b", "en-gb", "B", 165, 45, 4, short),
        3: Book("b", "ja", "A", 165, 50, 3, short),
        4: Book("l", "en-us", "lecture", 175, 55, 1, short),
    }
    plan = [
        (1, "digital", "wav", -3), (1, "dither", "wav", -6),
        (2, "white50", "wav", -4), (2, "pink55", "wav", -8),
        (3, "hum50", "wav", -5), (1, "rumble", "wav", -10),
        (2, "room", "wav", -3), (3, "dc", "wav", -7),
        (3, "white55", "mp3_64", -4), (4, "white55", "wav", -5),
    ]
    return [Recording(books[b], f, e, p) for b, f, e, p in plan]


def hour_set():
    """One hour of a book, as WAVE and as 128k mp3, for timing."""
    hour = Book("h", "en-us", "A", 170, 50, 13, (3570, 3630))
    return [Recording(hour, "white55", "wav", -4), Recording(hour, "white55", "mp3_128", -4)]


def evidence_set():
    """Small books that are not one plain file or whose pauses mislead: a
    folder of chapter files, CD-style tracks, scene breaks, a floor that
    changes rooms and a drifting level. Chapters of 30 to 60 s, 3 to 6 of them."""
    chapters = lambda n: (n * 36, n * 54)
    books = {
        1: Book("f", "en-us", "F", 170, 50, 4, chapters(4), headings=True, titled=True),
        2: Book("f", "en-gb", "F", 155, 45, 5, chapters(5), headings=False),
        3: Book("f", "ja", "F", 160, 50, 3, chapters(3), headings=True, titled=True),
        4: Book("f", "en-us", "F", 185, 55, 6, chapters(6), headings=False, titled=True),
        5: Book("f", "ja", "F", 150, 40, 4, chapters(4), headings=False),
        11: Book("t", "en-gb", "A", 165, 45, 4, chapters(4)),
        12: Book("t", "ja", "B", 155, 50, 5, chapters(5)),
        21: Book("s", "en-us", "S", 170, 50, 4, chapters(4)),
        22: Book("s", "en-gb", "S", 150, 45, 5, chapters(5)),
        23: Book("s", "ja", "S", 160, 55, 3, chapters(3)),
        31: Book("r", "en-us", "A", 175, 50, 4, chapters(4)),
        32: Book("r", "ja", "D", 150, 45, 4, chapters(4)),
        41: Book("d", "en-gb", "A", 160, 50, 5, chapters(5)),
        42: Book("d", "ja", "B", 165, 50, 4, chapters(4)),
    }
    rooms = "hum48-hiss58"
    plan = [
        (1, "white55", "wav", -4, 0), (1, "room", "mp3_128", -6, 0),
        (2, "digital", "m4a_64", -3, 0), (2, "pink55", "opus_32", -5, 0),
        (3, "white50", "wav", -3, 0), (3, "hum50", "mp3_64", -8, 0),
        (4, "dither", "m4a_96", -2, 0), (4, "white60", "opus_48", -7, 0),
        (5, "room", "wav", -5, 0), (5, "white55", "m4a_64", -4, 0),
        (11, "white55", "wav", -4, 0), (11, "white55", "mp3_128", -4, 0),
        (12, "pink55", "m4a_64", -5, 0), (12, "pink55", "opus_48", -5, 0),
        (21, "white55", "wav", -3, 0), (21, "room", "mp3_64", -6, 0),
        (22, "digital", "wav", -4, 0), (22, "white50", "opus_32", -5, 0),
        (23, "pink55", "wav", -4, 0), (23, "hum60", "m4a_64", -7, 0),
        (31, rooms, "wav", -4, 0), (31, rooms, "m4a_64", -4, 0),
        (32, rooms, "wav", -6, 0), (32, rooms, "mp3_128", -6, 0),
        (41, "white55", "wav", -3, -11), (41, "white55", "opus_32", -3, -11),
        (42, "pink55", "wav", -4, 10), (42, "pink55", "mp3_64", -4, 10),
    ]
    return [Recording(books[b], f, e, p, d) for b, f, e, p, d in plan]


SETS = {"full": full_set, "test": test_set, "hour": hour_set, "evidence": evidence_set}


def run(command):
    """Runs a program (no shell); stops the run with its message on failure.
    Returns what it wrote to standard error."""
    done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True)
    if done.returncode != 0:
        sys.exit(f"failed ({done.returncode}): {' '.join(command)}\n"
                 + done.stderr.decode(errors="replace"))
    return done.stderr.decode(errors="replace")


# Prefixed to every seed by --seed, for another corpus of the same kind.
SALT = ""


def seed_of(text):
    """A seed that is the same on every run and every machine."""
    return zlib.crc32((SALT + text).encode())


# Speech


def speak(book, text, cache, work):
    """The 16-bit mono samples that espeak-ng says TEXT with, as bytes, with
    its exact-zero lead-in and tail cut off."""
    key = (book.voice, book.speed, book.pitch, text)
    if key not in cache:
        handle, path = tempfile.mkstemp(suffix=".wav", dir=work)
        os.close(handle)
        run(["espeak-ng", "-v", book.voice, "-s", str(book.speed), "-p",
             str(book.pitch), "-w", path, text])
        cache[key] = trimmed_samples(path)
        os.remove(path)
    return cache[key]


def trimmed_samples(path):
    """The samples of a mono 16-bit WAVE file at SPEECH_RATE, without the
    exact zeros at either end."""
    with wave.open(path) as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, SPEECH_RATE):
            sys.exit(f"{path}: espeak-ng did not write 16-bit mono at {SPEECH_RATE} Hz")
        samples = array.array("h", w.readframes(w.getnframes()))
    first, last = 0, len(samples)
    while first < last and samples[first] == 0:
        first += 1
    while last > first and samples[last - 1] == 0:
        last -= 1
    return samples[first:last].tobytes()


def pause(kind, seconds):
    """A pause of KIND ("lead", "heading", "sentence", "paragraph",
    "chapter", "tail") in the plan of a book."""
    return (kind, round(seconds * SPEECH_RATE))


def plan_book(book, cache, work):
    """The book as a list of (kind, samples as bytes) for speech and (kind,
    frames) for pauses, in order."""
    rng = random.Random(seed_of(book.key()))
    sentences = sentence_stream(book, rng)
    reading = rng.uniform(*book.seconds) - overhead_seconds(book)
    shares = [rng.uniform(0.8, 1.2) for _ in range(book.chapters)]
    files = book.structure == "F"
    ends = STRUCTURES["F"].chapter if files else None  # room tone at a file's ends
    plan = [pause("lead", rng.uniform(*ends) if files else rng.uniform(0.3, 0.8))]
    for chapter in range(1, book.chapters + 1):
        if book.structure != "lecture":
            if chapter > 1 and files:
                # the end of one file and the start of the next: one pause
                plan += [pause("chapter", rng.uniform(*ends)), ("cut", 0),
                         pause("chapter", rng.uniform(*ends))]
            elif chapter > 1:
                plan.append(pause("chapter", rng.uniform(*STRUCTURES[book.structure].chapter)))
            if book.headings:
                plan.append(("speech", speak(book, heading(book.voice, chapter), cache, work)))
                plan.append(pause("heading", rng.uniform(*STRUCTURES[book.structure].heading)))
        target = reading * shares[chapter - 1] / sum(shares)
        frames = 0
        new_paragraph = False
        while frames < target * SPEECH_RATE:
            text, ends_paragraph = next(sentences)
            if frames > 0:
                plan.append(between_sentences(book, new_paragraph, rng))
                frames += plan[-1][1]
            plan.append(("speech", speak(book, text, cache, work)))
            frames += len(plan[-1][1]) // 2
            new_paragraph = ends_paragraph
    plan.append(pause("tail", rng.uniform(*ends) if files else rng.uniform(0.5, 1.0)))
    return plan


def overhead_seconds(book):
    """About how long a book is besides its reading: the lead-in and tail,
    and each chapter's heading, the pause after it and the chapter pause."""
    if book.structure == "lecture":
        return 1.3
    ranges = STRUCTURES[book.structure]
    middle = lambda low_high: sum(low_high) / 2
    chapter = middle(ranges.chapter) * (2 if book.structure == "F" else 1)
    per_chapter = chapter + ((1.2 + middle(ranges.heading)) if book.headings else 0)
    return 1.3 + book.chapters * per_chapter - chapter


def sentence_stream(book, rng):
    """The prose of the book's language without end, from a paragraph drawn
    by RNG on: (sentence, whether it ends its paragraph)."""
    prose = ENGLISH if book.voice.startswith("en") else JAPANESE
    at = rng.randrange(len(prose))
    while True:
        paragraph = prose[at % len(prose)]
        for i, text in enumerate(paragraph):
            yield text, i == len(paragraph) - 1
        at += 1


def between_sentences(book, new_paragraph, rng):
    """The pause between two sentences."""
    kind = "paragraph" if new_paragraph else "sentence"
    if book.structure == "lecture":
        return pause(kind, lecture_pause(rng))
    ranges = STRUCTURES[book.structure]
    if new_paragraph and ranges.scene and rng.random() < SCENE_SHARE:
        return pause("scene", rng.uniform(*ranges.scene))
    return pause(kind, rng.uniform(*(ranges.paragraph if new_paragraph else ranges.sentence)))


def lecture_pause(rng):
    while True:
        seconds = rng.lognormvariate(math.log(LECTURE_MEDIAN), LECTURE_SIGMA)
        if LECTURE_PAUSES[0] <= seconds <= LECTURE_PAUSES[1]:
            return seconds


def heading(voice, number):
    """The spoken heading of chapter NUMBER."""
    if voice == "ja":
        return JAPANESE_HEADINGS[number - 1]
    return "Chapter " + ENGLISH_NUMBERS[number - 1]


@dataclass(frozen=True)
class Speech:
    """A book spoken into a file, where its pauses and file cuts lie."""

    path: str
    frames: int  # at SPEECH_RATE, as all here
    pauses: tuple  # (kind, first frame, end frame); a chapter pause whole
    cuts: tuple  # where a chapter file ends and the next begins

    def of_kind(self, kind):
        return [(a, b) for k, a, b in self.pauses if k == kind]


def write_speech(plan, path):
    """Writes the planned book as mono 16-bit WAVE at SPEECH_RATE, the pauses
    exact zeros. Returns its length, its pauses and its cuts, in frames."""
    pauses, cuts = [], []
    frames = 0
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(SPEECH_RATE)
        for kind, part in plan:
            if kind == "speech":
                w.writeframes(part)
                frames += len(part) // 2
            elif kind == "cut":
                cuts.append(frames)
            else:
                if kind == "chapter" and pauses and pauses[-1][0] == kind and pauses[-1][2] == frames:
                    pauses[-1] = (kind, pauses[-1][1], frames + part)  # across a cut
                else:
                    pauses.append((kind, frames, frames + part))
                w.writeframes(bytes(2 * part))
                frames += part
    return frames, pauses, cuts


def speech_ms(frames):
    return round(frames * 1000 / SPEECH_RATE)


def make_speech(book, cache, work):
    """Speaks BOOK into a WAVE file in WORK."""
    path = os.path.join(work, f"speech-{book.key()}.wav")
    frames, pauses, cuts = write_speech(plan_book(book, cache, work), path)
    return Speech(path, frames, tuple(pauses), tuple(cuts))


# Floors


def stereo_noise(color, seed, filters="", label="n"):
    """Two channels of ffmpeg's seeded noise, each through FILTERS, their
    links named after LABEL."""
    one = (f"anoisesrc=c={color}:r={MASTER_RATE}:a=0.25:s={{}}{filters},"
           "aformat=sample_fmts=flt:channel_layouts=mono")
    return (f"{one.format(seed)}[{label}0];{one.format(seed + 1)}[{label}1];"
            f"[{label}0][{label}1]amerge=inputs=2")


def hum(base, label):
    """Mains hum at BASE Hz and its next four harmonics, falling in level,
    the same in both channels, into [LABEL]."""
    levels = [1.0, 0.5, 0.35, 0.2, 0.12]
    tones = [f"sine=f={base * (k + 1)}:r={MASTER_RATE},volume={v}[{label}{k}]"
             for k, v in enumerate(levels)]
    inputs = "".join(f"[{label}{k}]" for k in range(len(levels)))
    return (";".join(tones) + f";{inputs}amix=inputs={len(levels)}:normalize=0,"
            f"pan=stereo|c0=c0|c1=c0[{label}]")


def room(seed):
    """A synthesised room: pink noise, a band of fan noise and a faint hum,
    their level drifting slowly."""
    return (stereo_noise("pink", seed, label="p") + "[pink];"
            + stereo_noise("white", seed + 2, ",bandpass=f=350:t=q:w=0.8", "f") + "[fan];"
            + hum(50, "hum") + ";[hum]volume=0.02[faint];"
            + "[pink][fan][faint]amix=inputs=3:normalize=0,"
            + "volume=1+0.3*sin(2*PI*t/29)+0.15*sin(2*PI*t/7.7):eval=frame")


def source_graph(source, seed):
    """The ffmpeg filter graph that makes SOURCE, stereo, without end."""
    if source in ("white", "pink"):
        return stereo_noise(source, seed)
    if source == "rumble":
        return stereo_noise("brown", seed, ",highpass=f=15,lowpass=f=90,lowpass=f=90")
    if source == "hum50":
        return hum(50, "h") + ";[h]anull"
    if source == "hum60":
        return hum(60, "h") + ";[h]anull"
    if source == "room":
        return room(seed)
    sys.exit(f"no source {source}")


def make_part(source, seed, frames, path):
    """Writes FRAMES of SOURCE as a 32-bit WAVE file."""
    graph = source_graph(source, seed) + f",atrim=end_sample={frames}"
    run(["ffmpeg", "-v", "error", "-nostdin", "-filter_complex", graph,
         "-c:a", "pcm_s32le", "-fflags", "+bitexact", "-y", path])


def level_db(path, measure):
    """The RMS or peak level of a file, dBFS, as sox measures it."""
    stats = run(["sox", path, "-n", "stats"])
    label = "RMS lev dB" if measure == "rms" else "Pk lev dB"
    found = re.search(re.escape(label) + r"\s+(-?[\d.]+)", stats)
    if not found:
        sys.exit(f"sox stats gave no {label} for {path}")
    return float(found.group(1))


def floor_inputs(parts, seed_name, frames, work):
    """Makes each of PARTS, FRAMES long, and returns sox's mixing inputs for
    them at their levels."""
    inputs = []
    for i, (source, target, measure) in enumerate(parts):
        part = os.path.join(work, f"{seed_name}.part{i}.wav")
        make_part(source, seed_of(f"{seed_name}-{i}"), frames, part)
        gain = 10 ** ((target - level_db(part, measure)) / 20)
        inputs += ["-v", f"{gain:.8f}", part]
    return inputs


def switch_frame(speech):
    """The middle of the sentence pause nearest the middle of the book."""
    middles = [(a + b) // 2 for a, b in speech.of_kind("sentence")]
    return min(middles, key=lambda m: abs(2 * m - speech.frames))


def two_rooms(rec, speech, frames, work):
    """Writes the floor of the first room up to the switch and of the second
    after it, as one 32-bit WAVE file; returns its path."""
    name = rec.name()
    floor = FLOORS[rec.floor]
    switch = 2 * switch_frame(speech)
    halves = []
    for i, (parts, seed_name) in enumerate(((floor.parts, name), (floor.then, name + "-then"))):
        inputs = floor_inputs(parts, seed_name, frames, work)
        whole = os.path.join(work, f"{name}.room{i}.wav")
        mixing = ["-m"] if len(inputs) > 3 else []
        run(["sox", "-R", "-D"] + mixing + inputs + ["-b", "32", "-e", "signed-integer", whole])
        half = os.path.join(work, f"{name}.half{i}.wav")
        run(["sox", "-R", "-D", whole, half, "trim"]
            + (["0", f"{switch}s"] if i == 0 else [f"{switch}s"]))
        halves.append(half)
    spliced = os.path.join(work, f"{name}.rooms.wav")
    run(["sox", "-R", "-D"] + halves + [spliced])
    return spliced


def drift(voice, db, frames, out):
    """Writes VOICE with its level moving smoothly over the whole by DB:
    falling from the start when DB < 0, rising to the end otherwise."""
    seconds = frames / MASTER_RATE
    shape = f"(1-cos(PI*t/{seconds:.3f}))" if db < 0 else f"(1+cos(PI*t/{seconds:.3f}))"
    run(["ffmpeg", "-v", "error", "-nostdin", "-i", voice, "-af",
         f"volume='pow(10,-{abs(db)}*{shape}/40)':eval=frame", "-c:a", "pcm_s24le",
         "-fflags", "+bitexact", "-flags:a", "+bitexact", "-y", out])


def make_master(rec, speech, work):
    """Writes the 16-bit stereo 44.1 kHz master of REC: the speech at its
    level over its floor. Returns any warning sox gave."""
    name = rec.name()
    floor = FLOORS[rec.floor]
    frames = 2 * speech.frames
    voice = os.path.join(work, name + ".voice.wav")
    master = os.path.join(work, name + ".master.wav")
    run(["sox", "-R", "-D", speech.path, "-b", "24", voice,
         "rate", "-v", str(MASTER_RATE), "channels", "2", "gain", "-n", str(rec.peak_db)])
    if rec.drift_db:
        drifting = os.path.join(work, name + ".drift.wav")
        drift(voice, rec.drift_db, frames, drifting)
        voice = drifting
    if floor.dither:
        return run(["sox", "-R", voice, "-b", "16", master, "dither"])
    if not floor.parts:
        return run(["sox", "-R", "-D", voice, "-b", "16", master])
    mix = ["sox", "-R", "-D", "-m", "-v", "1", voice]
    if floor.then:
        mix += ["-v", "1", two_rooms(rec, speech, frames, work)]
    else:
        mix += floor_inputs(floor.parts, name, frames, work)
    mix += ["-b", "16", "-e", "signed-integer", master]
    if floor.dc:
        offset = random.Random(seed_of(name)).randint(*floor.dc)
        mix += ["dcshift", f"{offset / 32768:.8f}"]
    return run(mix)


# Encodings and the check of a copy's start


def encode(master, encoding, out_path, tags=None):
    """Makes OUT_PATH from the master in ENCODING, with TAGS (a dict) if any."""
    how = ENCODINGS[encoding][1]
    if not how and not tags:
        shutil.copyfile(master, out_path)
    elif how and how[0] == "sox":
        if tags:
            sys.exit(f"{encoding} copies carry no tags")
        run(["sox", "-R", "-D", master] + how[1:] + [out_path])
    else:
        metadata = [a for k, v in (tags or {}).items() for a in ("-metadata", f"{k}={v}")]
        run(["ffmpeg", "-v", "error", "-nostdin", "-i", master, "-map_metadata", "-1",
             "-fflags", "+bitexact", "-flags:a", "+bitexact"] + (how or ["-c:a", "pcm_s16le"])
            + metadata + ["-y", out_path])


def decoded_frames(path):
    """How many frames ffmpeg decodes from PATH, at MASTER_RATE."""
    done = subprocess.run(
        ["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-ac", "1", "-ar", str(MASTER_RATE),
         "-f", "s16le", "-"], capture_output=True, check=True)
    return len(done.stdout) // 2


def decoded_start(path, seconds=8):
    """The first SECONDS of a recording as ffmpeg decodes it: mono 16-bit
    samples at MASTER_RATE."""
    done = subprocess.run(
        ["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-t", str(seconds), "-ac", "1",
         "-ar", str(MASTER_RATE), "-f", "s16le", "-"], capture_output=True, check=True)
    return array.array("h", done.stdout)


def best_lag(a, b, lags, start, length):
    """The lag L in LAGS for which b[i + L] is most like a[i] over
    a[start:start + length]."""
    best, best_sum = 0, None
    window = a[start:start + length]
    for lag in lags:
        total = sum(x * y for x, y in zip(window, b[start + lag:start + lag + length]))
        if best_sum is None or total > best_sum:
            best, best_sum = lag, total
    return best


def start_offset_ms(master, copy):
    """How much later than the master the decoded copy starts, in ms: first
    to the millisecond on the envelopes, then to the sample around the
    loudest millisecond."""
    a, b = decoded_start(master), decoded_start(copy)
    block = MASTER_RATE // 1000
    envelope = lambda s: [sum(map(abs, s[i:i + block])) for i in range(0, len(s) - block, block)]
    ea, eb = envelope(a), envelope(b)
    coarse = best_lag(ea, eb, range(-50, 51), 50, len(ea) - 200)
    loudest = max(range(60, len(ea) - 200), key=lambda i: ea[i])
    fine = best_lag(a, b, range(coarse * block - 2 * block, coarse * block + 2 * block + 1),
                    loudest * block - 4 * block, 8 * block)
    return fine * 1000 / MASTER_RATE


# One recording


LAYOUTS = {"f": "chapter files", "t": "tracks", "s": "scene breaks", "r": "two rooms",
           "d": "drifting level"}


def make_recording(rec, speech, out, work):
    """Writes REC and its truth file into OUT. Returns a line about it."""
    began = time.monotonic()
    warning = make_master(rec, speech, work)
    master = os.path.join(work, rec.name() + ".master.wav")
    extra = {}
    if rec.book.in_files():
        duration_ms, chapter_pauses, note, extra = write_parts(rec, speech, master, out, work)
    else:
        duration_ms = speech_ms(speech.frames)
        chapter_pauses = [[speech_ms(a), speech_ms(b)] for a, b in speech.of_kind("chapter")]
        out_path = os.path.join(out, rec.file_name())
        encode(master, rec.encoding, out_path)
        note = ""
        if rec.encoding != "wav":
            note = f"  starts {start_offset_ms(master, out_path):+.2f} ms from the master"
    if rec.book.kind in LAYOUTS:
        extra["layout"] = LAYOUTS[rec.book.kind]
    if rec.book.kind == "s":
        extra["scene_breaks"] = [[speech_ms(a), speech_ms(b)] for a, b in speech.of_kind("scene")]
    if rec.book.kind == "r":
        extra["switch_ms"] = speech_ms(switch_frame(speech))
    if rec.drift_db:
        extra["drift_db"] = rec.drift_db
    if "clip" in warning:
        note += "  (sox: clipped)"
    write_truth(rec, duration_ms, chapter_pauses, out, extra)
    for leftover in os.listdir(work):
        if leftover.startswith(rec.name() + "."):
            os.remove(os.path.join(work, leftover))
    minutes, tenths = divmod(round(duration_ms / 100), 600)
    return (f"{rec.file_name():44} {minutes}:{tenths / 10:04.1f} {len(chapter_pauses) + 1:2} "
            f"chapter(s) {time.monotonic() - began:5.1f} s{note}")


# Folders of files

ALBUMS = {"en": "The Keeper of the Light", "ja": "ユキと パンや"}
ENGLISH_TITLES = ["The Rock", "Storms", "The Harbour", "A Boat Without a Sail", "The Letter",
                  "The Second Clock"]
JAPANESE_TITLES = ["やまの むら", "しろい ねこ", "あめの よる", "おてら", "ねこの パン",
                   "とおくの まち"]


def track_cuts(book, speech):
    """Where the book is cut into CD-style tracks: at the middle of a
    sentence pause once a track is long enough, never near the end."""
    rng = random.Random(seed_of(book.key() + "-tracks"))
    cuts, last = [], 0
    target = rng.uniform(*TRACK_SECONDS) * SPEECH_RATE
    for a, b in speech.of_kind("sentence"):
        middle = (a + b) // 2
        if middle - last >= target and speech.frames - middle >= TRACK_LAST * SPEECH_RATE:
            cuts.append(middle)
            last = middle
            target = rng.uniform(*TRACK_SECONDS) * SPEECH_RATE
    return cuts


def part_label(rec, number, parts):
    """The file name (without extension) and the tags of part NUMBER."""
    book = rec.book
    language = "ja" if book.voice == "ja" else "en"
    tags = {"album": ALBUMS[language], "artist": f"espeak-ng {book.voice}",
            "track": f"{number}/{parts}"}
    if book.kind == "t":
        tags["title"] = f"Track {number:02}"
        return tags["title"], tags
    if language == "ja":
        plain = f"第{number}章"
        tags["title"] = plain + (" " + JAPANESE_TITLES[number - 1] if book.titled else "")
    else:
        plain = f"Chapter {number}"
        tags["title"] = plain + (": " + ENGLISH_TITLES[number - 1] if book.titled else "")
    return f"{number:02} - {plain}", tags


def write_parts(rec, speech, master, out, work):
    """Cuts the master into the folder of REC's files and encodes them.
    Returns the length and the chapter pauses of the files as ffmpeg decodes
    them, joined in name order, in ms; a note on their timing; and fields
    for the truth."""
    frames = 2 * speech.frames
    inner = speech.cuts if rec.book.kind == "f" else track_cuts(rec.book, speech)
    cuts = [0] + [2 * c for c in inner] + [frames]
    folder = os.path.join(out, rec.name())
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    lengths, offsets, names = [], [], []
    for k in range(len(cuts) - 1):
        part = os.path.join(work, f"{rec.name()}.cut{k}.wav")
        run(["sox", "-R", "-D", master, part, "trim", f"{cuts[k]}s", f"{cuts[k + 1] - cuts[k]}s"])
        label, tags = part_label(rec, k + 1, len(cuts) - 1)
        names.append(label + "." + ENCODINGS[rec.encoding][0])
        path = os.path.join(folder, names[-1])
        encode(part, rec.encoding, path, tags)
        lengths.append(decoded_frames(path))
        offsets.append(start_offset_ms(part, path) if rec.encoding != "wav" else 0.0)

    def joined_ms(t):
        """A time of the master, in frames, on the joined decoded files."""
        k = max(i for i in range(len(cuts) - 1) if cuts[i] <= t)
        return round((sum(lengths[:k]) + t - cuts[k]) * 1000 / MASTER_RATE + offsets[k])

    pauses = [[joined_ms(2 * a), joined_ms(2 * b)] for a, b in speech.of_kind("chapter")]
    total = sum(lengths)
    note = (f"  {len(lengths)} files decode {(total - frames) * 1000 / MASTER_RATE:+.2f} ms "
            f"from the master, start {min(offsets):+.2f} to {max(offsets):+.2f} ms from its parts")
    extra = {"folder": True, "files": names,
             "file_ms": [round(n * 1000 / MASTER_RATE) for n in lengths]}
    return round(total * 1000 / MASTER_RATE), pauses, note, extra


def write_truth(rec, duration_ms, chapter_pauses, out, extra=None):
    """Writes NAME.json, one field a line."""
    lecture = rec.book.structure == "lecture"
    truth = {
        "name": rec.name(),
        "voice": rec.book.voice,
        "floor": rec.floor,
        "encoding": rec.encoding,
        "structure": rec.book.structure,
        "lecture": lecture,
        "duration_ms": duration_ms,
        "chapter_pauses": [] if lecture else chapter_pauses,
    }
    truth.update(extra or {})
    fields = [f" {json.dumps(k)}: {json.dumps(v, ensure_ascii=False)}" for k, v in truth.items()]
    with open(os.path.join(out, rec.name() + ".json"), "w", encoding="utf-8") as f:
        f.write("{\n" + ",\n".join(fields) + "\n}\n")


def main():
    parser = argparse.ArgumentParser(description="Writes generated narrated books.")
    parser.add_argument("out", help="the folder to write into")
    parser.add_argument("--set", choices=sorted(SETS), default="full")
    parser.add_argument("--seed", default="",
                        help="other pauses, levels and noise: a second corpus "
                        "to check a rule tuned on the first")
    parser.add_argument("--jobs", type=int, default=2, help="recordings made at once")
    args = parser.parse_args()
    global SALT
    SALT = args.seed + ":" if args.seed else ""
    began = time.monotonic()
    recordings = SETS[args.set]()
    names = [r.name() for r in recordings]
    if len(set(names)) != len(names):
        sys.exit("two recordings share a name")
    os.makedirs(args.out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work, ThreadPoolExecutor(args.jobs) as pool:
        cache = {}
        books = list(dict.fromkeys(r.book for r in recordings))
        speech = dict(zip(books, pool.map(lambda b: make_speech(b, cache, work), books)))
        lines = pool.map(lambda r: make_recording(r, speech[r.book], args.out, work), recordings)
        for line in lines:
            print(line, flush=True)
    print(f"{len(recordings)} recordings in {time.monotonic() - began:.1f} s")


# The words: plain prose written for this corpus. The Japanese is in kana,
# since espeak-ng's Japanese voice reads kana but names each kanji as a
# "Chinese letter".

ENGLISH = [
    [
        "The lighthouse stood on a rock at the mouth of the bay.",
        "For a hundred years a keeper had lived inside it, climbing the stairs"
        " each evening to light the lamp.",
        "The last keeper was a woman named Ada, who kept a diary of every ship"
        " that passed.",
        "Her entries were short, but she never missed a day.",
    ],
    [
        "In winter the storms came from the west.",
        "Waves struck the rock so hard that the whole tower shook, and the"
        " windows rattled in their frames.",
        "Ada did not mind the noise.",
        "She said it reminded her that the sea was awake, and that she should"
        " be awake too.",
    ],
    [
        "Each morning she walked down to the harbour to buy bread and coffee.",
        "The baker always asked about the weather, as if she could see further"
        " than anyone else.",
        "In a way, she could.",
        "From the top of the tower the horizon was twice as far away.",
    ],
    [
        "One autumn a small boat drifted into the bay without a sail.",
        "There was nobody on board, only a wooden crate tied to the mast with"
        " blue rope.",
        "Ada rowed out to it, towed it to the shore, and opened the crate on"
        " the beach.",
        "Inside she found a clock, a compass, and a letter sealed with green"
        " wax.",
    ],
    [
        "The letter was addressed to the keeper of the light.",
        "It asked her to wind the clock every day at noon and to keep the"
        " compass pointing north.",
        "It was not signed.",
        "Ada read it three times and then put it in her diary.",
    ],
    [
        "She did as the letter asked.",
        "The clock ran perfectly, and it chimed once every hour, even when the"
        " storms were at their worst.",
        "Sometimes, late at night, she thought she heard a second clock"
        " answering it from across the water.",
    ],
    [
        "Years passed in this way.",
        "The village grew, a new road was built along the cliffs, and tourists"
        " began to arrive in the summer.",
        "Children would knock on the door of the tower and ask to see the"
        " lamp.",
        "Ada always let them climb the stairs, counting the steps aloud with"
        " them.",
    ],
    [
        "There were one hundred and twelve steps.",
        "At the top the children pressed their faces against the glass and"
        " looked for whales.",
        "Once, a girl spotted a grey back rising out of the water, and for"
        " weeks nobody in the village talked about anything else.",
    ],
    [
        "When the light was finally automated, Ada was asked to leave.",
        "She packed her diaries into three boxes and carried them down the"
        " stairs one at a time.",
        "The clock she left behind, still ticking on the shelf above the lamp.",
    ],
    [
        "She moved into a small house near the harbour, close enough to see"
        " the tower from her kitchen.",
        "Every day at noon she looked up at it and imagined the clock being"
        " wound.",
        "Of course, nobody wound it.",
        "But the light kept turning, night after night, as if someone were"
        " still there.",
    ],
    [
        "Many years later a young engineer came to repair the lamp.",
        "He found the clock on the shelf, still running, though no one had"
        " touched it in a decade.",
        "He could not explain it.",
        "He wrote a short note about it in his report and then forgot about"
        " it.",
    ],
    [
        "Ada lived to be very old.",
        "On her last birthday the children of the village brought her a cake"
        " shaped like a lighthouse, with a single candle on the top.",
        "She laughed, blew out the candle, and told them the story of the boat"
        " with no sail.",
    ],
    [
        "Nobody knows who sent the crate.",
        "Some people say it was another keeper, on another rock, far away"
        " across the ocean.",
        "Others say that the sea itself sent it, to thank her for staying"
        " awake.",
        "The clock is in the village museum now, and it still chimes every"
        " hour.",
    ],
]

JAPANESE = [
    [
        "やまの ふもとに、ちいさな むらが ありました。",
        "むらには パンやが いっけん だけ ありました。",
        "パンやの しゅじんは、まいあさ よじに おきて、パンを やきました。",
    ],
    [
        "ある ふゆの あさ、みせの まえに いっぴきの ねこが すわって いました。",
        "ねこは しろくて、しっぽの さきだけが くろい いろでした。",
        "しゅじんは ねこに ミルクを すこし あげました。",
    ],
    [
        "つぎの ひも、その つぎの ひも、ねこは やって きました。",
        "そのうち、むらの こどもたちが ねこに なまえを つけました。",
        "なまえは ユキ でした。",
    ],
    [
        "ユキは まいにち、みせの まどの そばで ねむりました。",
        "おきゃくさんは ユキを みると、みんな えがおに なりました。",
        "パンは まえより よく うれるように なりました。",
    ],
    [
        "はるに なると、やまの ゆきが とけて、かわの みずが ふえました。",
        "ある よる、おおきな あめが ふりました。",
        "かわの みずは はしの すぐ したまで きて いました。",
    ],
    [
        "その よる、ユキは しゅじんの へやの ドアを なんども ひっかきました。",
        "しゅじんが めを さますと、ゆかに みずが はいって きて いました。",
        "しゅじんは いそいで むらの ひとたちを おこしに いきました。",
    ],
    [
        "みんなは たかい ところに ある おてらに にげました。",
        "あさに なって、あめは やっと やみました。",
        "いえは いくつか こわれましたが、けがを した ひとは いませんでした。",
    ],
    [
        "むらの ひとたちは、ユキの おかげだと いいました。",
        "こどもたちは ユキの ために ちいさな いえを つくりました。",
        "やねは あかく、いりぐちには ユキの なまえが かいて ありました。",
    ],
    [
        "なつに なると、しゅじんは あたらしい パンを かんがえました。",
        "ねこの かおの かたちを した、あまい パンです。",
        "その パンは すぐに むらで いちばんの にんきに なりました。",
    ],
    [
        "あきには、とおくの まちからも おきゃくさんが くるように なりました。",
        "みんな ユキに あいたがりましたが、ユキは たいてい ねて いました。",
        "それでも、おきゃくさんは しずかに しゃしんを とって、かえって いきました。",
    ],
    [
        "なんねんも たって、しゅじんは としを とりました。",
        "いまは しゅじんの むすめが パンを やいて います。",
        "ユキも すこし ゆっくり あるくように なりましたが、まだ まどの そばで"
        " ねむって います。",
    ],
    [
        "むらの ひとは いまでも、あめの よるに なると、その はなしを します。",
        "そして さいごに、かならず こう いいます。",
        "ねこを だいじに する むらは、きっと しあわせに なる、と。",
    ],
]

ENGLISH_NUMBERS = [
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine",
    "ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen",
]

# 第一章 to 第十六章 as they are read.
JAPANESE_HEADINGS = [
    "だいいっしょう", "だいにしょう", "だいさんしょう", "だいよんしょう",
    "だいごしょう", "だいろくしょう", "だいななしょう", "だいはっしょう",
    "だいきゅうしょう", "だいじゅっしょう", "だいじゅういっしょう",
    "だいじゅうにしょう", "だいじゅうさんしょう", "だいじゅうよんしょう",
    "だいじゅうごしょう", "だいじゅうろくしょう",
]

if __name__ == "__main__":
    main()
