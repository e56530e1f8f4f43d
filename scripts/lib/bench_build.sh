# The Release build with the benchmarks that scripts/bench and scripts/soak-icmp measure with;
# sourced by them.

# korvel_bench_build TARGET...: configures KORVEL_BUILD_DIR (default build/bench) once and builds
# the targets; KORVEL_BENCH_BUILD names the folder afterwards.
korvel_bench_build() {
  KORVEL_BENCH_BUILD=${KORVEL_BUILD_DIR:-build/bench}
  if [[ ! -f $KORVEL_BENCH_BUILD/CMakeCache.txt ]]; then
    cmake -S . -B "$KORVEL_BENCH_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DKORVEL_BUILD_BENCH=ON -DKORVEL_BUILD_GUI=OFF -DKORVEL_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$KORVEL_BENCH_BUILD" -j "${KORVEL_JOBS:-2}" --target "$@" >/dev/null
}
