#!/usr/bin/env bash
# Builds bench/corpus/: screens of real programs captured in Xvfb (five at
# 3840x2160, two of them on photographic wallpapers with shadowed windows,
# others smaller), pictures from Debian packages, and the screens of
# bench/make-ui-corpus.sh. Nothing here is committed; the script installs what
# it needs from Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
out=bench/corpus
source bench/common.sh
mkdir -p "$out"

packages=(xvfb xauth imagemagick librsvg2-bin desktop-base plasma-workspace-wallpapers gtk-3-examples xterm x11-apps
          x11-xserver-utils openbox xcompmgr xdotool xwallpaper)
need_packages "${packages[@]}"

scripts/setup run >/dev/null
program=$PWD/${QORIX_BUILD_DIR:-build}/qorix-capture
wall=/usr/share/desktop-base

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$work/config"

# Pictures from Debian packages.
rsvg-convert -w 3840 -h 2160 "$wall/homeworld-theme/wallpaper/contents/images/3840x2160.svg" -o "$out/wallpaper-homeworld-3840x2160.png"
rsvg-convert -w 1920 -h 1080 "$wall/emerald-theme/wallpaper/contents/images/1920x1080.svg" -o "$out/wallpaper-emerald-1920x1080.png"
cp "$wall/debian-logos/logo-text-version-256.png" "$out/debian-logo-788x256.png"
cp "$wall/spacefun-theme/grub/grub-4x3.png" "$out/grub-spacefun-640x480.png"
photos=/usr/share/wallpapers
convert "$photos/FallenLeaf/contents/images/2560x1600.jpg" -resize 3840x2160! "$out/photo-fallenleaf-3840x2160.png"
convert "$photos/Kay/contents/images/5120x2880.png" -resize 3840x2160! "$out/wallpaper-kay-3840x2160.png"

# One desktop: a wallpaper on the root window and real programs on it.
capture() {
  local size=$1 name=$2 scale=$3
  xvfb-run -a -s "-screen 0 ${size}x24 -dpi $((96 * scale))" bash -c "
    set -e
    display -window root -resize ${size}! '$wall/joy-theme/wallpaper/contents/images/1920x1080.svg' &
    sleep 2
    GDK_SCALE=$scale gtk3-widget-factory >/dev/null 2>&1 &
    xterm -fa 'DejaVu Sans Mono' -fs $((9 * scale)) -geometry 100x40+$((40 * scale))+$((560 * scale)) -bg '#300a24' -fg '#eeeeec' \
      -e bash -c 'ls -l --color=always /usr/bin | head -60; dpkg -l | head -40; sleep 60' &
    QT_SCALE_FACTOR=$scale '$program' &
    xeyes -geometry $((200 * scale))x$((140 * scale))-$((20 * scale))+$((20 * scale)) &
    sleep 5
    import -window root '$out/$name'
    kill %2 %3 %4 %5 2>/dev/null || true
  "
}
capture 3840x2160 screen-desktop-3840x2160.png 2
capture 1920x1080 screen-desktop-1920x1080.png 1

# Photographic wallpapers under live windows with shadows (xcompmgr) and
# gradients: screens of 100,000 colours and more.
photo_desktop() {
  local name=$1 wallpaper=$2 theme=$3 window=$4
  xvfb-run -a -s "-screen 0 3840x2160x24 -dpi 192" bash -c "
    set -e
    xwallpaper --zoom '$wallpaper'
    openbox >/dev/null 2>&1 &
    xcompmgr -c -r 24 -o 0.6 &
    GDK_SCALE=2 GTK_THEME=$theme $window >/dev/null 2>&1 &
    xterm -fa 'DejaVu Sans Mono' -fs 16 -geometry 80x24+2200+1200 -e bash -c 'ls -l --color=always /usr/bin | head -30; sleep 60' &
    QT_SCALE_FACTOR=2 '$program' &
    sleep 6
    import -window root '$out/$name'
    kill \$(jobs -p) 2>/dev/null || true
  "
}
photo_desktop screen-photo-eveningglow-3840x2160.png "$photos/EveningGlow/contents/images/2560x1600.jpg" Adwaita \
  "gtk3-demo --run=css_shadows"
photo_desktop screen-photo-altai-3840x2160.png "$photos/Altai/contents/images/5120x2880.png" Adwaita:dark \
  gtk3-widget-factory

# A terminal full of text at 3840x2160.
xvfb-run -a -s "-screen 0 3840x2160x24 -dpi 192" bash -c "
  xterm -fa 'DejaVu Sans Mono' -fs 14 -geometry 200x62+0+0 -bg white -fg black \
    -e bash -c 'man -P cat bash 2>/dev/null | head -300 || dpkg -L coreutils; ls -l --color=always /usr/lib | head -100; sleep 60' &
  GDK_SCALE=2 gtk3-demo >/dev/null 2>&1 &
  sleep 5
  import -window root '$out/screen-text-3840x2160.png'
  kill %1 %2 2>/dev/null || true
"

# Smaller pieces of a screen, as a window capture gives them.
convert "$out/screen-desktop-1920x1080.png" -crop 1280x800+0+0 +repage "$out/screen-crop-1280x800.png"
convert "$out/screen-desktop-1920x1080.png" -crop 640x400+1200+500 +repage "$out/screen-crop-640x400.png"
bench/make-ui-corpus.sh
ls -la "$out"
