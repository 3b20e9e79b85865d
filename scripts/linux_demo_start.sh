# Sourced by the Linux demos (demo_linux.sh, demo_wayland.sh) after they read SECONDS,
# WxH and OUT_FILE: installs what is missing, builds vandrel and the demo worker into
# build/linux ($build), loads the test libraries, and stages both programs with a client
# folder ($stage) for the demo's user ($E2E_USER: vandrel-e2e as root, else you).
case "$0" in *wayland*) demo_kind=wayland ;; *) demo_kind=linux ;; esac
scripts/install-deps.sh --demo "$demo_kind"
echo "== building vandrel and the demo worker"
cmake --preset linux -DVANDREL_TESTS=OFF -DVANDREL_BENCH=OFF >/dev/null
cmake --build --preset linux -j"$(nproc)" --target vandrel vandrel-demo-worker
build="$PWD/build/linux"

source tests/e2e/lib.sh
source tests/e2e_linux/lib_linux.sh
if [ "$(id -u)" = 0 ]; then
    e2e_user
else
    E2E_USER=$(id -un)
fi
stage=$(e2e_stage "$build/host/vandrel" "$build/tools/demo_worker/vandrel-demo-worker")

# Ends the worker this demo's saver started: the one running in the demo's client folder
# (without root, the user may run workers of their own).
end_demo_worker() {
    local p
    for p in $(pids_of "$E2E_USER" vandrel-demo-worker); do
        if [ "$(readlink "/proc/$p/cwd" 2>/dev/null)" = "$stage/client" ]; then
            end_started "$p"
        fi
    done
}
