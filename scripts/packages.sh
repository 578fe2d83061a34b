# Installs the Debian packages given as arguments that are not installed yet.
# Sourced by the run and test scripts.
ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libcli11-dev nlohmann-json3-dev qt6-base-dev
    libqt6svg6 fonts-dejavu-core libasound2-dev)
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev)
