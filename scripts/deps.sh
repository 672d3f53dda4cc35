# Debian packages the builds and tests need; sourced by test.sh and demo.sh. Installs only what
# is missing (as root, or through sudo when there is one).
NV_PACKAGES=(
    cmake make g++ pkg-config
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth x11-utils xcompmgr imagemagick fonts-dejavu-core
    googletest libbenchmark-dev libmcrypt-dev locales
    # The second compiler: libFuzzer targets (its runtimes are in libclang-rt), the clang build of
    # the Windows targets linked with lld, and the static analysis.
    clang lld libclang-rt-14-dev clang-tidy
    # scripts/lint.sh reads the compile databases with it.
    python3
    # The installer package (wixl; msitools to inspect and patch it) and the signing of the
    # release (osslsigncode; openssl makes the tests' throwaway certificate).
    wixl msitools osslsigncode openssl
)

# The German locale that the string-table tests run Wine under (LC_ALL=de_DE.UTF-8).
nv_ensure_locales() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
}

nv_install_deps() {
    nv_install_packages && nv_ensure_locales
}

nv_install_packages() {
    local missing=()
    local p
    for p in "${NV_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
