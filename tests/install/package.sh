#!/usr/bin/env bash
# Builds the Debian package in a release build of its own, installs it with apt-get (which pulls
# in its dependencies), runs the installed restora-cli, starts the installed restora on a private
# X display and waits for its main window, then removes the package again.
# Usage: package.sh SOURCE_DIR BUILD_DIR [DISPLAY_NUMBER]. Needs root; exits 77 (skipped) without it.
set -euo pipefail
source_dir=$1
build=$2
display=${3:-94}

[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: installing a package needs root"; exit 77; }
for tool in cmake ninja cpack dpkg-shlibdeps apt-get Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
if dpkg-query -W -f='${Status}' restora 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIPPED: a restora package is installed already; leaving it alone"
  exit 77
fi

work=$(mktemp -d)
installed=
cleanup() {
  [ -z "$installed" ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq restora >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRESTORA_BUILD_TESTS=OFF \
  "${launcher[@]}" >/dev/null
ninja -C "$build" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls -t "$build"/restora_*.deb | head -n 1)
echo "package: $package"
dpkg-deb -f "$package" Depends

installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$package" >/dev/null
for file in /usr/bin/restora-cli /usr/share/restora/Signature /usr/share/man/man1/restora-cli.1.gz \
            /usr/share/applications/restora.desktop /usr/share/icons/hicolor/scalable/apps/restora.svg; do
  [ -f "$file" ] || { echo "FAIL: the package did not install $file"; exit 1; }
done
/usr/bin/restora-cli --help | grep -q "^usage: restora-cli" || { echo "FAIL: restora-cli --help"; exit 1; }
version=$(/usr/bin/restora-cli --version)
[ "$version" = "restora-cli $(dpkg-deb -f "$package" Version)" ] || { echo "FAIL: version '$version'"; exit 1; }
# The installed program finds its Signature file in /usr/share/restora.
/usr/bin/restora-cli signatures | grep -qi jpg || { echo "FAIL: restora-cli signatures"; exit 1; }

if [ -x /usr/bin/restora ]; then
  # On a private X server: the window must show before the program ends or 15 seconds pass.
  HOME=$work XDG_RUNTIME_DIR=$work "$(dirname "$0")/../shell/with-xvfb.sh" "$display" bash -c '
    /usr/bin/restora >"$HOME/restora.log" 2>&1 &
    for _ in $(seq 150); do
      xwininfo -root -tree 2>/dev/null | grep -q "\"Ferrolin Restora" && { kill $!; exit 0; }
      kill -0 $! 2>/dev/null || break
      sleep 0.1
    done
    kill $! 2>/dev/null; cat "$HOME/restora.log"; exit 1' || { echo "FAIL: the installed restora showed no main window"; exit 1; }
  echo "restora showed its main window"
else
  echo "no restora program in this build: only restora-cli checked"
fi
echo "PASS"
