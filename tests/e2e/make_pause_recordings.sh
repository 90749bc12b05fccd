#!/usr/bin/env bash
# Writes recordings of synthetic speech with pauses at known places into
# FOLDER, and pauses.txt: the first frame (counting from 1) and the length in
# frames of each pause, one per line. Needs espeak-ng and sox; the output is
# the same on every run.
#   make_pause_recordings.sh FOLDER
#     eleven sentences with ten pauses of 0.8 to 3 s: clean.wav (pauses of
#     digital silence), dithered.wav (made at 24 bits and dithered to 16),
#     faint.wav and loud.wav (hiss over the whole recording, peaks near 28
#     and 260)
#   make_pause_recordings.sh FOLDER book
#     a book of five chapters, 27 sentences: 22 pauses of 0.25 to 1.2 s
#     between sentences and 4 of 3.1 to 4.5 s between chapters, as
#     clean.wav, dithered.wav and hissy.wav (peaks near 260); chapters.txt
#     lists the chapter pauses as pauses.txt does
set -euo pipefail
cd "$1"

if [[ ${2:-} == book ]]; then
  phrases=(
    "The house stood at the edge of the village."
    "Its walls were white and its roof was red."
    "Every morning the baker walked past it."
    "He always stopped to look at the garden."
    "Nobody knew who lived there."
    "Nobody had seen the owner for years."
    "One day a letter arrived at the bakery."
    "It had no name and no stamp."
    "The baker opened it with care."
    "Inside was a map of the river."
    "He left before sunrise with a small bag."
    "The path followed the water for many miles."
    "Birds sang in the tall trees."
    "By noon he reached an old bridge."
    "He sat down and ate some bread."
    "Then he looked at the map again."
    "Under the bridge there was a wooden box."
    "The box was locked with a silver key."
    "The key hung from a branch nearby."
    "He opened the box slowly."
    "There was a note inside the lid."
    "The box held seeds for a garden."
    "He carried them back to the village."
    "He planted them by the white house."
    "In spring the flowers came up."
    "And that is the end of the story."
    "Thank you for listening."
  )
  # Chapter pauses are the only ones of 3 s or more.
  pauses=(0.3 0.5 0.8 0.4 1.2 3.6
    0.6 0.9 0.35 1.0 4.2
    0.45 0.7 1.1 0.3 0.55 3.1
    0.8 0.4 1.2 0.65 4.5
    0.5 0.95 0.25 0.75)
  hiss=(hissy:0.0048)
else
  phrases=(
    "Welcome to the first chapter."
    "Here we talk about the weather."
    "It was a cold and windy morning."
    "Nobody expected the snow."
    "The second part begins here."
    "Trains were late all over the country."
    "Some people walked to work."
    "Others stayed at home."
    "The third part is short."
    "Spring came early that year."
    "Thank you for listening."
  )
  pauses=(0.8 1.2 2.4 1.0 3.0 0.9 1.6 2.0 1.1 2.8)
  hiss=(faint:0.00052 loud:0.0048)
fi

parts=()
frame=1
: >pauses.txt
for i in "${!phrases[@]}"; do
  espeak-ng -v en-us -s 165 -w "raw$i.wav" "${phrases[$i]}"
  # 44.1 kHz stereo at 24 bits, without the exact-zero lead-in and tail
  sox -D "raw$i.wav" -r 44100 -c 2 -b 24 "seg$i.wav" \
    silence 1 0 0 reverse silence 1 0 0 reverse
  parts+=("seg$i.wav")
  frame=$((frame + $(soxi -s "seg$i.wav")))
  if ((i < ${#pauses[@]})); then
    sox -D -n -r 44100 -c 2 -b 24 "pause$i.wav" trim 0 "${pauses[$i]}"
    length=$(soxi -s "pause$i.wav")
    echo "$frame $length" >>pauses.txt
    parts+=("pause$i.wav")
    frame=$((frame + length))
  fi
done
sox -D "${parts[@]}" master.wav
seconds=$(soxi -D master.wav)
if [[ ${2:-} == book ]]; then
  awk '$2 >= 3 * 44100' pauses.txt >chapters.txt
fi

sox -D master.wav -b 16 clean.wav
sox -R master.wav -b 16 dithered.wav dither
for level in "${hiss[@]}"; do
  sox -R -n -r 44100 -c 2 -b 24 "noise.wav" synth "$seconds" whitenoise \
    vol "${level#*:}"
  sox -D -m -v 1 master.wav -v 1 noise.wav -b 16 "${level%%:*}.wav"
done
rm -f raw*.wav seg*.wav pause*.wav noise.wav master.wav
