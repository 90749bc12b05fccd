#!/usr/bin/env bash
# Writes four recordings of the same synthetic speech with ten pauses at known
# places into FOLDER: clean.wav (pauses of digital silence), dithered.wav
# (made at 24 bits and dithered to 16), faint.wav and loud.wav (hiss over the
# whole recording, peaks near 28 and 260), and pauses.txt, the first frame
# (counting from 1) and the length in frames of each pause, one per line.
# Needs espeak-ng and sox; the output is the same on every run.
#   make_pause_recordings.sh FOLDER
set -euo pipefail
cd "$1"

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

sox -D master.wav -b 16 clean.wav
sox -R master.wav -b 16 dithered.wav dither
for level in faint:0.00052 loud:0.0048; do
  sox -R -n -r 44100 -c 2 -b 24 "noise.wav" synth "$seconds" whitenoise \
    vol "${level#*:}"
  sox -D -m -v 1 master.wav -v 1 noise.wav -b 16 "${level%%:*}.wav"
done
rm -f raw*.wav seg*.wav pause*.wav noise.wav master.wav
