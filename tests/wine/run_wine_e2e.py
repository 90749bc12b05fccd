#!/usr/bin/env python3
"""Runs the Windows programs under Wine beside their Linux builds and compares.

Every case names one program (hushmark, hushmark-chapters or hushmark-probe) and runs its exe
and its Linux build with the same arguments on the same files, in fresh
folders, and requires the same exit status, the same output files byte for
byte, the same files left in the folder, and the same console text. The
console bytes must be exactly that text with CR LF line ends in the encoding
Windows uses for it: the locale's ANSI code page when that can spell the
Japanese messages (932 under ja_JP.UTF-8), UTF-8 otherwise. Cases marked
console_window run the exe on a pseudo-terminal, which Wine turns into a
console window; the program must then write UTF-16 with WriteConsoleW, which
Wine shows in UTF-8 whatever the code page, so the text must arrive intact
even where the code page lacks it.

Cases marked decoder have HUSHMARK_FFMPEG (and HUSHMARK_FFPROBE) name the stand-in built
from stand_in_decoder.cc: stand_in_decoder in the Linux build's folder and
stand_in_decoder.exe in each Windows build's, copied to a folder whose name has
a blank and Japanese in it. Without them those cases are skipped.

usage: run_wine_e2e.py LINUX_BUILD_DIR WINDOWS_BUILD_DIR [WINDOWS_BUILD_DIR...]
"""

import codecs
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"

# Wine turns LANG into the Windows locale; these are the code pages the
# program is expected to write in under each.
CONSOLE_ENCODING = {"C.UTF-8": "utf-8", "ja_JP.UTF-8": "cp932", "de_DE.UTF-8": "utf-8"}


def _question_marks(error):
    """A '?' for every UTF-16 unit the code page cannot spell, as Windows writes."""
    bad = error.object[error.start:error.end]
    return "".join("??" if ord(c) > 0xFFFF else "?" for c in bad), error.end


codecs.register_error("utf16_units", _question_marks)


# --- WAVE files -------------------------------------------------------------

def frames(*runs):
    """Sample bytes for (count, left, right) runs of identical frames."""
    return b"".join(struct.pack("<hh", l, r) * n for n, l, r in runs)


def loud(n):
    return (n, 1000, -1000)


def quiet(n):
    return (n, 0, 0)


def chunk(cid, body, declared=None):
    size = len(body) if declared is None else declared
    return cid + struct.pack("<I", size) + body + (b"\0" if len(body) % 2 else b"")


def fmt(rate=44100, channels=2, bits=16, extra=b""):
    block = channels * bits // 8
    body = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    return chunk(b"fmt ", body + extra)


