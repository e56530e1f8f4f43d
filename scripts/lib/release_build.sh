# The release build that operators run (optimised, no sanitizers, Debian's hardening flags):
# what scripts/package packs and scripts/demo shows; sourced by them.

# korvel_release_build FOLDER [TARGET...]: configures FOLDER once and builds the targets (all
# when none are given).
korvel_release_build() {
  local build=$1
  shift
  if [[ ! -f $build/CMakeCache.txt ]]; then
    # Without -g: the package is stripped anyway.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    local cxxflags ldflags
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    ldflags=$(dpkg-buildflags --get LDFLAGS)
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_BENCH=OFF -DKORVEL_BUILD_FUZZERS=OFF \
      -DCMAKE_CXX_FLAGS="${cxxflags//-g /}" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
  fi
  local targets=()
  (($# == 0)) || targets=(--target "$@")
  cmake --build "$build" -j "${KORVEL_JOBS:-$(nproc)}" "${targets[@]}"
}
