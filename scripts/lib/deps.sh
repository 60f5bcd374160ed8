# shellcheck shell=bash disable=SC2034  # the lists are read by the scripts that source this file
# Installs what a script needs when it is missing: Debian packages with
# apt-get as root (directly, or through sudo when there is one), and the npm
# validators.

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# The validators of scripts/validators (the workflows' schema validator; the
# SBOM's CycloneDX, SPDX and purl validators), installed by npm ci from the
# lock into build/validators, again only when a file of that folder changed.
# Node.js and npm come from Debian only where none is on PATH; with .npmrc's
# engine-strict, npm ci refuses a Node.js older than 20.18 (Debian 12's is 18).
ensure_validators() {
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then ensure_packages nodejs npm; fi
    local files=(scripts/validators/package.json scripts/validators/package-lock.json scripts/validators/.npmrc) wanted
    wanted=$(cat "${files[@]}" | sha256sum)
    [ "$(cat build/validators/installed 2>/dev/null)" = "$wanted" ] && return 0
    rm -rf build/validators && mkdir -p build/validators && cp "${files[@]}" build/validators/
    (cd build/validators && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    echo "$wanted" >build/validators/installed
}

# Building and testing the launcher.
ORVEL_BUILD_PACKAGES=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth python3)
# The release exe and its package.
ORVEL_PACKAGE_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 python3 git)
# The release checks: a throwaway code-signing certificate, signing and
# verifying; Wine, to crash the release exe and resolve its crash line.
ORVEL_RELEASE_CHECK_PACKAGES=(git openssl osslsigncode wine wine64)
# The native sanitizer build and the fuzzers.
ORVEL_FUZZ_PACKAGES=(cmake ninja-build clang libclang-rt-14-dev)
# The rest of scripts/test: the second compiler, the format, shell and workflow checks.
ORVEL_CHECK_PACKAGES=("${ORVEL_FUZZ_PACKAGES[@]}" googletest lld g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    clang-format shellcheck python3 python3-yaml)
