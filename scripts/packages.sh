# The Debian packages each configuration needs, and the step that installs
# the missing ones. Sourced by scripts/test, scripts/demo, scripts/fuzz,
# scripts/lint and .ci/run: this is the project's only package list.

# zemori_packages CONFIG: the packages of default, asan, tsan, windows,
# fuzz or lint.
zemori_packages() {
  local build="cmake ninja-build"
  local tests="$build g++ libgtest-dev libgmock-dev"
  case $1 in
    default) echo "$tests libbenchmark-dev" ;;
    asan | tsan) echo "$tests" ;;  # g++ brings the sanitizer runtimes
    windows) echo "$build googletest g++-mingw-w64-x86-64 wine64" ;;
    fuzz) echo "$build clang libclang-rt-14-dev" ;;
    lint) echo "$tests git clang-format clang-tidy" ;;
    *)
      echo "unknown configuration '$1' (default, asan, tsan, windows, fuzz, lint)" >&2
      return 1
      ;;
  esac
}

# zemori_missing_packages PACKAGE...: those not installed, one a line.
zemori_missing_packages() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -qx 'install ok installed' ||
      echo "$package"
  done
}

# zemori_require CONFIG...: installs what the configurations need and this
# machine lacks, with apt-get as root or through sudo. Without either it
# prints the command to run and exits.
zemori_require() {
  local me config wanted missing
  me=$(basename "$0")
  for config in "$@"; do
    zemori_packages "$config" >/dev/null || exit 2
  done
  wanted=$(for config in "$@"; do zemori_packages "$config"; done | tr ' ' '\n' | sort -u)
  if ! command -v dpkg-query >/dev/null; then
    echo "$me: not a Debian system; make sure these are installed:" $wanted >&2
    return 0
  fi
  # shellcheck disable=SC2086 # one package a word
  missing=$(zemori_missing_packages $wanted | tr '\n' ' ')
  missing=${missing% }
  [ -n "$missing" ] || return 0

  local as=()
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "$me: these Debian packages are missing: $missing" >&2
      echo "$me: install them as root, then run $0 again:" >&2
      echo "  apt-get update && apt-get install -y --no-install-recommends $missing" >&2
      exit 1
    fi
    as=(sudo)
  fi
  echo "$me: installing the missing Debian packages: $missing" >&2
  # shellcheck disable=SC2086
  "${as[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
    "${as[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -q --no-install-recommends $missing || {
    echo "$me: the installation failed" >&2
    exit 1
  }
}
