#!/usr/bin/env bash
# Installs the build into PREFIX and checks the programs, the desktop entry, the icons, the
# metainfo and the man pages. The validators run where they are installed.
#   check-install.sh BUILD_DIR PREFIX VERSION
set -uo pipefail
build=$1 prefix=$2 version=$3
id=io.github.glowdeck.Panel
failures=0 checks=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { checks=$((checks + 1)); }
check() {
  local out
  if out=$("$@" 2>&1); then pass; else fail "$* $out"; fi
}

rm -rf "$prefix"
if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

share=$prefix/share
for f in bin/glowdeck bin/glowdeck-sim bin/glowdeck-ctl; do check test -x "$prefix/$f"; done
for f in applications/$id.desktop metainfo/$id.metainfo.xml icons/hicolor/scalable/apps/$id.svg \
         man/man1/glowdeck.1 man/man1/glowdeck-sim.1 man/man1/glowdeck-ctl.1; do
  check test -s "$share/$f"
done

# The user unit of the panel without a window starts the program where it was installed.
unit=$prefix/lib/systemd/user/glowdeck@.service
check grep -q "^ExecStart=$prefix/bin/glowdeck --headless --reconnect --port /dev/%I " "$unit"
# Each instance's own options (its page's port) from a file of its own; no endless retrying.
check grep -q '^EnvironmentFile=-%E/glowdeck/%i.env$' "$unit"
check grep -q '^ExecStart=.* \$GLOWDECK_OPTIONS$' "$unit"
check grep -q '^StartLimitBurst=' "$unit"
if command -v systemd-analyze >/dev/null; then
  instance=$(mktemp -d)
  cp "$unit" "$instance/glowdeck@rfcomm0.service"
  check systemd-analyze --man=no verify "$instance/glowdeck@rfcomm0.service"
  rm -rf "$instance"
else
  echo "systemd-analyze not installed: user unit not verified"
fi

# A PNG's width and height are the big-endian words at byte 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print ($3*256+$4) "x" ($7*256+$8)}'; }
for size in 16 24 32 48 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  if [[ -s $png && $(head -c 8 "$png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]]; then
    got=$(png_size "$png")
    if [[ $got == "${size}x${size}" ]]; then pass; else fail "$png is $got"; fi
  else
    fail "$png is missing or not a PNG"
  fi
done

desktop=$share/applications/$id.desktop
check grep -qx 'Exec=glowdeck' "$desktop"
check grep -qx "Icon=$id" "$desktop"
check grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$share/metainfo/$id.metainfo.xml"
check grep -q "<id>$id</id>" "$share/metainfo/$id.metainfo.xml"
if command -v desktop-file-validate >/dev/null; then
  check desktop-file-validate "$desktop"
else
  echo "desktop-file-validate not installed: desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  check appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
else
  echo "appstreamcli not installed: metainfo not validated"
fi
if command -v python3 >/dev/null; then
  check python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' \
    "$share/icons/hicolor/scalable/apps/$id.svg"
fi
for page in glowdeck glowdeck-sim glowdeck-ctl; do
  file=$share/man/man1/$page.1
  check grep -q "$version" "$file"
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$file" 2>&1)
    if [[ -z $warnings ]]; then pass; else fail "$file: $warnings"; fi
  fi
done

# The informational options must answer without any display.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$@" 2>&1; }
out=$(run "$prefix/bin/glowdeck" --version)
if [[ $out == "Glowdeck $version" ]]; then pass; else fail "glowdeck --version said: $out"; fi
if out=$(run "$prefix/bin/glowdeck" --help) && [[ $out == *--simulate* ]]; then
  pass
else
  fail "glowdeck --help said: $out"
fi
if out=$(run "$prefix/bin/glowdeck-sim" --help) && [[ $out == *--link* ]]; then
  pass
else
  fail "glowdeck-sim --help said: $out"
fi
if out=$(run "$prefix/bin/glowdeck-ctl" --help) && [[ $out == *follow* ]]; then
  pass
else
  fail "glowdeck-ctl --help said: $out"
fi
# With no panel listening the client says so and ends with status 2.
out=$(run "$prefix/bin/glowdeck-ctl" --socket "$prefix/no-panel" status)
status=$?
if [[ $status -eq 2 && $out == *"no panel listens"* ]]; then
  pass
else
  fail "glowdeck-ctl without a panel ended with $status: $out"
fi

# Every option a program lists in --help is described in its man page.
for program in glowdeck glowdeck-sim glowdeck-ctl; do
  for option in $(run "$prefix/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    if grep -qF -- "${option//-/\\-}" "$share/man/man1/$program.1"; then
      pass
    else
      fail "$program.1 does not describe $option"
    fi
  done
done

# The modes and test routines glowdeck-ctl --help names are in its man page as printed, each
# on a line of its own (a name that groff runs together no longer reads as the name).
if command -v groff >/dev/null; then
  page=$(groff -man -Tascii -P-cbou "$share/man/man1/glowdeck-ctl.1" 2>/dev/null | sed 's/^ *//')
  names=$(run "$prefix/bin/glowdeck-ctl" --help |
    awk '/^(Modes|Test routines), for /{ on = 1; next } /^$/{ on = 0 } on { sub(/^ +/, ""); print }')
  [[ $(wc -l <<<"$names") -ge 10 ]] || fail "glowdeck-ctl --help names no modes or routines"
  while IFS= read -r name; do
    if grep -qxF -- "$name" <<<"$page"; then pass; else fail "glowdeck-ctl.1 does not list $name"; fi
  done <<<"$names"
fi

echo "install: $checks passed, $failures failed"
[[ $failures -eq 0 ]]
