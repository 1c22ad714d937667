#!/usr/bin/env bash
# Side by side: kvr's compression and decompression speed at several
# revisions, all timed by the same benchmark code in one run.
#
#   bench/side_by_side.sh [--runs N] [--rounds R] [--core C] [--fields KEYS] REV...
#
# REV is a git revision (checked out under build/side/ with git worktree,
# reused on later calls) or a directory holding a kvr tree, such as `.`,
# taken as it is, uncommitted changes included.  Each one's library is
# built alone (Release, as the bench preset builds it); this checkout's
# bench/peers.cpp, copied once at the start, is compiled against each
# library and its headers, so only the library differs between the
# binaries.  They then run in kvr-only mode, pinned to one core, in R
# rounds; a round takes the fields one at a time and times each field with
# every revision in turn (the first of them the next revision each round),
# so that the runs being compared lie seconds apart, not minutes, on a
# machine whose load drifts.  The table gives for every field and kvr row
# the best of the rounds (MB/s of uncompressed data) and each revision's
# decompression speed over the first revision's.
#
#   --runs N      timed runs per measurement inside one binary (default 3)
#   --rounds R    rounds over the revisions (default 3)
#   --core C      the core to pin to (default: the last one)
#   --fields K,.. only these fields of kvr_bench_peers (e.g. dem,mri,geoid)
set -euo pipefail

die() {
  echo "side_by_side.sh: $*" >&2
  exit 1
}
usage() {
  sed -n '5p' "$0" | sed 's/^#  *//' >&2
  exit 2
}

runs=3
rounds=3
core=""
fields=""
revs=()
while (($#)); do
  case "$1" in
    --runs | --rounds | --core | --fields)
      (($# >= 2)) || die "$1 needs a value"
      case "$1" in
        --runs) runs=$2 ;;
        --rounds) rounds=$2 ;;
        --core) core=$2 ;;
        --fields) fields=$2 ;;
      esac
      shift 2
      ;;
    -h | --help) usage ;;
    -*) die "unknown option $1" ;;
    *)
      revs+=("$1")
      shift
      ;;
  esac
