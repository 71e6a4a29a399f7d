#!/usr/bin/env bash
# Checks the packages in build/packages: lintian finds no error, and no warning on the manual
# pages, the programs' links and the descriptions; each holds what it should, the
# service unit passes systemd-analyze (verify, and a security exposure of at most 4.0, also with
# the drop-in for a program folder in /opt), and they install, run and purge cleanly on this
# machine (dpkg -i, tarnwickd started from the unit's command line, and from the /opt drop-in's,
# reads its settings from /etc/tarnwick and logs to /var/log/tarnwick, dpkg --purge leaves nothing
# behind). Needs root; changes the system while it runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/packages"
dropin="$root/dist/systemd/tarnwickd.service.d/opt.conf"
# The highest exposure systemd-analyze security may give the unit, in tenths (4.0).
max_exposure=40
desktop=$(ls "$out"/tarnwick_*.deb)
headless=$(ls "$out"/tarnwickd_*.deb)
passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
    passed=$((passed + 1))
  else
    echo "FAILED: $what"
    failed=$((failed + 1))
  fi
}

no_lintian_errors() {
  local report
  report=$(lintian --tag-display-limit 0 "$desktop" "$headless" 2>&1 || true)
  echo "$report" | sed 's/^/  lintian: /'
  ! echo "$report" | grep -q '^E: '
}

# The tags about what this project owns outright: every program on PATH has its manual page, the
# pages read cleanly, and the long descriptions are well formed.
no_lintian_page_tags() {
  local report
  report=$(lintian --tag-display-limit 0 "$desktop" "$headless" 2>&1 || true)
  local found
  found=$(echo "$report" | grep -E '^[EW]: ' |
    grep -E 'man(ual)?-?page|groff|binary-without|description|extended-description|synopsis' ||
    true)
  [ -z "$found" ] || { echo "$found" | sed 's/^/  /'; return 1; }
}

# The manual pages as man shows them: no warning from groff (what lintian's groff-message runs).
man_pages_read_cleanly() {
  local tmp rc=0 page warnings
  tmp=$(mktemp -d)
  dpkg-deb -x "$desktop" "$tmp"
  dpkg-deb -x "$headless" "$tmp"
  for page in "$tmp"/usr/share/man/man1/tarnwick.1.gz "$tmp"/usr/share/man/man8/tarnwickd.8.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 \
      >/dev/null) || rc=1
    [ -z "$warnings" ] || { echo "  $page: $warnings"; rc=1; }
  done
  rm -rf "$tmp"
  return $rc
}

# /usr/bin/tarnwickd is a link into the program's folder.
tarnwickd_on_path() {
  local link
  link=$(dpkg-deb --contents "$headless" | awk '$6 == "./usr/bin/tarnwickd" { print $8 }')
  [ "$link" = "../lib/tarnwick/tarnwickd" ] || { echo "  usr/bin/tarnwickd -> '$link'"; return 1; }
}

has_files() {
  local deb=$1
  shift
  local contents
  contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
  for path in "$@"; do
    if ! echo "$contents" | grep -qxF "./$path"; then
      echo "  $deb lacks $path"
      return 1
    fi
  done
}

no_qt_in_headless() { ! dpkg-deb --field "$headless" Depends | grep -qi 'qt'; }

# The last ExecStart= of a unit file, without the options variable of /etc/tarnwick/tarnwickd.conf.
exec_line_of() {
  local line
  line=$(sed -n 's/^ExecStart=\(..*\)/\1/p' "$1" | tail -n 1)
  echo "${line//\$TARNWICKD_OPTIONS/}"
}

unit_verifies() {
  local tmp
  tmp=$(mktemp -d)
  dpkg-deb -x "$headless" "$tmp"
  # verify resolves ExecStart against the real file system, so the unit is checked with the
  # package's files where it names them; the /opt setup is the unit with the drop-in's ExecStart.
  local unit="$tmp/usr/lib/systemd/system/tarnwickd.service"
  [ -f "$unit" ] || unit="$tmp/lib/systemd/system/tarnwickd.service"
  mkdir -p "$tmp/package" "$tmp/opt"
  sed "s|/usr/lib/tarnwick/tarnwickd|$tmp/usr/lib/tarnwick/tarnwickd|" "$unit" \
    >"$tmp/package/tarnwickd.service"
  cp -a "$tmp/usr/lib/tarnwick" "$tmp/opt/tarnwick"
  local opt_exec
  opt_exec=$(grep '^ExecStart=.' "$dropin" | tail -n 1 | sed "s|/opt/tarnwick/|$tmp/opt/tarnwick/|")
  awk -v line="$opt_exec" '/^ExecStart=/ { print line; next } { print }' "$unit" \
    >"$tmp/opt/tarnwickd.service"
  local rc=0
  for checked in "$tmp/package/tarnwickd.service" "$tmp/opt/tarnwickd.service"; do
    SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no "$checked" || rc=$?
  done
  rm -rf "$tmp"
  return $rc
}

# `systemctl reload tarnwickd` sends SIGHUP to the program itself.
unit_reloads_with_sighup() {
  dpkg-deb --fsys-tarfile "$headless" | tar -xO ./usr/lib/systemd/system/tarnwickd.service |
    grep -qxF 'ExecReload=/bin/kill -HUP $MAINPID'
}

