# Shared by run.sh and test.sh: install what a fresh Debian 12 machine lacks, then configure and build.

VOLMAR_BUILD_PACKAGES=(cmake g++ ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libinih-dev fonts-dejavu-core)
# Qt's own dialogs and buttons in Russian: the window loads Qt's translations at start.
VOLMAR_BUILD_PACKAGES+=(qt6-translations-l10n)
# The icons are rendered at build time; the package and its checks need the Debian tools that read
# what is installed.
VOLMAR_BUILD_PACKAGES+=(librsvg2-bin dpkg-dev file desktop-file-utils appstream shared-mime-info groff-base)
VOLMAR_DISPLAY_PACKAGES=(xvfb xauth x11-utils imagemagick)

volmar_missing_packages() {
    local pkg missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    echo "${missing[@]:-}"
}

volmar_install() {
    local missing
    missing=$(volmar_missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installing: $missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
}

volmar_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
