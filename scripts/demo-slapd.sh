#!/usr/bin/env bash
# The demo directory of run.sh and screenshot.sh: a private slapd on
# 127.0.0.1 with the sample data, kept between runs under the user's data
# directory, that also serves LDAPS with a CA of its own; and a working
# directory for Dirlook holding the connection profiles "Demo" (ldap://,
# administrator bind) and "Demo (TLS)" (the same over LDAPS, trusting the
# demo's CA) and the help file.
#
#   demo-slapd.sh start     create on first use, start unless running; print the port
#   demo-slapd.sh workdir   start, write the profiles and the help; print the working directory
#   demo-slapd.sh tls-port  the port of its ldaps://
#   demo-slapd.sh stop      stop the server (the data stays)
#   demo-slapd.sh reset     stop and start again from the sample data
#
# Environment: DIRLOOK_DEMO_HOME (default ${XDG_DATA_HOME:-~/.local/share}/dirlook-demo).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
DEMO_HOME=${DIRLOOK_DEMO_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/dirlook-demo}
INSTANCE=$DEMO_HOME/slapd
WORKDIR=$DEMO_HOME/workdir
SLAPD=(bash "$HERE/testslapd.sh")

# The sample directory's administrator (see testslapd.sh).
BASE_DN="dc=example,dc=com"
ADMIN_DN="cn=admin,$BASE_DN"
ADMIN_PASSWORD="secret"

usage() {
  sed -n '2,15s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
  exit 2
}

start() {
  mkdir -p "$DEMO_HOME"
  chmod 700 "$DEMO_HOME"
  if [ ! -e "$INSTANCE/.testslapd" ] || [ ! -d "$INSTANCE/slapd.d" ]; then
    rm -rf "$INSTANCE"
    "${SLAPD[@]}" init "$INSTANCE" --tls >&2
  elif [ ! -e "$INSTANCE/tls/ca.crt" ]; then
    # A demo made before it served LDAPS.
    "${SLAPD[@]}" stop "$INSTANCE" >&2
    "${SLAPD[@]}" tls "$INSTANCE" >&2
  fi
  "${SLAPD[@]}" start "$INSTANCE"
}

# One profile file: nine "Key<tabs>value" lines with CR LF ends ("-" stands
# for an empty value), then with LDAPS the Security and CACertificate lines.
write_profile() {
  local file=$1 name=$2 host=$3 port=$4 ca=${5:-}
  umask 077
  {
    printf 'Name\t\t\t%s\r\nHostName\t\t%s\r\nPortNumber\t\t%s\r\nUserDn\t\t\t%s\r\nUserPassword\t\t%s\r\nBaseDn\t\t\t%s\r\nAnonymous\t\t%s\r\nFilter\t\t\t%s\r\nServerName\t\t%s\r\n' \
      "$name" "$host" "$port" "$ADMIN_DN" "$ADMIN_PASSWORD" "$BASE_DN" false \
      "(|(objectclass=*))" "ServerName..."
    if [ -n "$ca" ]; then printf 'Security\t\tldaps\r\nCACertificate\t\t%s\r\n' "$ca"; fi
  } >"$file.tmp"
  mv -f "$file.tmp" "$file"
}

workdir() {
  local port
  port=$(start)
  mkdir -p "$WORKDIR/connections" "$WORKDIR/Help" "$WORKDIR/log" "$WORKDIR/config"
  chmod 700 "$WORKDIR/connections"
  write_profile "$WORKDIR/connections/Demo.connectionProperties" Demo 127.0.0.1 "$port"
  write_profile "$WORKDIR/connections/Demo (TLS).connectionProperties" "Demo (TLS)" 127.0.0.1 \
    "$("${SLAPD[@]}" tls-port "$INSTANCE")" "$INSTANCE/tls/ca.crt"
  cp -f "$ROOT/Help/Dirlook.html" "$WORKDIR/Help/Dirlook.html"
  echo "$WORKDIR"
}

[ $# -eq 1 ] || usage
case $1 in
  start) start ;;
  workdir) workdir ;;
  tls-port) "${SLAPD[@]}" tls-port "$INSTANCE" ;;
  stop) [ ! -e "$INSTANCE/.testslapd" ] || "${SLAPD[@]}" stop "$INSTANCE" ;;
  reset)
    if [ -e "$INSTANCE/.testslapd" ]; then
      "${SLAPD[@]}" stop "$INSTANCE"
      "${SLAPD[@]}" reload "$INSTANCE"
    fi
    start ;;
  *) usage ;;
esac
