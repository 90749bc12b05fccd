#!/usr/bin/env bash
# Lints the manual pages, English and Japanese, builds the three packages and
# checks them: the Debian package is unpacked into a scratch root and its
# hushmark, hushmark-probe and hushmark-chapters are run on the bundled
# recording; both packages must carry the documents, the guides in docs/ and
# the Japanese ones among them.
# Needs mandoc, dpkg-dev, file and mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."

# Any message at all from the linter, style included, fails the run.
for page in man/*.1 man/ja/*.1; do
  if ! report=$(mandoc -T lint -W style "$page" 2>&1) || [ -n "$report" ]; then
    printf '%s\n' "$report"
    echo "mandoc -T lint: $page is not clean" >&2
    exit 1
  fi
done

start=$SECONDS
bash packaging/build-packages.sh
echo "packages built in $((SECONDS - start)) s"

shopt -s nullglob
debs=(build/packages/hushmark_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one .deb, found ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Section)" = sound ]
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>='
[ "$(dpkg-deb -f "$deb" Recommends)" = ffmpeg ]

# The guides go wherever README.md goes, in a folder of their own.
guides=(docs/*.md)
[ ${#guides[@]} -gt 0 ] || { echo "no guides in docs/" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
for f in usr/bin/hushmark usr/share/man/man1/hushmark.1.gz \
         usr/bin/hushmark-probe usr/share/man/man1/hushmark-probe.1.gz \
         usr/bin/hushmark-chapters usr/share/man/man1/hushmark-chapters.1.gz \
         usr/share/man/ja/man1/{hushmark,hushmark-probe,hushmark-chapters}.1.gz \
         usr/share/doc/hushmark/{README.md,README.ja.md,LICENSE,CHANGELOG.md,copyright} \
         "${guides[@]/#/usr/share/doc/hushmark/}"; do
  [ -f "$root/$f" ] || { echo "$deb lacks $f" >&2; exit 1; }
done
# The Japanese pages show under a Japanese locale, through man where it is
# installed and through mandoc; .ci/run makes the locale.
ja_page() {
  local shown
  shown=$("$@" 2>/dev/null) || true
  grep -q 'WAVEの録音の無音からチャプター位置を見つける' <<<"$shown" ||
    { echo "$*: shows no Japanese page" >&2; exit 1; }
}
if locale -a | grep -qix 'ja_JP.utf8'; then
  ja_page env LC_ALL=ja_JP.UTF-8 mandoc -T locale \
    "$root/usr/share/man/ja/man1/hushmark.1.gz"
  if command -v man >/dev/null; then
    ja_page env MANPATH="$root/usr/share/man" LC_ALL=ja_JP.UTF-8 man hushmark
    ja_page env MANPATH="$root/usr/share/man" LC_ALL=C.UTF-8 man -L ja hushmark
  fi
fi
"$root/usr/bin/hushmark" -i examples/talk.wav -o "$root/talk_chapter.txt"
printf '00:00:01.257\r\n00:00:02.624\r\n00:00:04.461\r\n00:00:06.794\r\n' |
  cmp - "$root/talk_chapter.txt"
LANG=C.UTF-8 "$root/usr/bin/hushmark-probe" -i examples/talk.wav |
  grep -qx 'おすすめ: -s 0 (区切り4か所)'
"$root/usr/bin/hushmark-chapters" -i examples/talk.wav -o "$root/talk.chapters.txt" -n 3
printf '00:00:00.000 Chapter 1\n00:00:04.461 Chapter 2\n00:00:06.794 Chapter 3\n' |
  cmp - "$root/talk.chapters.txt"

for arch in win64 win32; do
  zips=(build/packages/hushmark-*-"$arch".zip)
  [ ${#zips[@]} -eq 1 ] || { echo "expected one $arch zip" >&2; exit 1; }
  listing=$(cmake -E tar tf "${zips[0]}")
  for f in hushmark.exe hushmark-probe.exe hushmark-chapters.exe README.md LICENSE \
           CHANGELOG.md README-Windows.txt README-Windows-ja.txt README.ja.md \
           "${guides[@]}"; do
    grep -q "/$f\$" <<<"$listing" || { echo "${zips[0]} lacks $f" >&2; exit 1; }
  done
  # The note for Windows users: its version filled in, every line ending in CR LF.
  zip=$PWD/${zips[0]}
  (cd "$root" && cmake -E tar xf "$zip")
  note=$(find "$root" -path "*-$arch/README-Windows.txt")
  head -n 1 "$note" | grep -q "^hushmark $(dpkg-deb -f "$deb" Version) for Windows"$'\r$'
  [ "$(grep -c $'\r$' "$note")" = "$(wc -l <"$note")" ] ||
    { echo "$note: a line does not end in CR LF" >&2; exit 1; }
  # Its Japanese twin: UTF-8 with a byte order mark, which Notepad on a
  # Japanese Windows needs to read it as UTF-8, and CR LF too.
  note_ja=$(find "$root" -path "*-$arch/README-Windows-ja.txt")
  [ "$(head -c 3 "$note_ja" | od -An -tx1)" = " ef bb bf" ] ||
    { echo "$note_ja does not start with a byte order mark" >&2; exit 1; }
  head -n 1 "$note_ja" | grep -q "hushmark $(dpkg-deb -f "$deb" Version) Windows版"$'\r$' 
  iconv -f UTF-8 -t UTF-8 "$note_ja" >/dev/null ||
    { echo "$note_ja is not UTF-8" >&2; exit 1; }
  [ "$(grep -c $'\r$' "$note_ja")" = "$(wc -l <"$note_ja")" ] ||
    { echo "$note_ja: a line does not end in CR LF" >&2; exit 1; }
done
echo "packages checked"
