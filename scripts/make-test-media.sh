#!/usr/bin/env bash
# Makes the small media files in tests/data with the ffmpeg command-line tool.
# Each audio file carries its own sine tone and container texts; tests/data/README.md lists them.
# The committed files are what the tests use; rerunning should give the same files bit for bit.
set -euo pipefail
out="${1:-$(cd "$(dirname "$0")/.." && pwd)/tests/data}"
mkdir -p "$out"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y -fflags +bitexact "$@"; }
sine() { echo "sine=frequency=$1:sample_rate=$2:duration=${3:-2}"; }
exact=(-flags +bitexact -map_metadata -1)

# RealAudio 14.4: 8 kHz mono; the rm muxer leaves the duration of these unknown.
ff -f lavfi -i "$(sine 440 8000)" "${exact[@]}" -ac 1 -c:a real_144 \
  -metadata title="Tone 440" -metadata author="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="RealAudio 14.4 in .ra" -f rm "$out/ra144.ra"
ff -f lavfi -i "$(sine 550 8000)" "${exact[@]}" -ac 1 -c:a real_144 \
  -metadata title="Tone 550" -metadata author="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="RealAudio 14.4 in .rm" -f rm "$out/ra144.rm"

# AC-3 stereo 44.1 kHz with UTF-8 texts (accents, Cyrillic, CJK).
ff -f lavfi -i "$(sine 1000 44100)" "${exact[@]}" -ac 2 -c:a ac3 -b:a 64k \
  -metadata title="Café Ünïcødé — Привет 音楽" -metadata author="Åsa Ørsted / Дмитрий / 山田太郎" \
  -metadata copyright="© 2024 Élan Музыка 株式会社" -metadata comment="Grüße, мир, 你好" \
  -f rm "$out/ac3-stereo.rm"

# AAC stereo 22.05 kHz in RealMedia.
ff -f lavfi -i "$(sine 660 22050)" "${exact[@]}" -ac 2 -c:a aac -b:a 32k \
  -metadata title="Tone 660" -metadata author="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="AAC in .rm" -f rm "$out/aac.rm"

# RealVideo 2.0 with AC-3 mono audio.
ff -f lavfi -i "testsrc=size=64x48:rate=5:duration=2" -f lavfi -i "$(sine 880 44100)" \
  "${exact[@]}" -c:v rv20 -b:v 20k -g 10 -ac 1 -c:a ac3 -b:a 32k \
  -metadata title="Tone 880" -metadata author="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="RealVideo with AC-3 mono" -f rm "$out/video-ac3-mono.rmvb"

# RealVideo 1.0 without any audio stream.
ff -f lavfi -i "testsrc=size=64x48:rate=5:duration=2" "${exact[@]}" -c:v rv10 -b:v 20k -g 10 \
  -metadata title="No Audio" -metadata author="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="RealVideo without audio" -f rm "$out/video-only.rm"

# 8-bit unsigned mono WAV (RIFF INFO has no author, so the artist field carries it).
ff -f lavfi -i "$(sine 330 8000)" "${exact[@]}" -ac 1 -c:a pcm_u8 \
  -metadata title="Tone 330" -metadata artist="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="8-bit unsigned mono" -f wav "$out/u8-mono.wav"

# AC-3 5.1 at 44.1 kHz: the same tone on every channel, for the down-mix.
ff -f lavfi -i "$(sine 770 44100)" "${exact[@]}" -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" \
  -c:a ac3 -b:a 96k \
  -metadata title="Tone 770" -metadata author="Tolvane Tests" -metadata copyright="(c) 2024 Tolvane" \
  -metadata comment="AC-3 5.1 surround" -f rm "$out/surround51.rm"

# 16-bit PCM whose timestamps start half a second before zero (as encoder priming would be stamped).
ff -f lavfi -i "$(sine 500 8000 1)" "${exact[@]}" -ac 1 -c:a pcm_s16le -output_ts_offset -0.5 \
  -avoid_negative_ts disabled -fflags +bitexact -metadata title="Tone 500" -f matroska "$out/lead-in.mkv"

ls -l "$out"
