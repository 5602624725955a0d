# Shared by scripts/demo and scripts/test: the repository root and an
# idempotent, quiet installer of Debian packages.

FH_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export FH_ROOT

# Installs the named Debian packages that are not installed yet; prints
# nothing when every package is present.
fh_install_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the library, the tool and the tests needs.
FH_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libxml2-dev libgtest-dev libgmock-dev
  libbenchmark-dev libsqlite3-dev libpq-dev)

# The ODBC driver manager, the three engines' ODBC drivers and the two
# servers the database tests start (scripts/lib/databases.sh), plus the
# SQLite C library (the native SQLite provider), and Firebird's isql-fb with its
# embedded engine (the FIREBIRD dialect's tests).
FH_DB_PACKAGES=(unixodbc unixodbc-dev libsqliteodbc odbc-postgresql odbc-mariadb postgresql-15
  postgresql-client-15 mariadb-server mariadb-client libsqlite3-dev firebird3.0-utils
  firebird3.0-server-core)
