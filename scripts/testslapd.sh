#!/usr/bin/env bash
# Private OpenLDAP slapd instances for tests, benchmarks and the demo.
#
#   testslapd.sh init DIR [--empty|--bare] [--tls]
#                                            create config and data in DIR
#   testslapd.sh start DIR [PORT] [--owner PID] [--log LEVEL]
#                                            start on 127.0.0.1, print the port
#   testslapd.sh stop DIR                    SIGTERM, then SIGKILL after a deadline
#   testslapd.sh kill DIR                    SIGKILL (crash simulation)
#   testslapd.sh status DIR                  "running PORT PID" (exit 0) or "stopped" (exit 3)
#   testslapd.sh port DIR                    the last port used
#   testslapd.sh reload DIR                  stopped instance: reload its initial data
#   testslapd.sh destroy DIR                 stop and remove DIR
#   testslapd.sh tls DIR                     stopped instance: add TLS (below)
#   testslapd.sh tls-port DIR                the last ldaps:// port used
#   testslapd.sh recert DIR NAME...          stopped instance: a new server
#                                            certificate for the names given
#
# init loads tests/support/data/sample.ldif (default), empty.ldif (--empty:
# the base entry only) or nothing (--bare). start without PORT reuses the last
# port when it is free, otherwise picks a free one. With --owner the instance
# is stopped when process PID ends, and DIR is removed as well when it holds
# a file named .remove-with-owner. --log sets slapd's log level for this run
# (the log is DIR/slapd.log).
#
# TLS (init --tls, or tls later): DIR/tls holds a CA of the instance's own
# (ca.crt) and a server certificate it signed for 127.0.0.1. The server then
# offers StartTLS on its ldap:// port and also listens on an ldaps:// port
# (tls-port). A recert NAME is an IP address or a DNS name.
#
# Environment: TESTSLAPD_LOGLEVEL (slapd -d level, default "none"),
# TESTSLAPD_TIMEOUT (seconds to wait for start and stop, default 15).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
DATA_DIR="$HERE/../tests/support/data"
SLAPD=/usr/sbin/slapd
MODULE_DIR=/usr/lib/ldap
SCHEMA_DIR=/etc/ldap/schema
SCHEMAS=(core cosine inetorgperson nis)

SUFFIX="dc=example,dc=com"
ADMIN_DN="cn=admin,$SUFFIX"
ADMIN_PASSWORD="secret"
READER_DN="cn=reader,$SUFFIX"
# Bound users other than the administrator get 500 entries per search, and
# all of them when they page; this one may not page.
PAGING_REFUSED_DN="uid=user02,ou=People,$SUFFIX"

LOGLEVEL=${TESTSLAPD_LOGLEVEL:-none}
TIMEOUT=${TESTSLAPD_TIMEOUT:-15}
MARKER=.testslapd

die() { echo "testslapd: $*" >&2; exit 1; }

usage() {
  sed -n '2,29s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
  exit 2
}

now_ms() { local t; t=$(date +%s%N); echo $((t / 1000000)); }

absdir() { (cd "$1" && pwd); }

require_instance() {
  [ -d "$1" ] && [ -e "$1/$MARKER" ] || die "$1 is not an initialised instance directory"
}

# True when PID is a live (not zombie) process.
alive() {
  local pid=$1 state
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
  state=$(sed -n 's/^[0-9]* (.*) \([A-Z]\).*/\1/p' "/proc/$pid/stat" 2>/dev/null || true)
  [ "$state" != Z ]
}

# Prints the pid of DIR's running slapd; fails when there is none. A stale
# pid file whose pid now belongs to another process is not trusted.
instance_pid() {
  local dir=$1 pid
  [ -s "$dir/pid" ] || return 1
  pid=$(<"$dir/pid")
  alive "$pid" || return 1
  tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -Fxq "$dir/slapd.d" || return 1
  echo "$pid"
}

# Waits until PID is gone; false when the deadline passes first.
wait_gone() {
  local pid=$1 deadline=$(( $(now_ms) + $2 ))
  while alive "$pid"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.02
  done
}

