#!/usr/bin/env bash
# package.sh [--check] [ARCH...]: builds the Debian packages of prnupgrade
# for the given architectures (default amd64 arm64 armhf) into build-deb/.
# With --check it also
#  - makes sure each package depends on libusb-1.0-0,
#  - runs lintian on each package (an error fails, other findings are shown),
#  - prints the stripped program's size and its shared libraries (NEEDED),
#  - installs the package of this machine with dpkg, runs
#    "prnupgrade --version", renders the installed manual page with man -l,
#    tries the bash completion and the udev rules' place, then removes it.
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(amd64 arm64 armhf)
scripts/install-cross-deps.sh

out=build-deb
mkdir -p "$out"

for arch in "${archs[@]}"; do
  echo "== $arch: package"
  dir=$(scripts/deb-configure.sh "$arch")
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
  cmake --build "$dir" -j 2 --target prnupgrade prninfo prn_docs
  # dpkg-shlibdeps looks the libraries up in the target's multiarch folders.
  (cd "$dir" && DEB_HOST_ARCH=$arch cpack -G DEB >cpack.log 2>&1) ||
    { cat "$dir/cpack.log"; exit 1; }
  cp "$dir/prnupgrade_${version}_$arch.deb" "$out/"
done

[ $check -eq 1 ] || exit 0

echo "== dependencies"
for arch in "${archs[@]}"; do
  depends=$(dpkg-deb --field "$out/prnupgrade_${version}_$arch.deb" Depends)
  echo "$arch: $depends"
  [[ $depends == *libusb-1.0-0* ]] || { echo "$arch: no dependency on libusb-1.0-0" >&2; exit 1; }
done

echo "== lintian"
for arch in "${archs[@]}"; do
  deb=$out/prnupgrade_${version}_$arch.deb
  # Findings are listed; only errors fail the run.
  lintian --display-level ">=pedantic" --fail-on error "$deb"
  echo "lintian $arch: no errors"
done

echo "== stripped program size and shared libraries"
printf '| arch | bytes | NEEDED |\n| --- | --- | --- |\n'
for arch in "${archs[@]}"; do
  deb=$out/prnupgrade_${version}_$arch.deb
  tree=$out/tree-$arch
  rm -rf "$tree"
  dpkg-deb -x "$deb" "$tree"
  bin=$tree/usr/bin/prnupgrade
  needed=$(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | paste -sd ' ')
  printf '| %s | %s | %s |\n' "$arch" "$(stat -c %s "$bin")" "$needed"
  if readelf -S "$bin" | grep -q '\.debug_\|\.symtab'; then
    echo "$arch: the packaged program is not stripped" >&2
    exit 1
  fi
done

host=$(dpkg --print-architecture)
deb=$out/prnupgrade_${version}_$host.deb
if [ -f "$deb" ]; then
  echo "== install $deb"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo dpkg -i "$deb"
  trap '$sudo dpkg --purge prnupgrade >/dev/null' EXIT
  release=$(/usr/bin/prnupgrade --version)
  [ "$release" = "Release: $version" ] || { echo "unexpected: $release" >&2; exit 1; }
  echo "$release"
  page=/usr/share/man/man1/prnupgrade.1.gz
  MANWIDTH=80 man -l "$page" 2>&1 >"$out/prnupgrade.1.txt" | tee "$out/man-warnings.txt"
  [ ! -s "$out/man-warnings.txt" ] || { echo "man reports problems in $page" >&2; exit 1; }
  for section in "EXIT STATUS" "DEVICE ARGUMENT" "FILE KINDS" "EXAMPLES" "data.log"; do
    grep -q "$section" "$out/prnupgrade.1.txt" || { echo "man page lacks $section" >&2; exit 1; }
  done
  echo "man -l $page: $(wc -l <"$out/prnupgrade.1.txt") lines"
  test -f /lib/udev/rules.d/60-prnupgrade.rules
  scripts/check-completion.sh /usr/share/bash-completion/completions/prnupgrade
  [ "$(/usr/bin/prninfo --version)" = "Release: $version" ] || { echo "prninfo missing" >&2; exit 1; }
  MANWIDTH=80 man -l /usr/share/man/man1/prninfo.1.gz >/dev/null
fi
