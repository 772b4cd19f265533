#!/usr/bin/env bash
# Screens of real programs for the monochrome legibility bench, captured in
# Xvfb at 1280x800 under openbox: open menus with a highlighted item and
# greyed-out items, dark-theme windows, coloured and gradient title bars,
# tinted panels and light dialogs. Written to bench/corpus/ui-*.png; called by
# bench/make-corpus.sh, which installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/bench/corpus
program=$PWD/${QORIX_BUILD_DIR:-build}/qorix-capture
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One screen: openbox with a theme, a desktop colour, then the commands given,
# which start programs and leave them in the state to capture.
shot() {
  local name=$1 theme=$2 desktop=$3 commands=$4
  cat >"$work/rc.xml" <<EOF
<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme><name>$theme</name></theme>
  <placement><policy>Smart</policy></placement>
</openbox_config>
EOF
  xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" bash -c "
    set -e
    export HOME='$work' XDG_CONFIG_HOME='$work/config' XDG_RUNTIME_DIR='$work' NO_AT_BRIDGE=1
    xsetroot -solid '$desktop'
    openbox --config-file '$work/rc.xml' >/dev/null 2>&1 &
    sleep 1
    $commands
    sleep 1
    import -window root '$out/$name'
    kill \$(jobs -p) 2>/dev/null || true
  "
}

# Waits for the window a search names (xdotool's --name or --class and a
# pattern) and places it: x y width height.
place='place() { local w; w=$(timeout 20 xdotool search --sync --onlyvisible $1 "$2" | tail -1); xdotool windowactivate --sync $w windowmove $w $3 $4 windowsize $w $5 $6; sleep 0.5; }'

listing='ls -l /usr/share/doc | head -50; echo; dpkg -l | sed -n 6,30p; sleep 60'

# xterm's font menu: greyed-out entries, one highlighted under the pointer.
shot ui-menu-xterm-1280x800.png Clearlooks '#5c7e9c' "$place
  xterm -fa 'DejaVu Sans Mono' -fs 10 -T 'Terminal - package list' -geometry 110x40 -e bash -c '$listing' &
  place --name 'package list' 60 40 900 640
  xdotool mousemove 300 300 keydown ctrl mousedown 3
  sleep 1
  xdotool mousemove_relative 0 60
  sleep 0.5"

# A GTK menu bar's menu open, an item highlighted, beside a light dialog.
shot ui-menu-gtk-1280x800.png Natura '#3a5a40' "$place
  gtk3-widget-factory >/dev/null 2>&1 &
  place --class gtk3-widget-factory 300 60 960 700
  gtk3-demo --run=application_demo >/dev/null 2>&1 &
  place --class gtk3-demo-application 20 100 520 420
  xdotool key F10 Down Down
  sleep 0.5"

# Dark themes: a GTK program with the dark Adwaita palette and xterm with light
# text on dark, under dark title bars.
shot ui-dark-gtk-1280x800.png Onyx '#202020' "$place
  GTK_THEME=Adwaita:dark gtk3-widget-factory >/dev/null 2>&1 &
  place --class gtk3-widget-factory 10 10 1260 780"
shot ui-dark-xterm-1280x800.png Onyx-Citrus '#101418' "$place
  xterm -fa 'DejaVu Sans Mono' -fs 11 -bg '#1e1e1e' -fg '#c8c8c8' -T 'Terminal - dark' -e bash -c 'ls -l --color=always /usr/share | head -40; sleep 60' &
  place --name 'Terminal - dark' 20 20 820 740
  GTK_THEME=Adwaita:dark gtk3-demo >/dev/null 2>&1 &
  place --name 'Application Class' 640 120 620 600"

# Gradient and coloured title bars of several windows, tinted info bars.
shot ui-titlebars-1280x800.png Clearlooks '#6d8fb3' "$place
  y=40
  for t in 'Mail - Inbox, 3 unread' 'Notes - shopping list' 'Calculator'; do
    xterm -fa 'DejaVu Sans Mono' -fs 10 -T \"\$t\" -geometry 60x8 -e sleep 60 &
    place --name \"\$t\" 20 \$y 440 160
    y=\$((y + 220))
  done
  gtk3-demo --run=infobar >/dev/null 2>&1 &
  place --name 'Info Bars' 480 40 760 420"
shot ui-titlebars-dark-1280x800.png Bear2 '#2b2b2b' "$place
  gtk3-demo --run=infobar >/dev/null 2>&1 &
  place --name 'Info Bars' 480 300 760 420
  xterm -fa 'DejaVu Sans Mono' -fs 10 -T 'Editor - report draft' -geometry 60x8 -e sleep 60 &
  place --name 'Editor - report draft' 20 40 560 220
  GTK_THEME=Adwaita:dark gtk3-demo --run=headerbar >/dev/null 2>&1 &
  place --name 'Welcome to' 620 20 600 240"

# A light dialog of this program with its main window.
shot ui-light-dialog-1280x800.png Clearlooks '#8a9a5b' "$place
  '$program' &
  place --name 'QORIX Screen' 40 40 600 400
  gtk3-demo --run=dialog >/dev/null 2>&1 &
  place --name 'Dialogs and Message Boxes' 600 300 600 380"
