#!/usr/bin/env bash
# Makes the game's 32 sounds into resources/sounds/ as PCM WAV files: game
# events synthesised with sox, the chatter clips spoken by espeak-ng.
# Needs: apt-get install sox espeak-ng. The results are committed; run this
# only to change them.
set -euo pipefail
cd "$(dirname "$0")/../resources/sounds"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# synth NAME RATE BITS CHANNELS SOX-SYNTH-AND-EFFECTS...
synth() {
    local name=$1 rate=$2 bits=$3 channels=$4
    shift 4
    sox -n -r "$rate" -b "$bits" -c "$channels" -e "$([ "$bits" = 8 ] && echo unsigned || echo signed)" \
        "$name.wav" "$@"
}

# notes NAME RATE BITS CHANNELS NOTE-LENGTH NOTE...: a short plucked melody.
notes() {
    local name=$1 rate=$2 bits=$3 channels=$4 length=$5
    shift 5
    local parts=()
    for note in "$@"; do
        sox -n -r "$rate" -c "$channels" "$work/$name-$note.wav" synth "$length" pluck "$note" fade 0 "$length" 0.05
        parts+=("$work/$name-$note.wav")
    done
    sox "${parts[@]}" -b "$bits" -e "$([ "$bits" = 8 ] && echo unsigned || echo signed)" "$name.wav" \
        norm -3
}

# A rattle of dice: bursts of noise at an uneven beat, dying away.
synth dice 22050 8 1 synth 0.76 brownnoise tremolo 17 95 highpass 900 fade 0 0.76 0.3 norm -6
synth dice2 22050 16 1 synth 1.25 brownnoise tremolo 13 95 highpass 700 fade 0 1.25 0.5 norm -6
notes entered 11025 8 1 0.26 E5 G5 C6
synth error 22050 8 1 synth 0.13 square 110 gain -14
notes fivekind 22050 8 1 0.2 C5 E5 G5 C6 E6
notes gameover 22050 8 1 0.26 G4 C5 E5 G5
synth noscore 11025 8 1 synth 0.25 sine 330-160 fade 0 0.25 0.08 norm -4
synth scored 44100 16 2 synth 0.39 pluck A5 fade 0 0.39 0.2 norm -3
synth setdice 22050 8 1 synth 0.11 brownnoise highpass 1500 fade 0 0.11 0.08 norm -4
notes turn 11025 16 2 0.28 G5 D6
notes turnnew 44100 8 1 0.14 C6 E6 G6
synth unsetdice 11025 16 1 synth 0.54 pinknoise lowpass 1200 fade 0.3 0.54 0.2 gain -16

# say NAME WORDS [VOICE] [PITCH] [SPEED]: a spoken clip, 8-bit mono.
say() {
    local name=$1 words=$2 voice=${3:-en} pitch=${4:-50} speed=${5:-150}
    espeak-ng -v "$voice" -p "$pitch" -s "$speed" -w "$work/$name.wav" "$words"
    sox "$work/$name.wav" -r 16000 -b 8 -e unsigned -c 1 "$name.wav" silence 1 0.02 1% reverse \
        silence 1 0.02 1% reverse norm -3
}

say wave1 "D'oh!" en+m3 30 140
synth wave2 16000 8 1 synth 0.22 brownnoise lowpass 900 fade 0 0.22 0.1 : \
    synth 0.25 brownnoise lowpass 800 fade 0 0.25 0.15 norm -3
say wave3 "Hello!"
say wave4 "Thank you!"
say wave5 "Where have you been?"
synth wave6 16000 8 1 synth 2.4 brownnoise lowpass 400 tremolo 0.42 100 norm -6
say wave7 "Ah, ah, ah choo!" en+f2 70 170
say wave8 "Sorry!"
say wave9 "Welcome!"
say wave10 "Yee haa!" en+m2 80 160
say wave11 "Yippee!" en+f3 85 170
say wave12 "Oh no!" en 40 120
synth wave13 16000 8 1 synth 2.2 pinknoise tremolo 23 70 highpass 600 fade 0.1 2.2 0.8 norm -6
synth wave14 16000 8 1 synth 0.45 square 290 square 330 fade 0 0.45 0.05 norm -6
say wave15 "Ooooooh" en+f4 60 90
synth wave16 16000 8 1 synth 0.8 sawtooth 85 tremolo 31 90 lowpass 1800 fade 0 0.8 0.2 norm -6
synth wave17 16000 8 1 synth 1.6 pinknoise tremolo 9 40 highpass 400 fade 0.2 1.6 0.6 norm -6
say wave18 "ha ha ha ha ha!" en+f4 90 200
say wave19 "ho ho ho ho!" en+m3 25 170
say wave20 "boo hoo hoo hoo" en+m1 35 110

du -ch ./*.wav | tail -1