# Inode of the TCP socket listening on 127.0.0.1:PORT or any address.
listen_inode() {
  local hex
  hex=$(printf '%04X' "$1")
  awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { print $10; exit }' \
    /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

port_in_use() { [ -n "$(listen_inode "$1")" ]; }

# True when process PID holds the socket listening on PORT.
owns_port() {
  local pid=$1 inode fd
  inode=$(listen_inode "$2")
  [ -n "$inode" ] || return 1
  for fd in /proc/"$pid"/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "socket:[$inode]" ] && return 0
  done
  return 1
}

root_dse_answers() {
  ldapsearch -x -LLL -o nettimeout=2 -H "ldap://127.0.0.1:$1" -b "" -s base namingContexts \
    >/dev/null 2>&1
}

# The TLS files of DIR as cn=config attributes.
tls_attributes() {
  printf 'olcTLSCACertificateFile: %s\nolcTLSCertificateFile: %s\nolcTLSCertificateKeyFile: %s\n' \
    "$1/tls/ca.crt" "$1/tls/server.crt" "$1/tls/server.key"
}

# A new EC key and a server certificate for the names (IP addresses or DNS
# names), signed by DIR's CA; replaces the previous pair.
issue_server_certificate() {
  local dir=$1 name san="" ext
  shift
  for name in "$@"; do
    if [[ $name =~ ^[0-9.]+$ || $name == *:* ]]; then san+="${san:+,}IP:$name"; else san+="${san:+,}DNS:$name"; fi
  done
  ext="$dir/tls/server.ext"
  printf 'subjectAltName=%s\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n' \
    "$san" >"$ext"
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -keyout "$dir/tls/server.key.new" -out "$dir/tls/server.csr" -subj "/CN=$1" 2>/dev/null &&
    openssl x509 -req -in "$dir/tls/server.csr" -CA "$dir/tls/ca.crt" -CAkey "$dir/tls/ca.key" \
      -set_serial "0x$(openssl rand -hex 12)" -days 365 -extfile "$ext" \
      -out "$dir/tls/server.crt.new" 2>/dev/null ||
    die "openssl could not make a server certificate in $dir/tls"
  rm -f "$ext" "$dir/tls/server.csr"
  chmod 600 "$dir/tls/server.key.new"
  mv -f "$dir/tls/server.key.new" "$dir/tls/server.key"
  mv -f "$dir/tls/server.crt.new" "$dir/tls/server.crt"
}

# DIR/tls: a CA of the instance's own and a server certificate for 127.0.0.1.
make_tls_files() {
  local dir=$1
  command -v openssl >/dev/null || die "openssl not found (install the openssl package)"
  mkdir -p "$dir/tls"
  chmod 700 "$dir/tls"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -keyout "$dir/tls/ca.key" -out "$dir/tls/ca.crt" -days 3650 \
    -subj "/O=Dirlook test/CN=Test CA $(openssl rand -hex 4)" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null || die "openssl could not make a CA in $dir/tls"
  chmod 600 "$dir/tls/ca.key"
  issue_server_certificate "$dir" 127.0.0.1
}

write_config() {
  local dir=$1 schema
  cat <<EOF
dn: cn=config
objectClass: olcGlobal
cn: config
olcPidFile: $dir/slapd.pid
olcArgsFile: $dir/slapd.args
olcLogLevel: none
olcSizeLimit: unlimited
olcTimeLimit: unlimited
EOF
  if [ -e "$dir/tls/server.crt" ]; then tls_attributes "$dir"; fi
  cat <<EOF

dn: cn=module{0},cn=config
objectClass: olcModuleList
cn: module{0}
olcModulePath: $MODULE_DIR
olcModuleLoad: back_mdb
olcModuleLoad: pw-sha2

dn: cn=schema,cn=config
objectClass: olcSchemaConfig
cn: schema

EOF
  for schema in "${SCHEMAS[@]}"; do
    printf 'include: file://%s/%s.ldif\n\n' "$SCHEMA_DIR" "$schema"
  done
  cat <<EOF
dn: olcDatabase={-1}frontend,cn=config
objectClass: olcDatabaseConfig
objectClass: olcFrontendConfig
olcDatabase: {-1}frontend
olcSizeLimit: unlimited
olcTimeLimit: unlimited

dn: olcDatabase={0}config,cn=config
objectClass: olcDatabaseConfig
olcDatabase: {0}config
olcAccess: {0}to * by * none

dn: olcDatabase={1}mdb,cn=config
objectClass: olcDatabaseConfig
objectClass: olcMdbConfig
olcDatabase: {1}mdb
olcDbDirectory: $dir/db
olcSuffix: $SUFFIX
olcRootDN: $ADMIN_DN
olcRootPW: $ADMIN_PASSWORD
olcDbMaxSize: 1073741824
olcDbNoSync: TRUE
olcDbIndex: objectClass eq
olcLastMod: TRUE
olcAccess: {0}to attrs=userPassword by anonymous auth by * none
olcAccess: {1}to * by dn.exact="$READER_DN" read by * read
olcLimits: {0}dn.exact="$PAGING_REFUSED_DN" size.soft=500 size.hard=500 size.prtotal=disabled
olcLimits: {1}users size.soft=500 size.hard=500 size.prtotal=unlimited

EOF
}

