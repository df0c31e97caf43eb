# The Windows tests' cross build, sourced by them: cross_build BUILD_DIR
# TARGET... configures BUILD_DIR with MinGW-w64 and builds the targets.
# The tests may run at the same time and share BUILD_DIR, so one builds
# while the others wait. Needs `src` (the source tree) and `fail` (prints
# "FAIL: ..." and ends the script) from the caller.
cross_build() {
    local build=$1
    shift
    mkdir -p "$build"
    (
        flock 9
        cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
        cmake --build "$build" -j2 --target "$@" >"$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }
    ) 9>"$build/cross-build.lock" || fail "cross build of $*"
}
