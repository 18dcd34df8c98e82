# shellcheck shell=bash disable=SC2034,SC2154  # variables set for and by the caller
# Shared by scripts/win-deps and scripts/fuzz-deps, which source it: third-party libraries
# built from Debian's source packages into a prefix of their own.
#
#   source_build_begin PREFIX KEY   lock PREFIX; returns 1 when its stamp already holds KEY
#   source_fetch PKG UPSTREAM SHA   fetch and unpack a source package into $src/PKG and
#                                   set source_dir to that directory
#   source_build NAME JOBS DIR ARGS...  configure, build and stage one CMake project
#                                   (SOURCE_TARGET=T: build only target T, stage nothing)
#   source_build_finish FILES...    check the staged files and move them into PREFIX
#
# The source packages are fetched with `apt-get source` through a private apt state inside
# PREFIX, whose deb-src entries are derived from this machine's own apt sources, so that
# the system's apt state is not touched. The upstream tarballs are checked against the
# SHA-256 values the caller gives. Installs go to a staging copy (DESTDIR) that replaces
# the prefix's contents only once everything is built, so that builds using the old
# libraries are not pulled from under. The caller defines log and die, and the array
# `source_cmake_args` of options every CMake project gets.

source_build_begin() {
  prefix=$1
  source_key=$2
  mkdir -p "$prefix"
  prefix=$(cd "$prefix" && pwd)
  # One run at a time per prefix.
  exec 9>"$prefix/.lock"
  flock 9
  if [[ -f $prefix/.stamp && $(cat "$prefix/.stamp") == "$source_key" ]]; then
    log "up to date in $prefix"
    return 1
  fi
  source_t0=$SECONDS
  src=$prefix/src
  obj=$prefix/obj
  stage=$prefix/stage
  rm -rf "$obj" "$stage"
  mkdir -p "$src" "$obj" "$stage"
  : >"$src/versions"
  source_apt_ready=0
}

# Every stanza of the machine's deb822 sources becomes a deb-src stanza.
_source_derive_deb_src() {
  local f found=0
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f $f ]] || continue
    found=1
    awk '
      /^Types:/ { print "Types: deb-src"; next }
      { print }
    ' "$f"
    echo
  done
  ((found)) || die "no /etc/apt/sources.list.d/*.sources to derive deb-src entries from"
}

_source_apt_init() {
  local aptdir=$src/apt
  mkdir -p "$aptdir"/{sources.list.d,lists/partial,cache/archives/partial,preferences.d}
  _source_derive_deb_src >"$aptdir/sources.list.d/source-build.sources"
  grep -q '^URIs:' "$aptdir/sources.list.d/source-build.sources" ||
    die "no URIs in the machine's apt sources"
  source_apt_opts=(
    -o Dir::Etc::SourceList=/dev/null
    -o "Dir::Etc::SourceParts=$aptdir/sources.list.d"
    -o "Dir::Etc::Preferences=/dev/null"
    -o "Dir::Etc::PreferencesParts=$aptdir/preferences.d"
    -o "Dir::State::Lists=$aptdir/lists"
    -o "Dir::Cache=$aptdir/cache"
    -o Acquire::Languages=none
    -o APT::Get::Only-Source=true
  )
  # As root, apt would hand downloads to the _apt user, who cannot write into this tree.
  ((EUID == 0)) && source_apt_opts+=(-o APT::Sandbox::User=root)
  log "apt-get update (private state in $aptdir)"
  apt-get "${source_apt_opts[@]}" -q update >"$aptdir/update.log" 2>&1 ||
    {
      cat "$aptdir/update.log" >&2
      die "apt-get update failed"
    }
  source_apt_ready=1
}

