#!/bin/sh
# Builds KOVRA and runs the whole test suite: the release build with warnings
# as errors, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# a clang build for its warnings and tests, and short fuzz runs.
set -eu
cd "$(dirname "$0")/.."

run() {
  preset=$1
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
}

# Every tool .ci/run installs is needed: without one, a step or a test would
# be skipped and the run would still look green.
missing=""
for tool in cmake ninja g++ clang++ clang-format groff git parallel file dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
# The certificate's schema test needs python3 with its jsonschema module;
# the Python module is built and tested for the system's python3, with
# pybind11, numpy and pytest.
python3 -c 'import jsonschema' >/dev/null 2>&1 || missing="$missing python3-jsonschema"
/usr/bin/python3 -c 'import pybind11, numpy, pytest' >/dev/null 2>&1 ||
  missing="$missing python3-pybind11/python3-numpy/python3-pytest"
test -f "$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_paths()["include"])' 2>/dev/null)/Python.h" ||
  missing="$missing python3-dev"
if [ -n "$missing" ]; then
  echo "check.sh: missing tools:$missing (.ci/run installs them on Debian)" >&2
  exit 1
fi

if git rev-parse --git-dir >/dev/null 2>&1; then
  echo "=== format"
  git ls-files '*.cpp' '*.hpp' | xargs clang-format --dry-run --Werror
fi

run ci-release

# The Debian package passes lintian, installs into a scratch root and runs
# there.
echo "=== package"
(cd build/ci-release && rm -f kovra_*.deb && cpack -G DEB >/dev/null)
lintian --fail-on error build/ci-release/kovra_*.deb
# Its dependencies come from the libraries the program links (libcrypto).
dpkg-deb -f build/ci-release/kovra_*.deb Depends | grep -q 'libssl'
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x build/ci-release/kovra_*.deb "$root"
"$root/usr/bin/kovra" -h2 -i > "$root/screen.log" 2>/dev/null
grep -q "Technical Information (-i)" "$root/screen.log"
test -f "$root/usr/share/man/man1/kovra.1.gz"
test -f "$root/usr/share/doc/kovra/C_DECODE.TXT"
test -f "$root/usr/share/doc/kovra/certificate.schema.json"
test -f "$root/usr/share/doc/kovra/samples/4901683a.616"
# The Python module it ships imports and verifies the sample.
PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
  "import kovra; assert kovra.verify(kovra.load('$root/usr/share/doc/kovra/samples/4901683a.616')).ok"
run ci-debug
run ci-clang
echo "=== ci-fuzz"
cmake --preset ci-fuzz >/dev/null
cmake --build --preset ci-fuzz
(cd build/ci-fuzz && ctest -L fuzz --output-on-failure)
echo "=== all tests passed"
