# shellcheck shell=bash disable=SC2034  # the lists are for the scripts that source this file
# Installs what a script needs when it is missing: Debian packages with apt-get as root (or through sudo).

ensure_packages() {
    local missing=() package sudo=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# scripts/validators, installed by npm ci from its lock into build/validators when that folder changed; Node.js
# and npm come from Debian only where none is on PATH (.npmrc: engine-strict; the lock needs Node.js 20.18).
ensure_validators() {
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then ensure_packages nodejs npm; fi
    local files=(scripts/validators/package.json scripts/validators/package-lock.json scripts/validators/.npmrc) wanted
    wanted=$(cat "${files[@]}" | sha256sum)
    [ "$(cat build/validators/installed 2>/dev/null)" = "$wanted" ] && return 0
    rm -rf build/validators && mkdir -p build/validators && cp "${files[@]}" build/validators/
    (cd build/validators && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    echo "$wanted" >build/validators/installed
}

ORVEL_BUILD_PACKAGES=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb xauth python3)
ORVEL_PACKAGE_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 python3 git)
# A throwaway code-signing certificate, signing and verifying; Wine, to crash the release exe; reading the zips;
# Debian's copyright files, read by Debian's own module.
ORVEL_RELEASE_CHECK_PACKAGES=(git openssl osslsigncode wine wine64 unzip python3-debian)
ORVEL_FUZZ_PACKAGES=(cmake ninja-build clang libclang-rt-14-dev)
# The rest of scripts/test: the sanitizer build, the second compiler, the format, shell and workflow checks.
ORVEL_CHECK_PACKAGES=("${ORVEL_FUZZ_PACKAGES[@]}" googletest lld g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang-format shellcheck python3 python3-yaml)
