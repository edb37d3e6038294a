#!/usr/bin/env bash
# Tarn's own packages, from the release build:
#   run.sh RELEASE_BUILD SAMPLE_DIR WORK
# cpack -G DEB and -G TGZ; the .deb's metadata; its tarnmake, extracted
# with dpkg-deb -x, builds the sample product into an installer.
set -u
rel=$1 sample=$2 work=$3
fail() { echo "FAIL [package]: $*" >&2; exit 1; }
logged() {  # LOG COMMAND...: runs it, shows the log when it fails
  local log=$1; shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; return 1; }
}
[ -f "$rel/CPackConfig.cmake" ] ||
  { echo "SKIP [package]: no release build at $rel (scripts/build.sh release)"; exit 77; }
command -v dpkg-deb >/dev/null || { echo "SKIP [package]: no dpkg-deb"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

logged deb.log cpack --config "$rel/CPackConfig.cmake" -G DEB -B "$work/out" || fail "cpack -G DEB"
logged tgz.log cpack --config "$rel/CPackConfig.cmake" -G TGZ -B "$work/out" || fail "cpack -G TGZ"
deb=$(ls out/*.deb 2>/dev/null | head -1) tgz=$(ls out/*.tar.gz 2>/dev/null | head -1)
[ -f "$deb" ] || fail "no .deb in out/"
[ -f "$tgz" ] || fail "no .tar.gz in out/"

dpkg-deb -I "$deb" > info.txt || fail "dpkg-deb -I"
grep -qx ' Package: tarn-setup' info.txt || { cat info.txt >&2; fail "the package's name"; }
grep -q '^ Version: 1\.' info.txt || fail "no version"
grep -q '^ Maintainer: .' info.txt || fail "no maintainer"
grep -q '^ Description: .*;' info.txt && fail "the description is a CMake list: $(grep Description info.txt)"
depends=$(sed -n 's/^ Depends: //p' info.txt)
# What tarnmake links: the C and C++ runtimes, zlib and libdeflate; no
# build-time package.
for lib in libc6 libstdc++6 zlib1g libdeflate; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: '$depends'"
done
[[ "$depends" == *-dev* ]] && fail "Depends names a development package: '$depends'"

mkdir root && dpkg-deb -x "$deb" root || fail "dpkg-deb -x"
tm=root/usr/bin/tarnmake
[ -x "$tm" ] || fail "no usr/bin/tarnmake in the .deb"
for f in usr/lib/cmake/TarnSetup/TarnSetupConfig.cmake usr/lib/cmake/TarnSetup/TarnSetupConfigVersion.cmake \
         usr/lib/cmake/TarnSetup/TarnSetupCPack.cmake; do
  [ -f "root/$f" ] || fail "no $f in the .deb"
done
# The archive holds what the .deb does.
mkdir tgz && tar -xzf "$tgz" -C tgz || fail "tar -xzf"
(cd root/usr && find . -type f | sort) > deb-files.txt
(cd tgz/* && find . -type f | sort) > tgz-files.txt
diff deb-files.txt tgz-files.txt >&2 || fail "the .tar.gz holds other files than the .deb"

shell=root/usr/share/TarnSetup/TarnSetupShell.exe
if [ ! -f "$shell" ]; then
  echo "note [package]: no shipped shell in the package (scripts/build.sh win32-release first); a stand-in builds the installer"
  head -c 4096 /dev/urandom > stand-in.exe
  shell=stand-in.exe
fi
cp -rp "$sample" sample
logged build.log "$tm" build sample/setup.ini --ui sample/ui.ini --shell "$shell" -o setup.exe ||
  fail "the packaged tarnmake does not build the sample"
logged verify.log "$tm" verify setup.exe || fail "verify"
entries=$(grep -c '^\[FILEINFO\]' sample/setup.ini)
grep -q "OK, installer with $entries entries" verify.log || { cat verify.log >&2; fail "verify: $(cat verify.log)"; }
"$tm" help tarnmake | grep -q '^# tarnmake' || fail "the packaged tarnmake has no help"
echo "PASS [package]"
