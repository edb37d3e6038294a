# Shared by the benchmarks: the release build, the corpus, and timing.
# Expects root, size, out and args (the script's own arguments) set; sets
# build, corpus and tarnmake.
build=${BUILD_ROOT:-$root/build}
# corpus_kind: synthetic (make-corpus.sh, $size MB), python (this machine's
# Python standard library: hundreds of real, mixed files), include (its
# /usr/include: thousands of small headers in large folders), or all (the
# default: the script once for each, then every summary together).
corpus_kind=${corpus_kind:-all}
mkdir -p "$out"
if [ "$corpus_kind" = all ]; then
  for kind in synthetic python include; do
    echo "==== corpus $kind"
    # The last --corpus wins, so the script's own arguments go first.
    bash "$0" ${args[@]+"${args[@]}"} --corpus "$kind" | tee "$out/all-$kind.log"
  done
  echo
  echo "==== every corpus"
  # A summary is what a run prints after its last empty line.
  for kind in synthetic python include; do
    awk '/^$/ { n = 0; delete l; next } { l[++n] = $0 } END { for (i = 1; i <= n; i++) print l[i] }' \
      "$out/all-$kind.log"
  done
  exit 0
fi
case "$corpus_kind" in
  synthetic) corpus=$out/corpus-$size ;;
  python) corpus=$out/corpus-python
          # Debian's own (not a virtual environment's), without added packages.
          python_lib=$(ls -d /usr/lib/python3.[0-9]* 2>/dev/null | sort -V | tail -1) ;;
  include) corpus=$out/corpus-include ;;
  *) echo "unknown corpus $corpus_kind (synthetic, python, include or all)" >&2; exit 2 ;;
esac

echo "== release build of tarnmake"
BUILD_ROOT=$build bash "$root/scripts/build.sh" release >"$out/build.log" 2>&1 ||
  { tail -n 30 "$out/build.log"; exit 1; }
tarnmake=$build/release/tools/tarnmake/tarnmake

if [ ! -f "$corpus/setup.ini" ]; then
  rm -rf "$corpus"
  if [ "$corpus_kind" = python ]; then
    echo "== corpus of $python_lib"
    bash "$root/bench/make-corpus.sh" --tree "$python_lib" "$corpus"
  elif [ "$corpus_kind" = include ]; then
    echo "== corpus of /usr/include"
    bash "$root/bench/make-corpus.sh" --tree /usr/include "$corpus"
  else
    echo "== corpus of $size MB"
    bash "$root/bench/make-corpus.sh" "$size" "$corpus"
  fi
fi

# timed NAME CMD...: wall seconds and peak resident kB into NAME.time/.rss
timed() {
  local name=$1; shift
  /usr/bin/time -v -o "$out/$name.tv" "$@" >"$out/$name.log" 2>&1 ||
    { tail -n 20 "$out/$name.log"; echo "$name failed" >&2; exit 1; }
  awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' \
    "$out/$name.tv" > "$out/$name.time"
  awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/$name.tv" > "$out/$name.rss"
}

# nsis_silent_installer OUT: an NSIS silent installer of the corpus into
# C:\bench-nsis, zlib as the packages use, with an uninstaller that removes
# the folder (uninst.exe /S _?=C:\bench-nsis runs it in place).
nsis_silent_installer() {
  cat > "$out/bench.nsi" <<NSI
Name "bench"
OutFile "$1"
InstallDir "C:\\bench-nsis"
SilentInstall silent
RequestExecutionLevel admin
SetCompressor zlib
Section
  SetOutPath "\$INSTDIR"
  File /r "$corpus/files/*"
  WriteUninstaller "\$INSTDIR\\uninst.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "\$INSTDIR"
SectionEnd
NSI
  makensis -V2 "$out/bench.nsi" >"$out/nsis-build.log" 2>&1 || { tail "$out/nsis-build.log"; exit 1; }
}
