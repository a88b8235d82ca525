#!/usr/bin/env bash
# Takes the README's screenshot of the main window from the real program,
# run under Xvfb with a home folder of its own: docs/screenshot.png (or the
# file named as the first argument). Builds the program first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${OMBRELO_BUILD_DIR:-build}"
out="${1:-docs/screenshot.png}"
[ -x "$build/app/desktop/ombrelo" ] || cmake --build "$build" --target ombrelo

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
home="$scratch/home"
mkdir -p "$home/.config/Tessaly" "$home/Holidays 2024" "$home/Family"
# Past the first run, tutorials off: the window alone, no help on top.
printf '[General]\nFirstRun=0\nShowTutorials=0\n' > "$home/.config/Tessaly/Ombrelo.conf"
for f in "Beach at sunset.mp4" "Birthday party.mkv" "Concert (live).avi" "Drone flight.webm" \
         "Garden timelapse.mov" "notes.txt"; do
  head -c 200000 /dev/zero > "$home/$f"
done

cat > "$scratch/shoot.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
cd "$root"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  "$build/app/desktop/ombrelo" -nohandler &
pid=\$!
for _ in \$(seq 1 50); do
  id=\$(xdotool search --name '^Ombrelo' 2>/dev/null | head -n 1 || true)
  [ -n "\$id" ] && break
  sleep 0.2
done
xdotool mousemove 0 0  # no button under the mouse
sleep 1.5  # the folders are read in the background
import -window "\$id" "$root/$out"
kill \$pid
wait \$pid 2>/dev/null || true
INNER
chmod +x "$scratch/shoot.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$scratch/shoot.sh"
echo "screenshot: $out"