done
((${#revs[@]})) || usage
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs wants a positive count, not '$runs'"
[[ $rounds =~ ^[1-9][0-9]*$ ]] || die "--rounds wants a positive count, not '$rounds'"
[[ -z $core || $core =~ ^[0-9]+$ ]] || die "--core wants a core number, not '$core'"
command -v taskset >/dev/null || die "taskset (util-linux) is needed to pin the runs"
command -v cmake >/dev/null || die "cmake is needed"
core=${core:-$(($(nproc) - 1))}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
repo=$(git -C "$here" rev-parse --show-toplevel 2>/dev/null) || die "$here is not in a git checkout"
side=$repo/build/side
mkdir -p "$side/bin" "$side/out"

# The benchmark code, frozen for the whole comparison.
bench_src=$side/bench-src
rm -rf "$bench_src"
mkdir -p "$bench_src"
cp "$repo/bench/peers.cpp" "$repo/bench/bench_util.hpp" "$bench_src/"

# The real fields need zlib and libjpeg, as in bench/CMakeLists.txt; the
# peers are left out (no KVR_HAVE_<peer>).
extra_defs=()
extra_libs=()
if pkg-config --exists zlib 2>/dev/null; then
  extra_defs+=(-DKVR_HAVE_ZLIB=1)
  read -ra flags <<<"$(pkg-config --libs zlib)"
  extra_libs+=("${flags[@]}")
else
  echo "side_by_side.sh: no zlib (zlib1g-dev): no terrain or MRI rows" >&2
fi
if pkg-config --exists libjpeg 2>/dev/null; then
  extra_defs+=(-DKVR_HAVE_JPEG=1)
  read -ra flags <<<"$(pkg-config --libs libjpeg)"
  extra_libs+=("${flags[@]}")
else
  echo "side_by_side.sh: no libjpeg (libjpeg-dev): no photograph rows" >&2
fi

# The source tree of a revision: a directory as it is, or a worktree of
# the commit under build/side/.
source_of() {
  local rev=$1 sha wt
  if [[ -d $rev ]]; then
    [[ -f $rev/include/kvr/kvr.h && -f $rev/CMakeLists.txt ]] || die "$rev is not a kvr source tree"
    (cd "$rev" && pwd -P)
    return
  fi
  sha=$(git -C "$repo" rev-parse --verify --quiet "$rev^{commit}") ||
    die "'$rev' is neither a git revision nor a directory"
  wt=$side/src-${sha:0:12}
  if [[ -d $wt ]]; then
    # reused; checked out again should anything have moved it
    [[ $(git -C "$wt" rev-parse HEAD 2>/dev/null) == "$sha" ]] ||
      git -C "$wt" checkout -q --detach "$sha" >&2 || die "cannot check out $rev in $wt"
  else
    git -C "$repo" worktree prune
    git -C "$repo" worktree add -q --detach "$wt" "$sha" >&2 || die "git worktree add $wt $rev failed"
  fi
  echo "$wt"
}

# Builds the library of tree $1 in $2, then the benchmark against it as $3.
build() {
  local src=$1 dir=$2 bin=$3 lib cxx
  if ! cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKVR_BUILD_TESTS=OFF \
    -DKVR_BUILD_EXAMPLES=OFF -DKVR_BUILD_BENCH=OFF -DKVR_FUZZ=OFF -DKVR_SANITIZE=OFF \
    >"$dir.log" 2>&1; then
    tail -20 "$dir.log" >&2
    die "configuring $src failed; the log is $dir.log"
  fi
  if ! cmake --build "$dir" --target kvr -j "$(nproc)" >>"$dir.log" 2>&1; then
    tail -20 "$dir.log" >&2
    die "building kvr from $src failed; the log is $dir.log"
  fi
  lib=$dir/libkvr.a
  [[ -f $lib ]] || die "no libkvr.a in $dir"
  # the compiler CMake found, with the flags of a Release build
  cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$dir/CMakeCache.txt")
  if ! "${cxx:-c++}" -std=c++17 -O3 -DNDEBUG -ffp-contract=off -I"$src/include" -I"$bench_src" \
    "${extra_defs[@]}" "$bench_src/peers.cpp" "$lib" -lm "${extra_libs[@]}" -o "$bin" >>"$dir.log" 2>&1; then
    tail -20 "$dir.log" >&2
    die "compiling the benchmark against $src failed; the log is $dir.log"
  fi
}

bins=()
for i in "${!revs[@]}"; do
  rev=${revs[$i]}
  src=$(source_of "$rev")
  if [[ -d $rev ]]; then
    id=tree-$(basename "$src")-$(echo "$src" | cksum | cut -d' ' -f1)
    what="$src as it is (HEAD $(git -C "$src" rev-parse --short HEAD 2>/dev/null || echo '?'))"
  else
    id=$(basename "$src")
    what=$(git -C "$src" log -1 --format='%h %s' | cut -c1-80)
  fi
  echo "building $rev: $what" >&2
  build "$src" "$side/build-$id" "$side/bin/kvr_bench_peers-$i"
  bins+=("$side/bin/kvr_bench_peers-$i")
done

# Every field the benchmark knows (its field_keys), unless --fields chose.
if [[ -n $fields ]]; then
  IFS=, read -ra keys <<<"$fields"
else
  read -ra keys <<<"$(sed -n 's/^const char\* const field_keys\[\] = {\(.*\)};$/\1/p' "$bench_src/peers.cpp" | tr -d '",')"
  ((${#keys[@]})) || die "no field_keys in $bench_src/peers.cpp"
fi
n=${#revs[@]}
rm -f "$side"/out/*.tsv "$side"/out/notes
for ((r = 0; r < rounds; r++)); do
  echo "round $((r + 1))/$rounds on core $core" >&2
  # Each round runs fresh copies: where a binary's code lands in physical
  # memory moves its speed by a percent or two, the same for every run of
  # one file, which the best of the rounds would otherwise keep.
  for ((i = 0; i < n; i++)); do
    rm -f "$side/bin/run-$i"
    cp "${bins[$i]}" "$side/bin/run-$i"
  done
  for key in "${keys[@]}"; do
    for ((k = 0; k < n; k++)); do
      i=$(((r + k) % n))
      # a field whose package is missing prints a note and no row
      taskset -c "$core" "$side/bin/run-$i" --kvr-only --tsv --runs "$runs" --fields "$key" \
        >"$side/out/$i.$r.$key.tsv" 2>>"$side/out/notes" ||
        die "the benchmark of ${revs[$i]} failed on field $key (${bins[$i]})"
    done
  done
done
sort -u "$side/out/notes" >&2

echo "kvr, best of $rounds rounds of $runs runs each, pinned to core $core; MB/s of uncompressed data"
echo "(dec x: decompression speed over ${revs[0]}'s; * where the compressed sizes differ)"
for ((i = 0; i < n; i++)); do
  for ((r = 0; r < rounds; r++)); do
    for key in "${keys[@]}"; do
      awk -v i="$i" 'NR > 1 { print i "\t" $0 }' "$side/out/$i.$r.$key.tsv"
    done
  done
done | awk -F'\t' -v n="$n" -v labels="$(printf '%s\t' "${revs[@]}")" '
  {
    key = $2 "\t" $3
    if (!(key in seen)) { seen[key] = 1; order[++rows] = key }
    i = $1
    if ($9 != 1) { failed[key, i] = 1; next }
    has[key, i] = 1
    if ($6 > comp[key, i]) comp[key, i] = $6
    if ($7 > dec[key, i]) dec[key, i] = $7
    ratio[key, i] = $5
  }
  END {
    split(labels, label, "\t")
    printf "%-7s %-20s", "field", "row"
    for (i = 0; i < n; i++) printf " %21s", label[i + 1]
    for (i = 1; i < n; i++) printf " %9s", "dec x"
    printf "\n%-7s %-20s", "", ""
    for (i = 0; i < n; i++) printf " %10s %10s", "comp", "dec"
    for (i = 1; i < n; i++) printf " %9s", label[i + 1]
    printf "\n"
    for (r = 1; r <= rows; r++) {
      key = order[r]
      split(key, part, "\t")
      printf "%-7s %-20s", part[1], part[2]
      for (i = 0; i < n; i++)
        if (has[key, i]) printf " %10.0f %10.0f", comp[key, i], dec[key, i]
        else printf " %21s", (failed[key, i] ? "failed" : "-")
      for (i = 1; i < n; i++)
        if (has[key, i] && has[key, 0] && dec[key, 0] > 0)
          printf " %8.3f%s", dec[key, i] / dec[key, 0], (ratio[key, i] != ratio[key, 0] ? "*" : " ")
        else printf " %9s", "-"
      printf "\n"
    }
  }'