# Prints the versions of source package $1 with upstream version $2, newest first.
_source_candidate_versions() {
  local pkg=$1 upstream=$2 v u sorted=() i j
  while read -r v; do
    u=${v#*:}
    u=${u%-*}
    [[ $u == "$upstream" ]] || continue
    # Insertion sort with dpkg's version order (the list is a handful long).
    sorted+=("$v")
    for ((i = ${#sorted[@]} - 1; i > 0; i--)); do
      j=$((i - 1))
      if dpkg --compare-versions "${sorted[i]}" gt "${sorted[j]}"; then
        v=${sorted[i]}
        sorted[i]=${sorted[j]}
        sorted[j]=$v
      else
        break
      fi
    done
  done < <(apt-cache "${source_apt_opts[@]}" showsrc "$pkg" 2>/dev/null |
    awk -v p="$pkg" '/^Package:/ { ok = ($2 == p) } ok && /^Version:/ { print $2 }' | sort -u)
  ((${#sorted[@]})) && printf '%s\n' "${sorted[@]}"
}

# Fetches source package $1 (upstream $2, orig tarball SHA-256 $3) and unpacks it with
# Debian's patches applied into $src/$1; sets source_dir to that directory (not printed:
# the private apt state that the first call sets up must outlive the call). A revision
# whose files the mirror no longer serves (a superseded security update answers 404) is
# skipped in favour of the next older one.
source_fetch() {
  local pkg=$1 upstream=$2 sha=$3 ver dir orig got versions
  ((source_apt_ready)) || _source_apt_init
  versions=$(_source_candidate_versions "$pkg" "$upstream") ||
    die "no source of $pkg $upstream in the apt sources"
  for ver in $versions; do
    dir=$src/dl-$pkg-${ver//:/_}
    rm -rf "$dir"
    mkdir -p "$dir"
    log "fetching $pkg=$ver"
    if ! (cd "$dir" && apt-get "${source_apt_opts[@]}" -q source --download-only "$pkg=$ver") \
      >"$dir/fetch.log" 2>&1; then
      log "  $pkg=$ver not available ($(grep -m1 -oE '[45][0-9]{2} +[A-Z][A-Za-z ]*[a-z]' "$dir/fetch.log" || echo failed)), trying an older revision"
      continue
    fi
    orig=$(find "$dir" -maxdepth 1 -name "${pkg}_${upstream}.orig.tar.*" | head -1)
    [[ -n $orig ]] || die "$pkg=$ver has no upstream tarball ${pkg}_${upstream}.orig.tar.*"
    got=$(sha256sum "$orig" | cut -d' ' -f1)
    [[ $got == "$sha" ]] || die "SHA-256 mismatch for $(basename "$orig"): got $got, want $sha"
    rm -rf "${src:?}/$pkg"
    (cd "$dir" && dpkg-source -q -x ./*.dsc "$src/$pkg") >"$dir/unpack.log" 2>&1 ||
      {
        cat "$dir/unpack.log" >&2
        die "dpkg-source -x failed for $pkg=$ver"
      }
    echo "$pkg $ver" >>"$src/versions"
    source_dir=$src/$pkg
    return 0
  done
  die "no revision of $pkg $upstream could be fetched"
}

# source_build NAME JOBS SOURCE_DIR CMAKE_ARGS...  (runs inside the build tree $obj/NAME,
# so that nothing a package resolves against the working directory lands elsewhere)
source_build() {
  local name=$1 j=$2 dir=$3 t=$SECONDS target=${SOURCE_TARGET:-}
  shift 3
  mkdir -p "$obj/$name"
  (
    cd "$obj/$name" &&
      cmake -S "$dir" -B . "${source_cmake_args[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" &&
      if [[ -n $target ]]; then
        cmake --build . -j "$j" --target "$target"
      else
        cmake --build . -j "$j" && DESTDIR=$stage cmake --install .
      fi
  ) >"$obj/$name.log" 2>&1 || {
    tail -40 "$obj/$name.log" >&2
    log "$name failed (full log: $obj/$name.log)"
    return 1
  }
  log "  $name: $((SECONDS - t)) s"
}

# Where a staged install of the prefix lies before source_build_finish moves it.
source_staged() { echo "$stage$prefix"; }

source_build_finish() {
  local staged f d
  staged=$(source_staged)
  for f in "$@"; do
    [[ -f $staged/$f ]] || die "$f missing after the build"
  done
  rm -f "$prefix/.stamp"
  for d in include lib bin share; do
    rm -rf "${prefix:?}/$d"
    if [[ -d $staged/$d ]]; then mv "$staged/$d" "$prefix/$d"; fi
  done
  rm -rf "$obj" "$stage"
  echo "$source_key" >"$prefix/.stamp"
  log "done in $((SECONDS - source_t0)) s: $(tr '\n' ' ' <"$src/versions")-> $prefix"
}
