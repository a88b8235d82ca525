#!/usr/bin/env bash
# Takes the README's screenshots from the real programs, run under Xvfb with a
# home folder of their own and a clean folder of real videos (made on the spot
# with ffmpeg's picture sources): the main window on every page and the image
# viewer, into docs/screenshots/ (or the folder named as the first argument);
# docs/screenshot.png is the selection page. Builds the programs when needed.
# Needs ffmpeg, xvfb-run, xdotool, openbox and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${OMBRELO_BUILD_DIR:-build}"
shots="$(realpath -m "${1:-docs/screenshots}")"
mkdir -p "$shots"
[ -x "$build/app/desktop/ombrelo" ] || cmake --build "$build" --target ombrelo
[ -x "$build/app/indexer/ombrelo-index" ] || cmake --build "$build" --target ombrelo-index

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
home="$scratch/home"
videos="$home/Videos/Holidays 2024"
mkdir -p "$home/.config/Tessaly" "$videos" "$home/Documents"
# Past the first run, tutorials off: the window alone, no help on top.
printf '[General]\nFirstRun=0\nShowTutorials=0\n' > "$home/.config/Tessaly/Ombrelo.conf"

make_video() {  # NAME SOURCE SECONDS [ENCODER OPTIONS...]
  local name="$1" source="$2" seconds="$3"
  shift 3
  ffmpeg -loglevel error -f lavfi -i "$source" -t "$seconds" -pix_fmt yuv420p "$@" "$videos/$name"
}
x264=(-c:v libx264 -preset veryfast)
make_video "Beach at sunset.mp4" "mandelbrot=s=640x360:r=25" 24 "${x264[@]}" &
make_video "Café concert.mkv" "testsrc2=s=640x360:r=25" 30 "${x264[@]}" &
make_video "Garden timelapse.mp4" "cellauto=s=640x360:r=25:rule=110" 20 "${x264[@]}" &
make_video "Zürich by night.webm" "smptehdbars=s=640x360:r=25" 16 -c:v libvpx -deadline realtime &
wait

# A project that lists the videos to index: the indexer writes one with the
# settings (a thumbnail 2 s in, then every 3 s), then the list is made new
# again so that the desktop program indexes them itself.
"$build/app/indexer/ombrelo-index" --jobs 1 --start-after 2 --every 3 \
  --out "$home/Pictures/Video index" --save "$scratch/indexed.obx" "$videos" >/dev/null
perl -0pe 's#<status>\d</status>#<status>0</status>#g;
           s#<(html|ipl|indexphoto)>[^<]*</\1>#<$1></$1>#g;
           s#<image_list>.*?</image_list>#<image_list><width>0</width><height>0</height></image_list>#gs;
           s#<current_path>[^<]*</current_path>#<current_path>'"$videos"'/</current_path>#' \
  "$scratch/indexed.obx" > "$home/Documents/Holidays.obx"
rm -rf "$home/Pictures/Video index"

cat > "$scratch/shoot.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_CACHE_HOME="$home/.cache"
cd "$home"
openbox >/dev/null 2>&1 &
sleep 1
"$root/$build/app/desktop/ombrelo" -nohandler "$home/Documents/Holidays.obx" &
pid=\$!
window() {  # the visible window whose title matches
  for _ in \$(seq 1 100); do
    id=\$(xdotool search --onlyvisible --name "\$1" 2>/dev/null | head -n 1 || true)
    [ -n "\$id" ] && { echo "\$id"; return; }
    sleep 0.1
  done
  echo "no window '\$1'" >&2
  exit 1
}
shoot() {  # FILE [WINDOW]: the window, without the mouse on a button
  xdotool mousemove 0 0
  sleep 0.8
  import -window "\${2:-\$main}" "$shots/\$1"
}
click() { xdotool mousemove --window "\$main" "\$1" "\$2" click 1; }
# Clicks until the main window's title ends with the page's name (a click
# can be lost while the window is still busy).
go() {  # X Y PAGE
  for _ in \$(seq 1 20); do
    click "\$1" "\$2"
    for _ in \$(seq 1 20); do
      case "\$(xdotool getwindowname "\$main")" in *"- \$3") return ;; esac
      sleep 0.1
    done
  done
  echo "no page '\$3'" >&2
  exit 1
}
main=\$(window ' - Ombrelo - ')
xdotool windowmove "\$main" 20 20 windowsize "\$main" 1000 700
sleep 1.5  # the folders are read in the background
shoot select.png
cp "$shots/select.png" "$root/docs/screenshot.png"
go 835 648 Settings
shoot settings.png
go 940 645 Indexing
click 147 34   # Pause, for a look at the progress page
sleep 1.5
shoot progress.png
click 147 34   # and on
for _ in \$(seq 1 1500); do  # the run's end: every index photo is written
  [ "\$(ls "$home/Pictures/Video index/Index" 2>/dev/null | wc -l)" -ge 4 ] && break
  sleep 0.2
done
sleep 2
click 500 330  # into the notice at its end, which Escape closes
xdotool key Escape
sleep 0.5
go 940 645 Results
click 100 88   # the first video: its thumbnails below the list
sleep 1.5
shoot results.png
click 163 600  # its index photo in the viewer
viewer=\$(window '\.jpg - Ombrelo')
xdotool windowsize "\$viewer" 820 700
sleep 1.5
shoot viewer.png "\$viewer"
kill \$pid
wait \$pid 2>/dev/null || true
INNER
chmod +x "$scratch/shoot.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$scratch/shoot.sh"
echo "screenshots: $shots (and docs/screenshot.png)"