load_data() {
  local dir=$1 content
  content=$(<"$dir/content")
  rm -f "$dir"/db/*.mdb
  case $content in
    sample) "$SLAPD" -Ta -q -F "$dir/slapd.d" -b "$SUFFIX" -l "$DATA_DIR/sample.ldif" ;;
    empty) "$SLAPD" -Ta -q -F "$dir/slapd.d" -b "$SUFFIX" -l "$DATA_DIR/empty.ldif" ;;
    bare) ;;
    *) die "unknown content '$content' in $dir/content" ;;
  esac
}

cmd_init() {
  local dir="" content=sample tls=0 arg
  for arg in "$@"; do
    case $arg in
      --empty) content=empty ;;
      --bare) content=bare ;;
      --tls) tls=1 ;;
      -*) usage ;;
      *) [ -z "$dir" ] || usage; dir=$arg ;;
    esac
  done
  [ -n "$dir" ] || usage
  [ -x "$SLAPD" ] || die "$SLAPD not found (install the slapd package)"
  mkdir -p "$dir"
  dir=$(absdir "$dir")
  [ ! -e "$dir/slapd.d" ] || die "$dir is already initialised"
  touch "$dir/$MARKER"
  echo "$content" >"$dir/content"
  mkdir -p "$dir/slapd.d" "$dir/db"
  chmod 700 "$dir/slapd.d" "$dir/db"
  if [ "$tls" = 1 ]; then make_tls_files "$dir"; fi
  write_config "$dir" >"$dir/config.ldif"
  if ! "$SLAPD" -Ta -n0 -F "$dir/slapd.d" -l "$dir/config.ldif" >"$dir/init.log" 2>&1 ||
     ! "$SLAPD" -Tt -u -F "$dir/slapd.d" >>"$dir/init.log" 2>&1 ||
     ! load_data "$dir" >>"$dir/init.log" 2>&1; then
    cat "$dir/init.log" >&2
    rm -rf "$dir/slapd.d" "$dir/db" "$dir/tls" "$dir/content" "$dir/$MARKER"
    die "could not create the instance in $dir"
  fi
  rm -f "$dir/init.log"
}

# Starts slapd on PORT (and ldaps:// on TLSPORT unless empty); prints its
# pid. Returns 1 when a port was taken, 2 on any other failure.
launch() {
  local dir=$1 port=$2 tlsport=$3 pid deadline urls
  urls="ldap://127.0.0.1:$port/"
  if [ -n "$tlsport" ]; then urls+=" ldaps://127.0.0.1:$tlsport/"; fi
  : >"$dir/slapd.log"
  LC_ALL=C "$SLAPD" -d "$LOGLEVEL" -F "$dir/slapd.d" -h "$urls" \
    </dev/null >>"$dir/slapd.log" 2>&1 &
  pid=$!
  deadline=$(( $(now_ms) + TIMEOUT * 1000 ))
  while :; do
    if ! alive "$pid"; then
      wait "$pid" 2>/dev/null || true
      if grep -q "errno=98\|Address already in use" "$dir/slapd.log"; then return 1; fi
      return 2
    fi
    if owns_port "$pid" "$port" && root_dse_answers "$port"; then
      echo "$pid"
      return 0
    fi
    if [ "$(now_ms)" -ge "$deadline" ]; then
      kill -KILL "$pid" 2>/dev/null || true
      echo "testslapd: slapd did not answer within ${TIMEOUT}s" >>"$dir/slapd.log"
      return 2
    fi
    sleep 0.01
  done
}

# Stops slapd when process OWNER ends; removes DIR too when it asks for it.
watch_owner() {
  local dir=$1 pid=$2 owner=$3
  (
    trap '' HUP INT
    while alive "$owner" && alive "$pid"; do sleep 1; done
    if ! alive "$owner"; then
      if alive "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        wait_gone "$pid" $((TIMEOUT * 1000)) || kill -KILL "$pid" 2>/dev/null || true
      fi
      if [ -e "$dir/.remove-with-owner" ] && [ -e "$dir/$MARKER" ]; then rm -rf "$dir"; fi
    fi
  ) </dev/null >/dev/null 2>&1 &
}

# A free port below the kernel's ephemeral range (so no outgoing connection
# holds it) other than the one given.
free_port() {
  local other=$1 port
  while :; do
    port=$(( 20000 + (RANDOM * 32768 + RANDOM) % 12000 ))
    [ "$port" != "$other" ] && ! port_in_use "$port" && break
  done
  echo "$port"
}

cmd_start() {
  local dir="" port="" owner="" pid rc candidates=() fixed=0 deadline tlsport="" tlskept=""
  while [ $# -gt 0 ]; do
    case $1 in
      --owner) [ $# -ge 2 ] || usage; owner=$2; shift ;;
      --log) [ $# -ge 2 ] || usage; LOGLEVEL=$2; shift ;;
      -*) usage ;;
      *) if [ -z "$dir" ]; then dir=$1; elif [ -z "$port" ]; then port=$1; else usage; fi ;;
    esac
    shift
  done
  [ -n "$dir" ] || usage
  [ -z "$owner" ] || [[ $owner =~ ^[1-9][0-9]*$ ]] || die "bad owner pid '$owner'"
  require_instance "$dir"
  dir=$(absdir "$dir")
  if pid=$(instance_pid "$dir"); then
    [ -z "$port" ] || [ "$port" = "$(<"$dir/port")" ] ||
      die "already running on port $(<"$dir/port")"
    cat "$dir/port"
    return 0
  fi
  rm -f "$dir/pid" "$dir/slapd.pid"
  if [ -n "$port" ]; then
    [[ $port =~ ^[0-9]+$ ]] && [ "$port" -ge 1 ] && [ "$port" -le 65535 ] || die "bad port '$port'"
    fixed=1
  elif [ -s "$dir/port" ]; then
    candidates+=("$(<"$dir/port")")
  fi
  if [ -s "$dir/tls-port" ]; then tlskept=$(<"$dir/tls-port"); fi

  deadline=$(( $(now_ms) + TIMEOUT * 1000 ))
  while :; do
    if [ "$fixed" = 1 ]; then
      # The port of a restart may take a moment to be released.
      if port_in_use "$port"; then
        [ "$(now_ms)" -lt "$deadline" ] || die "port $port stays in use"
        sleep 0.05
        continue
      fi
    else
      if [ ${#candidates[@]} -gt 0 ]; then
        port=${candidates[0]}
        candidates=("${candidates[@]:1}")
      else
        port=$(free_port 0)
      fi
      port_in_use "$port" && continue
    fi
    tlsport=""
    if [ -e "$dir/tls/server.crt" ]; then
      if [ -n "$tlskept" ] && [ "$tlskept" != "$port" ] && ! port_in_use "$tlskept"; then
        tlsport=$tlskept
      else
        tlsport=$(free_port "$port")
      fi
      tlskept=""
    fi
    rc=0
    pid=$(launch "$dir" "$port" "$tlsport") || rc=$?
    [ "$rc" = 0 ] && break
    if [ "$rc" = 1 ] && [ "$(now_ms)" -lt "$deadline" ]; then continue; fi
    tail -n 20 "$dir/slapd.log" >&2
    if [ -e /etc/apparmor.d/usr.sbin.slapd ]; then
      echo "testslapd: an AppArmor profile for slapd may deny access to $dir" >&2
    fi
    die "slapd did not start on port $port"
  done
  echo "$pid" >"$dir/pid"
  echo "$port" >"$dir/port"
  if [ -n "$tlsport" ]; then echo "$tlsport" >"$dir/tls-port"; fi
  if [ -n "$owner" ]; then watch_owner "$dir" "$pid" "$owner"; fi
  echo "$port"
}

cmd_stop() {
  local dir=$1 pid
  require_instance "$dir"
  dir=$(absdir "$dir")
  if pid=$(instance_pid "$dir"); then
    kill -TERM "$pid" 2>/dev/null || true
    if ! wait_gone "$pid" $((TIMEOUT * 1000)); then
      kill -KILL "$pid" 2>/dev/null || true
      wait_gone "$pid" 5000 || die "slapd $pid does not end"
    fi
  fi
  rm -f "$dir/pid" "$dir/slapd.pid"
}

cmd_kill() {
  local dir=$1 pid
  require_instance "$dir"
  dir=$(absdir "$dir")
  if pid=$(instance_pid "$dir"); then
    kill -KILL "$pid" 2>/dev/null || true
    wait_gone "$pid" 5000 || die "slapd $pid does not end"
  fi
  rm -f "$dir/pid" "$dir/slapd.pid"
}

cmd_status() {
  local dir=$1 pid
  require_instance "$dir"
  dir=$(absdir "$dir")
  if pid=$(instance_pid "$dir"); then
    echo "running $(<"$dir/port") $pid"
  else
    echo "stopped"
    return 3
  fi
}

cmd_port() {
  require_instance "$1"
  [ -s "$1/port" ] || die "$1 has never been started"
  cat "$1/port"
}

cmd_reload() {
  local dir=$1
  require_instance "$dir"
  dir=$(absdir "$dir")
  ! instance_pid "$dir" >/dev/null || die "stop the instance before reloading it"
  load_data "$dir"
}

cmd_tls() {
  local dir=$1
  require_instance "$dir"
  dir=$(absdir "$dir")
  ! instance_pid "$dir" >/dev/null || die "stop the instance before adding TLS"
  [ ! -e "$dir/tls/server.crt" ] || return 0
  make_tls_files "$dir"
  {
    printf 'dn: cn=config\nchangetype: modify\n'
    tls_attributes "$dir" | sed 's/^\([^:]*\): .*/replace: \1\n&\n-/'
  } >"$dir/tls.ldif"
  "$SLAPD" -Tm -n0 -F "$dir/slapd.d" -l "$dir/tls.ldif" >"$dir/init.log" 2>&1 ||
    { cat "$dir/init.log" >&2; rm -rf "$dir/tls"; die "could not add TLS to $dir"; }
  rm -f "$dir/tls.ldif" "$dir/init.log"
}

cmd_tls_port() {
  require_instance "$1"
  [ -s "$1/tls-port" ] || die "$1 has never been started with TLS"
  cat "$1/tls-port"
}

cmd_recert() {
  local dir=$1
  shift
  [ $# -ge 1 ] || usage
  require_instance "$dir"
  dir=$(absdir "$dir")
  [ -e "$dir/tls/ca.key" ] || die "$dir has no TLS"
  ! instance_pid "$dir" >/dev/null || die "stop the instance before changing its certificate"
  issue_server_certificate "$dir" "$@"
}

cmd_destroy() {
  local dir=$1
  [ -d "$dir" ] || return 0
  require_instance "$dir"
  cmd_stop "$dir"
  rm -rf "$dir"
}

[ $# -ge 2 ] || usage
command=$1
shift
case $command in
  init) cmd_init "$@" ;;
  start) cmd_start "$@" ;;
  stop|kill|status|port|reload|destroy|tls|tls-port)
    [ $# -eq 1 ] || usage
    "cmd_${command//-/_}" "$1" ;;
  recert) cmd_recert "$@" ;;
  *) usage ;;
esac