# systemd-analyze security rates the unit as installed by the package, and as installed by hand
# with the /opt drop-in beside it.
unit_exposure_is_low() {
  local tmp rc=0
  tmp=$(mktemp -d)
  dpkg-deb -x "$headless" "$tmp"
  local unit="$tmp/usr/lib/systemd/system/tarnwickd.service"
  [ -f "$unit" ] || unit="$tmp/lib/systemd/system/tarnwickd.service"
  mkdir -p "$tmp/root/etc/systemd/system/tarnwickd.service.d"
  cp "$unit" "$tmp/root/etc/systemd/system/"
  cp "$dropin" "$tmp/root/etc/systemd/system/tarnwickd.service.d/"
  systemd-analyze security --offline=true --threshold=$max_exposure "$unit" | tail -n 1 || rc=1
  systemd-analyze security --offline=true --threshold=$max_exposure --root="$tmp/root" \
    tarnwickd.service | tail -n 1 || rc=1
  rm -rf "$tmp"
  return $rc
}

# Starts a command line the way the unit would (without the service manager, which CI lacks),
# waits for the log in /var/log/tarnwick to say monitoring started, and checks that the settings
# came from /etc/tarnwick.
runs_as_the_service() {
  local -a command
  read -r -a command <<<"$1"
  rm -f /var/log/tarnwick/Tarnwick_log_*.txt
  "${command[@]}" </dev/null >/tmp/tarnwickd-package.out 2>&1 &
  local pid=$!
  local log="" waited=0
  while [ $waited -lt 20 ]; do
    log=$(ls /var/log/tarnwick/Tarnwick_log_*.txt 2>/dev/null | head -n 1 || true)
    [ -n "$log" ] && grep -q "Monitoring Started" "$log" && break
    sleep 1
    waited=$((waited + 1))
  done
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || true
  if [ -z "$log" ] || ! grep -q "Settings folder: /etc/tarnwick$" <(tr -d '\r' <"$log"); then
    echo "  $1 wrote no log in /var/log/tarnwick naming /etc/tarnwick"
    cat /tmp/tarnwickd-package.out
    rm -f /tmp/tarnwickd-package.out
    return 1
  fi
  rm -f /tmp/tarnwickd-package.out
}

install_run_purge() {
  local before after
  before=$(mktemp)
  after=$(mktemp)
  find /usr /etc /var/log /var/lib/dpkg/info -xdev 2>/dev/null | sort >"$before"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=600 \
    --no-install-recommends "$headless" "$desktop" >/dev/null
  [ -x /usr/bin/tarnwick ] && [ -x /usr/lib/tarnwick/tarnwickd ] || return 1
  [ "$(/usr/bin/tarnwickd --version)" = "$(/usr/lib/tarnwick/tarnwickd --version)" ] || return 1
  local ok=1
  runs_as_the_service "$(exec_line_of /usr/lib/systemd/system/tarnwickd.service)" || ok=0
  # The same unit for a program folder in /opt: the drop-in's command line, with a copy of the
  # installed program folder standing in for /opt/tarnwick.
  local opt
  opt=$(mktemp -d)
  cp -a /usr/lib/tarnwick "$opt/tarnwick"
  runs_as_the_service "$(exec_line_of "$dropin" | sed "s|/opt/tarnwick/|$opt/tarnwick/|")" || ok=0
  rm -rf "$opt"
  [ "$(stat -c %a /var/log/tarnwick)" = 700 ] || { echo "  /var/log/tarnwick is not 0700"; ok=0; }
  dpkg --purge tarnwick tarnwickd >/dev/null
  find /usr /etc /var/log /var/lib/dpkg/info -xdev 2>/dev/null | sort >"$after"
  local left
  left=$(comm -13 "$before" "$after" | grep -v '^/var/log/\(apt\|dpkg\|alternatives\)' || true)
  if [ -n "$left" ]; then
    echo "  left behind:"
    echo "$left" | sed 's/^/    /'
    ok=0
  fi
  rm -f "$before" "$after" /tmp/tarnwickd-package.out
  [ $ok = 1 ]
}

check "lintian reports no error" no_lintian_errors
check "lintian reports nothing on the manual pages, the links and the descriptions" \
  no_lintian_page_tags
check "the manual pages read without a warning" man_pages_read_cleanly
check "tarnwickd is on PATH as a link into /usr/lib/tarnwick" tarnwickd_on_path
check "tarnwick holds the desktop program, its menu entry and icons" has_files "$desktop" \
  usr/bin/tarnwick usr/lib/tarnwick/tarnwick usr/lib/tarnwick/eyerun.ico \
  usr/share/applications/tarnwick.desktop usr/share/metainfo/org.tarnwick.Tarnwick.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/tarnwick.svg usr/share/icons/hicolor/48x48/apps/tarnwick.png \
  usr/share/man/man1/tarnwick.1.gz usr/share/doc/tarnwick/copyright
check "tarnwickd holds the headless program, the mailer, the service and the fleet files" \
  has_files "$headless" \
  usr/bin/tarnwickd usr/lib/tarnwick/tarnwickd usr/lib/tarnwick/mailcmdssl \
  usr/lib/tarnwick/alert.wav usr/lib/systemd/system/tarnwickd.service etc/tarnwick/tarnwickd.conf \
  usr/share/man/man8/tarnwickd.8.gz usr/share/tarnwick/prometheus/tarnwick-rules.yml \
  usr/share/tarnwick/prometheus/prometheus.yml usr/share/tarnwick/prometheus/alertmanager.yml \
  usr/share/doc/tarnwickd/copyright
check "tarnwickd does not depend on Qt" no_qt_in_headless
check "the service unit verifies, also with the /opt drop-in" unit_verifies
check "the service unit reloads the settings with SIGHUP" unit_reloads_with_sighup
check "the service unit's exposure is at most $((max_exposure / 10)).$((max_exposure % 10)), also with the /opt drop-in" \
  unit_exposure_is_low
check "the packages install, run as a service would and purge to nothing" install_run_purge
echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