def riff(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


ONE_POINT = frames(loud(44100), quiet(8820), loud(1))
TALK = (EXAMPLES / "talk.wav").read_bytes()
# Input folders: the example recording, and one chapter point a second in.
TALK_FILES = {"talk.wav": TALK}
POINT_FILES = {"in.wav": riff(fmt(), chunk(b"data", ONE_POINT))}
# What a chapter file held before a run.
EARLIER = b"earlier chapters\r\n01:02:03.004\r\n"
# Four folders of 99 characters: with the name, past Windows' MAX_PATH of 260.
LONG_DIR = "/".join(c * 99 for c in "wxyz")


# --- Cases ------------------------------------------------------------------

@dataclass
class Case:
    name: str
    args: list
    files: dict = field(default_factory=dict)  # name -> bytes, or None for a folder
    outputs: list = field(default_factory=list)  # chapter files to compare
    langs: tuple = ("C.UTF-8", "ja_JP.UTF-8")
    env: dict = field(default_factory=dict)
    linux_args: list = None  # Linux's spelling of the same request, if it differs
    shown_as: dict = field(default_factory=dict)  # how Windows echoes Linux's spelling
    console_window: bool = False
    program: str = "hushmark"
    drive_root: bool = False  # the exe's folder is the root of a drive of its own
    stdin: bytes = None  # what the program reads on standard input
    decoder: bool = False  # HUSHMARK_FFMPEG names the stand-in decoder
    # What both runs must show besides agreeing, where agreeing in a refusal
    # would not prove the case: the exit status, and text the console holds.
    status: int = None
    shows: str = None
    # Whether both runs must leave the folder as it was laid out: no file
    # more, none less, and every file's bytes as they were.
    unchanged: bool = False


def wave_cases():
    """Reading WAVE files: chunks, formats and broken files."""
    return [
        Case("talk, derived chapter name", ["-i", "talk.wav"], TALK_FILES, ["talk_chapter.txt"],
             langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        Case("talk, every option", ["-i", "talk.wav", "-o", "c.txt", "-s", "5",
                                    "-m", "300", "-p", "1"], TALK_FILES, ["c.txt"],
             langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        Case("talk, cut at the end", ["-p", "2", "-m", "0x64", "-i", "talk.wav",
                                      "-o", "c.txt"], TALK_FILES, ["c.txt"]),
        Case("LIST chunk, 18-byte fmt, odd chunk",
             ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": riff(chunk(b"LIST", b"\0" * 26), fmt(extra=b"\0\0"),
                             chunk(b"odd!", b"abc"), chunk(b"data", ONE_POINT))},
             ["c.txt"]),
        Case("data chunk with a trailing half frame",
             ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": riff(fmt(), chunk(b"data", ONE_POINT + b"\x7f\x7f\x7f"),
                             chunk(b"LIST", b"\0" * 4))}, ["c.txt"]),
        Case("truncated data", ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": riff(fmt(), chunk(b"data", ONE_POINT + frames(quiet(9000)),
                                          declared=len(ONE_POINT) * 4))}, ["c.txt"]),
        Case("chunk larger than 2 GiB skipped to the end", ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": riff(fmt(), chunk(b"data", ONE_POINT),
                             b"big!" + struct.pack("<I", 0xFFFFFFF0) + b"\0" * 8)},
             ["c.txt"]),
        Case("mono is refused", ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": riff(fmt(channels=1), chunk(b"data", b"\0" * 64))}, ["c.txt"]),
        Case("not a WAVE file", ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": b"hello, world\n" * 3}, ["c.txt"]),
    ]


def file_cases():
    """Files that cannot be read or written, or that must not be."""
    return [
        Case("missing input", ["-i", "none.wav", "-o", "c.txt"], {}, ["c.txt"]),
        Case("a folder as input", ["-i", "sub", "-o", "c.txt"], {"sub": None}, ["c.txt"]),
        Case("chapter file in a missing folder", ["-i", "in.wav", "-o", "no/c.txt"],
             POINT_FILES),
        Case("chapter file naming the input", ["-i", "in.wav", "-o", "in.wav"], POINT_FILES,
             ["in.wav"]),
        # An earlier chapter file keeps its bytes until the first point is written.
        Case("earlier chapter file, not a WAVE file", ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": b"RIFF", "c.txt": EARLIER}, ["c.txt"]),
        Case("earlier chapter file, mono after a chunk without points",
             ["-i", "in.wav", "-o", "c.txt"],
             {"in.wav": riff(fmt(), chunk(b"data", frames(quiet(9000))), fmt(channels=1),
                             chunk(b"data", b"\0" * 8)), "c.txt": EARLIER}, ["c.txt"]),
        Case("earlier chapter file replaced", ["-i", "talk.wav"],
             dict(TALK_FILES, **{"talk_chapter.txt": EARLIER}), ["talk_chapter.txt"]),
        Case("input spelled two ways", ["-i", "in.wav", "-o", "./sub/../in.wav"],
             dict(POINT_FILES, sub=None), ["in.wav"]),
    ]


def option_cases():
    """The command line: options, argument order and its checks."""
    return [
        Case("no input", ["-o", "c.txt"], {}, ["c.txt"]),
        Case("bad -p", ["-i", "in.wav", "-p", "3"], POINT_FILES, ["in_chapter.txt"]),
        Case("-h", ["-p", "9", "-h", "-i", "in.wav"], POINT_FILES, ["in_chapter.txt"],
             langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        Case("arguments permuted", ["stray", "-i", "in.wav", "more", "-p", "2",
                                    "-o", "c.txt"], POINT_FILES, ["c.txt"]),
        Case("POSIXLY_CORRECT stops at the first non-option",
             ["-i", "in.wav", "-o", "c.txt", "stray", "-p", "2"], POINT_FILES, ["c.txt"],
             env={"POSIXLY_CORRECT": "1"}),
        Case("-- ends the options", ["-i", "in.wav", "-o", "c.txt", "--", "-p", "9"],
             POINT_FILES, ["c.txt"]),
        Case("unknown options and odd clusters", ["--foo", "-x-", "-i", "in.wav", "---"],
             POINT_FILES, ["o", "in_chapter.txt"]),
        Case("missing option argument", ["-i", "in.wav", "-o"], POINT_FILES, ["in_chapter.txt"]),
    ]


def name_cases():
    """File names: length and characters beyond ASCII."""
    return [
        Case("path of 1,024 characters", ["-i", "a" * 1024], {}),
        Case("path past MAX_PATH", ["-i", LONG_DIR + "/in.wav", "-o", LONG_DIR + "/c.txt"],
             {LONG_DIR: None, LONG_DIR + "/in.wav": POINT_FILES["in.wav"]},
             [LONG_DIR + "/c.txt"]),
        Case("Japanese file name", ["-i", "講義.wav", "-s", "1"], {"講義.wav": TALK},
             ["講義_chapter.txt"], langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        Case("file name outside the BMP, with a space", ["-i", "録音 🎙.wav"],
             {"録音 🎙.wav": TALK}, ["録音 🎙_chapter.txt"]),
    ]


def windows_cases():
    """What only Windows does: its own name rules and console windows."""
    return [
        # Windows names are case-insensitive and take backslashes.
        Case("chapter file naming the input in other case", ["-i", "in.wav", "-o", "IN.WAV"],
             POINT_FILES, ["in.wav"], linux_args=["-i", "in.wav", "-o", "in.wav"],
             shown_as={"outfile = in.wav": "outfile = IN.WAV"}),
        Case("backslash separators", ["-i", "sub\\in.wav"],
             {"sub": None, "sub/in.wav": POINT_FILES["in.wav"]},
             ["sub/in_chapter.txt"], linux_args=["-i", "sub/in.wav"],
             shown_as={"sub/": "sub\\"}),
        Case("console window, Japanese name", ["-i", "講義.wav", "-s", "1"],
             {"講義.wav": TALK}, ["講義_chapter.txt"],
             langs=("ja_JP.UTF-8", "de_DE.UTF-8"), console_window=True),
        Case("console window, usage", ["-h"], langs=("C.UTF-8", "de_DE.UTF-8"),
             console_window=True),
    ]


def pattern_cases():
    """File patterns, which the exe expands itself; linux_args holds what the
    shell makes of them. Wine, like NTFS, lists a folder in name order."""
    return [
        # "*" matches "." and ".." too, which never count.
        Case("pattern, one match", ["-i", "*", "-o", "c.txt"], POINT_FILES, ["c.txt"],
             linux_args=["-i", "in.wav", "-o", "c.txt"]),
        Case("pattern, several matches: the first is the input",
             ["-i", "*.wav", "-p", "1"], {"a.wav": POINT_FILES["in.wav"], "b.wav": TALK},
             ["a_chapter.txt", "b_chapter.txt"], linux_args=["-i", "a.wav", "b.wav", "-p", "1"]),
        # Each further match is an argument of its own, so option reading stops there.
        Case("pattern, several matches under POSIXLY_CORRECT",
             ["-i", "*.wav", "-p", "1"], {"a.wav": POINT_FILES["in.wav"], "b.wav": TALK},
             ["a_chapter.txt"], env={"POSIXLY_CORRECT": "1"},
             linux_args=["-i", "a.wav", "b.wav", "-p", "1"]),
        Case("pattern, no match", ["-i", "*.flac"], POINT_FILES),
        # Wine quotes an argument holding a blank on the exe's command line.
        Case("pattern, quoted", ["-i", "my *.wav"], {"my a.wav": POINT_FILES["in.wav"]}),
        Case("pattern with a folder part", ["-i", "sub\\*.wav"],
             {"sub": None, "sub/in.wav": POINT_FILES["in.wav"]}, ["sub/in_chapter.txt"],
             linux_args=["-i", "sub/in.wav"], shown_as={"sub/": "sub\\"}),
        Case("pattern matching a Japanese name", ["-i", "講?.wav", "-s", "1"],
             {"講義.wav": TALK}, ["講義_chapter.txt"], linux_args=["-i", "講義.wav", "-s", "1"],
             langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
    ]


def chapters_cases():
    """hushmark-chapters: its formats, a title beyond ASCII, and an output written whole."""
    def chapters(name, args, files=TALK_FILES, outputs=(), **more):
        return Case("chapters: " + name, args, files, list(outputs),
                    program="hushmark-chapters", **more)
    return [
        chapters("talk, derived name", ["-i", "talk.wav"], outputs=["talk.chapters.txt"],
                 langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        chapters("ffmetadata, -n and -l", ["-i", "talk.wav", "-f", "ffmetadata", "-n", "3",
                                           "-l", "1"], outputs=["talk.ffmetadata"]),
        # The FILE line holds the input's last path component.
        chapters("cue, input in a folder", ["-i", "sub\\talk.wav", "-f", "cue"],
                 {"sub": None, "sub/talk.wav": TALK}, ["sub/talk.cue"],
                 linux_args=["-i", "sub/talk.wav", "-f", "cue"], shown_as={"sub/": "sub\\"}),
        # Titles reach the file as UTF-8 whatever the console's code page; the
        # microphone is a surrogate pair in Windows' UTF-16.
        chapters("Japanese title", ["-i", "talk.wav", "-f", "ogm", "-t", "第%02d章 講義 🎙"],
                 outputs=["talk.ogm.txt"]),
        # What is not a WAVE file goes to the decoder, which refuses it.
        chapters("earlier output kept, not a WAVE file", ["-i", "in.wav", "-o", "c.txt"],
                 {"in.wav": b"hello, world\n" * 3, "c.txt": EARLIER}, ["c.txt"],
                 decoder=True),
        chapters("earlier output kept, bad -f", ["-i", "talk.wav", "-f", "mp4", "-o", "c.txt"],
                 dict(TALK_FILES, **{"c.txt": EARLIER}), ["c.txt"]),
        chapters("earlier output replaced", ["-i", "talk.wav", "-f", "audacity"],
                 dict(TALK_FILES, **{"talk.labels.txt": EARLIER}), ["talk.labels.txt"]),
        chapters("output in a missing folder", ["-i", "talk.wav", "-o", "no/c.txt"]),
        # Past MAX_PATH, the temporary file and the rename take the \\?\ form.
        chapters("earlier output replaced past MAX_PATH, Japanese name",
                 ["-i", LONG_DIR + "/講義.wav", "-f", "vtt"],
                 {LONG_DIR: None, LONG_DIR + "/講義.wav": TALK,
                  LONG_DIR + "/講義.vtt": EARLIER},
                 [LONG_DIR + "/講義.vtt"]),
        # \c.txt is in the root of the current drive, where the temporary file must go.
        chapters("output at the root of the drive", ["-i", "talk.wav", "-o", "\\c.txt"],
                 outputs=["c.txt"], linux_args=["-i", "talk.wav", "-o", "c.txt"],
                 shown_as={"outfile = c.txt": "outfile = \\c.txt"}, drive_root=True),
        # A titles file and a chapter list are read by their Unicode names;
        # the list drifts, and its chapters land on the pauses.
        chapters("titles file, lead-in and splitting",
                 ["-i", "talk.wav", "-T", "目次/titles.txt", "-b", "250", "-x", "2,3",
                  "-o", "c.txt"],
                 dict(TALK_FILES, **{"目次": None,
                                     "目次/titles.txt": "\ufeff序章\r\n第一章\r\n".encode()}),
                 ["c.txt"]),
        chapters("a drifting chapter list aligned",
                 ["-i", "talk.wav", "-a", "目次/list.json", "-w", "2", "-o", "c.txt"],
                 dict(TALK_FILES, **{"目次": None, "目次/list.json": (
                     '{"chapters":[{"startOffsetMs":0,"title":"序章"},'
                     '{"startOffsetMs":600,"title":"一"},{"startOffsetMs":1800,"title":"二"},'
                     '{"startOffsetMs":3700,"title":"三"},{"startOffsetMs":5950,"title":"四"}]}'
                 ).encode()}),
                 ["c.txt"]),
        chapters("output naming the input in other case",
                 ["-i", "talk.wav", "-o", "TALK.WAV"], outputs=["talk.wav"],
                 linux_args=["-i", "talk.wav", "-o", "talk.wav"],
                 shown_as={"outfile = talk.wav": "outfile = TALK.WAV"}),
    ]


def probe_cases():
    """hushmark-probe: both tables, the locale's decimal separator, -s and -m."""
    def probe(name, args, files=TALK_FILES, **more):
        return Case("probe: " + name, args, files, program="hushmark-probe", **more)
    return [
        probe("talk", ["-i", "talk.wav"], langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        probe("-s and -m, Japanese name", ["-i", "講義.wav", "-s", "0", "-m", "100"],
              {"講義.wav": TALK}),
    ]


def decoder_cases():
    """Recordings the tools hand to the decoder, and standard input."""
    # ONE_POINT's left channel alone.
    samples = b"".join(struct.pack("<h", l) * n for n, l, _ in (loud(44100), quiet(8820),
                                                               loud(1)))
    mono = riff(fmt(channels=1), chunk(b"data", samples))
    folder = {"録音": None, "録音/mono.wav": mono}
    return [
        Case("chapters: mono through the decoder, Japanese folder", ["-i", "録音/mono.wav"],
             folder, ["録音/mono.chapters.txt"], program="hushmark-chapters", decoder=True,
             status=0),
        Case("probe: mono through the decoder, Japanese folder", ["-i", "録音/mono.wav"],
             folder, program="hushmark-probe", decoder=True, status=0),
        # Each file has a decoder of its own, started side by side.
        Case("chapters: two mono files through decoders at once",
             ["-i", "録音/mono.wav", "録音/mono.wav", "-o", "c.txt"], folder, ["c.txt"],
             program="hushmark-chapters", decoder=True, status=0),
        Case("chapters: stereo from standard input", ["-i", "-", "-o", "c.txt"],
             outputs=["c.txt"], stdin=POINT_FILES["in.wav"], program="hushmark-chapters",
             status=0),
        Case("chapters: mono from standard input through the decoder",
             ["-i", "-", "-o", "c.txt"], outputs=["c.txt"], stdin=mono,
             program="hushmark-chapters", decoder=True, status=0),
        Case("probe: mono from standard input through the decoder", ["-i", "-"],
             stdin=mono, program="hushmark-probe", decoder=True, status=0),
        Case("chapters: the decoder missing", ["-i", "録音/mono.wav"], folder,
             ["録音/mono.chapters.txt"], program="hushmark-chapters",
             env={"HUSHMARK_FFMPEG": "hushmark-no-such-decoder"},
             shows="ffmpegが見つかりません"),
        # Its last line of standard error reaches the message, and on Windows
        # that line ends in CR LF.
        # PCM has no place in an m4b: the parts are decoded once and go to one
        # encoder, whose file the remux copies with the chapters; the
        # stand-in writes what each run was given.
        Case("chapters: mono parts encoded into an m4b",
             ["-F", "-o", "本.m4b", "録音/mono.wav", "録音/mono.wav"], folder, ["本.m4b"],
             program="hushmark-chapters", decoder=True, status=0),
        Case("chapters: a failed encoder keeps the earlier m4b",
             ["-y", "-F", "-o", "本.m4b", "録音/mono.wav", "録音/mono.wav"],
             dict(folder, **{"本.m4b": b"earlier"}), ["本.m4b"],
             program="hushmark-chapters", decoder=True,
             env={"STAND_IN_FAIL_ENCODE": "1"}, shows="No space left on device"),
        Case("chapters: an earlier m4b is kept without -y",
             ["-F", "-o", "本.m4b", "録音/mono.wav", "録音/mono.wav"],
             dict(folder, **{"本.m4b": b"earlier"}), ["本.m4b"],
             program="hushmark-chapters", decoder=True,
             shows="出力ファイルがすでにあります"),
        Case("chapters: the decoder refuses a file", ["-i", "録音/24.wav"],
             {"録音": None, "録音/24.wav": riff(fmt(channels=1, bits=24),
                                               chunk(b"data", b"\0" * 300))},
             ["録音/24.chapters.txt"], program="hushmark-chapters", decoder=True,
             shows="Invalid data found when processing input"),
    ]


def split_cases():
    """hushmark-chapters writing one file per chapter: the stand-in copies each
    file's samples, after its arguments, into the temporary folder, and the
    files are moved into place once all are there."""
    # Three chapters of the talk, each titled in Japanese.
    args = ["-i", "talk.wav", "-n", "3", "-t", "第%02d章 講義"]
    names = [f"Book/{k:02d} 第{k:02d}章 講義.mka" for k in (1, 2, 3)]
    book = dict(TALK_FILES, Book=None)
    earlier = dict(book, **{names[1]: EARLIER})
    long_name = LONG_DIR + "/%02d %t.mka"
    long_names = [LONG_DIR + name[4:] for name in names]
    long_book = dict(TALK_FILES, **{LONG_DIR: None, long_names[0]: EARLIER})

    def split(name, more, files, outputs=names, **kw):
        return Case("chapters: " + name, args + more, files, list(outputs),
                    program="hushmark-chapters", decoder=True, **kw)
    return [
        split("split into files with Japanese titles", ["-o", "Book/%02d %t.mka"], TALK_FILES,
              status=0, shows="ファイル3個を書き出しました。",
              langs=("C.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8")),
        # Refused before the scan, naming the file that would be replaced.
        split("split refuses an existing file without -y", ["-o", "Book/%02d %t.mka"],
              earlier, status=1, unchanged=True,
              shows=f"出力ファイルがすでにあります: {names[1]}\n"
                    "置き換えるときは-yを指定してください。"),
        # The temporary folder is made in Book\, and each file moved over
        # what is there.
        split("split replaces an existing file with -y", ["-y", "-o", "Book\\%02d %t.mka"],
              earlier, linux_args=args + ["-y", "-o", "Book/%02d %t.mka"],
              shown_as={"Book/": "Book\\"}, status=0,
              shows="ファイル3個を書き出しました。"),
        # Past MAX_PATH, the temporary folder, its files and their moves take
        # the \\?\ form; ffmpeg is given the plain names.
        split("split past MAX_PATH over an earlier file", ["-y", "-o", long_name], long_book,
              long_names, status=0, shows="ファイル3個を書き出しました。"),
        split("a failed split past MAX_PATH leaves nothing", ["-y", "-o", long_name],
              long_book, long_names, env={"STAND_IN_FAIL_SPLIT": "1"}, status=1,
              unchanged=True, shows="No space left on device"),
        # A folder that cannot be made is known before the scan.
        split("split into a folder that cannot be made", ["-o", "out.mka/%02d.mka"],
              dict(TALK_FILES, **{"out.mka": EARLIER}), [], status=1, unchanged=True,
              shows="フォルダを作れませんでした: out.mka/"),
        # ffmpeg fails with the first file written and the second begun: the
        # temporary folder goes with both, and the earlier files stay.
        split("a failed split keeps the earlier files", ["-y", "-o", "Book/%02d %t.mka"],
              dict(earlier, **{names[0]: EARLIER + b"1"}),
              env={"STAND_IN_FAIL_SPLIT": "1"}, status=1, unchanged=True,
              shows="No space left on device"),
        # An m4a takes no PCM: the talk is encoded during the scan and the
        # files cut from the encoder's file, each starting early; the
        # split then shortens each moov box in place (write_at) to end at
        # the next chapter.
        split("split of an encoded copy into m4a files", ["-o", "Book/%02d.m4a"], book,
              [f"Book/{k:02d}.m4a" for k in (1, 2, 3)], status=0,
              shows="ファイル3個を書き出しました。"),
        split("a failed encoder leaves no file of the split", ["-y", "-o", "Book/%02d.m4a"],
              dict(book, **{"Book/02.m4a": EARLIER}), ["Book/02.m4a"],
              env={"STAND_IN_FAIL_ENCODE": "1"}, status=1, unchanged=True,
              shows="No space left on device"),
    ]


def cases():
    """Every case, grouped by what it exercises."""
    return (wave_cases() + file_cases() + option_cases() + name_cases() + windows_cases()
            + pattern_cases() + chapters_cases() + probe_cases() + decoder_cases()
            + split_cases())


# --- Running ----------------------------------------------------------------

# Wine's loaders, one per kind of exe. /usr/bin/wine prefers the 32-bit one
# whenever it is installed, even where the kernel cannot run it, so each exe is
# started through its own loader.
LOADERS = {
    64: os.environ.get("WINE64", "/usr/lib/wine/wine64"),
    32: os.environ.get("WINE32", "/usr/lib/wine/wine"),
}


def pe_bits(exe):
    """32 or 64, from the machine field of the exe's PE header."""
    head = Path(exe).read_bytes()[:4096]
    (pe,) = struct.unpack_from("<I", head, 0x3C)
    (machine,) = struct.unpack_from("<H", head, pe + 4)
    return 64 if machine == 0x8664 else 32


def lay_out(folder, files):
    for name, content in sorted(files.items()):
        path = folder / name
        if content is None:
            path.mkdir(parents=True, exist_ok=True)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content)


def clean_env(lang, extra):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("LC_")
           and k not in ("LANG", "LANGUAGE", "POSIXLY_CORRECT", "HUSHMARK_FFMPEG")}
    env["LANG"] = lang
    env.update(extra)
    return env


def run(command, folder, env, stdin=None):
    given = {"stdin": subprocess.DEVNULL} if stdin is None else {"input": stdin}
    done = subprocess.run(command, cwd=folder, env=env, **given,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    return done.returncode, done.stdout


def run_in_console_window(command, folder, env):
    """Runs command on a pseudo-terminal; returns its status and the text shown."""
    status, shown = run(["script", "-qec", shlex.join(command), "/dev/null"], folder, env)
    # Wine hides the cursor around each write, ends lines in CR CR LF and
    # clears to the end of the line instead of drawing trailing spaces.
    shown = re.sub(rb"\x1b\[(\?25[lh]|K)", b"", shown).replace(b"\r", b"")
    return status, shown


def listing(folder):
    """Every path under folder: a file left behind shows here."""
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*"))


def left_as_laid_out(folder, files):
    """Whether folder holds just what lay_out put there, byte for byte."""
    laid_out = {str(p) for name in files for p in (Path(name), *Path(name).parents)} - {"."}
    return set(listing(folder)) == laid_out and all(
        content is None or (folder / name).read_bytes() == content
        for name, content in files.items())


def results(folder, case):
    out = {}
    for name in case.outputs:
        path = folder / name
        out[name] = path.read_bytes() if path.is_file() else None
    for name, content in case.files.items():
        if content is not None and (folder / name).read_bytes() != content:
            out[name + " (input)"] = "changed"
    return out


def stand_ins(linux_build, windows_build, work):
    """The stand-in decoder's path for Linux and for Windows, each copied to a
    folder with a blank and Japanese in its name; None when one is not built."""
    built = (linux_build / "stand_in_decoder", windows_build / "stand_in_decoder.exe")
    if not all(p.is_file() for p in built):
        return None
    folder = work / "デコーダ 1"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir()
    linux, exe = (Path(shutil.copy2(p, folder)) for p in built)
    # Wine's drive Z: is the root of the Linux file system.
    return str(linux), "Z:" + str(exe).replace("/", "\\")


def compare(case, lang, linux_build, windows_build, work, decoders):
    """Runs one case both ways; returns a list of differences."""
    env = clean_env(lang, case.env)
    win_env = env
    if case.decoder:
        # The stand-in plays ffprobe too.
        env = dict(env, HUSHMARK_FFMPEG=decoders[0], HUSHMARK_FFPROBE=decoders[0])
        win_env = dict(env, HUSHMARK_FFMPEG=decoders[1], HUSHMARK_FFPROBE=decoders[1])
    lin_dir, win_dir = work / "linux", work / "wine"
    linux = str(linux_build / case.program)
    exe = str(windows_build / (case.program + ".exe"))
    loader = LOADERS[pe_bits(exe)]
    for d in (lin_dir, win_dir):
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir()
        lay_out(d, case.files)
    lin_status, lin_out = run([linux] + (case.linux_args or case.args), lin_dir, env,
                              case.stdin)
    drive = Path(os.environ["WINEPREFIX"]) / "dosdevices" / "y:"
    if case.drive_root:
        drive.symlink_to(win_dir)  # Wine takes the drive that holds the folder most closely
    try:
        if case.console_window:
            win_status, win_out = run_in_console_window([loader, exe] + case.args, win_dir,
                                                        win_env)
        else:
            win_status, win_out = run([loader, exe] + case.args, win_dir, win_env, case.stdin)
    finally:
        if case.drive_root:
            drive.unlink()
    problems = []
    if case.unchanged:
        for side, folder in (("Linux", lin_dir), ("Windows", win_dir)):
            if not left_as_laid_out(folder, case.files):
                problems.append(f"{side} changed the folder: {listing(folder)}")
    if case.status is not None and lin_status != case.status:
        problems.append(f"Linux's exit status {lin_status}, wanted {case.status}")
    if case.shows is not None and case.shows.encode() not in lin_out:
        problems.append(f"Linux's console lacks {case.shows!r}")
    if lin_status != win_status:
        problems.append(f"exit status {win_status}, Linux {lin_status}")
    text = lin_out.decode("utf-8", "surrogateescape")
    for linux_spelling, windows_spelling in case.shown_as.items():
        text = text.replace(linux_spelling, windows_spelling)
    if case.console_window:
        want = re.sub(" +\n", "\n", text).encode("utf-8")
    else:
        want = text.replace("\n", "\r\n").encode(CONSOLE_ENCODING[lang], "utf16_units")
    if win_out != want:
        problems.append(f"console {win_out!r}\n      wanted {want!r}")
    lin_files, win_files = results(lin_dir, case), results(win_dir, case)
    for name in lin_files.keys() | win_files.keys():
        if lin_files.get(name) != win_files.get(name):
            problems.append(f"{name}: {win_files.get(name)!r:.80}, "
                            f"Linux {lin_files.get(name)!r:.80}")
    if listing(lin_dir) != listing(win_dir):
        problems.append(f"files {listing(win_dir)}, Linux {listing(lin_dir)}")
    return problems


def linux_has(lang):
    probe = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
    wanted = lang.lower().replace("-", "")
    return any(line.lower().replace("-", "") == wanted for line in probe.split())


def start_wine(prefix):
    os.environ["WINEPREFIX"] = str(prefix)
    os.environ["WINEDEBUG"] = "-all"
    os.environ.pop("DISPLAY", None)  # no window may open
    subprocess.run([LOADERS[64], "wineboot", "--init"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600, check=False)
    # One server for every run, instead of one started and stopped per run.
    subprocess.run(["wineserver", "-p"], check=False)


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    linux_build = Path(argv[1]).resolve()
    windows_builds = [Path(d).resolve() for d in argv[2:]]
    passed = failed = skipped = 0
    with tempfile.TemporaryDirectory(prefix="hushmark-wine-") as tmp:
        tmp = Path(tmp)
        start_wine(tmp / "prefix")
        try:
            for windows_build in windows_builds:
                decoders = stand_ins(linux_build, windows_build, tmp)
                for case in cases():
                    for lang in case.langs:
                        label = f"{windows_build.name}/{case.program}.exe [{lang}] {case.name}"
                        if not linux_has(lang):
                            print(f"SKIP {label}: no {lang} locale on Linux")
                            skipped += 1
                            continue
                        if case.decoder and not decoders:
                            print(f"SKIP {label}: the stand-in decoder is not built")
                            skipped += 1
                            continue
                        args = (case, lang, linux_build, windows_build, tmp, decoders)
                        problems = compare(*args)
                        if problems:
                            # On a loaded machine Wine now and then loses a
                            # run's output; a fault of the program's fails
                            # the second time too. The first try stays shown.
                            print(f"RETRY {label}")
                            for p in problems:
                                print(f"      {p}")
                            problems = compare(*args)
                        if problems:
                            failed += 1
                            print(f"FAIL {label}")
                            for p in problems:
                                print(f"      {p}")
                        else:
                            passed += 1
                            print(f"ok   {label}")
        finally:
            subprocess.run(["wineserver", "-k"], check=False)
    print(f"wine: {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
